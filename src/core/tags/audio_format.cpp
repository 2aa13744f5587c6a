#include "core/tags/audio_format.h"

#include <array>
#include <utility>

#include "core/common/text.h"
#include "core/tags/tag_walk.h"

namespace tunex {

namespace {

constexpr std::array<std::pair<std::string_view, AudioFormat>, 15> kExtensions = {{
    {"flac", AudioFormat::Flac},
    {"ogg", AudioFormat::OggVorbis},
    {"oga", AudioFormat::OggVorbis},
    {"opus", AudioFormat::Opus},
    {"m4a", AudioFormat::Mp4},
    {"m4b", AudioFormat::Mp4},
    {"mp4", AudioFormat::Mp4},
    {"wma", AudioFormat::Asf},
    {"wmv", AudioFormat::Asf},
    {"asf", AudioFormat::Asf},
    {"ape", AudioFormat::Ape},
    {"wv", AudioFormat::WavPack},
    {"aif", AudioFormat::Aiff},
    {"aiff", AudioFormat::Aiff},
    {"wav", AudioFormat::Wav},
}};

}  // namespace

std::optional<AudioFormat> audioFormatOfName(std::string_view fileName) {
    // The extension wins: "song.mp3.flac" is a FLAC file; "song.mp3.bak" stays an mp3 name.
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return isMp3Name(fileName) ? std::optional(AudioFormat::Mp3) : std::nullopt;
    }
    const std::string extension = toLowerUtf8(fileName.substr(dot + 1));
    for (const auto& [name, format] : kExtensions) {
        if (extension == name) {
            return format;
        }
    }
    if (extension == "aifc") {
        return AudioFormat::Aiff;
    }
    return isMp3Name(fileName) ? std::optional(AudioFormat::Mp3) : std::nullopt;
}

std::optional<AudioFormat> singleTagFormat(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const auto format =
        audioFormatOfName(slash == std::string_view::npos ? path : path.substr(slash + 1));
    return format && *format != AudioFormat::Mp3 ? format : std::nullopt;
}

bool isTaggableName(std::string_view fileName) {
    return audioFormatOfName(fileName).has_value();
}

std::string_view audioFormatName(AudioFormat format) {
    switch (format) {
        case AudioFormat::Mp3:
            return "MPEG audio";
        case AudioFormat::Flac:
            return "FLAC audio";
        case AudioFormat::OggVorbis:
            return "Ogg Vorbis audio";
        case AudioFormat::Opus:
            return "Opus audio";
        case AudioFormat::Mp4:
            return "MP4 audio";
        case AudioFormat::Asf:
            return "Windows Media (ASF)";
        case AudioFormat::Ape:
            return "Monkey's Audio";
        case AudioFormat::WavPack:
            return "WavPack audio";
        case AudioFormat::Aiff:
            return "AIFF audio";
        case AudioFormat::Wav:
            return "WAV audio";
    }
    return "audio";
}

bool formatHasField(AudioFormat format, TagField field) {
    switch (format) {
        case AudioFormat::Flac:
        case AudioFormat::OggVorbis:
        case AudioFormat::Opus:
            return field != TagField::Url;
        case AudioFormat::Mp4:
            return field != TagField::Url && field != TagField::Publisher;
        default:
            return true;
    }
}

}  // namespace tunex
