#include "gui/app/app_context.h"

#include <system_error>

namespace tunex {

UserMessage browserMissingMessage() {
    return {
        "No web browser could be started to show the help.\nInstall a web browser and the "
        "xdg-utils package, then try again.",
        captionFor("Help Error"), MessageIcon::Error};
}

UserMessage helpPageMissingMessage(const std::filesystem::path& page) {
    return {"The help page " + page.string() + " was not found.", captionFor("Help Error"),
            MessageIcon::Error};
}

void AppContext::openHelpPage(std::string_view name) const {
    const std::filesystem::path page = paths().helpPage(name);
    // Handed a missing page, the browser would show an error of its own, or none at all.
    std::error_code error;
    if (!std::filesystem::is_regular_file(page, error)) {
        platform_.tell(helpPageMissingMessage(page));
        return;
    }
    if (!platform_.openHelpPage(page)) {
        platform_.tell(browserMissingMessage());
    }
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
    if (!workspace_->reloadCatalogue()) {
        platform_.tell(loadFailedMessage(workspace_->catalogue().loadFailure()));
        Q_EMIT catalogueLoadFailed();
        return false;
    }
    Q_EMIT catalogueReloaded();
    return true;
}

FileTypeAddResult AppContext::addFileType(std::string_view typed) {
    FileTypeAddResult result = tunex::addFileType(fileTypes_, typed);
    if (result.added) {
        Q_EMIT fileTypesChanged();
    }
    return result;
}

void AppContext::setFileTypes(FileTypeList types) {
    fileTypes_ = std::move(types);
    Q_EMIT fileTypesChanged();
}

void AppContext::removeFileType(std::string_view type) {
    fileTypes_.remove(type);
    Q_EMIT fileTypesChanged();
}

}  // namespace tunex
