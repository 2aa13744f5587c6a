#pragma once

#include <cstdint>

#include "core/journal/journal_group.h"

namespace tunex::journal {

// Where a region's original bytes go in the group file. Where the group file and the changed
// file share a file system that lets files share blocks (btrfs, XFS), the region's whole blocks
// are cloned rather than copied: no byte is written twice. A clone needs both files' offsets on
// block boundaries, so `gap` zero bytes stand before the bytes in the group file to line them up.
struct RegionLayout {
    std::uint32_t gap = 0;
    std::int64_t cloneFrom = 0;  // [cloneFrom, cloneEnd) of the changed file, when not empty
    std::int64_t cloneEnd = 0;
};

// `dataAt`: where the group file's bytes for the region would start without a gap.
[[nodiscard]] RegionLayout layoutRegion(int journalFd, int file, std::int64_t dataAt,
                                        std::int64_t offset, std::int64_t length,
                                        std::int64_t fileSize);

// Appends the region's bytes at `at` of the group file (its end), cloned where the layout says
// and the file system agrees, copied elsewhere; every byte is hashed, read from the file.
[[nodiscard]] bool appendRegionBytes(int journalFd, std::int64_t at, int file, std::int64_t offset,
                                     std::int64_t length, const RegionLayout& layout,
                                     RecordHash& hash);

}  // namespace tunex::journal
