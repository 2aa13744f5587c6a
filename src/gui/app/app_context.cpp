#include "gui/app/app_context.h"

#include <QCoreApplication>

namespace tunex {

UserMessage browserMissingMessage() {
    return {"Cannot find browser.\nPlease install IE.", captionFor("Help Error"),
            MessageIcon::Error};
}

void AppContext::openHelpPage(std::string_view name) const {
    if (!platform_.openHelpPage(paths().helpPage(name))) {
        platform_.tell(browserMissingMessage());
    }
}

void AppContext::openHelpPageQuietly(std::string_view name) const {
    (void)platform_.openHelpPage(paths().helpPage(name));
}

bool AppContext::storeSettings(const std::vector<HistoryRow>& historyRows) const {
    std::string error;
    if (workspace_->storeSettings(historyRows, &error)) {
        return true;
    }
    platform_.tell(settingsWriteFailedMessage(paths().settingsFile(), error));
    return false;
}

bool AppContext::reloadCatalogue() {
    const bool loaded = workspace_->reloadCatalogue();
    if (!loaded) {
        platform_.tell(loadFailedMessage(workspace_->catalogue().loadFailure()));
        QCoreApplication::exit(1);
    }
    for (const auto& listener : reloadListeners_) {
        listener();
    }
    return loaded;
}

}  // namespace tunex
