#pragma once

#include "core/collections/file_type_list.h"
#include "core/search/catalogue_search.h"
#include "core/store/workspace.h"
#include "gui/app/page_id.h"
#include "platform/platform.h"

#include <QObject>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace tunex {

// The state the pages share for one run: the desktop, the open base folder with its settings and
// catalogue, and what the pages hand each other. Owned by the start-up code and handed to the
// main sheet and its pages; a page changes shared state through it and hears of changes made by
// others through its signals.
class AppContext final : public QObject {
    Q_OBJECT
public:
    // Loads the base folder's file types; a stored list that cannot be used is told to the user
    // once the event loop runs, so that the window is there to stand under it.
    AppContext(Platform& platform, std::unique_ptr<Workspace> workspace);

    [[nodiscard]] Platform& platform() const { return platform_; }
    [[nodiscard]] Workspace& workspace() const { return *workspace_; }
    [[nodiscard]] Settings& settings() const { return workspace_->settings(); }
    [[nodiscard]] const Catalogue& catalogue() const { return workspace_->catalogue(); }
    [[nodiscard]] const StorePaths& paths() const { return workspace_->paths(); }

    // Opens a page of the help folder in the browser; tells the user when the page is missing or
    // nothing could show it.
    void openHelpPage(std::string_view name, std::string_view section = {}) const;

    // Rewrites the settings file; a failure is shown to the user and reported to the caller.
    [[nodiscard]] bool storeSettings(const std::vector<HistoryRow>& historyRows) const;

    // Loads the catalogue again after Add or a rename. When a collection file cannot be opened
    // the user is told, catalogueLoadFailed() is emitted and the result is false.
    bool reloadCatalogue();
    // Makes the collections list renamed files as they are called now (`backwards`: the renames
    // were taken back) and loads the catalogue again when one changed.
    FollowedRenames followRenamedFiles(std::span<const FileRename> renames, bool backwards);
    // While a CatalogueChange is held; searches running off the GUI thread read the catalogue.
    [[nodiscard]] bool catalogueChanging() const { return catalogueChanges_ > 0; }

    // Whether the Songs and Files pages search as the user types; kept in the desktop profile.
    [[nodiscard]] bool searchAsYouType() const { return searchAsYouType_; }
    void setSearchAsYouType(bool on);

    // The file types walks take. Add and remove store the list at once; when that fails the user
    // is told and the change still holds for the run.
    [[nodiscard]] const FileTypeList& fileTypes() const { return fileTypes_; }
    [[nodiscard]] FileTypeAddResult addFileType(std::string_view typed);
    void removeFileType(std::string_view type);
    // For the run only; nothing is stored.
    void setFileTypes(FileTypeList types);

    // The shown columns of the settings changed; the result lists rebuild theirs.
    void announceColumnsChanged() { Q_EMIT columnsChanged(); }
    // A search the Songs page ran, for the history.
    void recordSearch(const SearchSummary& summary) { Q_EMIT searchRecorded(summary); }
    // First CD Found of the newest history row.
    void setLastHistoryCell(const std::string& text) { Q_EMIT lastHistoryCellSet(text); }
    // Terms to search again on the Songs page (from the history).
    void searchAgain(const std::string& title, const std::string& artist) {
        Q_EMIT searchAgainRequested(title, artist);
    }
    // Asks the sheet to make `page` the active tab.
    void showPage(PageId page) { Q_EMIT pageRequested(page); }

Q_SIGNALS:
    // Searches that read the catalogue stop and are waited for; none starts until it has changed.
    void catalogueChangeStarting();
    // Whatever a page kept of earlier searches no longer holds.
    void catalogueChangeEnded();
    void catalogueReloaded();
    void catalogueLoadFailed();
    void fileTypesChanged();
    void columnsChanged();
    void searchRecorded(const tunex::SearchSummary& summary);
    void lastHistoryCellSet(const std::string& text);
    void searchAgainRequested(const std::string& title, const std::string& artist);
    void pageRequested(tunex::PageId page);

private:
    friend class CatalogueChange;
    void storeFileTypes() const;
    // Works out what the first search would otherwise work out on the GUI thread, on a thread of
    // its own; a change of the catalogue waits for it.
    void prepareSearches();

    FileTypeList fileTypes_;
    Platform& platform_;
    std::unique_ptr<Workspace> workspace_;
    int catalogueChanges_ = 0;  // CatalogueChange guards held, nested ones included
    bool searchAsYouType_ = true;
    std::jthread preparation_;  // last, so that it ends before the catalogue goes
};

// Held around every change of the catalogue's files or of the loaded catalogue (Add, rename,
// rescan, delete, a reload), so that no search reads it meanwhile. Guards may nest.
class CatalogueChange final {
public:
    explicit CatalogueChange(AppContext& context);
    ~CatalogueChange();
    CatalogueChange(const CatalogueChange&) = delete;
    CatalogueChange& operator=(const CatalogueChange&) = delete;
    CatalogueChange(CatalogueChange&&) = delete;
    CatalogueChange& operator=(CatalogueChange&&) = delete;

private:
    AppContext& context_;
};

[[nodiscard]] UserMessage browserMissingMessage();
[[nodiscard]] UserMessage helpPageMissingMessage(const std::filesystem::path& page);

}  // namespace tunex
