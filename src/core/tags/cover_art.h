#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tunex {

// What an image's own header says: its kind and size in pixels.
struct ImageFacts {
    std::string_view kind;  // "JPEG" or "PNG"
    std::string_view mime;  // "image/jpeg" or "image/png"
    int width = 0;
    int height = 0;
};

// The facts of a JPEG (its first SOF segment) or PNG (its IHDR); nothing for any other content,
// whatever a name or a stored MIME type claims.
[[nodiscard]] std::optional<ImageFacts> imageFacts(std::string_view bytes);

// One picture as a tag stores it.
struct Picture {
    std::string bytes;
    std::string mime;  // as stored; may be empty or wrong
};

// The front cover of a file and how many pictures its tag holds in all, the front one included.
struct CoverInfo {
    std::optional<Picture> front;
    int pictures = 0;
};

// The front cover to set (bytes of a JPEG or PNG) or, when empty, to remove.
using CoverEdit = std::optional<Picture>;

// "JPEG 600×600, 48 KB"; "none" without a front cover. A picture whose header cannot be read
// is named by its MIME type alone.
[[nodiscard]] std::string coverWords(const std::optional<Picture>& front);
// "12 bytes", "48 KB", "1.2 MB".
[[nodiscard]] std::string byteSizeWords(std::uint64_t bytes);

// An image file to set as front cover, read and checked by its content.
struct LoadedImage {
    std::optional<Picture> picture;
    std::string problem;  // why not, a sentence naming the file
};
[[nodiscard]] LoadedImage loadCoverImage(const std::filesystem::path& file);

// A picture of this size or more is refused: no tag format keeps it whole (ID3v2 stops at 256 MB,
// FLAC's picture block at 16 MB).
inline constexpr std::uint64_t kMaxCoverBytes = 16U * 1024U * 1024U - 1024U;

// The picture type of a front cover in ID3v2, FLAC, Vorbis comments and ASF.
inline constexpr int kFrontCoverType = 3;

}  // namespace tunex
