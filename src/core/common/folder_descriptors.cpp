#include "core/common/folder_descriptors.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tunex {

FolderEntries openFolderEntries(int folder, FolderId& id) {
    struct stat info {};
    if (::fstat(folder, &info) != 0) {
        return {};
    }
    id = {info.st_dev, info.st_ino};
    const int own = ::openat(folder, ".", kFolderOpenFlags);
    if (own < 0) {
        return {};
    }
    FolderEntries entries(::fdopendir(own));
    if (!entries) {
        ::close(own);
    }
    return entries;
}

bool isFolder(const UniqueFd& fd, FolderId id) {
    struct stat info {};
    return fd.valid() && ::fstat(fd.get(), &info) == 0 && info.st_dev == id.device &&
           info.st_ino == id.inode;
}

UniqueFd reopenFolder(const UniqueFd& from, const UniqueFd& start,
                      const std::vector<const std::string*>& names, FolderId id) {
    if (from.valid()) {
        UniqueFd up(::openat(from.get(), "..", kFolderOpenFlags));
        if (isFolder(up, id)) {
            return up;
        }
    }
    UniqueFd at(::fcntl(start.get(), F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 1; i < names.size() && at.valid(); ++i) {
        at = UniqueFd(::openat(at.get(), names[i]->c_str(), kFolderOpenFlags));
    }
    return isFolder(at, id) ? std::move(at) : UniqueFd();
}

}  // namespace tunex
