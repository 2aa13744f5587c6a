#include "core/common/journal_group.h"

#include <sys/stat.h>

#include <algorithm>

namespace tunex::journal {

namespace {

constexpr std::string_view kRecordMark = "TXJR";
// Splices hold tags, never the audio.
constexpr std::uint64_t kMaxSpliceBytes = std::uint64_t{64} << 20;

constexpr std::uint64_t kFnvOffset = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

std::uint64_t fnv(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    }
    return hash;
}

template <typename T>
void putInt(std::string& out, T value) {
    const auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
    }
}

template <typename T>
T getInt(std::string_view bytes) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    return static_cast<T>(bits);
}

// Reads a group file record by record; a record cut short or damaged ends the reading (its
// file was never touched: files change only after the whole group reached the disk).
class GroupReader final {
public:
    explicit GroupReader(int fd) : fd_(fd) {}

    [[nodiscard]] bool readHeader() const {
        std::string head(kGroupHeader.size(), '\0');
        return readFullyAt(fd_, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
               head == kGroupHeader;
    }

    // The next whole record; nothing (and the position unchanged) when none follows.
    [[nodiscard]] std::optional<Record> next() {
        const std::int64_t start = position_;
        auto record = readRecord();
        if (!record) {
            position_ = start;
        }
        return record;
    }

    // Whether the trailer stands right behind the last record read.
    [[nodiscard]] bool atDoneTrailer() {
        std::string rest;
        struct stat info {};
        return ::fstat(fd_, &info) == 0 &&
               info.st_size == position_ + static_cast<std::int64_t>(kDoneTrailer.size()) &&
               read(kDoneTrailer.size(), rest) && rest == kDoneTrailer;
    }

private:
    std::optional<Record> readRecord() {
        std::string fixed;
        if (!read(4 + 4, fixed) || std::string_view(fixed).substr(0, 4) != kRecordMark) {
            return std::nullopt;
        }
        std::uint64_t hash = fnv(kFnvOffset, fixed);
        const auto pathLength = getInt<std::uint32_t>(std::string_view(fixed).substr(4));
        if (pathLength == 0 || pathLength > 65536) {
            return std::nullopt;
        }
        Record record;
        std::string meta;
        if (!read(pathLength + 5 * 8 + 4, meta)) {
            return std::nullopt;
        }
        hash = fnv(hash, meta);
        const std::string_view m(meta);
        record.path = std::string(m.substr(0, pathLength));
        std::string_view numbers = m.substr(pathLength);
        record.before.device = getInt<std::uint64_t>(numbers);
        record.before.inode = getInt<std::uint64_t>(numbers.substr(8));
        record.before.size = getInt<std::int64_t>(numbers.substr(16));
        record.newSize = getInt<std::int64_t>(numbers.substr(24));
        record.before.mtimeNs = getInt<std::int64_t>(numbers.substr(32));
        const auto regionCount = getInt<std::uint32_t>(numbers.substr(40));
        for (std::uint32_t i = 0; i < regionCount; ++i) {
            std::string bounds;
            if (!read(16, bounds)) {
                return std::nullopt;
            }
            hash = fnv(hash, bounds);
            Region region{getInt<std::int64_t>(bounds), getInt<std::int64_t>(bounds.substr(8)),
                          position_};
            if (region.offset < 0 || region.length < 0 || region.offset > record.before.size ||
                region.length > record.before.size - region.offset) {
                return std::nullopt;
            }
            for (std::int64_t done = 0; done < region.length;) {
                std::string chunk;
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
                    region.length - done, static_cast<std::int64_t>(kChunk)));
                if (!read(want, chunk)) {
                    return std::nullopt;
                }
                hash = fnv(hash, chunk);
                done += static_cast<std::int64_t>(want);
            }
            record.regions.push_back(region);
        }
        std::string count;
        if (!read(4, count)) {
            return std::nullopt;
        }
        hash = fnv(hash, count);
        const auto spliceCount = getInt<std::uint32_t>(count);
        for (std::uint32_t i = 0; i < spliceCount; ++i) {
            std::string head;
            if (!read(24, head)) {
                return std::nullopt;
            }
            hash = fnv(hash, head);
            const auto byteCount = getInt<std::uint64_t>(std::string_view(head).substr(16));
            std::string bytes;
            if (byteCount > kMaxSpliceBytes || !read(static_cast<std::size_t>(byteCount), bytes)) {
                return std::nullopt;
            }
            hash = fnv(hash, bytes);
            record.splices.push_back({getInt<std::int64_t>(head),
                                      getInt<std::int64_t>(std::string_view(head).substr(8)),
                                      std::move(bytes)});
        }
        std::string sum;
        if (!read(8, sum) || getInt<std::uint64_t>(sum) != hash) {
            return std::nullopt;
        }
        return record;
    }

    bool read(std::size_t size, std::string& out) {
        out.resize(size);
        if (readFullyAt(fd_, out.data(), size, position_) != static_cast<ssize_t>(size)) {
            return false;
        }
        position_ += static_cast<std::int64_t>(size);
        return true;
    }

    int fd_;
    std::int64_t position_ = static_cast<std::int64_t>(kGroupHeader.size());
};

}  // namespace

