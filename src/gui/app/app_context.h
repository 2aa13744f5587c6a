#pragma once

#include "core/store/workspace.h"
#include "platform/platform.h"

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

private:
    Platform& platform_;
    std::unique_ptr<Workspace> workspace_;
};

[[nodiscard]] UserMessage browserMissingMessage();

}  // namespace tunex
