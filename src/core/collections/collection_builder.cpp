#include "core/collections/collection_builder.h"

#include "core/common/text.h"
#include "core/store/collection_writer.h"
#include "core/store/workspace.h"
#include "core/tags/audio_format.h"
#include "core/tags/id3_tags.h"
#include "core/volumes/collection_volumes.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <system_error>
#include <utility>

namespace tunex {

namespace {

UserMessage inputError(std::string text, std::string_view title = "Input Error",
                       MessageIcon icon = MessageIcon::Warning) {
    return {std::move(text), captionFor(title), icon};
}

// "%s ... %d " with the pattern and a count; the blank at the end belongs to the text.
std::string patternCountText(std::string_view lead, const SearchPattern& pattern,
                             const WalkTotals& totals, std::int64_t count) {
    std::string text(lead);
    text.append(pattern.text).append(" : ").append(std::to_string(count)).append(" ");
    if (totals.unstorableNames > 0) {
        const bool one = totals.unstorableNames == 1;
        text.append("\n")
            .append(std::to_string(totals.unstorableNames))
            .append(one ? " media file was left out: its name holds"
                        : " media files were left out: their names hold")
            .append(" a line break or a record marker.");
    }
    return withUnreadableFoldersNote(std::move(text), totals.unreadable);
}

// Count and Add on a folder that is there but cannot be read: saying the path is invalid, or
// that no disc is in, would send the user looking in the wrong place.
std::optional<UserMessage> unreadableFolderMessage(const SearchPattern& pattern) {
    if (const auto reason = folderReadFailure(pattern)) {
        return UserMessage{"The folder cannot be read: " + openableFolder(pattern) + "\n" + *reason,
                           captionFor("Path Error"), MessageIcon::Error};
    }
    return std::nullopt;
}

bool holdsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string typeOf(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos ? std::string() : toLowerUtf8(fileName.substr(dot + 1));
}

// mp3 files by their exact type, as ever; other formats by the names the tag tools take.
bool hasCatalogueTag(std::string_view fileName) {
    const auto format = audioFormatOfName(fileName);
    return typeOf(fileName) == "mp3" || (format && *format != AudioFormat::Mp3);
}

int raisedTotal(int total, std::int64_t by) {
    const std::int64_t raised = std::max(total, 0) + by;
    return static_cast<int>(std::min<std::int64_t>(raised, INT_MAX));
}

// Writes a record for every media file under the checked path, telling `progress` as it goes;
// nothing when a write failed.
}  // namespace

std::string databaseTipsText() {
    return "Tips: Enter the CD path or select the folder from the list, type the CD name and then "
           "press Add.\n"
           "The media files under the path will be added to the database.\n\n"
           "Press Count to count the total number of media files under the path.\n";
}

UserMessage welcomeQuestion() {
    return {
        "Thank you for using Tunex.\nYour database is currently empty. Please use <Database> "
        "to add files to database.\n\nDo you need help?",
        captionFor("Welcome"), MessageIcon::Information};
}

UserMessage noCollectionMessage() {
    return {"No collection available. Please add a CD to the database first.",
            captionFor("No Collection Available"), MessageIcon::Question};
}

UserMessage fileWriteFailedMessage(const std::string& file, std::string_view reason,
                                   std::string_view consequence) {
    std::string text = "File could not be written: " + file + "\n";
    text.append(reason).append("\n").append(consequence);
    return {std::move(text), captionFor("File Error"), MessageIcon::Error};
}

CountOutcome countCollection(std::string_view pathText, const FileTypeList& types) {
    CountOutcome outcome;
    if (pathText.empty()) {
        outcome.message = inputError("Please input the CD Source Path for Count.");
        return outcome;
    }
    const SearchPattern pattern = completePattern(pathText);
    if (!patternFindsEntries(pattern)) {
        if ((outcome.message = unreadableFolderMessage(pattern))) {
            return outcome;
        }
        outcome.message = inputError("Invalid path: " + std::string(pathText) +
                                         "\nIf it is a floppy or CD drive, make sure the disk "
                                         "is inserted.",
                                     "Path Error", MessageIcon::Error);
        return outcome;
    }
    const WalkTotals totals = countMediaFiles(pattern, types);
    outcome.count = totals.mediaFiles;
    outcome.statusText =
        patternCountText("Total Number of Songs in ", pattern, totals, totals.mediaFiles);
    return outcome;
}

AddCheck checkAdd(const AddRequest& request, const std::vector<std::string>& collectionNames,
                  const FileTypeList& types) {
    AddCheck check;
    if (request.name.empty() || request.pathText.empty()) {
        check.refusal = inputError("Please input BOTH CD Collection Name and Source Path.");
        return check;
    }
    // The name line ends at the first line break.
    if (holdsLineBreak(request.name)) {
        check.refusal = inputError("The CD Collection Name cannot contain a line break.");
        return check;
    }
    if (std::find(collectionNames.begin(), collectionNames.end(), request.name) !=
        collectionNames.end()) {
        check.refusal =
            inputError("You have already used the input CD name before. Please enter a new one.",
                       "Duplicate CD Name");
        return check;
    }
    check.pattern = completePattern(request.pathText);
    if (!patternFindsEntries(check.pattern)) {
        check.refusal = unreadableFolderMessage(check.pattern);
        if (!check.refusal) {
            check.refusal =
                inputError("Invalid path: " + request.pathText, "Path Error", MessageIcon::Error);
        }
        return check;
    }
    const WalkTotals counted = countMediaFiles(check.pattern, types);
    check.mediaFiles = counted.mediaFiles;
    if (check.mediaFiles == 0) {
        check.refusal = inputError(
            withUnreadableFoldersNote("No songs found under the source path " + check.pattern.text +
                                          " .\nPlease specify a file type in Setting Tab or enter "
                                          "another source path.",
                                      counted.unreadable),
            "Information");
    }
    return check;
}

CatalogueUpdate directUpdate(Workspace& workspace, std::vector<HistoryRow> historyRows,
                             const std::function<void(const UserMessage&)>& tell) {
    CatalogueUpdate update;
    update.reloadCatalogue = [&workspace, tell] {
        if (workspace.reloadCatalogue()) {
            return true;
        }
        if (tell) {
            tell(loadFailedMessage(workspace.catalogue().loadFailure()));
        }
        return false;
    };
    update.storeSettings = [&workspace, tell, rows = std::move(historyRows)] {
        std::string error;
        if (workspace.storeSettings(rows, &error)) {
            return true;
        }
        if (tell) {
            tell(settingsWriteFailedMessage(workspace.paths().settingsFile(), error));
        }
        return false;
    };
    return update;
}

AddOutcome addCollection(Workspace& workspace, const FileTypeList& types, const AddRequest& request,
                         const AddProgress& progress, const CatalogueUpdate& update) {
    AddOutcome outcome;
    const AddCheck check = checkAdd(request, workspace.catalogue().collectionNames(), types);
    if (check.refusal) {
        outcome.message = check.refusal;
        return outcome;
    }
    Settings& settings = workspace.settings();
    // A settings file without "<tf>" reads as -1; the first collection is still number 0001.
    const int index = std::max(settings.collectionCount, 0);
    const std::filesystem::path target = workspace.paths().collectionFileName(index);
    // Whatever already has the name may hold a collection; opening the workspace took back every
    // whole one, so what is left is not ours to replace.
    std::error_code statError;
    if (std::filesystem::symlink_status(target, statError).type() !=
        std::filesystem::file_type::not_found) {
        outcome.result = AddResult::FileError;
        outcome.message = fileWriteFailedMessage(
            target.string(), "A file of that name is already there; it was left as it is.",
            "No files were added to the database.");
        outcome.statusText = "No files were added to the database.";
        return outcome;
    }
    CollectionWriter writer(target);
    if (!writer.begin(request.name)) {
        outcome.result = AddResult::FileError;
        outcome.message =
            UserMessage{"File could not be opened.", captionFor("File Error"), MessageIcon::Error};
        return outcome;
    }
    const std::optional<WalkTotals> walked = writeRecords(writer, check, types, request, progress);
    if (!walked || !writer.finish()) {
        const std::string reason = writer.error();
        writer.discard();
        outcome.result = AddResult::FileError;
        outcome.message = fileWriteFailedMessage(writer.target().string(), reason,
                                                 "No files were added to the database.");
        outcome.statusText = "No files were added to the database.";
        return outcome;
    }

    const WalkTotals& totals = *walked;
    const Settings before = settings;
    outcome.added = writer.recordCount();
    outcome.unstorableNames = totals.unstorableNames;
    settings.totalSongs = raisedTotal(settings.totalSongs, outcome.added);
    settings.collectionCount = index + 1;
    outcome.catalogueReloaded = !update.reloadCatalogue || update.reloadCatalogue();
    outcome.settingsStored = !update.storeSettings || update.storeSettings();
    if (!outcome.settingsStored) {
        // Unlisted, the file would come back at the next start although the user was told of a
        // failure: take it away again so the catalogue is as it was.
        settings = before;
        outcome.result = AddResult::FileError;
        outcome.statusText = "No files were added to the database.";
        std::error_code removeError;
        if (!std::filesystem::remove(target, removeError) && removeError) {
            outcome.message = UserMessage{
                "File could not be removed: " + target.string() + "\n" + removeError.message() +
                    "\nThe collection will be back in the catalogue at the next start.",
                captionFor("File Error"), MessageIcon::Error};
        }
        outcome.catalogueReloaded = !update.reloadCatalogue || update.reloadCatalogue();
        return outcome;
    }
    outcome.result = AddResult::Added;
    if (outcome.catalogueReloaded) {
        recordVolume(workspace, request.name, check, update);
    }
    outcome.statusText = patternCountText("Total number of songs added to the database from ",
                                          check.pattern, totals, outcome.added);
    if (outcome.catalogueReloaded) {
        std::string text = std::to_string(outcome.added) + " songs from <" + request.name +
                           "> added to the database.";
        outcome.message = UserMessage{
            withUnreadableFoldersNote(std::move(text), totals.unreadable),
            captionFor("Files added to the database"),
            totals.unreadable.empty() ? MessageIcon::Information : MessageIcon::Warning};
    }
    return outcome;
}

void recordVolume(const Workspace& workspace, const std::string& name, const AddCheck& check,
                  const CatalogueUpdate& update) {
    // Only a convenience: without it the collection shows as "unknown" until a Rescan.
    (void)recordCollectionVolume(workspace.paths(), workspace.catalogue().collectionNames(), name,
                                 openableFolder(check.pattern), update.volumes);
}

ProposedLabel proposeLabel(LabelSource source, std::string_view nodeText) {
    ProposedLabel label;
    switch (source) {
        case LabelSource::Nothing:
            label.message = inputError("Please select a drive or directory in the list first.",
                                       "Input Error", MessageIcon::Information);
            break;
        case LabelSource::Drive: {
            const size_t open = nodeText.find('(');
            if (open == std::string_view::npos || open < 2) {
                label.message = inputError("Selected drive has no label. Please enter one.",
                                           "Input Error", MessageIcon::Information);
            } else {
                // "MyCD (D:)": the blank before "(" is not part of the label.
                label.name = std::string(nodeText.substr(0, open - 1));
            }
            break;
        }
        case LabelSource::OtherNode:
            label.name = std::string(nodeText);
            break;
    }
    return label;
}

std::optional<WalkTotals> writeRecords(CollectionWriter& writer, const AddCheck& check,
                                       const FileTypeList& types, const AddRequest& request,
                                       const AddProgress& progress) {
    if (progress.begin && progress.begin(std::string(kAddingStatusText))) {
        const std::int64_t total = countMediaFiles(check.pattern, types).mediaFiles;
        if (progress.setRange) {
            progress.setRange(total);
        }
    }

    bool written = true;
    std::int64_t done = 0;
    const auto addRecord = [&](const FoundFile& file, const std::string& path) {
        const bool withTag = request.includeId3 && hasCatalogueTag(file.fileName);
        written = writer.addRecordLine(
            makeSongRecordLine(file, withTag ? readCatalogueId3(path) : std::string()));
        ++done;
        if (progress.step) {
            progress.step(done, path);
        }
    };
    // Nothing past a failed write can reach the file, so the walk ends there.
    const WalkTotals totals = walkMediaFiles(check.pattern, types, WalkDetail::SizesAndDates,
                                             addRecord, [&written] { return !written; });
    if (!written) {
        return std::nullopt;
    }
    return totals;
}

}  // namespace tunex
