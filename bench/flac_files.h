#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex::bench {

// The bytes of a small FLAC file: STREAMINFO, a Vorbis comment block with TITLE, ARTIST, ALBUM,
// DATE and TRACKNUMBER, a padding block of `padding` bytes and a few KiB standing in for the
// frames. Built by hand so the bench needs no encoder; `number` varies the frame bytes from file
// to file.
[[nodiscard]] std::string flacFile(const std::string& title, const std::string& artist,
                                   const std::string& album, int number,
                                   std::size_t padding = 1'024);

inline constexpr int kFlacPaddingBlock = 1;

struct FlacBlock {
    int type = 0;
    std::size_t offset = 0;  // of the block's body
    std::size_t size = 0;
};

// The metadata blocks of a FLAC stream, read from their headers; empty when the bytes do not
// start with "fLaC" or a block runs past the end. The frames start where the last block ends.
[[nodiscard]] std::optional<std::vector<FlacBlock>> flacBlocks(std::string_view bytes);

}  // namespace tunex::bench