// The regions of the original file a change overwrites: each splice's bytes, and everything
// from the first splice that changes the size to the end when the rest must move.
std::vector<std::pair<std::int64_t, std::int64_t>> regionsOf(const FileChange& change) {
    std::vector<std::pair<std::int64_t, std::int64_t>> regions;
    const std::int64_t size = change.before.size;
    for (const Splice& s : change.splices) {
        const bool sameSize = static_cast<std::int64_t>(s.bytes.size()) == s.length;
        const bool appended = s.offset == size && s.length == 0;
        if (sameSize || (appended && change.inPlace())) {
            regions.emplace_back(s.offset, s.length);
            continue;
        }
        regions.emplace_back(s.offset, size - s.offset);
        break;
    }
    return regions;
}

std::optional<std::vector<Region>> appendRecord(int journalFd, std::int64_t& position,
                                                const FileChange& change, int file) {
    std::vector<Region> regions;
    std::string chunk;
    bool journaled = true;
    std::string head(kRecordMark);
    putInt(head, static_cast<std::uint32_t>(change.path.size()));
    head += change.path;
    putInt(head, change.before.device);
    putInt(head, change.before.inode);
    putInt(head, change.before.size);
    putInt(head, change.sizeAfter());
    putInt(head, change.before.mtimeNs);
    const auto bounds = regionsOf(change);
    putInt(head, static_cast<std::uint32_t>(bounds.size()));
    std::uint64_t hash = fnv(kFnvOffset, head);
    journaled = writeAll(journalFd, head);
    position += static_cast<std::int64_t>(head.size());
    for (const auto& [offset, length] : bounds) {
        std::string numbers;
        putInt(numbers, offset);
        putInt(numbers, length);
        hash = fnv(hash, numbers);
        journaled = journaled && writeAll(journalFd, numbers);
        position += 16;
        regions.push_back({offset, length, position});
        for (std::int64_t done = 0; journaled && done < length;) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(length - done, static_cast<std::int64_t>(kChunk)));
            chunk.resize(want);
            journaled = readFullyAt(file, chunk.data(), want, offset + done) ==
                            static_cast<ssize_t>(want) &&
                        writeAll(journalFd, chunk);
            hash = fnv(hash, chunk);
            done += static_cast<std::int64_t>(want);
        }
        position += length;
    }
    std::string splices;
    putInt(splices, static_cast<std::uint32_t>(change.splices.size()));
    for (const Splice& splice : change.splices) {
        putInt(splices, splice.offset);
        putInt(splices, splice.length);
        putInt(splices, static_cast<std::uint64_t>(splice.bytes.size()));
        splices += splice.bytes;
    }
    hash = fnv(hash, splices);
    std::string sum;
    putInt(sum, hash);
    journaled = journaled && writeAll(journalFd, splices) && writeAll(journalFd, sum);
    position += std::ssize(splices) + 8;
    if (!journaled) {
        return std::nullopt;
    }
    return regions;
}

GroupContents readGroup(int journalFd) {
    GroupContents contents;
    GroupReader reader(journalFd);
    if (!reader.readHeader()) {
        return contents;
    }
    while (auto record = reader.next()) {
        contents.records.push_back(std::move(*record));
    }
    contents.done = reader.atDoneTrailer();
    return contents;
}

bool readJournal(int journalFd, std::int64_t at, std::size_t size, std::string& out) {
    out.resize(size);
    return readFullyAt(journalFd, out.data(), size, at) == static_cast<ssize_t>(size);
}

}  // namespace tunex::journal
