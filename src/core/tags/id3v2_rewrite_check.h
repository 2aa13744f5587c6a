#pragma once

#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace tunex {

// The bytes the tag with this header takes in the file. TagLib adds ten for a footer whenever
// the flag bit is set, but only v2.4 has footers: in older tags the bit means nothing, and the
// ten bytes behind the tag are audio.
[[nodiscard]] long storedTagSize(const TagLib::ID3v2::Header& header);

// Whether TagLib, rendering its model of the tag at `location` (in an mp3, or in the ID3 chunk of
// an AIFF or WAV file), would keep every frame: it stops
// parsing at the first frame it cannot read and drops the rest, blanks a second tag behind the
// first, and drops frames marked to be discarded when the tag changes.
[[nodiscard]] bool taglibKeepsEveryFrame(TagLib::File& file, long location,
                                         TagLib::ID3v2::Tag& tag);

// v2.3, or v2.4 for a tag holding frames a v2.3 rendering drops or merges.
[[nodiscard]] TagLib::ID3v2::Version renderVersionFor(TagLib::ID3v2::Tag& tag);

}  // namespace tunex
