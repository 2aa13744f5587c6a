#include "core/common/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace tunex {

namespace {
// Small enough that a search's passes over a stretch find it still in the cache.
constexpr size_t kChunk = 256 << 10;
// A reader after the first line only (a collection's name) should not pay for a whole chunk.
constexpr size_t kFirstChunk = 16 << 10;
// A smaller file is read in a call or two: a mapping would cost more than the copy it spares.
constexpr size_t kSmallestMapped = 64 << 10;
}  // namespace

bool LineReader::open(const std::filesystem::path& path, ReadMode mode) {
    close();
    openError_.clear();
    // Non-blocking so that opening a FIFO returns at once, to be refused below.
    fd_.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd_) {
        openError_ = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        openError_ = "It is not a regular file.";
        close();
        return false;
    }
    begin_ = end_ = 0;
    eof_ = failed_ = false;
    firstRead_ = true;
    overlongLines_ = 0;
    if (mode == ReadMode::Mapped && info.st_size >= static_cast<off_t>(kSmallestMapped) &&
        static_cast<std::uintmax_t>(info.st_size) <= static_cast<std::uintmax_t>(PTRDIFF_MAX) &&
        mapping_.map(fd_.get(), static_cast<size_t>(info.st_size))) {
        data_ = mapping_.data();
        return true;
    }
    buffer_.resize(kChunk);
    data_ = buffer_.data();
    return true;
}

void LineReader::close() {
    fd_.reset();
    mapping_.reset();
}

bool LineReader::fill() {
    if (eof_ || !fd_) {
        return false;
    }
    if (mapping_.mapped()) {
        const MappedFill filled = fillMapped();
        if (filled != MappedFill::Grown) {
            return filled == MappedFill::More;
        }
    }
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        buffer_.resize(buffer_.size() * 2);
    }
    data_ = buffer_.data();
    const size_t room = buffer_.size() - end_;
    const ssize_t got =
        readSome(fd_.get(), buffer_.data() + end_, firstRead_ ? std::min(room, kFirstChunk) : room);
    firstRead_ = false;
    if (got > 0) {
        end_ += static_cast<size_t>(got);
        return true;
    }
    failed_ = got < 0;
    eof_ = true;
    return false;
}

LineReader::MappedFill LineReader::fillMapped() {
    // Touching the mapping past the file's end would raise SIGBUS: the size is asked again
    // before each stretch is taken, since another program may have cut the file short.
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) {
        failed_ = eof_ = true;
        return MappedFill::End;
    }
    const auto fileSize = static_cast<std::uintmax_t>(std::max<off_t>(info.st_size, 0));
    const size_t size = static_cast<size_t>(std::min<std::uintmax_t>(mapping_.size(), fileSize));
    // Pending text the file no longer holds is dropped, not read.
    end_ = std::max(begin_, std::min(end_, size));
    if (end_ < size) {
        // A chunk from the first pending byte, as the buffer would hold: lines are cut and
        // blocks end where reading would have put them.
        end_ = std::min(size, begin_ + kChunk > end_ ? begin_ + kChunk : end_ + kChunk);
        return MappedFill::More;
    }
    if (fileSize <= mapping_.size()) {
        eof_ = true;
        return MappedFill::End;
    }
    // Grown since it was mapped: the pending text moves to the buffer and the rest is read.
    const size_t pending = end_ - begin_;
    buffer_.resize(std::max(kChunk, 2 * pending));
    std::memcpy(buffer_.data(), data_ + begin_, pending);
    const auto resumeAt = static_cast<off_t>(mapping_.size());
    mapping_.reset();
    data_ = buffer_.data();
    begin_ = 0;
    end_ = pending;
    firstRead_ = false;
    if (::lseek(fd_.get(), resumeAt, SEEK_SET) != resumeAt) {
        failed_ = eof_ = true;
        return MappedFill::End;
    }
    return MappedFill::Grown;
}

