#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// One ID3v2.3 or v2.4 frame exactly as stored: header and body.
struct RawFrame {
    std::string bytes;

    [[nodiscard]] std::string_view id() const { return std::string_view(bytes).substr(0, 4); }
    // Compressed, encrypted or unsynchronised on its own: the body is not plain frame content.
    [[nodiscard]] bool encoded(int majorVersion) const;
};

// The frames of an ID3v2 tag that can be edited frame by frame: every byte of the tag is
// accounted for by whole frames and zero padding, so keeping the untouched frames' bytes keeps
// them exactly.
struct V2Layout {
    int majorVersion = 3;  // 3 or 4; a v2.2 tag is read as v2.3
    std::vector<RawFrame> frames;
};

// A character of a frame id: capital letters and digits, in every version.
[[nodiscard]] inline bool isFrameIdChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Reads a complete tag (header included); a v2.2 tag comes out as the v2.3 tag of the same
// frames. Nothing when the tag is unsynchronised as a whole in v2.4, when its frames do not add
// up to its size, or when a v2.2 frame has no v2.3 counterpart (named in `unmappedV22`): such a
// tag is rewritten the library's way or not at all.
[[nodiscard]] std::optional<V2Layout> parseV2Layout(std::string_view tag,
                                                    std::string* unmappedV22 = nullptr);

// Padding a tag gets when it must grow, so that later edits fit in place.
inline constexpr std::size_t kV2GrowthPadding = 2048;

// The tag holding `frames`: exactly `fitInto` bytes when they fit (the rest padding), else the
// frames with kV2GrowthPadding. No extended header, footer or unsynchronisation.
[[nodiscard]] std::string renderV2Layout(int majorVersion, std::span<const RawFrame> frames,
                                         std::size_t fitInto);

// The frames of a tag this program rendered itself.
[[nodiscard]] std::vector<RawFrame> framesOfRendered(std::string_view tag);

}  // namespace tunex
