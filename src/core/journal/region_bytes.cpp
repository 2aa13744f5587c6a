#include "core/journal/region_bytes.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "core/common/unique_fd.h"

namespace tunex::journal {

namespace {

// Below this, lining the group file up costs about what the clone saves.
constexpr std::int64_t kCloneLeast = std::int64_t{256} << 10;

// Copies [from, to) of the file to the group file's end, or only hashes it.
bool copyRange(int journalFd, int file, std::int64_t from, std::int64_t to, RecordHash& hash,
               bool write) {
    std::string chunk;
    for (std::int64_t done = from; done < to;) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(to - done, static_cast<std::int64_t>(kChunk)));
        chunk.resize(want);
        if (readFullyAt(file, chunk.data(), want, done) != static_cast<ssize_t>(want) ||
            (write && !writeAll(journalFd, chunk))) {
            return false;
        }
        hash.add(chunk);
        done += static_cast<std::int64_t>(want);
    }
    return true;
}

}  // namespace

RegionLayout layoutRegion(int journalFd, int file, std::int64_t dataAt, std::int64_t offset,
                          std::int64_t length, std::int64_t fileSize) {
    RegionLayout layout{0, offset + length, offset + length};
    struct stat journalInfo {};
    struct stat fileInfo {};
    if (length < kCloneLeast || ::fstat(journalFd, &journalInfo) != 0 ||
        ::fstat(file, &fileInfo) != 0 || journalInfo.st_dev != fileInfo.st_dev ||
        journalInfo.st_blksize <= 0) {
        return layout;
    }
    const std::int64_t block = journalInfo.st_blksize;
    const std::int64_t end = offset + length;
    const std::int64_t from = (offset + block - 1) / block * block;
    // A clone may end off a block boundary only at the end of the file.
    const std::int64_t to = end == fileSize ? end : end / block * block;
    if (to <= from) {
        return layout;
    }
    layout.gap = static_cast<std::uint32_t>((block - (dataAt + (from - offset)) % block) % block);
    layout.cloneFrom = from;
    layout.cloneEnd = to;
    return layout;
}

bool appendRegionBytes(int journalFd, std::int64_t at, int file, std::int64_t offset,
                       std::int64_t length, const RegionLayout& layout, RecordHash& hash) {
    const std::int64_t end = offset + length;
    if (layout.cloneEnd <= layout.cloneFrom) {
        return copyRange(journalFd, file, offset, end, hash, true);
    }
    if (!copyRange(journalFd, file, offset, layout.cloneFrom, hash, true)) {
        return false;
    }
    file_clone_range clone{};
    clone.src_fd = file;
    clone.src_offset = static_cast<std::uint64_t>(layout.cloneFrom);
    clone.src_length = static_cast<std::uint64_t>(layout.cloneEnd - layout.cloneFrom);
    clone.dest_offset = static_cast<std::uint64_t>(at + (layout.cloneFrom - offset));
    const bool cloned = ::ioctl(journalFd, FICLONERANGE, &clone) == 0;
    if (cloned && ::lseek(journalFd, at + (layout.cloneEnd - offset), SEEK_SET) < 0) {
        return false;
    }
    // Where the file system shares no blocks, the bytes are copied after all.
    return copyRange(journalFd, file, layout.cloneFrom, layout.cloneEnd, hash, !cloned) &&
           copyRange(journalFd, file, layout.cloneEnd, end, hash, true);
}

}  // namespace tunex::journal
