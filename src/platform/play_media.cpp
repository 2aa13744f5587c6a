#include "platform/play_media.h"

#include "platform/platform.h"

#include <array>
#include <string>
#include <string_view>

namespace tunex {

PlayResult playMediaFile(Platform& platform, const std::filesystem::path& file) {
    static constexpr std::array<std::string_view, 4> kMediaTexts = {".mp3", ".mp2", ".wmv", ".wma"};
    // Any case: a file added as "LOUD SONG.MP3" is catalogued as type mp3 and must play too.
    std::string text = file.native();
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    bool media = false;
    for (const std::string_view mediaText : kMediaTexts) {
        media = media || text.find(mediaText) != std::string_view::npos;
    }
    if (!media) {
        return PlayResult::NotMediaFile;
    }
    switch (platform.openMediaFile(file)) {
        case LaunchResult::Started:
            return PlayResult::Started;
        case LaunchResult::NoAssociatedApplication:
            return PlayResult::NoAssociatedApplication;
        case LaunchResult::CouldNotStart:
            break;
    }
    return PlayResult::CouldNotStart;
}

std::optional<UserMessage> playFailureMessage(PlayResult result, const std::filesystem::path& file,
                                              NoApplicationText style) {
    switch (result) {
        case PlayResult::NoAssociatedApplication:
            return UserMessage{"No associated application with the file " + file.string() +
                                   (style == NoApplicationText::WithFullStop ? "." : ""),
                               captionFor("No Associated Application"), MessageIcon::Warning};
        case PlayResult::CouldNotStart:
            return UserMessage{"Open application error.", captionFor("Open Application Error"),
                               MessageIcon::Error};
        case PlayResult::Started:
        case PlayResult::NotMediaFile:
            break;
    }
    return std::nullopt;
}

}  // namespace tunex
