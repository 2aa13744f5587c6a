#pragma once

#include "core/collections/file_type_list.h"
#include "core/store/workspace.h"
#include "gui/search/search_state.h"
#include "platform/platform.h"

#include <functional>
#include <memory>
#include <string_view>

namespace tunex {

// The state the pages share for one run: the desktop, the open base folder with its settings and
// catalogue. Owned by the start-up code and handed to the main sheet and its pages.
class AppContext final {
public:
    AppContext(Platform& platform, std::unique_ptr<Workspace> workspace)
        : platform_(platform), workspace_(std::move(workspace)) {}
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    [[nodiscard]] Platform& platform() const { return platform_; }
    [[nodiscard]] Workspace& workspace() const { return *workspace_; }
    [[nodiscard]] Settings& settings() const { return workspace_->settings(); }
    [[nodiscard]] const Catalogue& catalogue() const { return workspace_->catalogue(); }
    [[nodiscard]] const StorePaths& paths() const { return workspace_->paths(); }

    // Opens a page of the help folder in the browser; tells the user when there is no browser.
    void openHelpPage(std::string_view name) const;
    // The same without any message, for offers the user did not ask for by name.
    void openHelpPageQuietly(std::string_view name) const;

    // Rewrites the settings file; a failure is shown to the user and reported to the caller.
    bool storeSettings(const std::vector<HistoryRow>& historyRows) const;

    // Loads the catalogue again after Add or a rename and tells the pages that asked. When a
    // collection file cannot be opened the user is told, the program is asked to end with exit
    // code 1, and the result is false.
    bool reloadCatalogue();
    void whenCatalogueReloaded(std::function<void()> listener) {
        reloadListeners_.push_back(std::move(listener));
    }

    // State the pages share for the run; none of it is stored.
    [[nodiscard]] FileTypeList& fileTypes() { return fileTypes_; }
    [[nodiscard]] SearchState& search() { return search_; }
    [[nodiscard]] bool& includeSubfolders() { return includeSubfolders_; }

private:
    std::vector<std::function<void()>> reloadListeners_;
    FileTypeList fileTypes_;
    SearchState search_;
    bool includeSubfolders_ = true;
    Platform& platform_;
    std::unique_ptr<Workspace> workspace_;
};

[[nodiscard]] UserMessage browserMissingMessage();

}  // namespace tunex
