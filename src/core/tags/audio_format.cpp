#include "core/tags/audio_format.h"

#include <algorithm>

#include "core/common/text.h"
#include "core/tags/tag_walk.h"

namespace tunex {

namespace {

constexpr FormatSignature sig(unsigned at, std::string_view magic, unsigned alsoAt = 0,
                              std::string_view also = {}) {
    return {at, magic, alsoAt, also};
}

struct Places {
    bool leadingId3v2 = false;
    bool url = true;
    bool publisher = true;
};

constexpr FormatFacts facts(AudioFormat format, std::string_view audioName,
                            std::string_view tagTitle, std::array<std::string_view, 3> extensions,
                            std::array<FormatSignature, 6> signatures, Places places = {}) {
    return {format,     audioName,           tagTitle,   extensions,
            signatures, places.leadingId3v2, places.url, places.publisher};
}

constexpr Places kXiph{false, false, true};

// ".oga" is Vorbis or FLAC in Ogg, and any Ogg stream may sit under another Ogg name: the file
// opens as what it holds. ".wmv" stays for base folders that list it.
constexpr std::array<FormatFacts, 10> kFormats = {{
    facts(AudioFormat::Mp3, "MPEG audio", "ID3 Tag", {"mp3"}, {}),
    facts(AudioFormat::Flac, "FLAC audio", "FLAC Tag", {"flac"}, {sig(0, "fLaC")},
          {true, false, true}),
    facts(AudioFormat::OggVorbis, "Ogg Vorbis audio", "Ogg Vorbis Tag", {"ogg", "oga"},
          {sig(0, "OggS")}, kXiph),
    facts(AudioFormat::Opus, "Opus audio", "Opus Tag", {"opus"}, {sig(0, "OggS")}, kXiph),
    facts(AudioFormat::Mp4, "MP4 audio", "MP4 Tag", {"m4a", "m4b", "mp4"},
          {sig(4, "ftyp"), sig(4, "moov"), sig(4, "free"), sig(4, "wide"), sig(4, "skip"),
           sig(4, "mdat")},
          {false, false, false}),
    facts(AudioFormat::Asf, "Windows Media (ASF)", "Windows Media Tag", {"wma", "wmv", "asf"},
          {sig(0, std::string_view("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8))}),
    facts(AudioFormat::Ape, "Monkey's Audio", "APE Tag", {"ape"}, {sig(0, "MAC ")}, {true}),
    facts(AudioFormat::WavPack, "WavPack audio", "WavPack Tag", {"wv"}, {sig(0, "wvpk")}),
    facts(AudioFormat::Aiff, "AIFF audio", "AIFF Tag", {"aif", "aiff", "aifc"},
          {sig(0, "FORM", 8, "AIFF"), sig(0, "FORM", 8, "AIFC")}),
    facts(AudioFormat::Wav, "WAV audio", "WAV Tag", {"wav"}, {sig(0, "RIFF", 8, "WAVE")}),
}};

}  // namespace

const FormatFacts& formatFacts(AudioFormat format) {
    return *std::ranges::find(kFormats, format, &FormatFacts::format);
}

std::optional<AudioFormat> audioFormatOfName(std::string_view fileName) {
    // The extension wins: "song.mp3.flac" is a FLAC file; "song.mp3.bak" stays an mp3 name.
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string_view::npos && dot != 0) {
        const std::string extension = toLowerUtf8(fileName.substr(dot + 1));
        for (const FormatFacts& facts : kFormats) {
            if (facts.format != AudioFormat::Mp3 && !extension.empty() &&
                std::ranges::find(facts.extensions, extension) != facts.extensions.end()) {
                return facts.format;
            }
        }
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
    return formatFacts(format).audioName;
}

bool formatHasField(AudioFormat format, TagField field) {
    const FormatFacts& facts = formatFacts(format);
    return (field != TagField::Url || facts.holdsUrl) &&
           (field != TagField::Publisher || facts.holdsPublisher);
}

}  // namespace tunex
