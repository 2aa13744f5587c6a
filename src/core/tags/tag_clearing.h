#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/collections/file_type_list.h"
#include "core/common/user_message.h"
#include "core/tags/easy_tag.h"
#include "core/tags/tag_walk.h"

namespace tunex {

// Clear This Tag: the Yes/No question, then the result for the file's clearAllTags outcome (the
// success notice, or a "File Error" when the file could not be written or holds no MPEG audio).
[[nodiscard]] UserMessage clearThisTagQuestion(std::string_view path);
[[nodiscard]] UserMessage clearThisTagResult(std::string_view path, TagWriteOutcome outcome,
                                             std::string_view reason = {});

// Clear All Tag's checks before the question, in the page's order: no tree node selected, then
// a listing that found nothing.
[[nodiscard]] std::optional<UserMessage> checkClearAll(bool folderSelected, int listedCount);
// Names how many music files the walk will meet, so that nobody clears a folder larger than the
// list.
[[nodiscard]] UserMessage clearAllQuestion(std::string_view folder, int musicFiles);
inline constexpr std::string_view kClearAllProgressTitle = "Tunex - Clearing ID3 Tags";
inline constexpr std::string_view kClearAllProgressMessage = "Clearing ID3 tags in progress......";

struct ClearAllResult {
    // Visited files whose type is in FileTypeList, mp3 or not, less those that could not be
    // written. The progress steps once for every such file, failed or not.
    int counted = 0;
    WriteFailures failed;        // mp3 files whose tags could not be removed; each left as it was
    WriteFailures wrongContent;  // holding other content than their names say: left alone
    bool undoable = true;
    UnreadableFolders unreadable;
    bool stopped = false;
};

// Clears the tags of every music file (isTaggableName) of the scope, through the write journal.
// After each file of a listed type the progress steps and the cancel test is asked; each file is
// cleared completely or not at all, so a stop leaves no file half cleared.
[[nodiscard]] ClearAllResult clearAllTagsUnder(WriteJournal& journal, const TagScope& scope,
                                               const FileTypeList& types,
                                               const TagWalkProgress& progress = {});

// How many files Clear All Tag steps its progress for: the files of a listed type the walk will
// meet, which may be more than the list shows.
[[nodiscard]] int countClearAllSteps(const TagScope& scope, const FileTypeList& types);

// "All ID3 tags of %d files under %s removed." or, when stopped, "Operation Cancelled. ...",
// plus the files that could not be written (then with the warning icon). The caption says the
// tags were removed successfully only when the run was neither stopped nor missed a file.
[[nodiscard]] UserMessage clearAllResultMessage(std::string_view folder,
                                                const ClearAllResult& result);

}  // namespace tunex
