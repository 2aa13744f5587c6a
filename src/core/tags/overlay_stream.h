#pragma once

#include <taglib/tiostream.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/journal/write_journal.h"

namespace tunex {

// A TagLib stream over a file opened read-only whose writes stay in memory: TagLib saves a tag
// into it as it would into the file, and the difference comes out as splices for the write
// journal. Only the pieces TagLib writes are held; the rest is read from the file when asked.
class OverlayStream final : public TagLib::IOStream {
public:
    // `fd` stays owned by the caller and must outlive the stream; `size` is the file's size.
    OverlayStream(int fd, std::int64_t size, std::string name);

    [[nodiscard]] TagLib::FileName name() const override;
    [[nodiscard]] TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0,
                unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    [[nodiscard]] bool readOnly() const override { return false; }
    [[nodiscard]] bool isOpen() const override { return fd_ >= 0; }
    void seek(long offset, Position p = Beginning) override;
    [[nodiscard]] long tell() const override;
    [[nodiscard]] long length() override;
    void truncate(long length) override;

    // The changes that turn the file into what the stream now holds, sorted, not overlapping,
    // and without bytes that are written back unchanged. False when the file could not be read.
    [[nodiscard]] bool splices(std::vector<Splice>& out) const;
    // Whether a read of the file failed; what TagLib did afterwards cannot be trusted.
    [[nodiscard]] bool readFailed() const { return readFailed_; }

private:
    // A run of the stream's bytes: from the file at `source`, or `bytes` when source is -1.
    struct Piece {
        std::int64_t source = -1;
        std::int64_t length = 0;
        std::string bytes;
    };

    void replace(std::int64_t start, std::int64_t length, std::string_view data);
    // The piece holding `offset` and where it starts, searched from the last one found when that
    // lies before it; pieces_.size() when `offset` is at or past the end.
    [[nodiscard]] std::pair<std::size_t, std::int64_t> locate(std::int64_t offset) const;
    // Splits the piece holding `offset` so that a piece starts there; returns its index.
    std::size_t splitAt(std::int64_t offset);
    [[nodiscard]] bool readFile(std::int64_t offset, std::int64_t length, std::string& out) const;

    int fd_;
    std::int64_t fileSize_;
    std::string name_;
    std::vector<Piece> pieces_;
    std::int64_t length_;
    std::int64_t position_ = 0;
    // Where the last search ended: a piece and its start.
    mutable std::size_t cursorIndex_ = 0;
    mutable std::int64_t cursorStart_ = 0;
    mutable bool readFailed_ = false;
};

}  // namespace tunex
