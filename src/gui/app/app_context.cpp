#include "gui/app/app_context.h"

#include "core/collections/file_type_store.h"

#include <QTimer>

#include <system_error>

namespace tunex {

namespace {

constexpr const char* kSearchAsYouTypeKey = "SearchAsYouType";

}  // namespace

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

AppContext::AppContext(Platform& platform, std::unique_ptr<Workspace> workspace)
    : platform_(platform), workspace_(std::move(workspace)) {
    searchAsYouType_ = platform_.profileBytes(kSearchAsYouTypeKey) != "0";
    if (!workspace_) {
        return;
    }
    prepareSearches();
    LoadedFileTypes loaded = loadFileTypes(paths());
    fileTypes_ = std::move(loaded.types);
    if (loaded.problem) {
        QTimer::singleShot(
            0, this, [this, problem = std::move(*loaded.problem)] { platform_.tell(problem); });
    }
}

void AppContext::openHelpPage(std::string_view name, std::string_view section) const {
    const std::filesystem::path page = paths().helpPage(name);
    // Handed a missing page, the browser would show an error of its own, or none at all.
    std::error_code error;
    if (!std::filesystem::is_regular_file(page, error)) {
        platform_.tell(helpPageMissingMessage(page));
        return;
    }
    if (!platform_.openHelpPage(page, section)) {
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
    const CatalogueChange change(*this);
    if (!workspace_->reloadCatalogue()) {
        platform_.tell(loadFailedMessage(workspace_->catalogue().loadFailure()));
        Q_EMIT catalogueLoadFailed();
        return false;
    }
    prepareSearches();
    Q_EMIT catalogueReloaded();
    return true;
}

FollowedRenames AppContext::followRenamedFiles(std::span<const FileRename> renames,
                                               bool backwards) {
    const CatalogueChange change(*this);
    FollowedRenames followed = workspace_->followRenamedFiles(renames, backwards);
    if (followed.collections > 0) {
        (void)reloadCatalogue();
    }
    return followed;
}

void AppContext::prepareSearches() {
    preparation_ =
        std::jthread([&index = workspace_->catalogue().index()] { (void)index.visitOrder(); });
}

void AppContext::setSearchAsYouType(bool on) {
    searchAsYouType_ = on;
    platform_.setProfileBytes(kSearchAsYouTypeKey, on ? "1" : "0");
}

CatalogueChange::CatalogueChange(AppContext& context) : context_(context) {
    if (context_.catalogueChanges_++ == 0) {
        if (context_.preparation_.joinable()) {
            context_.preparation_.join();
        }
        Q_EMIT context_.catalogueChangeStarting();
    }
}

CatalogueChange::~CatalogueChange() {
    if (--context_.catalogueChanges_ == 0) {
        Q_EMIT context_.catalogueChangeEnded();
    }
}

FileTypeAddResult AppContext::addFileType(std::string_view typed) {
    FileTypeAddResult result = tunex::addFileType(fileTypes_, typed);
    if (result.added) {
        // Shown first, so that a failed store is told over the list the user now has.
        Q_EMIT fileTypesChanged();
        storeFileTypes();
    }
    return result;
}

void AppContext::storeFileTypes() const {
    std::string error;
    if (!saveFileTypes(paths(), fileTypes_, &error)) {
        platform_.tell(fileTypesSaveFailedMessage(fileTypesFile(paths()), error));
    }
}

void AppContext::setFileTypes(FileTypeList types) {
    fileTypes_ = std::move(types);
    Q_EMIT fileTypesChanged();
}

void AppContext::removeFileType(std::string_view type) {
    fileTypes_.remove(type);
    Q_EMIT fileTypesChanged();
    storeFileTypes();
}

}  // namespace tunex
