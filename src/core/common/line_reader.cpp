#include "core/common/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace tunex {

namespace {
constexpr size_t kChunk = 1 << 20;
}

bool LineReader::open(const std::filesystem::path& path) {
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
    buffer_.resize(kChunk);
    begin_ = end_ = 0;
    eof_ = failed_ = false;
    overlongLines_ = 0;
    return true;
}

void LineReader::close() {
    fd_.reset();
}

bool LineReader::fill() {
    if (eof_ || !fd_) {
        return false;
    }
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        buffer_.resize(buffer_.size() * 2);
    }
    const ssize_t got = readSome(fd_.get(), buffer_.data() + end_, buffer_.size() - end_);
    if (got > 0) {
        end_ += static_cast<size_t>(got);
        return true;
    }
    failed_ = got < 0;
    eof_ = true;
    return false;
}

bool LineReader::next(TextLine& line) {
    size_t scanned = begin_;
    for (;;) {
        const auto* found =
            static_cast<const char*>(std::memchr(buffer_.data() + scanned, '\n', end_ - scanned));
        if (found != nullptr) {
            const auto newline = static_cast<size_t>(found - buffer_.data());
            size_t stop = newline;
            if (stop > begin_ && buffer_[stop - 1] == '\r') {
                --stop;
            }
            line.text = std::string_view(buffer_.data() + begin_, stop - begin_);
            line.hasLineEnd = true;
            begin_ = newline + 1;
            return true;
        }
        if (end_ - begin_ >= kMaxLineLength) {
            line.hasLineEnd = cutOverlongLine();
            line.text = cut_;
            return true;
        }
        const size_t consumed = begin_;
        scanned = end_;
        if (!fill()) {
            break;
        }
        scanned -= consumed;  // fill() moved the pending text to the front
    }
    if (begin_ == end_) {
        return false;
    }
    line.text = std::string_view(buffer_.data() + begin_, end_ - begin_);
    line.hasLineEnd = false;
    begin_ = end_;
    return true;
}

bool LineReader::cutOverlongLine() {
    cut_.assign(buffer_.data() + begin_, kMaxLineLength);
    ++overlongLines_;
    begin_ += kMaxLineLength;
    for (;;) {
        const auto* found =
            static_cast<const char*>(std::memchr(buffer_.data() + begin_, '\n', end_ - begin_));
        if (found != nullptr) {
            begin_ = static_cast<size_t>(found - buffer_.data()) + 1;
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
            std::memchr(buffer_.data() + begin_, '\n', end_ - begin_) == nullptr) {
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
                static_cast<const char*>(::memrchr(buffer_.data() + begin_, '\n', end_ - begin_));
            if (last != nullptr) {
                const size_t stop = static_cast<size_t>(last - buffer_.data()) + 1;
                block = std::string_view(buffer_.data() + begin_, stop - begin_);
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
    block = std::string_view(buffer_.data() + begin_, end_ - begin_);
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
