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

bool containsFromSecond(const std::string& text, std::string_view lowerKeyword) {
    return text.find(lowerKeyword, 1) != std::string::npos;
}

}  // namespace

std::string localRowPath(const LocalRow& row) {
    return row[kLocalPath] + "/" + row[kLocalFileName];
}

LocalListing listLocalFolder(std::string_view folder, const FileTypeList& types,
                             bool includeSubfolders, int maxResults, const std::stop_token& stop) {
    LocalListing listing;
    if (folder.empty()) {
        return listing;
    }
    const auto limit = static_cast<std::size_t>(std::max(maxResults, 0));
    FolderWalkTotals totals = walkFolderFiles(
        folder, includeSubfolders,
        [&](const WalkedFile& file) {
            if (listing.rows.size() >= limit) {  // a limit of 0
                return WalkStep::Stop;
            }
            if (!types.matches(file.name)) {
                return WalkStep::Continue;
            }
            FoundFile facts;
            (void)readFileFacts(file.path, facts);
            listing.rows.push_back({std::string(file.name), std::string(file.folder),
                                    sizeText(facts.sizeBytes), dateText(facts.created)});
            return listing.rows.size() < limit ? WalkStep::Continue : WalkStep::Stop;
        },
        stop);
    listing.unreadable = std::move(totals.unreadable);
    listing.cancelled = stop.stop_requested();
    if (listing.rows.size() > 1 && !listing.cancelled) {
        sortResultRows(listing.rows, kLocalFileName, true);
    }
    return listing;
}

std::string listedStatusText(std::size_t rows, std::string_view folder,
                             const UnreadableFolders& unreadable) {
    std::string text = std::to_string(rows) + " files found under " + std::string(folder);
    if (!unreadable.empty()) {
        // One line: the status sits in a single-line label.
        text.append(". ").append(unreadableFoldersNote(unreadable));
    }
    return text;
}

std::string listingStatusText(std::string_view folder) {
    return "Listing the files under " + std::string(folder) + "...";
}

std::string filteredStatusText(std::size_t rows) {
    return std::to_string(rows) + " files matched with keyword.";
}

bool reachedDisplayLimit(std::size_t rows, int maxResults) {
    return maxResults >= 0 && rows == static_cast<std::size_t>(maxResults);
}

UserMessage displayLimitMessage(int maxResults) {
    return pageMessage("The result reaches the maximum display limit (" +
                           std::to_string(maxResults) + ").\nYou can change it in <Setting> tag.",
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
            "Input Error", MessageIcon::Question);
    }
    if (keyword.empty()) {
        return pageMessage("Input Keyword is empty. Please enter a keyword.", "Input Error",
                           MessageIcon::Question);
    }
    return std::nullopt;
}

bool rowMatchesKeyword(const LocalRow& row, std::string_view lowerKeyword) {
    return containsFromSecond(toLowerUtf8(" " + row[kLocalFileName]), lowerKeyword) ||
           containsFromSecond(toLowerUtf8(" " + row[kLocalPath]), lowerKeyword);
}

std::optional<UserMessage> filterLocalRows(std::vector<LocalRow>& rows, std::string_view keyword) {
    if (auto refusal = checkFilter(rows.size(), keyword)) {
        return refusal;
    }
    const std::string lower = toLowerUtf8(keyword);
    std::erase_if(rows, [&](const LocalRow& row) { return !rowMatchesKeyword(row, lower); });
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
    const std::string lines = tagSummaryLines(summary);
    if (lines.empty()) {
        return std::nullopt;
    }
    return (singleTagFormat(path) ? "Tag of " : "ID3 Tag of ") + std::string(path) + ":\n" + lines;
}

UserMessage noRecordToFilterMessage() {
    return pageMessage(
        "No record in the list.\nPlease select a directory with matched file type "
        "or add more file type in <File Type> tag.",
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
