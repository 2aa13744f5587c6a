#include "core/journal/journal_group.h"

#include "core/journal/region_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <filesystem>

namespace tunex::journal {

namespace {

constexpr std::string_view kRecordMark = "TXJR";
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;
constexpr std::int64_t kSampleBytes = 4096;
// No file system's block, and so no gap, is larger.
constexpr std::uint32_t kLargestGap = 1U << 20;

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

// Reads a group file record by record. A record that does not read whole is damaged when the
// file holds all the bytes it says it has (a later byte went bad), else it was cut off while the
// group was journaled, and its file was never touched.
class GroupReader final {
public:
    explicit GroupReader(int fd) : fd_(fd) {
        struct stat info {};
        size_ = ::fstat(fd_, &info) == 0 ? info.st_size : 0;
    }

    [[nodiscard]] bool readHeader() {
        std::string head;
        if (!read(kGroupHeader.size(), head)) {
            return false;
        }
        firstVersion_ = head == kGroupHeaderV1;
        thirdVersion_ = head == kGroupHeader;
        return firstVersion_ || thirdVersion_ || head == kGroupHeaderV2;
    }

    // The next entry; nothing at the end of the records.
    [[nodiscard]] std::optional<Entry> next(std::int64_t end) {
        if (position_ >= end) {
            return std::nullopt;
        }
        Entry entry;
        entry.start = position_;
        truncated_ = false;
        entry.record = readRecord(entry.path);
        if (entry.record) {
            entry.end = position_;
            return entry;
        }
        // Damaged when a whole record follows, or when it holds every byte it claims.
        const bool cutOff = truncated_;
        entry.end = nextRecordAfter(entry.start + 1, end);
        if (entry.end == end && cutOff) {
            return std::nullopt;
        }
        position_ = entry.end;
        return entry;
    }

    [[nodiscard]] std::int64_t size() const { return size_; }
    [[nodiscard]] bool firstVersion() const { return firstVersion_; }

private:
    std::int64_t nextRecordAfter(std::int64_t from, std::int64_t end) {
        std::string window;
        for (std::int64_t at = from; at < end;) {
            const auto want =
                static_cast<std::size_t>(std::min<std::int64_t>(end - at, kChunk + 3));
            if (!readJournal(fd_, at, want, window)) {
                return end;
            }
            for (std::size_t hit = window.find(kRecordMark); hit != std::string::npos;
                 hit = window.find(kRecordMark, hit + 1)) {
                position_ = at + static_cast<std::int64_t>(hit);
                std::string path;
                if (readRecord(path)) {
                    return at + static_cast<std::int64_t>(hit);
                }
            }
            at += static_cast<std::int64_t>(kChunk);
        }
        return end;
    }

    std::optional<Record> readRecord(std::string& path) {
        std::string fixed;
        if (!read(4 + 4, fixed) || std::string_view(fixed).substr(0, 4) != kRecordMark) {
            return std::nullopt;
        }
        RecordHash hash(thirdVersion_);
        hash.add(fixed);
        const auto pathLength = getInt<std::uint32_t>(std::string_view(fixed).substr(4));
        if (pathLength == 0 || pathLength > 65536) {
            return std::nullopt;
        }
        Record record;
        std::string meta;
        if (!read(pathLength + 5 * 8 + 4, meta)) {
            return std::nullopt;
        }
        hash.add(meta);
        const std::string_view m(meta);
        record.path = std::string(m.substr(0, pathLength));
        path = record.path;
        std::string_view numbers = m.substr(pathLength);
        record.before.device = getInt<std::uint64_t>(numbers);
        record.before.inode = getInt<std::uint64_t>(numbers.substr(8));
        record.before.size = getInt<std::int64_t>(numbers.substr(16));
        record.newSize = getInt<std::int64_t>(numbers.substr(24));
        record.before.mtimeNs = getInt<std::int64_t>(numbers.substr(32));
        if (!readRegions(getInt<std::uint32_t>(numbers.substr(40)), record, hash)) {
            return std::nullopt;
        }
        std::string count;
        if (!read(4, count)) {
            return std::nullopt;
        }
        hash.add(count);
        const auto spliceCount = getInt<std::uint32_t>(count);
        for (std::uint32_t i = 0; i < spliceCount; ++i) {
            std::string head;
            if (!read(24, head)) {
                return std::nullopt;
            }
            hash.add(head);
            const auto byteCount = getInt<std::uint64_t>(std::string_view(head).substr(16));
            std::string bytes;
            if (byteCount > kMaxSpliceBytes || !read(static_cast<std::size_t>(byteCount), bytes)) {
                return std::nullopt;
            }
            hash.add(bytes);
            record.splices.push_back({getInt<std::int64_t>(head),
                                      getInt<std::int64_t>(std::string_view(head).substr(8)),
                                      std::move(bytes)});
        }
        if (!firstVersion_) {
            std::string sample;
            if (!read(32, sample)) {
                return std::nullopt;
            }
            hash.add(sample);
            record.sample = {getInt<std::int64_t>(sample), getInt<std::int64_t>(sample.substr(8)),
                             getInt<std::uint64_t>(sample.substr(16)),
                             getInt<std::int64_t>(sample.substr(24))};
        }
        std::string sum;
        if (!read(8, sum) || getInt<std::uint64_t>(sum) != hash.value()) {
            return std::nullopt;
        }
        return record;
    }

