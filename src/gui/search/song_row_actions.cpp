#include "gui/search/song_row_actions.h"

#include "core/search/result_actions.h"
#include "gui/app/app_context.h"
#include "gui/widgets/popup_menu_window.h"
#include "gui/widgets/result_list.h"
#include "platform/platform.h"
#include "platform/play_media.h"

#include <filesystem>

namespace tunex {

namespace {

constexpr int kCopyIcon = 3;
constexpr int kPageIcon = 1;

std::string_view captionOf(ResultColumn column) {
    return columnCaption(column);
}

}  // namespace

SongRowActions::SongRowActions(ResultList& list, AppContext& context, HistoryUpdate historyUpdate)
    : QObject(&list),
      list_(list),
      context_(context),
      platform_(context.platform()),
      historyUpdate_(historyUpdate) {
    connect(&list_, &ResultList::menuRequested, this, &SongRowActions::openMenu);
    connect(&list_, &ResultList::rowDoubleClicked, this, &SongRowActions::playSelectedRow);
}

void SongRowActions::openMenu(QPoint globalPos) {
    if (!list_.selectedRow()) {
        platform_.tell(noItemMessage());
        return;
    }
    const bool discShown = list_.findColumnByCaption(captionOf(ResultColumn::DiscName)) >= 0;
    PopupMenuWindow menu(&list_);
    menu.setColours(infoPopupColours(list_.palette()));
    menu.loadMenuResources();
    menu.addMenuItem(0, QStringLiteral("&Copy Filename to Clipboard"), Command::CopyFileName,
                     kCopyIcon);
    menu.addMenuItem(0, QStringLiteral("&Play Song"), Command::PlaySong);
    if (historyUpdate_ == HistoryUpdate::Offered) {
        menu.addMenuItem(discShown ? 0 : kPopupNotSelectable | kPopupGrey,
                         QStringLiteral("&Update History"), Command::UpdateHistory);
    }
    menu.addMenuItem(kPopupSeparator);
    menu.addMenuItem(0, QStringLiteral("Search &History"), Command::SearchHistory, kPageIcon);
    menu.addMenuItem(0, QStringLiteral("&Local"), Command::Local, kPageIcon);
    if (const auto command = menu.showMenuFor<Command>(globalPos)) {
        run(*command);
    }
}

void SongRowActions::run(Command command) {
    switch (command) {
        case Command::CopyFileName:
            if (list_.selectedRow()) {
                platform_.setClipboardText(selectedCell(captionOf(ResultColumn::FileName)));
            }
            break;
        case Command::PlaySong:
            playSelectedRow();
            break;
        case Command::UpdateHistory:
            if (historyUpdate_ == HistoryUpdate::Offered && list_.selectedRow() &&
                list_.findColumnByCaption(captionOf(ResultColumn::DiscName)) >= 0) {
                context_.setLastHistoryCell(selectedCell(captionOf(ResultColumn::DiscName)));
            }
            break;
        case Command::SearchHistory:
            context_.showPage(PageId::History);
            break;
        case Command::Local:
            context_.showPage(PageId::Local);
            break;
    }
}

std::string SongRowActions::selectedCell(std::string_view caption) const {
    const auto row = list_.selectedRow();
    // Column 0 is never found by caption; it is the file name.
    const int column =
        caption == captionOf(ResultColumn::FileName) ? 0 : list_.findColumnByCaption(caption);
    if (!row || column < 0) {
        return {};
    }
    const ResultRow& cells = list_.table().rows[static_cast<size_t>(*row)];
    return static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)]
                                                      : std::string();
}

void SongRowActions::playSelectedRow() {
    if (const auto refusal = checkPlayableColumns(list_.columns())) {
        platform_.tell(*refusal);
        return;
    }
    if (!list_.selectedRow()) {
        return;
    }
    const std::string name = selectedCell(captionOf(ResultColumn::FileName));
    const std::string type = selectedCell(captionOf(ResultColumn::FileType));
    const std::string folder = selectedCell(captionOf(ResultColumn::Path));
    std::optional<std::string> disc;
    if (list_.findColumnByCaption(captionOf(ResultColumn::DiscName)) >= 0) {
        disc = selectedCell(captionOf(ResultColumn::DiscName));
    }

    // A file directly under "/" has an empty folder.
    const auto volume = platform_.volumeOf(std::filesystem::path(folder.empty() ? "/" : folder));
    if (volume && volume->kind == VolumeKind::Optical) {
        const MessageAnswer answer =
            platform_.showMessage({insertCdMessage(disc), MessageButtons::OkCancel});
        if (answer != MessageAnswer::Ok) {
            return;
        }
    }

    const std::optional<std::string> path = findMediaFile(folder, name, type);
    if (!path) {
        platform_.tell(mediaFileNotFoundMessage(mediaFilePath(folder, name, type)));
        return;
    }
    if (const auto failure = playFailureMessage(playMediaFile(platform_, *path), *path)) {
        platform_.tell(*failure);
    }
}

}  // namespace tunex
