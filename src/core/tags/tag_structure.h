#pragma once

#include <taglib/oggfile.h>
#include <taglib/tiostream.h>

#include <string_view>
#include <vector>

// Checks that a tag's container is whole as TagLib would rewrite it: where TagLib reads only part
// of a structure, a save would drop the rest without a word.
namespace tunex {

// Whether the MP4 atoms between `begin` and `end` follow one another exactly, and so do the
// children of every container among them (and every item of a tag list, whose data atoms TagLib
// reads); `depth` 0 is the file's top level.
[[nodiscard]] bool mp4AtomsWhole(TagLib::IOStream& stream, long begin, long end, int depth,
                                 bool items);

// Whether every comment a Vorbis comment block (after any header) names lies within it and is
// kept as it is by TagLib: UTF-8 with a valid key.
[[nodiscard]] bool commentsFit(const TagLib::ByteVector& block);

// The same of an Ogg stream's comment packet (Vorbis, Opus or FLAC in Ogg); true when there is
// none to judge.
[[nodiscard]] bool oggCommentWhole(TagLib::Ogg::File& file);

// Where a FLAC or Monkey's Audio stream starts: after the ID3v2 tag some taggers put in
// front of it, if any.
[[nodiscard]] long afterLeadingId3v2(TagLib::IOStream& stream);

// A FLAC metadata block: where its header is, its type and the size of its content.
struct FlacBlock {
    long position = 0;
    int type = 0;
    long size = 0;
};

// The metadata blocks of a FLAC stream from `start` (behind "fLaC" and any leading ID3v2 tag),
// as far as they can be followed; `whole` when they lead to the audio, the last one marked so.
struct FlacBlocks {
    long start = 0;
    std::vector<FlacBlock> blocks;
    bool whole = false;
};
[[nodiscard]] FlacBlocks flacMetadataBlocks(TagLib::IOStream& stream);

// Why TagLib could not rewrite a FLAC stream's metadata as it stands (a reason of
// refusal_reasons.h), or nothing: its blocks follow one another to the audio, every picture block
// holds the picture its fields describe (TagLib drops one that does not), and there is at most
// one Vorbis comment block, whose every comment lies within it (TagLib stops reading comments at
// the first that runs past its block, and keeps only the first of several blocks).
[[nodiscard]] std::string_view flacBlocksProblem(TagLib::IOStream& stream);

}  // namespace tunex
