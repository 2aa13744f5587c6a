#pragma once

#include "core/common/unreadable_folders.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// Whether the walk goes on after a file.
enum class WalkStep { Continue, Stop };

// Progress hooks of a tag walk. `step` runs after each file the walk counts toward its progress
// range (the page steps its progress window and lets input through); `cancelled` is asked right
// after, and a true answer ends the walk before the next file. Either may be empty.
struct TagWalkProgress {
    std::function<void()> step;
    std::function<bool()> cancelled;

    // Steps, then asks: whether the walk goes on after a counted file.
    [[nodiscard]] WalkStep afterFile() const;
};

// One file met by a folder walk.
struct WalkedFile {
    std::string_view folder;  // the folder that holds it, without a trailing "/" ("" under "/")
    std::string_view name;    // as on disk
    std::string path;         // folder + "/" + name
};

struct FolderWalkTotals {
    UnreadableFolders unreadable;  // folders that could not be opened, skipped
    bool stopped = false;          // by the visitor or a stop request, before the end
};

// Visits the files under `folder` in the order the file system returns them, each subfolder
// walked at once where it is met (depth-first) when `includeSubfolders` holds. Hidden entries are
// included; symbolic links to folders are not followed, so no walk loops; unreadable folders are
// skipped. A trailing "/" on `folder` is ignored: the folder itself is walked, never sibling
// entries that merely begin with its name. A stop request, which may come from another thread,
// ends the walk before its next entry, file or folder, so a tree without files stops early too.
FolderWalkTotals walkFolderFiles(std::string_view folder, bool includeSubfolders,
                                 const std::function<WalkStep(const WalkedFile&)>& visit,
                                 const std::stop_token& stop = {});

// The files a batch tag change acts on: every file under `folder` as the walk meets them, or,
// when `files` is set, only those paths, in their order (the rows the Local list shows or has
// selected).
struct TagScope {
    std::string folder;
    bool includeSubfolders = true;
    std::optional<std::vector<std::string>> files;
};

// walkFolderFiles over the scope's folder, or each of its files in turn. A listed file that is no
// longer there is still visited: the caller's write then fails and names it.
FolderWalkTotals walkScope(const TagScope& scope,
                           const std::function<WalkStep(const WalkedFile&)>& visit);

// How many files of the scope `counts` accepts by name.
[[nodiscard]] int countScopeFiles(const TagScope& scope,
                                  const std::function<bool(std::string_view name)>& counts);

// `folder` without its trailing "/" ("/" itself gives ""), as the Path cells and messages need it.
[[nodiscard]] std::string folderWithoutSlash(std::string_view folder);

// The lower-cased name holds ".mp3" somewhere after its first character ("song.MP3",
// "x.mp3.bak"; not ".mp3").
[[nodiscard]] bool isMp3Name(std::string_view fileName);

}  // namespace tunex
