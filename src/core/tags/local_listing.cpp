#include "core/tags/local_listing.h"

#include "core/tags/audio_format.h"

#include "core/collections/media_walk.h"
#include "core/common/text.h"
#include "core/store/settings.h"
#include "core/store/song_record.h"
#include "core/tags/tag_walk.h"

namespace tunex {

namespace {

UserMessage pageMessage(std::string text, std::string_view title, MessageIcon icon) {
    return {std::move(text), captionFor(title), icon};
}

// The keyword rule on a name or a path alone: the keyword, folded as searches fold, in the folded
// " " + part from its second byte on.
bool partMatchesKeyword(std::string_view part, std::string_view foldedKeyword, AccentRule accents) {
    return foldForSearch(" " + std::string(part), accents).find(foldedKeyword, 1) !=
           std::string::npos;
}

LocalRow rowOf(std::string_view folder, std::string_view name, const std::string& path) {
    FoundFile facts;
    (void)readFileFacts(path, facts);
    return {std::string(name), std::string(folder), sizeText(facts.sizeBytes),
            dateText(facts.created)};
}

void sortByName(std::vector<LocalRow>& rows) {
    if (rows.size() > 1) {
        sortResultRows(rows, kLocalFileName, true);
    }
}

// The files of `files` that match, each folder's part of the rule tried once.
LocalFileSet matchingFiles(const LocalFileSet& files, std::string_view foldedKeyword,
                           AccentRule accents) {
    enum class Folder : char { Unknown, Matches, Differs };
    std::vector<Folder> folders(files.folderCount(), Folder::Unknown);
    LocalFileSet matched;
    matched.setCutAt(files.cutAt());
    for (std::size_t file = 0; file < files.size(); ++file) {
        Folder& folder = folders[files.folderIndex(file)];
        if (folder == Folder::Unknown) {
            folder = partMatchesKeyword(files.folder(file), foldedKeyword, accents)
                         ? Folder::Matches
                         : Folder::Differs;
        }
        if (folder == Folder::Matches ||
            partMatchesKeyword(files.name(file), foldedKeyword, accents)) {
            matched.add(files.folder(file), files.name(file));
        }
    }
    return matched;
}

}  // namespace

std::string localRowPath(const LocalRow& row) {
    return row[kLocalPath] + "/" + row[kLocalFileName];
}

LocalListing listLocalFolder(std::string_view folder, const FileTypeList& types,
                             bool includeSubfolders, int maxResults, const std::stop_token& stop,
                             std::size_t mostFiles) {
    LocalListing listing;
    if (folder.empty()) {
        return listing;
    }
    const auto limit = static_cast<std::size_t>(std::max(maxResults, 0));
    FolderWalkTotals totals = walkFolderFiles(
        folder, includeSubfolders,
        [&](const WalkedFile& file) {
            if (!types.matches(file.name)) {
                return WalkStep::Continue;
            }
            if (listing.files.size() >= mostFiles) {
                listing.files.setCutAt(mostFiles);
                return WalkStep::Stop;
            }
            listing.files.add(file.folder, file.name);
            if (listing.rows.size() < limit) {
                listing.rows.push_back(rowOf(file.folder, file.name, file.path));
            }
            return WalkStep::Continue;
        },
        stop);
    listing.unreadable = std::move(totals.unreadable);
    listing.cancelled = stop.stop_requested();
    if (!listing.cancelled) {
        sortByName(listing.rows);
    }
    return listing;
}

std::string listedStatusText(std::size_t rows, std::string_view folder,
                             const UnreadableFolders& unreadable) {
    std::string text = groupedNumber(rows) + " files found under " + std::string(folder);
    if (!unreadable.empty()) {
        // One line: the status sits in a single-line label.
        text.append(". ").append(unreadableFoldersNote(unreadable));
    }
    return text;
}

std::string listedStatusText(const LocalListing& listing, std::string_view folder) {
    const LocalFileSet& files = listing.files;
    if (listing.rows.size() == files.size() && files.cutAt() == 0) {
        return listedStatusText(listing.rows.size(), folder, listing.unreadable);
    }
    std::string text = groupedNumber(listing.rows.size()) + " of " +
                       (files.cutAt() == 0 ? groupedNumber(files.size())
                                           : "more than " + groupedNumber(files.cutAt())) +
                       " files shown under " + std::string(folder);
    if (!listing.unreadable.empty()) {
        text.append(". ").append(unreadableFoldersNote(listing.unreadable));
    }
    return text;
}

std::string listingStatusText(std::string_view folder) {
    return "Listing the files under " + std::string(folder) + "...";
}

std::string filteredStatusText(std::size_t rows) {
    return groupedNumber(rows) + " files matched with keyword.";
}

std::string filteredStatusText(const LocalFileSet& matched) {
    if (matched.cutAt() == 0) {
        return filteredStatusText(matched.size());
    }
    return groupedNumber(matched.size()) + " files matched with keyword among the first " +
           groupedNumber(matched.cutAt()) + " files.";
}

bool reachedDisplayLimit(std::size_t rows, int maxResults) {
    return maxResults >= 0 && rows == static_cast<std::size_t>(maxResults);
}

UserMessage displayLimitMessage(int maxResults) {
    return pageMessage("The result reaches the maximum display limit (" +
                           std::to_string(maxResults) + ").\nYou can change it in <Setting> tab.",
                       "Information", MessageIcon::Information);
}

TagButtonsAfterListing tagButtonsAfterListing(bool folderOnOpticalDisc) {
    if (folderOnOpticalDisc) {
        return {false, false, std::nullopt};
    }
    return {true, true, ClearTarget::Folder};
}

std::optional<UserMessage> checkFilter(std::size_t rows, std::string_view keyword) {
    if (rows == 0) {
        return noRecordToFilterMessage();
    }
    if (hasIllegalNameChar(keyword)) {
        return pageMessage(
            "Input Keyword cannot contain the following characters:\n/ \\ : * ? \" < > |",
            "Input Error", MessageIcon::Warning);
    }
    if (keyword.empty()) {
        return pageMessage("Input Keyword is empty. Please enter a keyword.", "Input Error",
                           MessageIcon::Warning);
    }
    return std::nullopt;
}

bool rowMatchesKeyword(const LocalRow& row, std::string_view foldedKeyword, AccentRule accents) {
    return partMatchesKeyword(row[kLocalFileName], foldedKeyword, accents) ||
           partMatchesKeyword(row[kLocalPath], foldedKeyword, accents);
}

std::optional<UserMessage> filterLocalRows(std::vector<LocalRow>& rows, std::string_view keyword,
                                           AccentRule accents) {
    if (auto refusal = checkFilter(rows.size(), keyword)) {
        return refusal;
    }
    const std::string folded = foldForSearch(keyword, accents);
    std::erase_if(rows,
                  [&](const LocalRow& row) { return !rowMatchesKeyword(row, folded, accents); });
    return std::nullopt;
}

std::optional<UserMessage> filterLocalFiles(LocalFileSet& files, std::vector<LocalRow>& rows,
                                            std::string_view keyword, int maxResults,
                                            AccentRule accents) {
    if (auto refusal = checkFilter(rows.size(), keyword)) {
        return refusal;
    }
    const bool everyFileShown = rows.size() == files.size();
    if (everyFileShown) {
        (void)filterLocalRows(rows, keyword, accents);
    }
    files = matchingFiles(files, foldForSearch(keyword, accents), accents);
    if (!everyFileShown) {
        rows.clear();
        const auto limit =
            std::min(files.size(), static_cast<std::size_t>(std::max(maxResults, 0)));
        for (std::size_t file = 0; file < limit; ++file) {
            rows.push_back(rowOf(files.folder(file), files.name(file), files.path(file)));
        }
        sortByName(rows);
    }
    return std::nullopt;
}

std::string tagSummaryLines(const Id3Summary& summary) {
    std::string lines;
    if (summary.title) {
        lines += "Title:\t" + *summary.title + "\n";
    }
    if (summary.artist) {
        lines += "Artist:\t" + *summary.artist + "\n";
    }
    if (summary.album) {
        lines += "Album:\t" + *summary.album + "\n";
    }
    return lines;
}

std::optional<std::string> tagSummaryText(std::string_view path, const Id3Summary& summary) {
    std::string lines = tagSummaryLines(summary);
    if (lines.empty()) {
        // A blank box reads as a fault; a tag holding only other fields shows none of them here.
        lines = "No title, artist or album tag.\n";
    }
    return (singleTagFormat(path) ? "Tag of " : "ID3 Tag of ") + std::string(path) + ":\n" + lines;
}

UserMessage noRecordToFilterMessage() {
    return pageMessage(
        "No record in the list.\nPlease select a directory with matched file type "
        "or add more file type in <File Type> tab.",
        "No Record", MessageIcon::Information);
}

UserMessage noRowSelectedMessage() {
    return pageMessage("Please select a record from the file list below first.", "No Selection",
                       MessageIcon::Question);
}

UserMessage noItemInListMessage() {
    return pageMessage("No item in the search result.", "No Item", MessageIcon::Question);
}

UserMessage noFolderSelectedMessage() {
    return pageMessage("Please select a dirve or directory from the tree first.", "No Selection",
                       MessageIcon::Question);
}

UserMessage noMediaFileInFolderMessage() {
    return pageMessage("No media file under this directory. Please select another directory.",
                       "No Selection", MessageIcon::Question);
}

}  // namespace tunex