bool LineReader::next(TextLine& line) {
    size_t scanned = 0;  // pending bytes already searched for a line end
    for (;;) {
        const char* const pending = data_ + begin_;
        const auto* found =
            static_cast<const char*>(std::memchr(pending + scanned, '\n', end_ - begin_ - scanned));
        if (found != nullptr) {
            const auto newline = static_cast<size_t>(found - data_);
            size_t stop = newline;
            if (stop > begin_ && data_[stop - 1] == '\r') {
                --stop;
            }
            line.text = std::string_view(pending, stop - begin_);
            line.hasLineEnd = true;
            begin_ = newline + 1;
            return true;
        }
        if (end_ - begin_ >= kMaxLineLength) {
            line.hasLineEnd = cutOverlongLine();
            line.text = cut_;
            return true;
        }
        scanned = end_ - begin_;
        if (!fill()) {
            break;
        }
        scanned = std::min(scanned, end_ - begin_);  // a file cut short drops pending bytes
    }
    if (begin_ == end_) {
        return false;
    }
    line.text = std::string_view(data_ + begin_, end_ - begin_);
    line.hasLineEnd = false;
    begin_ = end_;
    return true;
}

bool LineReader::cutOverlongLine() {
    cut_.assign(data_ + begin_, kMaxLineLength);
    ++overlongLines_;
    begin_ += kMaxLineLength;
    for (;;) {
        const auto* found =
            static_cast<const char*>(std::memchr(data_ + begin_, '\n', end_ - begin_));
        if (found != nullptr) {
            begin_ = static_cast<size_t>(found - data_) + 1;
            return true;
        }
        begin_ = end_;
        if (!fill()) {
            return false;
        }
    }
}

bool LineReader::nextBlock(std::string_view& block) {
    for (;;) {
        if (end_ - begin_ >= kMaxLineLength &&
            std::memchr(data_ + begin_, '\n', end_ - begin_) == nullptr) {
            // One over-long line: its first part as a block of its own.
            const bool ended = cutOverlongLine();
            if (ended) {
                cut_ += '\n';
            }
            block = cut_;
            return true;
        }
        if (begin_ < end_) {
            const auto* last =
                static_cast<const char*>(::memrchr(data_ + begin_, '\n', end_ - begin_));
            if (last != nullptr) {
                const size_t stop = static_cast<size_t>(last - data_) + 1;
                block = std::string_view(data_ + begin_, stop - begin_);
                begin_ = stop;
                return true;
            }
        }
        if (!fill()) {
            break;
        }
    }
    if (begin_ == end_) {
        return false;
    }
    block = std::string_view(data_ + begin_, end_ - begin_);
    begin_ = end_;
    return true;
}

bool nextLineOf(std::string_view& block, TextLine& line) {
    if (block.empty()) {
        return false;
    }
    const size_t newline = block.find('\n');
    if (newline == std::string_view::npos) {
        line.text = block;
        line.hasLineEnd = false;
        block = {};
        return true;
    }
    size_t stop = newline;
    if (stop > 0 && block[stop - 1] == '\r') {
        --stop;
    }
    line.text = block.substr(0, stop);
    line.hasLineEnd = true;
    block.remove_prefix(newline + 1);
    return true;
}

int overlongLinesIn(const std::filesystem::path& path) {
    LineReader reader;
    TextLine line;
    if (reader.open(path)) {
        while (reader.next(line)) {
        }
    }
    return reader.overlongLines();
}

std::optional<UserMessage> cutLinesMessage(const std::vector<CutLines>& files) {
    if (files.empty()) {
        return std::nullopt;
    }
    std::string text = "Lines longer than " + std::to_string(kMaxLineLength >> 20) +
                       " MiB were found and cut short; the rest of each was skipped:";
    for (const CutLines& file : files) {
        text.append("\n")
            .append(file.file.string())
            .append(": ")
            .append(std::to_string(file.lines))
            .append(file.lines == 1 ? " line" : " lines");
    }
    return UserMessage{std::move(text), captionFor("Damaged Lines"), MessageIcon::Warning};
}

}  // namespace tunex
