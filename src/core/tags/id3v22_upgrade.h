#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/tags/id3v2_layout.h"

namespace tunex {

// The frames of an ID3v2.2 tag's data (three-letter ids, six-byte headers, after any
// unsynchronisation is undone) as v2.3 frames of the same content, so that such a tag is edited
// frame by frame and rewritten as v2.3 with nothing lost. Pictures get a MIME type for their
// image format and links the v2.3 id of the frame they point at; every other frame keeps its
// body. Nothing when the data does not split into frames or a frame has no v2.3 counterpart;
// `unmapped` then names that frame.
[[nodiscard]] std::optional<std::vector<RawFrame>> upgradeV22Frames(std::string_view data,
                                                                    std::string& unmapped);

}  // namespace tunex
