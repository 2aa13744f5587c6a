#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/file_mapping.h"
#include "core/common/unique_fd.h"
#include "core/common/user_message.h"

namespace tunex {

// One line as read: its text without the line end, and whether a line end (LF, or CR LF) followed.
struct TextLine {
    std::string_view text;
    bool hasLineEnd = false;
};

// Reads a regular file line by line, accepting LF and CR LF. The returned text stays valid until
// the next call. A line longer than kMaxLineLength gives its first kMaxLineLength bytes; the rest
// is skipped and counted, so a file without line ends (or /dev/zero behind a link) cannot use up
// memory.
inline constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

// How a LineReader gets at the file's bytes. Mapped spares the copy through read() for a large
// file read once from end to end; a file too small to gain, or one that cannot be mapped, is read.
// The file's size is asked again before each stretch of a mapping is read, but a file cut short by
// another program while a stretch is being read would still end the process (SIGBUS): only files
// this program replaces by renaming, never cuts in place, such as collection files, are mapped.
enum class ReadMode { Copied, Mapped };

class LineReader final {
public:
    LineReader() = default;
    ~LineReader() = default;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    LineReader(LineReader&& other) noexcept = default;
    LineReader& operator=(LineReader&& other) noexcept = default;

    // False for anything but a regular file: a FIFO would hang the reader, a device never end.
    [[nodiscard]] bool open(const std::filesystem::path& path, ReadMode mode = ReadMode::Copied);
    // Whether the open file is being read through a mapping.
    [[nodiscard]] bool isMapped() const { return mapping_.mapped(); }
    // Why the last `open` failed, for a message that names the file.
    [[nodiscard]] const std::string& openError() const { return openError_; }
    [[nodiscard]] bool isOpen() const { return fd_.valid(); }
    // False at the end of the file or on a read error (then `failed()` is true).
    [[nodiscard]] bool next(TextLine& line);
    // As many whole lines as the buffer holds, each with its LF (the last one of the file may lack
    // it), for callers that can rule out a whole stretch at once. Split it with `nextLineOf`.
    [[nodiscard]] bool nextBlock(std::string_view& block);
    [[nodiscard]] bool failed() const { return failed_; }
    // Lines cut at kMaxLineLength so far.
    [[nodiscard]] int overlongLines() const { return overlongLines_; }
    void close();

private:
    // Makes more of the file available after end_; false at its end or on an error.
    bool fill();
    // Grown: the file grew past its mapping, which is gone; the rest is to be read.
    enum class MappedFill { More, End, Grown };
    MappedFill fillMapped();
    // With kMaxLineLength bytes pending and no line end among them: keeps those, skips the rest
    // of the line. Whether a line end ended it.
    bool cutOverlongLine();

    UniqueFd fd_;
    FileMapping mapping_;
    std::vector<char> buffer_;
    // The mapping or the buffer; begin_ and end_ count from here.
    const char* data_ = nullptr;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    bool firstRead_ = true;
    int overlongLines_ = 0;
    std::string cut_;
    std::string openError_;
};

// How many lines of the file are longer than kMaxLineLength; 0 when it cannot be read.
[[nodiscard]] int overlongLinesIn(const std::filesystem::path& path);

// A file some of whose lines were longer than kMaxLineLength, and how many.
struct CutLines {
    std::filesystem::path file;
    int lines = 0;
};

// The notice naming files whose over-long lines were cut; empty when there were none.
[[nodiscard]] std::optional<UserMessage> cutLinesMessage(const std::vector<CutLines>& files);

// Takes the first line off `block` (as LineReader::next would give it); false when it is empty.
[[nodiscard]] bool nextLineOf(std::string_view& block, TextLine& line);

}  // namespace tunex
