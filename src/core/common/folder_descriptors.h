#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/common/unique_fd.h"

// Walking folders by descriptor, so that depth does not matter: full paths past PATH_MAX cannot
// be opened, but each folder can be opened from its parent.
namespace tunex {

// Links to folders are never followed.
inline constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Which folder a descriptor stands for.
struct FolderId {
    dev_t device = 0;
    ino_t inode = 0;
};

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using FolderEntries = std::unique_ptr<DIR, DirCloser>;

// The entries of `folder` through a descriptor of their own, so that `folder` stays usable for
// *at() calls; `id` tells the folder read. Empty when it cannot be read.
[[nodiscard]] FolderEntries openFolderEntries(int folder, FolderId& id);

[[nodiscard]] bool isFolder(const UniqueFd& fd, FolderId id);

// The descriptor of the folder the names lead to from `start` (names[0] stands for `start`
// itself), coming back to it from its child `from` (possibly closed). ".." is one call; it only
// misses when a folder was moved or removed during the walk, and then the names are followed
// from the start, never a link. Closed when neither reaches the folder `id` tells.
[[nodiscard]] UniqueFd reopenFolder(const UniqueFd& from, const UniqueFd& start,
                                    const std::vector<const std::string*>& names, FolderId id);

// reopenFolder for a walk's stack of frames, each with a `name` and the `id` it was read as.
template <typename Frame>
[[nodiscard]] UniqueFd reopenFrame(const UniqueFd& from, const UniqueFd& start,
                                   const std::vector<Frame>& stack, std::size_t index) {
    std::vector<const std::string*> names;
    names.reserve(index + 1);
    for (std::size_t i = 0; i <= index; ++i) {
        names.push_back(&stack[i].name);
    }
    return reopenFolder(from, start, names, stack[index].id);
}

}  // namespace tunex
