#include "core/tags/tag_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

#include "core/common/text.h"

namespace tunex {

namespace {

enum class EntryKind { File, Folder, Other };

struct Entry {
    std::string name;
    EntryKind kind = EntryKind::Other;
};

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Links to folders are never followed; links to regular files count as those files. Devices,
// pipes and sockets are no media files, and opening a pipe would hang the walk.
EntryKind kindOf(const std::string& path, unsigned char type) {
    if (type == DT_DIR) {
        return EntryKind::Folder;
    }
    if (type == DT_REG) {
        return EntryKind::File;
    }
    struct stat info {};
    if (type == DT_UNKNOWN) {
        if (::lstat(path.c_str(), &info) != 0) {
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
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? EntryKind::File
                                                                     : EntryKind::Other;
}

std::string childPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append("/").append(name);
    return path;
}

// A folder's entries are read whole before any is visited, so only one folder is open at a time
// however deep the tree.
struct Frame {
    std::string folder;  // without a trailing "/"
    std::vector<Entry> entries;
    std::size_t next = 0;
};

bool readFolder(Frame& frame) {
    const std::string openable = frame.folder.empty() ? std::string("/") : frame.folder;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(openable.c_str()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        Entry e{std::string(name), EntryKind::Other};
        e.kind = kindOf(childPath(frame.folder, name), entry->d_type);
        if (e.kind != EntryKind::Other) {
            frame.entries.push_back(std::move(e));
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
                                 const std::function<WalkStep(const WalkedFile&)>& visit) {
    FolderWalkTotals totals;
    // An empty text names no folder (the "My Computer" node); it must never mean the root.
    if (folder.empty()) {
        return totals;
    }
    std::vector<Frame> stack;
    stack.push_back(Frame{folderWithoutSlash(folder), {}, 0});
    if (!readFolder(stack.back())) {
        ++totals.unreadableFolders;
        return totals;
    }
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.entries.size()) {
            stack.pop_back();
            continue;
        }
        const Entry& entry = top.entries[top.next++];
        if (entry.kind == EntryKind::Folder) {
            if (includeSubfolders) {
                Frame sub{childPath(top.folder, entry.name), {}, 0};
                if (readFolder(sub)) {
                    stack.push_back(std::move(sub));
                } else {
                    ++totals.unreadableFolders;
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

}  // namespace tunex
