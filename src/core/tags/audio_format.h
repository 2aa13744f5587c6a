#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "core/tags/tag_field_table.h"

namespace tunex {

// The audio formats whose tags the tag tools read and write. mp3 files carry the V1/V2 pair;
// every other format has one tag, shown and edited as a single group.
enum class AudioFormat { Mp3, Flac, OggVorbis, Opus, Mp4, Asf, Ape, WavPack, Aiff, Wav };

// Bytes a file of the format holds where it starts: `magic` at `at`, and `also` at `alsoAt`
// when that is given too.
struct FormatSignature {
    unsigned at = 0;
    std::string_view magic;
    unsigned alsoAt = 0;
    std::string_view also;
};

// What the tag tools know of a format, in one place.
struct FormatFacts {
    AudioFormat format;
    std::string_view audioName;  // how messages name its audio: "FLAC audio"
    std::string_view tagTitle;   // how the editor names its tag: "FLAC Tag"
    std::array<std::string_view, 3> extensions;
    // The file starts with one of these (after a leading ID3v2 tag where the format may carry
    // one); mp3 has a check of its own.
    std::array<FormatSignature, 6> signatures;
    // Taggers put an ID3v2 tag in front of some FLAC and Monkey's Audio files; TagLib reads no
    // WavPack stream behind one.
    bool mayLeadWithId3v2 = false;
    // Fields its tag has no place for: Vorbis comments have no URL, MP4 no publisher and no URL.
    bool holdsUrl = true;
    bool holdsPublisher = true;
};

[[nodiscard]] const FormatFacts& formatFacts(AudioFormat format);

// The format a file name says, by its extension (mp3 as isMp3Name takes it); nothing for names
// the tag tools leave alone.
[[nodiscard]] std::optional<AudioFormat> audioFormatOfName(std::string_view fileName);

// The format of a path whose file has one tag, not the mp3 pair of V1 and V2: every format but
// mp3, by name.
[[nodiscard]] std::optional<AudioFormat> singleTagFormat(std::string_view path);

// The tag tools take the file: an mp3 or one of the other formats by name.
[[nodiscard]] bool isTaggableName(std::string_view fileName);

// How messages name the format's audio: "MPEG audio", "FLAC audio"...
[[nodiscard]] std::string_view audioFormatName(AudioFormat format);

// Whether the format's tag has a place for the field.
[[nodiscard]] bool formatHasField(AudioFormat format, TagField field);

}  // namespace tunex
