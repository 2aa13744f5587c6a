#pragma once

#include <taglib/tbytevector.h>
#include <taglib/tiostream.h>

namespace tunex {

// Writes a FLAC stream's Vorbis comment block (`comment`: the block's content, as TagLib renders
// it) where the metadata is: the block takes its room from the padding block, or gives room back
// to it, so that the audio stays in place and the rest of the padding is kept for later edits, as
// metaflac and mutagen do. TagLib's own save cuts a large padding to 4 KiB and moves the audio,
// so that a small file is written whole. False, with nothing written, when there is no padding
// that can make up the difference.
[[nodiscard]] bool writeFlacCommentInPlace(TagLib::IOStream& stream,
                                           const TagLib::ByteVector& comment);

}  // namespace tunex
