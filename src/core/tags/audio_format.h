#pragma once

#include <optional>
#include <string_view>

#include "core/tags/tag_field_table.h"

namespace tunex {

// The audio formats whose tags the tag tools read and write. mp3 files carry the V1/V2 pair;
// every other format has one tag, shown and edited as a single group.
enum class AudioFormat { Mp3, Flac, OggVorbis, Opus, Mp4, Asf, Ape, WavPack, Aiff, Wav };

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

// Whether the format's tag has a place for the field. mp3's V2 tag has all of them; Vorbis
// comments have no URL, MP4 no publisher and no URL.
[[nodiscard]] bool formatHasField(AudioFormat format, TagField field);

}  // namespace tunex