    // The regions of a record, their bytes hashed and passed over.
    bool readRegions(std::uint32_t count, Record& record, RecordHash& hash) {
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string bounds;
            if (!read(16, bounds)) {
                return false;
            }
            hash.add(bounds);
            if (thirdVersion_ && !skipGap(hash)) {
                return false;
            }
            Region region{getInt<std::int64_t>(bounds), getInt<std::int64_t>(bounds.substr(8)),
                          position_};
            if (region.offset < 0 || region.length < 0 || region.offset > record.before.size ||
                region.length > record.before.size - region.offset ||
                !hashBytes(region.length, hash)) {
                return false;
            }
            record.regions.push_back(region);
        }
        return true;
    }

    // The zero bytes that line a region's bytes up for a clone.
    bool skipGap(RecordHash& hash) {
        std::string gap;
        if (!read(4, gap)) {
            return false;
        }
        hash.add(gap);
        const auto size = getInt<std::uint32_t>(gap);
        return size <= kLargestGap && hashBytes(size, hash);
    }

    // Hashes the next `length` bytes without keeping them.
    bool hashBytes(std::int64_t length, RecordHash& hash) {
        std::string chunk;
        for (std::int64_t done = 0; done < length;) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(length - done, static_cast<std::int64_t>(kChunk)));
            if (!read(want, chunk)) {
                return false;
            }
            hash.add(chunk);
            done += static_cast<std::int64_t>(want);
        }
        return true;
    }

    bool read(std::size_t size, std::string& out) {
        if (static_cast<std::int64_t>(size) > size_ - position_) {
            truncated_ = true;
            return false;
        }
        out.resize(size);
        if (readFullyAt(fd_, out.data(), size, position_) != static_cast<ssize_t>(size)) {
            return false;
        }
        position_ += static_cast<std::int64_t>(size);
        return true;
    }

    int fd_;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
    bool firstVersion_ = false;
    bool thirdVersion_ = false;  // records summed the wide way, regions with a gap
    bool truncated_ = false;
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
    RecordHash hash(true);
    hash.add(head);
    bool journaled = writeAll(journalFd, head);
    position += static_cast<std::int64_t>(head.size());
    for (const auto& [offset, length] : bounds) {
        std::string numbers;
        putInt(numbers, offset);
        putInt(numbers, length);
        const RegionLayout layout =
            layoutRegion(journalFd, file, position + 20, offset, length, change.before.size);
        putInt(numbers, layout.gap);
        numbers.append(layout.gap, '\0');
        hash.add(numbers);
        journaled = journaled && writeAll(journalFd, numbers);
        position += std::ssize(numbers);
        regions.push_back({offset, length, position});
        journaled =
            journaled && appendRegionBytes(journalFd, position, file, offset, length, layout, hash);
        position += length;
    }
    std::string tail;
    putInt(tail, static_cast<std::uint32_t>(change.splices.size()));
    for (const Splice& splice : change.splices) {
        putInt(tail, splice.offset);
        putInt(tail, splice.length);
        putInt(tail, static_cast<std::uint64_t>(splice.bytes.size()));
        tail += splice.bytes;
    }
    const Sample sample = sampleOf(change, file);
    putInt(tail, sample.offset);
    putInt(tail, sample.length);
    putInt(tail, sample.hash);
    putInt(tail, sample.birthNs);
    hash.add(tail);
    putInt(tail, hash.value());
    journaled = journaled && writeAll(journalFd, tail);
    position += std::ssize(tail);
    if (!journaled) {
        return std::nullopt;
    }
    return regions;
}

