#include "core/store/workspace.h"

#include "core/store/unfinished_writes.h"

namespace tunex {

UserMessage settingsOpenFailedMessage() {
    return {"System file could not be opened.\nCheck if duplicate program is running.",
            captionFor("File Error"), MessageIcon::Error};
}

UserMessage settingsWriteFailedMessage(const std::filesystem::path& file,
                                       const std::string& reason) {
    return {"Settings could not be saved to " + file.string() + ".\n" + reason,
            captionFor("File Error"), MessageIcon::Error};
}

std::unique_ptr<Workspace> Workspace::open(const std::filesystem::path& base,
                                           UserMessage& failure) {
    StorePaths paths(base);
    std::optional<SettingsFile> settingsFile = SettingsFile::open(paths);
    if (!settingsFile) {
        failure = settingsOpenFailedMessage();
        return nullptr;
    }
    // Holding the lock, nothing else can be writing: what a cut-short write left can go.
    (void)removeUnfinishedWrites(paths);
    auto workspace = std::make_unique<Workspace>(Key(), std::move(paths), std::move(*settingsFile));
    workspace->journal_ = WriteJournal::open(workspace->paths_.journalFolder());
    workspace->settings_ = workspace->settingsFile_.readSettings();
    if (!workspace->reloadCatalogue()) {
        failure = loadFailedMessage();
        return nullptr;
    }
    return workspace;
}

bool Workspace::reloadCatalogue() {
    return catalogue_.load(paths_, settings_.collectionCount).has_value();
}

bool Workspace::storeSettings(const std::vector<HistoryRow>& historyRows, std::string* error) {
    return settingsFile_.write(settings_, historyRows, error);
}

}  // namespace tunex
