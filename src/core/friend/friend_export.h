#pragma once

#include "core/common/user_message.h"
#include "core/store/store_paths.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tunex {

// The friend file of a user: the friend folder, the name as typed, ".txf".
[[nodiscard]] std::filesystem::path friendFilePath(const StorePaths& paths, std::string_view name);

// The export info text a fresh Friend page shows: where the next export will go.
[[nodiscard]] std::string friendExportInfo(const StorePaths& paths);

// An e-mail is any text whose first "@" is not its first character. Line breaks are refused as
// well: the address is the friend file's first line.
[[nodiscard]] bool isValidFriendEmail(std::string_view email);

// The checks before anything is written, in their order: name, e-mail, empty catalogue.
[[nodiscard]] std::optional<UserMessage> checkFriendExport(std::string_view name,
                                                           std::string_view email,
                                                           int collectionCount);

enum class FriendExportOutcome { Exported, Refused, FileError };

struct FriendExportResult {
    FriendExportOutcome outcome = FriendExportOutcome::Refused;
    // The refusal, the failure, or the completion notice.
    UserMessage message;
    // Set when exported: the page's new export info text and the file written.
    std::string infoText;
    std::filesystem::path file;
};

// Writes the e-mail line, every collection file's lines up to its end marker, and the end marker.
// The friend file appears under its name only when complete; a failure leaves any earlier friend
// file of that name as it was.
[[nodiscard]] FriendExportResult exportFriendFile(const StorePaths& paths, int collectionCount,
                                                  std::string_view name, std::string_view email);

[[nodiscard]] UserMessage friendFileCreateFailedMessage();

}  // namespace tunex
