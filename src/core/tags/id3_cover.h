#pragma once

#include "core/tags/cover_art.h"
#include "core/tags/id3v2_layout.h"

namespace TagLib::ID3v2 {
class Tag;
}

namespace tunex {

// The front cover of an ID3v2 tag (its first APIC frame of the front cover type) and how many
// APIC frames it holds.
[[nodiscard]] CoverInfo coverOfId3(TagLib::ID3v2::Tag& tag);

// Replaces every front cover frame by one holding `edit`, where the first of them stood (at the
// end when there was none), or removes them all when `edit` is empty. Every other frame keeps
// its bytes.
void setId3Cover(V2Layout& layout, const CoverEdit& edit);

// The same on TagLib's model of a tag that cannot be kept byte for byte (v2.2, AIFF and WAV).
void setId3Cover(TagLib::ID3v2::Tag& tag, const CoverEdit& edit);

}  // namespace tunex
