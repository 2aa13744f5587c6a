#include "core/collections/media_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "core/common/folder_descriptors.h"
#include "core/common/unique_fd.h"

namespace tunex {

namespace {

struct Entry {
    std::string name;
    unsigned char type = DT_UNKNOWN;
};

// One folder being walked. Its entries are read whole before any is visited; see walkMediaFiles
// for how its descriptor is found again.
struct Frame {
    std::string folder;  // no trailing "/", empty for the root
    std::string name;    // as met in its parent; empty for the starting folder
    std::vector<Entry> entries;
    size_t next = 0;
    bool storable = true;  // the folder text can stand in a record line
    FolderId id{};
};

// A record line cannot carry a line break, and a marker inside a name or folder would split it
// wrongly when read back. Linux allows both in names.
bool fitsRecordLine(std::string_view text) {
    static constexpr std::array<std::string_view, 6> kMarkers = {"<?>", "<|>",  "<:>",
                                                                 "</>", "<\\>", "<*>"};
    if (text.find('\n') != std::string_view::npos) {
        return false;
    }
    if (text.find('<') == std::string_view::npos) {
        return true;
    }
    return std::ranges::none_of(kMarkers, [text](std::string_view marker) {
        return text.find(marker) != std::string_view::npos;
    });
}

bool readFolder(int folder, Frame& frame, const SearchPattern* topLevel) {
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
        if (topLevel != nullptr && !nameMatchesPattern(*topLevel, entryName)) {
            continue;
        }
        frame.entries.push_back(Entry{std::string(name), entry->d_type});
    }
    return true;
}

enum class Kind { Folder, File, Other };

// Links count as what they point to, except that a link to a folder is never entered. Only
// regular files are media files: reading a FIFO or a device for its tag would block or worse.
Kind kindOf(const Entry& entry, int folder, bool mayBeMedia) {
    switch (entry.type) {
        case DT_DIR:
            return Kind::Folder;
        case DT_REG:
            return Kind::File;
        case DT_LNK:
        case DT_UNKNOWN:
            break;
        default:
            return Kind::Other;
    }
    struct stat info {};
    if (entry.type == DT_UNKNOWN) {
        if (::fstatat(folder, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return Kind::Other;
        }
        if (S_ISDIR(info.st_mode)) {
            return Kind::Folder;
        }
        if (!S_ISLNK(info.st_mode)) {
            return S_ISREG(info.st_mode) ? Kind::File : Kind::Other;
        }
    }
    if (!mayBeMedia || ::fstatat(folder, entry.name.c_str(), &info, 0) != 0) {
        return Kind::Other;
    }
    return S_ISREG(info.st_mode) ? Kind::File : Kind::Other;
}

bool readFileFactsAt(int folder, const char* name, FoundFile& file) {
    struct statx info {};
    if (::statx(folder, name, 0, STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME, &info) == 0) {
        file.sizeBytes = info.stx_size;
        if ((info.stx_mask & STATX_BTIME) != 0) {
            file.created = static_cast<std::time_t>(info.stx_btime.tv_sec);
        } else if ((info.stx_mask & STATX_MTIME) != 0) {
            file.created = static_cast<std::time_t>(info.stx_mtime.tv_sec);
        } else {
            file.created.reset();
        }
        return true;
    }
    struct stat plain {};
    if (::fstatat(folder, name, &plain, 0) != 0) {
        return false;
    }
    file.sizeBytes = static_cast<std::uint64_t>(plain.st_size);
    file.created = plain.st_mtime;
    return true;
}

}  // namespace

bool readFileFacts(const std::string& path, FoundFile& file) {
    return readFileFactsAt(AT_FDCWD, path.c_str(), file);
}

// Folders are opened relative to their parent's descriptor, so the depth of the tree never meets
// PATH_MAX; the full path text is only built for callers. Only the current folder's descriptor
// and the starting folder's are held: a stack of one per level would run past the descriptor limit
// in a deep tree. Going back up reopens the parent by "..", checked against the folder read.
WalkTotals walkMediaFiles(const SearchPattern& pattern, const FileTypeList& types,
                          WalkDetail detail, const MediaVisitor& visit, const WalkStopTest& stop) {
    WalkTotals totals;
    const UniqueFd start(::open(pattern.folder.empty() ? "/" : pattern.folder.c_str(),
                                kFolderOpenFlags & ~O_NOFOLLOW));
    std::vector<Frame> stack;
    stack.push_back(Frame{pattern.folder, {}, {}, 0, fitsRecordLine(pattern.folder)});
    if (!start.valid() || !readFolder(start.get(), stack.back(), &pattern)) {
        totals.unreadable.add(pattern.folder);
        return totals;
    }
    UniqueFd current(::fcntl(start.get(), F_DUPFD_CLOEXEC, 0));
    FoundFile found;
    std::string path;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size() || !current.valid()) {
            if (!current.valid()) {
                // Moved or removed under the walk: its remaining entries cannot be reached.
                totals.unreadable.add(frame.folder);
            }
            if (stack.size() > 1) {
                current = reopenFrame(current, start, stack, stack.size() - 2);
            }
            stack.pop_back();
            continue;
        }
        const Entry& entry = frame.entries[frame.next++];
        path.assign(frame.folder).append("/").append(entry.name);
        const bool mayBeMedia = types.matches(entry.name);
        const Kind kind = kindOf(entry, current.get(), mayBeMedia);
        if (kind == Kind::Folder) {
            Frame child{path, entry.name, {}, 0, frame.storable && fitsRecordLine(entry.name)};
            UniqueFd opened(::openat(current.get(), entry.name.c_str(), kFolderOpenFlags));
            if (opened.valid() && readFolder(opened.get(), child, nullptr)) {
                // `frame` may move with the push; it is not used again in this round.
                stack.push_back(std::move(child));
                current = std::move(opened);
            } else {
                totals.unreadable.add(path);
            }
            continue;
        }
        if (kind != Kind::File || !mayBeMedia) {
            continue;
        }
        if (!frame.storable || !fitsRecordLine(entry.name)) {
            ++totals.unstorableNames;
            continue;
        }
        ++totals.mediaFiles;
        if (visit) {
            found.fileName = entry.name;
            found.folder = frame.folder;
            found.sizeBytes = 0;
            found.created.reset();
            if (detail == WalkDetail::SizesAndDates) {
                // A file that vanished or cannot be examined is still recorded, as listed.
                (void)readFileFactsAt(current.get(), entry.name.c_str(), found);
            }
            visit(found, path);
        }
        if (stop && stop()) {
            totals.stopped = true;
            break;
        }
    }
    return totals;
}

WalkTotals countMediaFiles(const SearchPattern& pattern, const FileTypeList& types,
                           const WalkStopTest& stop) {
    return walkMediaFiles(pattern, types, WalkDetail::NamesOnly, {}, stop);
}

}  // namespace tunex
