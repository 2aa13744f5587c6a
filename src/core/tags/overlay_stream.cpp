#include "core/tags/overlay_stream.h"

#include <algorithm>

#include "core/common/unique_fd.h"

namespace tunex {

OverlayStream::OverlayStream(int fd, std::int64_t size, std::string name)
    : fd_(fd), fileSize_(size), name_(std::move(name)), length_(size) {
    if (size > 0) {
        pieces_.push_back(Piece{0, size, {}});
    }
}

TagLib::FileName OverlayStream::name() const {
    return name_.c_str();
}

bool OverlayStream::readFile(std::int64_t offset, std::int64_t length, std::string& out) const {
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(length));
    if (readFullyAt(fd_, out.data() + at, static_cast<std::size_t>(length), offset) != length) {
        out.resize(at);
        readFailed_ = true;
        return false;
    }
    return true;
}

std::pair<std::size_t, std::int64_t> OverlayStream::locate(std::int64_t offset) const {
    std::size_t index = 0;
    std::int64_t start = 0;
    if (cursorIndex_ < pieces_.size() && cursorStart_ <= offset) {
        index = cursorIndex_;
        start = cursorStart_;
    }
    while (index < pieces_.size() && start + pieces_[index].length <= offset) {
        start += pieces_[index].length;
        ++index;
    }
    cursorIndex_ = index;
    cursorStart_ = start;
    return {index, start};
}

TagLib::ByteVector OverlayStream::readBlock(unsigned long length) {
    std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(length),
                                               std::max<std::int64_t>(length_ - position_, 0));
    std::string out;
    out.reserve(static_cast<std::size_t>(want));
    auto [index, start] = locate(position_);
    for (; index < pieces_.size() && want > 0; ++index) {
        const Piece& piece = pieces_[index];
        const std::int64_t skip = position_ - start;
        const std::int64_t take = std::min(piece.length - skip, want);
        if (piece.source < 0) {
            out.append(piece.bytes, static_cast<std::size_t>(skip), static_cast<std::size_t>(take));
        } else if (!readFile(piece.source + skip, take, out)) {
            break;
        }
        position_ += take;
        want -= take;
        start += piece.length;
    }
    return {out.data(), static_cast<unsigned int>(out.size())};
}

std::size_t OverlayStream::splitAt(std::int64_t offset) {
    const auto [index, start] = locate(offset);
    if (index == pieces_.size() || offset == start) {
        return index;
    }
    Piece& piece = pieces_[index];
    const std::int64_t head = offset - start;
    Piece tail{piece.source < 0 ? -1 : piece.source + head, piece.length - head, {}};
    if (piece.source < 0) {
        tail.bytes = piece.bytes.substr(static_cast<std::size_t>(head));
        piece.bytes.resize(static_cast<std::size_t>(head));
    }
    piece.length = head;
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::move(tail));
    return index + 1;
}

void OverlayStream::replace(std::int64_t start, std::int64_t length, std::string_view data) {
    if (start > length_) {
        // Writing behind the end fills the gap with zeros, as a file would.
        const std::int64_t gap = start - length_;
        pieces_.push_back(Piece{-1, gap, std::string(static_cast<std::size_t>(gap), '\0')});
        length_ = start;
    }
    length = std::clamp<std::int64_t>(length, 0, length_ - start);
    const std::size_t first = splitAt(start);
    const std::size_t last = splitAt(start + length);
    pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(first),
                  pieces_.begin() + static_cast<std::ptrdiff_t>(last));
    // The pieces before `first` end at `start` and stay as they are: the next search begins at
    // the one before it. TagLib writes front to back, so each write finds its place at once.
    cursorIndex_ = first > 0 ? first - 1 : 0;
    cursorStart_ = first > 0 ? start - pieces_[first - 1].length : 0;
    if (!data.empty()) {
        if (first > 0 && pieces_[first - 1].source < 0) {
            Piece& before = pieces_[first - 1];
            before.bytes.append(data);
            before.length += std::ssize(data);
        } else {
            pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(first),
                           Piece{-1, std::ssize(data), std::string(data)});
        }
    }
    length_ += std::ssize(data) - length;
}

void OverlayStream::writeBlock(const TagLib::ByteVector& data) {
    const std::string_view bytes(data.data(), data.size());
    replace(position_, std::ssize(bytes), bytes);
    position_ += std::ssize(bytes);
}

void OverlayStream::insert(const TagLib::ByteVector& data, unsigned long start,
                           unsigned long replaced) {
    replace(static_cast<std::int64_t>(start), static_cast<std::int64_t>(replaced),
            std::string_view(data.data(), data.size()));
}

void OverlayStream::removeBlock(unsigned long start, unsigned long length) {
    replace(static_cast<std::int64_t>(start), static_cast<std::int64_t>(length), {});
}

void OverlayStream::seek(long offset, Position p) {
    const std::int64_t base = p == Beginning ? 0 : p == Current ? position_ : length_;
    position_ = std::max<std::int64_t>(base + offset, 0);
}

long OverlayStream::tell() const {
    return static_cast<long>(position_);
}

long OverlayStream::length() {
    return static_cast<long>(length_);
}

void OverlayStream::truncate(long length) {
    if (length < length_) {
        replace(length, length_ - length, {});
    } else {
        replace(length_, 0, std::string(static_cast<std::size_t>(length - length_), '\0'));
    }
}

bool OverlayStream::splices(std::vector<Splice>& out) const {
    out.clear();
    std::int64_t original = 0;  // the next file byte still in its place
    std::string pending;
    const auto flush = [&](std::int64_t upTo) {
        if (!pending.empty() || upTo > original) {
            out.push_back(Splice{original, upTo - original, std::move(pending)});
            pending.clear();
        }
    };
    for (const Piece& piece : pieces_) {
        if (piece.source < 0) {
            pending += piece.bytes;
        } else if (piece.source >= original) {
            flush(piece.source);
            original = piece.source + piece.length;
        } else if (!readFile(piece.source, piece.length, pending)) {
            return false;
        }
    }
    flush(fileSize_);
    // TagLib rewrites whole blocks; bytes it writes back unchanged are no change.
    std::vector<Splice> trimmed;
    std::string before;
    for (Splice& s : out) {
        before.clear();
        if (!readFile(s.offset, s.length, before)) {
            return false;
        }
        const auto common =
            static_cast<std::int64_t>(std::ranges::mismatch(s.bytes, before).in1 - s.bytes.begin());
        s.offset += common;
        s.length -= common;
        s.bytes.erase(0, static_cast<std::size_t>(common));
        before.erase(0, static_cast<std::size_t>(common));
        const auto tail = static_cast<std::int64_t>(
            std::mismatch(s.bytes.rbegin(), s.bytes.rend(), before.rbegin(), before.rend()).first -
            s.bytes.rbegin());
        s.length -= tail;
        s.bytes.resize(s.bytes.size() - static_cast<std::size_t>(tail));
        if (s.length > 0 || !s.bytes.empty()) {
            trimmed.push_back(std::move(s));
        }
    }
    out = std::move(trimmed);
    return true;
}

}  // namespace tunex
