#include "core/store/workspace.h"

#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/store/collection_file_moves.h"
#include "core/store/song_record.h"
#include "core/store/unfinished_writes.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <system_error>

namespace tunex {

UserMessage settingsOpenFailedMessage(const std::filesystem::path& file,
                                      SettingsFile::OpenFailure failure,
                                      const std::string& reason) {
    // Only a held lock means another copy is running; anything else must not send the user
    // looking for one.
    if (file.empty() || failure == SettingsFile::OpenFailure::Locked) {
        return {"System file could not be opened.\nCheck if duplicate program is running.",
                captionFor("File Error"), MessageIcon::Error};
    }
    return {"System file could not be opened: " + file.string() + "\n" + reason,
            captionFor("File Error"), MessageIcon::Error};
}

UserMessage settingsWriteFailedMessage(const std::filesystem::path& file,
                                       const std::string& reason) {
    return {"Settings could not be saved to " + file.string() + ".\n" + reason,
            captionFor("File Error"), MessageIcon::Error};
}

namespace {

UserMessage takenBackText(int count, const std::string& writeError) {
    std::string text = count == 1 ? "1 collection was found that the settings file did not list; "
                                    "it is back in the catalogue."
                                  : std::to_string(count) +
                                        " collections were found that the settings file did not "
                                        "list; they are back in the catalogue.";
    if (!writeError.empty()) {
        text += "\nThe settings file could not be corrected: " + writeError;
    }
    return {std::move(text), captionFor("Collections Restored"), MessageIcon::Information};
}

}  // namespace

bool isWholeCollectionFile(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::symlink_status(file, error).type() !=
        std::filesystem::file_type::regular) {
        return false;
    }
    LineReader reader;
    TextLine line;
    if (!reader.open(file) || !reader.next(line) || !startsWith(line.text, kCollectionNamePrefix) ||
        !line.hasLineEnd) {
        return false;
    }
    // The writer puts the end marker last, without a line end; a file cut short lacks it.
    bool atMarker = false;
    while (reader.next(line)) {
        atMarker = line.text == kEndMarker && !line.hasLineEnd;
    }
    return atMarker && !reader.failed();
}

std::unique_ptr<Workspace> Workspace::open(const std::filesystem::path& base,
                                           UserMessage& failure) {
    StorePaths paths(base);
    SettingsFile::OpenFailure openFailure = SettingsFile::OpenFailure::None;
    std::string reason;
    std::optional<SettingsFile> settingsFile = SettingsFile::open(paths, &openFailure, &reason);
    if (!settingsFile) {
        failure = settingsOpenFailedMessage(paths.settingsFile(), openFailure, reason);
        return nullptr;
    }
    // Holding the lock, nothing else can be writing: what a cut-short write left can go.
    (void)removeUnfinishedWrites(paths);
    auto workspace = std::make_unique<Workspace>(Key(), std::move(paths), std::move(*settingsFile));
    // Absolute, as the journal's records are: a base given as a relative path still has one.
    std::error_code absoluteError;
    workspace->journal_ = WriteJournal::open(
        std::filesystem::absolute(workspace->paths_.journalFolder(), absoluteError));
    workspace->settings_ = workspace->settingsFile_.readSettings();
    workspace->finishInterruptedMoves();
    workspace->takeBackUnlistedCollections();
    // Renames a kill cut off from their collections, and renames given back.
    (void)followRenames(workspace->paths_, workspace->settings_,
                        workspace->journal_->rollback().renamedBack, true);
    const std::vector<FileRename> unfollowed = workspace->journal_->renamesToFollow();
    if (followRenames(workspace->paths_, workspace->settings_, unfollowed).error.empty()) {
        workspace->journal_->renamesFollowed();
    }
    if (!workspace->reloadCatalogue()) {
        failure = loadFailedMessage(workspace->catalogue().loadFailure());
        return nullptr;
    }
    std::vector<CutLines> cut;
    if (const int lines = overlongLinesIn(workspace->paths_.settingsFile()); lines > 0) {
        cut.push_back({workspace->paths_.settingsFile(), lines});
    }
    const auto& collections = workspace->catalogue().cutLines();
    cut.insert(cut.end(), collections.begin(), collections.end());
    workspace->cutLinesMessage_ = tunex::cutLinesMessage(cut);
    return workspace;
}

void Workspace::finishInterruptedMoves() {
    const bool deleted = finishInterruptedDelete(paths_, settings_) == InterruptedDelete::Finished;
    const bool replaced = finishInterruptedReplace(paths_, settings_);
    if (!deleted && !replaced) {
        return;
    }
    // Kept until the settings say so: a failed write leaves them for the next start to finish.
    if (settingsFile_.write(settings_, settingsFile_.readHistoryRows(), nullptr)) {
        if (deleted) {
            clearDeleteIntent(paths_);
        }
        if (replaced) {
            clearReplaceIntent(paths_);
        }
    }
}

void Workspace::takeBackUnlistedCollections() {
    // Whole collection files right after the listed ones are collections the user added: an Add
    // renames its file into place only once complete. Left out, the next Add would write over one.
    const int listed = std::max(settings_.collectionCount, 0);
    int found = listed;
    while (found < INT_MAX && isWholeCollectionFile(paths_.collectionFileName(found))) {
        ++found;
    }
    if (found == listed) {
        return;
    }
    std::int64_t songs = 0;
    for (int i = 0; i < found; ++i) {
        songs += collectionRecordCount(paths_.collectionFileName(i));
    }
    const std::vector<HistoryRow> historyRows = settingsFile_.readHistoryRows();
    settings_.collectionCount = found;
    settings_.totalSongs = static_cast<int>(std::min<std::int64_t>(songs, INT_MAX));
    std::string error;
    if (settingsFile_.write(settings_, historyRows, &error)) {
        error.clear();
    } else if (error.empty()) {
        error = "write failed";
    }
    takenBackMessage_ = takenBackText(found - listed, error);
}

FollowedRenames Workspace::followRenamedFiles(std::span<const FileRename> renames, bool backwards) {
    FollowedRenames result = followRenames(paths_, settings_, renames, backwards);
    if (result.error.empty()) {
        journal_->renamesFollowed();
    }
    return result;
}

bool Workspace::reloadCatalogue() {
    return catalogue_.load(paths_, settings_.collectionCount).has_value();
}

bool Workspace::storeSettings(const std::vector<HistoryRow>& historyRows, std::string* error) {
    return settingsFile_.write(settings_, historyRows, error);
}

std::int64_t collectionRecordCount(const std::filesystem::path& file) {
    std::int64_t records = 0;
    LineReader reader;
    TextLine line;
    if (reader.open(file)) {
        while (reader.next(line) && !startsWith(line.text, kEndMarker)) {
            if (startsWith(line.text, kRecordPrefix)) {
                ++records;
            }
        }
    }
    return records;
}

}  // namespace tunex
