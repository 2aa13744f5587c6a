#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/journal/write_journal.h"

// The group files of the write journal: the header, one record per file with the bytes its change
// overwrites and the bytes it puts there, and a trailer once the group is done.
//   header:  "TUNEXJ3\n"
//   record:  "TXJR" u32 pathLength path u64 device u64 inode i64 oldSize i64 newSize i64 mtimeNs
//            u32 regionCount, per region i64 offset i64 length u32 gap, gap zero bytes (see
//            RegionLayout) and the original bytes,
//            u32 spliceCount, per splice i64 offset i64 length u64 size and the new bytes,
//            i64 sampleOffset i64 sampleLength u64 sampleHash (an unchanged stretch of the file)
//            i64 birthNs (when the file was made, 0 where the file system does not say),
//            u64 check sum (RecordHash) of everything from "TXJR" on
//   trailer: "TXJDONE\n" u64 (the group file's size before the trailer) "TXJDONE\n"
// Numbers are little-endian. Records hold no offsets into the group file, so a group can be
// rewritten with some of its records left out. Groups of the first version ("TUNEXJ1\n") have no
// sample and end in a bare "TXJDONE\n"; those of the first two sum their records with FNV-1a
// and have no gap before a region's bytes; they are still read.
namespace tunex::journal {

inline constexpr std::string_view kGroupHeader = "TUNEXJ3\n";
inline constexpr std::string_view kGroupHeaderV2 = "TUNEXJ2\n";
inline constexpr std::string_view kGroupHeaderV1 = "TUNEXJ1\n";
inline constexpr std::string_view kDoneMark = "TXJDONE\n";
inline constexpr std::size_t kDoneTrailerSize = 2 * kDoneMark.size() + 8;
inline constexpr std::size_t kChunk = std::size_t{1} << 20;
// The largest splice a record holds: an ID3v2 tag may take 256 MiB, and it must fit with its
// header, footer and a little more. Changes with larger splices are refused before writing.
inline constexpr std::uint64_t kMaxSpliceBytes = (std::uint64_t{256} << 20) + 4096;

// A region of the original file and where its bytes lie in the group file.
struct Region {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::int64_t journalOffset = 0;
};

// An unchanged stretch of the original file: it tells the file apart from another one that
// holds other bytes under the same name.
struct Sample {
    std::int64_t offset = 0;  // in the original file
    std::int64_t length = 0;  // 0: the change covers the whole file
    std::uint64_t hash = 0;
    std::int64_t birthNs = 0;  // of the file; with device and inode it tells the very file
};

struct Record {
    std::string path;
    FileIdentity before;
    std::int64_t newSize = 0;
    std::vector<Region> regions;
    std::vector<Splice> splices;  // what the write puts there, to tell its bytes from others'
    Sample sample;
};

// One record as it lies in the group file: whole, or damaged (then only a guess of its path).
struct Entry {
    std::optional<Record> record;
    std::string path;
    std::int64_t start = 0;
    std::int64_t end = 0;
};

// The regions of the original file a change overwrites: each splice's bytes, and everything
// from the first splice that changes the size to the end when the rest must move.
[[nodiscard]] std::vector<std::pair<std::int64_t, std::int64_t>> regionsOf(
    const FileChange& change);

// Appends the record of `change` to the group file at `position` (moved past it), copying the
// overwritten bytes from the open `file`; the regions with where their bytes now lie. Nothing
// when a read or write failed.
[[nodiscard]] std::optional<std::vector<Region>> appendRecord(int journalFd, std::int64_t& position,
                                                              const FileChange& change, int file);

// Appends the trailer that marks the group done.
[[nodiscard]] bool appendDoneTrailer(int journalFd, std::int64_t position);

// Whether the group file ends in its done trailer; reads only the end of the file, so that a
// damaged record never makes a finished group look unfinished.
[[nodiscard]] bool groupDone(int journalFd);

struct GroupContents {
    std::vector<Entry> entries;  // whole and damaged, in order; a record cut off at the end
                                 // (journaling was cut short) is not among them
    bool done = false;
};

[[nodiscard]] GroupContents readGroup(int journalFd);

// Replaces the group file at `path` (open as `journalFd`) with one that holds only `kept`, as
// an unfinished group; removes it when nothing is kept.
[[nodiscard]] bool rewriteGroup(const std::string& path, int journalFd,
                                const std::vector<Entry>& kept);

// `size` bytes of the group file at `at`.
[[nodiscard]] bool readJournal(int journalFd, std::int64_t at, std::size_t size, std::string& out);

// FNV-1a, the hash of samples, and of records in groups of the first two versions.
[[nodiscard]] std::uint64_t fnv(std::uint64_t hash, std::string_view bytes);
inline constexpr std::uint64_t kFnvOffset = 14695981039346656037ULL;

// The check sum of a record, fed piece by piece; the pieces' borders do not count. FNV-1a takes a
// byte a step, one after the other, which held up the journaling of a large file (a third of a
// second for 288 MB): records of later groups are summed four lanes of eight bytes at a time, in
// the way of XXH64.
class RecordHash final {
public:
    explicit RecordHash(bool wide);

    void add(std::string_view bytes);
    [[nodiscard]] std::uint64_t value() const;

private:
    void stripe(const char* bytes);

    bool wide_;
    std::uint64_t fnv_ = kFnvOffset;
    std::array<std::uint64_t, 4> lanes_{};
    std::array<char, 32> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t total_ = 0;
};

// When the open file was made, in nanoseconds; 0 where the file system does not keep it.
[[nodiscard]] std::int64_t birthOf(int file);

// The sample of a change: the middle of the longest stretch no splice touches.
[[nodiscard]] Sample sampleOf(const FileChange& change, int file);
// Whether the file (of `size` bytes now) holds the sample where it was, where the change left
// it, or as far from the end as it was.
[[nodiscard]] bool holdsSample(const Record& record, int file, std::int64_t size);

}  // namespace tunex::journal
