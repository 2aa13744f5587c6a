#include "core/tags/tag_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "core/common/folder_descriptors.h"
#include "core/common/text.h"
#include "core/common/unique_fd.h"

namespace tunex {

WalkStep TagWalkProgress::afterFile() const {
    if (step) {
        step();
    }
    return cancelled && cancelled() ? WalkStep::Stop : WalkStep::Continue;
}

namespace {

enum class EntryKind { File, Folder, Other };

struct Entry {
    std::string name;
    EntryKind kind = EntryKind::Other;
};

// Links to folders are never followed; links to regular files count as those files. Devices,
// pipes and sockets are no media files, and opening a pipe would hang the walk.
EntryKind kindOf(int folder, const char* name, unsigned char type) {
    if (type == DT_DIR) {
        return EntryKind::Folder;
    }
    if (type == DT_REG) {
        return EntryKind::File;
    }
    struct stat info {};
    if (type == DT_UNKNOWN) {
        if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return EntryKind::Other;
        }
        if (S_ISDIR(info.st_mode)) {
            return EntryKind::Folder;
        }
        if (S_ISREG(info.st_mode)) {
            return EntryKind::File;
        }
        if (!S_ISLNK(info.st_mode)) {
            return EntryKind::Other;
        }
    } else if (type != DT_LNK) {
        return EntryKind::Other;
    }
    return ::fstatat(folder, name, &info, 0) == 0 && S_ISREG(info.st_mode) ? EntryKind::File
                                                                           : EntryKind::Other;
}

std::string childPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append("/").append(name);
    return path;
}

// A folder's entries are read whole before any is visited.
struct Frame {
    std::string folder;  // without a trailing "/"
    std::string name;    // as met in its parent; empty for the starting folder
    std::vector<Entry> entries;
    std::size_t next = 0;
    FolderId id{};
};

bool readFolder(int folder, Frame& frame) {
    const FolderEntries dir = openFolderEntries(folder, frame.id);
    if (!dir) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const auto* const entryName = static_cast<const char*>(entry->d_name);
        const std::string_view name = entryName;
        if (name == "." || name == "..") {
            continue;
        }
        const EntryKind kind = kindOf(folder, entryName, entry->d_type);
        if (kind != EntryKind::Other) {
            frame.entries.push_back(Entry{std::string(name), kind});
        }
    }
    return true;
}

}  // namespace

std::string folderWithoutSlash(std::string_view folder) {
    while (!folder.empty() && folder.back() == '/') {
        folder.remove_suffix(1);
    }
    return std::string(folder);
}

bool isMp3Name(std::string_view fileName) {
    return toLowerUtf8(fileName).find(".mp3", 1) != std::string::npos;
}

FolderWalkTotals walkFolderFiles(std::string_view folder, bool includeSubfolders,
                                 const std::function<WalkStep(const WalkedFile&)>& visit,
                                 const std::stop_token& stop) {
    FolderWalkTotals totals;
    // An empty text names no folder (the "My Computer" node); it must never mean the root.
    if (folder.empty()) {
        return totals;
    }
    // Folders are opened relative to their parent's descriptor, so the depth of the tree never
    // meets PATH_MAX. Only the current folder's descriptor and the starting folder's are held: one
    // per level would run past the descriptor limit in a deep tree. Going back up reopens the
    // parent by "..", checked against the folder read.
    std::vector<Frame> stack;
    stack.push_back(Frame{folderWithoutSlash(folder), {}, {}, 0});
    const std::string& first = stack.back().folder;
    const UniqueFd start(
        ::open(first.empty() ? "/" : first.c_str(), kFolderOpenFlags & ~O_NOFOLLOW));
    if (!start.valid() || !readFolder(start.get(), stack.back())) {
        totals.unreadable.add(first);
        return totals;
    }
    UniqueFd current(::fcntl(start.get(), F_DUPFD_CLOEXEC, 0));
    while (!stack.empty()) {
        if (stop.stop_requested()) {
            totals.stopped = true;
            break;
        }
        Frame& top = stack.back();
        if (top.next == top.entries.size() || !current.valid()) {
            if (!current.valid()) {
                // Moved or removed under the walk: its remaining entries cannot be reached.
                totals.unreadable.add(top.folder);
            }
            if (stack.size() > 1) {
                current = reopenFrame(current, start, stack, stack.size() - 2);
            }
            stack.pop_back();
            continue;
        }
        const Entry& entry = top.entries[top.next++];
        if (entry.kind == EntryKind::Folder) {
            if (includeSubfolders) {
                Frame sub{childPath(top.folder, entry.name), entry.name, {}, 0};
                UniqueFd opened(::openat(current.get(), entry.name.c_str(), kFolderOpenFlags));
                if (opened.valid() && readFolder(opened.get(), sub)) {
                    stack.push_back(std::move(sub));
                    current = std::move(opened);
                } else {
                    totals.unreadable.add(sub.folder);
                }
            }
            continue;
        }
        const WalkedFile file{top.folder, entry.name, childPath(top.folder, entry.name)};
        if (visit(file) == WalkStep::Stop) {
            totals.stopped = true;
            break;
        }
    }
    return totals;
}

FolderWalkTotals walkScope(const TagScope& scope,
                           const std::function<WalkStep(const WalkedFile&)>& visit) {
    if (!scope.files) {
        return walkFolderFiles(scope.folder, scope.includeSubfolders, visit);
    }
    FolderWalkTotals totals;
    for (const std::string& path : *scope.files) {
        const std::string_view whole(path);
        const auto slash = whole.rfind('/');
        const WalkedFile file{
            slash == std::string_view::npos ? std::string_view() : whole.substr(0, slash),
            slash == std::string_view::npos ? whole : whole.substr(slash + 1), path};
        if (visit(file) == WalkStep::Stop) {
            totals.stopped = true;
            break;
        }
    }
    return totals;
}

int countScopeFiles(const TagScope& scope,
                    const std::function<bool(std::string_view name)>& counts) {
    int files = 0;
    (void)walkScope(scope, [&](const WalkedFile& file) {
        files += counts(file.name) ? 1 : 0;
        return WalkStep::Continue;
    });
    return files;
}

}  // namespace tunex
