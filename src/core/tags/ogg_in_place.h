#pragma once

#include <taglib/tbytevector.h>
#include <taglib/tiostream.h>

namespace tunex {

// Writes an Ogg stream's comment packet (its second packet; `packet` as the codec frames it) over
// the old one where it fits: the rest of the old packet is filled with zero bytes, which Vorbis and
// Opus readers pass over as padding, so every page keeps its size and only the pages holding the
// packet are written again, as mutagen does. TagLib's own save drops such padding and writes every
// page behind the packet again. False, with nothing written, when the packet grew past the old one
// or the pages cannot be read (several streams interleaved among them).
[[nodiscard]] bool writeOggCommentInPlace(TagLib::IOStream& stream,
                                          const TagLib::ByteVector& packet);

}  // namespace tunex
