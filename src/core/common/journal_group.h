#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/common/write_journal.h"

// The group files of the write journal: the header, one record per file with the bytes its change
// overwrites and the bytes it puts there, and a trailer once the group is done.
//   record: "TXJR" u32 pathLength path u64 device u64 inode i64 oldSize i64 newSize i64 mtimeNs
//           u32 regionCount, per region i64 offset i64 length and the original bytes,
//           u32 spliceCount, per splice i64 offset i64 length u64 size and the new bytes,
//           u64 FNV-1a of everything from "TXJR" on
namespace tunex::journal {

inline constexpr std::string_view kGroupHeader = "TUNEXJ1\n";
inline constexpr std::string_view kDoneTrailer = "TXJDONE\n";
inline constexpr std::size_t kChunk = std::size_t{1} << 20;

// A region of the original file and where its bytes lie in the group file.
struct Region {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::int64_t journalOffset = 0;
};

struct Record {
    std::string path;
    FileIdentity before;
    std::int64_t newSize = 0;
    std::vector<Region> regions;
    std::vector<Splice> splices;  // what the write puts there, to tell its bytes from others'
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

struct GroupContents {
    std::vector<Record> records;  // the whole records, up to the first damaged one
    bool done = false;            // the trailer follows them
};

[[nodiscard]] GroupContents readGroup(int journalFd);

// `size` bytes of the group file at `at`.
[[nodiscard]] bool readJournal(int journalFd, std::int64_t at, std::size_t size, std::string& out);

}  // namespace tunex::journal
