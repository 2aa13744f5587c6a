#pragma once

#include <array>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/collections/file_type_list.h"
#include "core/common/search_fold.h"
#include "core/common/user_message.h"
#include "core/search/result_table.h"
#include "core/tags/id3_tags.h"
#include "core/tags/local_file_set.h"
#include "core/tags/tag_walk.h"  // isMp3Name

namespace tunex {

// One row of the Local page's list, four cells: File Name (with extension, case as on disk), Path
// (the folder without a trailing "/"), File Size (KB) and File Date. A row of the shared result
// list type, so the list sorts with the same quicksort as the result lists.
using LocalRow = ResultRow;
enum LocalColumn { kLocalFileName = 0, kLocalPath = 1, kLocalSize = 2, kLocalDate = 3 };
inline constexpr std::array<std::string_view, 4> kLocalColumnCaptions = {
    "File Name", "Path", "File Size (KB)", "File Date"};
inline constexpr std::array<int, 4> kLocalColumnWidths = {320, 300, 100, 100};

// Path + "/" + File Name.
[[nodiscard]] std::string localRowPath(const LocalRow& row);

// How many files a listing keeps by name past its display limit. Names cost little, but a listing
// of "/" must not read a whole disk, nor keep it in memory.
inline constexpr std::size_t kMostLocalFiles = 200'000;

struct LocalListing {
    std::vector<LocalRow> rows;  // sorted by File Name ascending when more than one
    LocalFileSet files;          // every file met, the rows' first, up to the most files
    UnreadableFolders unreadable;
    bool cancelled = false;  // ended by a stop request: incomplete, unsorted, to be dropped
};

// Lists the media files (FileTypeList) under `folder`, depth-first in file-system order: the
// first `maxResults` as rows with their size and date, and up to `mostFiles` by name only. The
// walk ends at the file after the most, so a listing of "/" does not read the whole disk. An
// empty folder text (the "My Computer" node or a placeholder) lists nothing: the page then
// changes nothing else. A folder without its final "/" is listed itself. `stop` lets another
// thread end the walk early.
[[nodiscard]] LocalListing listLocalFolder(std::string_view folder, const FileTypeList& types,
                                           bool includeSubfolders, int maxResults,
                                           const std::stop_token& stop = {},
                                           std::size_t mostFiles = kMostLocalFiles);

// Status texts under the list.
inline constexpr std::string_view kLocalNoSearchStatus = "No search performed.";
// "%d files found under %s" with the folder as given, then the folders the walk could not read.
[[nodiscard]] std::string listedStatusText(std::size_t rows, std::string_view folder,
                                           const UnreadableFolders& unreadable = {});
// The same for a listing, which when the display limit cut it says how many files there are:
// "%d of %d files shown under %s" ("of more than %d" past the most files it keeps).
[[nodiscard]] std::string listedStatusText(const LocalListing& listing, std::string_view folder);
// While the walk runs: "Listing the files under %s..." with the folder as given.
[[nodiscard]] std::string listingStatusText(std::string_view folder);
// "%d files matched with keyword."
[[nodiscard]] std::string filteredStatusText(std::size_t rows);
// The same for a filter's files, with " among the first %d files" before the full stop when the
// listing kept only its most files.
[[nodiscard]] std::string filteredStatusText(const LocalFileSet& matched);

// A listing whose row count equals `maxResults` (the limit was reached) shows this.
[[nodiscard]] bool reachedDisplayLimit(std::size_t rows, int maxResults);
[[nodiscard]] UserMessage displayLimitMessage(int maxResults);

// What the clear-tag button clears: nothing yet (before any listing), the selected file, or
// every file under the listed folder.
enum class ClearTarget { None, OneFile, Folder };

// The tag buttons after a listing: on an optical disc EasyTag and clearing are disabled (the
// target stays); elsewhere both are enabled and the button clears the whole folder. The page
// asks the platform whether the folder lies on an optical drive.
struct TagButtonsAfterListing {
    bool easyTagEnabled = false;
    bool clearEnabled = false;
    std::optional<ClearTarget> clearTarget;  // unchanged when empty
};
[[nodiscard]] TagButtonsAfterListing tagButtonsAfterListing(bool folderOnOpticalDisc);

// Filter. Checks in the page's order: empty list, forbidden character, empty keyword.
[[nodiscard]] std::optional<UserMessage> checkFilter(std::size_t rows, std::string_view keyword);
// A row stays when the keyword occurs in " " + name or " " + path, all folded as searches fold,
// at a position of 1 or more: a leading blank of the keyword must lie inside the text itself.
[[nodiscard]] bool rowMatchesKeyword(const LocalRow& row, std::string_view foldedKeyword,
                                     AccentRule accents = AccentRule::Fold);
// Runs the checks, then removes the rows that do not match, keeping the order of the others.
// Returns the refusal, if any (then nothing is removed).
[[nodiscard]] std::optional<UserMessage> filterLocalRows(std::vector<LocalRow>& rows,
                                                         std::string_view keyword,
                                                         AccentRule accents = AccentRule::Fold);
// The same over every listed file: `files` keeps those that match and `rows` shows them. When the
// rows held every file they keep their order, else they become the first `maxResults` matches,
// read from disk and sorted as a listing. The checks take the rows shown.
[[nodiscard]] std::optional<UserMessage> filterLocalFiles(LocalFileSet& files,
                                                          std::vector<LocalRow>& rows,
                                                          std::string_view keyword, int maxResults,
                                                          AccentRule accents = AccentRule::Fold);

// "Title:\t...\n", "Artist:\t...\n", "Album:\t...\n", each only when present.
[[nodiscard]] std::string tagSummaryLines(const Id3Summary& summary);
// "ID3 Tag of " + path + ":\n" + the lines, or a line saying there are none; always a value.
[[nodiscard]] std::optional<std::string> tagSummaryText(std::string_view path,
                                                        const Id3Summary& summary);
inline constexpr std::string_view kTagSummaryResourceText = "ID3 Tag of Song:";

// Page messages.
[[nodiscard]] UserMessage noRecordToFilterMessage();
[[nodiscard]] UserMessage noRowSelectedMessage();        // More Tag, Clear This Tag
[[nodiscard]] UserMessage noItemInListMessage();         // right click without a row
[[nodiscard]] UserMessage noFolderSelectedMessage();     // Clear All Tag without a tree node
[[nodiscard]] UserMessage noMediaFileInFolderMessage();  // Clear All Tag after an empty listing

}  // namespace tunex
