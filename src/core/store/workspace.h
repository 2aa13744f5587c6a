#pragma once

#include "core/common/user_message.h"
#include "core/journal/write_journal.h"
#include "core/store/catalogue.h"
#include "core/store/collection_renames.h"
#include "core/store/settings_file.h"
#include "core/store/store_paths.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tunex {

// What the program and tunex-cli hold while they run on one base folder: the locked settings
// file, the settings read from it, and the catalogue.
class Workspace final {
public:
    // Opens the settings file, rolls back an interrupted tag write, reads the settings and loads
    // the catalogue. On failure the result is empty and `failure` holds the message the user
    // must see before the process ends.
    [[nodiscard]] static std::unique_ptr<Workspace> open(const std::filesystem::path& base,
                                                         UserMessage& failure);

    [[nodiscard]] const StorePaths& paths() const { return paths_; }
    [[nodiscard]] Settings& settings() { return settings_; }
    [[nodiscard]] const Settings& settings() const { return settings_; }
    [[nodiscard]] const Catalogue& catalogue() const { return catalogue_; }
    [[nodiscard]] SettingsFile& settingsFile() { return settingsFile_; }
    // The journal every tag write goes through; opening the workspace rolled back what an
    // interrupted write left (see its rollback()).
    [[nodiscard]] WriteJournal& journal() const { return *journal_; }

    // Set when opening took back collection files the settings did not list (a 0-byte or
    // damaged settings file, or an Add cut short before it saved the totals); the user must see it.
    [[nodiscard]] const std::optional<UserMessage>& takenBackMessage() const {
        return takenBackMessage_;
    }

    // Set when the settings or collection files held lines too long to be read whole; each was
    // cut short. The user must see it.
    [[nodiscard]] const std::optional<UserMessage>& cutLinesMessage() const {
        return cutLinesMessage_;
    }

    // Loads the catalogue again after it changed on disk; false when a collection file could not
    // be opened (the caller shows `loadFailedMessage(catalogue().loadFailure())` and ends the
    // process).
    [[nodiscard]] bool reloadCatalogue();

    // Makes the collections list renamed files under the names they have now (`backwards`: the
    // renames were taken back), and marks the journal's renames followed once every collection
    // was rewritten. The caller loads the catalogue again when a collection changed.
    [[nodiscard]] FollowedRenames followRenamedFiles(std::span<const FileRename> renames,
                                                     bool backwards);

    // Rewrites the settings file from the settings in memory and the given history rows.
    [[nodiscard]] bool storeSettings(const std::vector<HistoryRow>& historyRows,
                                     std::string* error = nullptr);

    // Only `open` can make one; the key keeps the constructor usable by std::make_unique.
    class Key {
        friend class Workspace;
        Key() = default;
    };
    Workspace(Key /*key*/, StorePaths paths, SettingsFile settingsFile)
        : paths_(std::move(paths)), settingsFile_(std::move(settingsFile)) {}

private:
    StorePaths paths_;
    SettingsFile settingsFile_;
    Settings settings_;
    Catalogue catalogue_;
    std::unique_ptr<WriteJournal> journal_;
    std::optional<UserMessage> takenBackMessage_;
    std::optional<UserMessage> cutLinesMessage_;

    // Finishes a collection delete or rescan that was cut short, before anything reads the
    // collections.
    void finishInterruptedMoves();
    void takeBackUnlistedCollections();
};

// Without a file: the text for a base folder another process holds.
[[nodiscard]] UserMessage settingsOpenFailedMessage(
    const std::filesystem::path& file = {},
    SettingsFile::OpenFailure failure = SettingsFile::OpenFailure::Locked,
    const std::string& reason = {});
// Whether the file is a whole collection: a plain file (no link) from its name line to its end
// marker, as the collection writer renames it into place.
[[nodiscard]] bool isWholeCollectionFile(const std::filesystem::path& file);
// Record lines before the end marker: the songs the catalogue would load from the file.
[[nodiscard]] std::int64_t collectionRecordCount(const std::filesystem::path& file);
// The message for a settings file that could not be written, naming it.
[[nodiscard]] UserMessage settingsWriteFailedMessage(const std::filesystem::path& file,
                                                     const std::string& reason);

}  // namespace tunex
