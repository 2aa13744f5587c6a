#include "core/journal/file_guard.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <thread>

#include "core/common/unique_fd.h"

namespace tunex::journal {

namespace {

struct flock wholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

}  // namespace

bool tryLockFile(int fd, bool exclusive) {
    struct flock lock = wholeFile(exclusive ? F_WRLCK : F_RDLCK);
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool lockFile(int fd, bool exclusive, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (tryLockFile(fd, exclusive)) {
            return true;
        }
        // A file system without locks has nobody to wait for.
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
            return errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void unlockFile(int fd) {
    struct flock lock = wholeFile(F_UNLCK);
    (void)::fcntl(fd, F_OFD_SETLK, &lock);
}

bool syncfsReachesDevice(int fd) {
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0) {
        return false;
    }
    static constexpr std::array<long, 5> kKnown = {
        static_cast<long>(EXT4_SUPER_MAGIC), static_cast<long>(XFS_SUPER_MAGIC),
        static_cast<long>(BTRFS_SUPER_MAGIC), static_cast<long>(F2FS_SUPER_MAGIC),
        static_cast<long>(TMPFS_MAGIC)};
    return std::ranges::any_of(
        kKnown, [&info](long type) { return static_cast<long>(info.f_type) == type; });
}

bool syncFileAndFolder(int fd, const std::filesystem::path& path) {
    return ::fdatasync(fd) == 0 && syncFolder(path.parent_path());
}

std::optional<std::string> distrustOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;  // not there: nothing in it to apply
    }
    if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    if (info.st_uid != ::geteuid()) {
        return "it belongs to another user";
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "others may write to it";
    }
    return std::nullopt;
}

}  // namespace tunex::journal
