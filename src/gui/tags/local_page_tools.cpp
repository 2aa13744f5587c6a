#include "gui/tags/local_page.h"

#include "gui/app/app_context.h"
#include "gui/tags/cover_batch.h"
#include "gui/tags/easy_tag_dialog.h"
#include "gui/tags/local_file_list.h"
#include "gui/tags/rename_dialog.h"
#include "gui/tags/tidy_dialog.h"

#include <QMenu>
#include <QPushButton>

// The Local page's batch tools beyond clearing: EasyTag and the tools of its menu.
namespace tunex {

QMenu* LocalPage::buildToolsMenu() {
    auto* menu = new QMenu(this);
    menu->addAction(QStringLiteral("&Name Files from Tags..."), this, &LocalPage::onRenameFromTags);
    menu->addAction(QStringLiteral("Set &Cover..."), this, &LocalPage::onSetCover);
    menu->addAction(QStringLiteral("&Tidy Case and Spaces..."), this, &LocalPage::onTidy);
    return menu;
}

void LocalPage::setBatchToolsEnabled(bool enabled) {
    easyTag_->setEnabled(enabled);
    tagTools_->setEnabled(enabled);
}

std::string LocalPage::sampleRowPath() const {
    std::string path = selectedRowPath();
    return path.empty() && list_->rowCount() > 0 ? localRowPath(list_->rows().front()) : path;
}

std::optional<ScopeChoice> LocalPage::chooseToolScope(BatchTool tool) {
    // "My Computer" has no path; an empty folder must never stand for "/".
    if (selectedFolder().empty()) {
        return std::nullopt;
    }
    return chooseScope(tool);
}

void LocalPage::openToolDialog(QDialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, &LocalPage::refreshAfterTagChange);
    dialog->open();
}

void LocalPage::onEasyTag() {
    if (std::optional<ScopeChoice> choice = chooseToolScope(BatchTool::EasyTag)) {
        openToolDialog(new EasyTagDialog(context_.platform(), context_.workspace().journal(),
                                         {std::move(choice->scope), context_.settings().fileTypes,
                                          context_.settings().previewTagChanges, sampleRowPath()},
                                         this));
    }
}

void LocalPage::onRenameFromTags() {
    if (std::optional<ScopeChoice> choice = chooseToolScope(BatchTool::Rename)) {
        openToolDialog(
            new RenameFromTagsDialog(context_, std::move(choice->scope), sampleRowPath(), this));
    }
}

void LocalPage::onTidy() {
    std::optional<ScopeChoice> choice = chooseToolScope(BatchTool::Tidy);
    if (choice &&
        tidyChosenFiles(context_, this, selectedFolder(), std::move(*choice), progress_)) {
        refreshAfterTagChange();
    }
}

void LocalPage::onSetCover() {
    std::optional<ScopeChoice> choice = chooseToolScope(BatchTool::Cover);
    if (choice &&
        setCoverOfChosenFiles(context_, this, selectedFolder(), std::move(*choice), progress_)) {
        refreshAfterTagChange();
    }
}

}  // namespace tunex