bool appendDoneTrailer(int journalFd, std::int64_t position) {
    std::string trailer(kDoneMark);
    putInt(trailer, position);
    trailer += kDoneMark;
    return writeAll(journalFd, trailer);
}

bool groupDone(int journalFd) {
    struct stat info {};
    if (::fstat(journalFd, &info) != 0) {
        return false;
    }
    const auto size = static_cast<std::int64_t>(info.st_size);
    std::string end;
    const auto trailer = static_cast<std::int64_t>(kDoneTrailerSize);
    if (size >= static_cast<std::int64_t>(kGroupHeader.size()) + trailer &&
        readJournal(journalFd, size - trailer, kDoneTrailerSize, end)) {
        // Two of its three parts are enough: one bad byte never makes it look unfinished.
        const std::string_view e(end);
        const int parts = (e.substr(0, 8) == kDoneMark ? 1 : 0) +
                          (getInt<std::int64_t>(e.substr(8)) == size - trailer ? 1 : 0) +
                          (e.substr(16) == kDoneMark ? 1 : 0);
        if (parts >= 2) {
            return true;
        }
    }
    std::string head;
    // A group of the first version ends in the bare mark.
    return readJournal(journalFd, 0, kGroupHeaderV1.size(), head) && head == kGroupHeaderV1 &&
           size >= static_cast<std::int64_t>(kDoneMark.size()) &&
           readJournal(journalFd, size - static_cast<std::int64_t>(kDoneMark.size()),
                       kDoneMark.size(), end) &&
           end == kDoneMark;
}

GroupContents readGroup(int journalFd) {
    GroupContents contents;
    contents.done = groupDone(journalFd);
    GroupReader reader(journalFd);
    if (!reader.readHeader()) {
        return contents;
    }
    const std::int64_t trailer = reader.firstVersion()
                                     ? static_cast<std::int64_t>(kDoneMark.size())
                                     : static_cast<std::int64_t>(kDoneTrailerSize);
    const std::int64_t end = contents.done ? reader.size() - trailer : reader.size();
    while (auto entry = reader.next(end)) {
        contents.entries.push_back(std::move(*entry));
    }
    return contents;
}

bool rewriteGroup(const std::string& path, int journalFd, const std::vector<Entry>& kept) {
    const std::filesystem::path target(path);
    if (kept.empty()) {
        std::error_code error;
        std::filesystem::remove(target, error);
        return !error && syncFolder(target.parent_path());
    }
    const std::string scratch = path + ".new";
    UniqueFd out(::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    std::string head;
    bool written =
        out && readJournal(journalFd, 0, kGroupHeader.size(), head) && writeAll(out.get(), head);
    std::string chunk;
    for (const Entry& entry : kept) {
        for (std::int64_t at = entry.start; written && at < entry.end;) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(entry.end - at, static_cast<std::int64_t>(kChunk)));
            written = readJournal(journalFd, at, want, chunk) && writeAll(out.get(), chunk);
            at += static_cast<std::int64_t>(want);
        }
    }
    written = written && ::fdatasync(out.get()) == 0 && out.close() &&
              ::rename(scratch.c_str(), path.c_str()) == 0 && syncFolder(target.parent_path());
    if (!written) {
        ::unlink(scratch.c_str());
    }
    return written;
}

bool readJournal(int journalFd, std::int64_t at, std::size_t size, std::string& out) {
    out.resize(size);
    return readFullyAt(journalFd, out.data(), size, at) == static_cast<ssize_t>(size);
}

std::uint64_t fnv(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    }
    return hash;
}

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ULL;

std::uint64_t word64(const char* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;  // the same sum on any machine is not needed: a journal stays where it was made
}

std::uint64_t round64(std::uint64_t lane, std::uint64_t word) {
    return std::rotl(lane + word * kPrime2, 31) * kPrime1;
}

}  // namespace

RecordHash::RecordHash(bool wide)
    : wide_(wide), lanes_{kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1} {}

void RecordHash::stripe(const char* bytes) {
    for (std::size_t i = 0; i < lanes_.size(); ++i) {
        lanes_[i] = round64(lanes_[i], word64(bytes + 8 * i));
    }
}

