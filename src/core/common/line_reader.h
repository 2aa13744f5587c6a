#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/common/unique_fd.h"

namespace tunex {

// One line as read: its text without the line end, and whether a line end (LF, or CR LF) followed.
struct TextLine {
    std::string_view text;
    bool hasLineEnd = false;
};

// Reads a file line by line, whole lines of any length, accepting LF and CR LF. The returned text
// stays valid until the next call. Memory grows only with the longest line.
class LineReader final {
public:
    LineReader() = default;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    LineReader(LineReader&& other) noexcept = default;
    LineReader& operator=(LineReader&& other) noexcept = default;

    [[nodiscard]] bool open(const std::filesystem::path& path);
    [[nodiscard]] bool isOpen() const { return fd_.valid(); }
    // False at the end of the file or on a read error (then `failed()` is true).
    [[nodiscard]] bool next(TextLine& line);
    // As many whole lines as the buffer holds, each with its LF (the last one of the file may lack
    // it), for callers that can rule out a whole stretch at once. Split it with `nextLineOf`.
    [[nodiscard]] bool nextBlock(std::string_view& block);
    [[nodiscard]] bool failed() const { return failed_; }
    void close();

private:
    bool fill();

    UniqueFd fd_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

// Takes the first line off `block` (as LineReader::next would give it); false when it is empty.
[[nodiscard]] bool nextLineOf(std::string_view& block, TextLine& line);

}  // namespace tunex
