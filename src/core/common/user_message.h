#pragma once

#include <string>

namespace tunex {

// The icon a message is shown with; mapped onto the desktop's message-box icons by the platform.
enum class MessageIcon { Question, Error, Information, Warning };

// A message the user must see: the desktop shows it in a message box, the CLI prints it.
struct UserMessage {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::Information;

    friend bool operator==(const UserMessage&, const UserMessage&) = default;
};

// Every caption is the product name, " - " and a short title.
[[nodiscard]] inline std::string captionFor(std::string_view title) {
    return "Tunex - " + std::string(title);
}

}  // namespace tunex