void RecordHash::add(std::string_view bytes) {
    if (!wide_) {
        fnv_ = fnv(fnv_, bytes);
        return;
    }
    total_ += bytes.size();
    std::size_t at = 0;
    if (pendingSize_ > 0) {
        const std::size_t take = std::min(bytes.size(), pending_.size() - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, bytes.data(), take);
        pendingSize_ += take;
        at = take;
        if (pendingSize_ < pending_.size()) {
            return;
        }
        stripe(pending_.data());
        pendingSize_ = 0;
    }
    for (; at + pending_.size() <= bytes.size(); at += pending_.size()) {
        stripe(bytes.data() + at);
    }
    pendingSize_ = bytes.size() - at;
    std::memcpy(pending_.data(), bytes.data() + at, pendingSize_);
}

std::uint64_t RecordHash::value() const {
    if (!wide_) {
        return fnv_;
    }
    std::uint64_t hash = kPrime5;
    if (total_ >= pending_.size()) {
        hash = std::rotl(lanes_[0], 1) + std::rotl(lanes_[1], 7) + std::rotl(lanes_[2], 12) +
               std::rotl(lanes_[3], 18);
        for (const std::uint64_t lane : lanes_) {
            hash = (hash ^ round64(0, lane)) * kPrime1 + kPrime4;
        }
    }
    hash += total_;
    std::size_t at = 0;
    for (; at + 8 <= pendingSize_; at += 8) {
        hash = std::rotl(hash ^ round64(0, word64(pending_.data() + at)), 27) * kPrime1 + kPrime4;
    }
    for (; at < pendingSize_; ++at) {
        hash = std::rotl(hash ^ (static_cast<unsigned char>(pending_[at]) * kPrime5), 11) * kPrime1;
    }
    hash = (hash ^ (hash >> 33)) * kPrime2;
    hash = (hash ^ (hash >> 29)) * kPrime3;
    return hash ^ (hash >> 32);
}

namespace {

// How far the change moves the bytes at `offset` of the original file (no splice covers it).
std::int64_t shiftAt(const std::vector<Splice>& splices, std::int64_t offset) {
    std::int64_t shift = 0;
    for (const Splice& s : splices) {
        if (s.offset + s.length <= offset) {
            shift += std::ssize(s.bytes) - s.length;
        }
    }
    return shift;
}

bool sampleAt(int file, const Sample& sample, std::int64_t at) {
    std::string bytes;
    return at >= 0 && readJournal(file, at, static_cast<std::size_t>(sample.length), bytes) &&
           fnv(kFnvOffset, bytes) == sample.hash;
}

}  // namespace

std::int64_t birthOf(int file) {
    struct statx info {};
    if (::statx(file, "", AT_EMPTY_PATH, STATX_BTIME, &info) != 0 ||
        (info.stx_mask & STATX_BTIME) == 0) {
        return 0;
    }
    return static_cast<std::int64_t>(info.stx_btime.tv_sec) * 1000000000 + info.stx_btime.tv_nsec;
}

Sample sampleOf(const FileChange& change, int file) {
    std::int64_t best = 0;
    std::int64_t bestLength = 0;
    std::int64_t from = 0;
    const auto consider = [&](std::int64_t to) {
        if (to - from > bestLength) {
            best = from;
            bestLength = to - from;
        }
    };
    for (const Splice& s : change.splices) {
        consider(s.offset);
        from = std::max(from, s.offset + s.length);
    }
    consider(change.before.size);
    Sample sample;
    sample.birthNs = birthOf(file);
    sample.length = std::min(bestLength, kSampleBytes);
    sample.offset = best + (bestLength - sample.length) / 2;
    std::string bytes;
    if (sample.length == 0 ||
        !readJournal(file, sample.offset, static_cast<std::size_t>(sample.length), bytes)) {
        return {0, 0, 0, sample.birthNs};
    }
    sample.hash = fnv(kFnvOffset, bytes);
    return sample;
}

bool holdsSample(const Record& record, int file, std::int64_t size) {
    const Sample& sample = record.sample;
    if (sample.length == 0) {
        return false;
    }
    // Where this write left it, or another program that rewrote the tag at the front, with or
    // without a 128-byte tag at the end.
    const std::int64_t fromEnd = sample.offset - record.before.size + size;
    const std::array<std::int64_t, 5> places = {
        sample.offset, sample.offset + shiftAt(record.splices, sample.offset), fromEnd,
        fromEnd - 128, fromEnd + 128};
    return std::ranges::any_of(places, [&](std::int64_t at) { return sampleAt(file, sample, at); });
}

}  // namespace tunex::journal
