#pragma once

#include "core/collections/file_type_list.h"
#include "core/collections/search_pattern.h"
#include "core/common/unreadable_folders.h"
#include "core/store/song_record.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tunex {

// What a walk met besides the media files it handed on.
struct WalkTotals {
    std::int64_t mediaFiles = 0;
    // Media files left out because their path holds a line break, which no line of a collection
    // file can carry.
    std::int64_t unstorableNames = 0;
    UnreadableFolders unreadable;  // folders that could not be opened, skipped
    bool stopped = false;          // the stop test held
};

// Whether the walk must read each file's size and birth time (Add) or only its name (Count).
enum class WalkDetail { NamesOnly, SizesAndDates };

// `path` is the file's full path (folder + "/" + name).
using MediaVisitor = std::function<void(const FoundFile& file, const std::string& path)>;
using WalkStopTest = std::function<bool()>;

// Walks the pattern's folder depth-first: entries in the order the file system gives them, each
// subfolder walked at once before the next entry, hidden entries included, "." and ".." skipped.
// Symbolic links to folders are not followed (no loops); links to files count as those files;
// unreadable folders are skipped. `visit` gets each media file (FileTypeList::matches); with
// NamesOnly its size and time are not filled. `stop` is asked after each media file.
WalkTotals walkMediaFiles(const SearchPattern& pattern, const FileTypeList& types,
                          WalkDetail detail, const MediaVisitor& visit,
                          const WalkStopTest& stop = {});

// The walk without visitor: Count, and the checks of Add.
[[nodiscard]] WalkTotals countMediaFiles(const SearchPattern& pattern, const FileTypeList& types,
                                         const WalkStopTest& stop = {});

// Reads the size and the birth time (the modification time where the file system keeps no birth
// time) of one file, following a symbolic link. False when the file cannot be examined.
[[nodiscard]] bool readFileFacts(const std::string& path, FoundFile& file);

}  // namespace tunex
