#pragma once

#include "core/common/user_message.h"

#include <filesystem>
#include <optional>

namespace tunex {

class Platform;

enum class PlayResult { Started, NoAssociatedApplication, CouldNotStart, NotMediaFile };

// Hands a file to the media player when its path holds ".mp3", ".mp2", ".wmv" or ".wma" anywhere
// and in any case (so a folder "old.mp3s" counts, and so does "A.MP3"); anything else starts
// nothing and gives NotMediaFile. The caller checks beforehand that the file exists.
[[nodiscard]] PlayResult playMediaFile(Platform& platform, const std::filesystem::path& file);

// What the caller tells the user about a play result; nothing for Started and NotMediaFile. The
// Local page ends the no-application text with a full stop, the result lists do not.
enum class NoApplicationText { AsIs, WithFullStop };
[[nodiscard]] std::optional<UserMessage> playFailureMessage(
    PlayResult result, const std::filesystem::path& file,
    NoApplicationText style = NoApplicationText::AsIs);

}  // namespace tunex
