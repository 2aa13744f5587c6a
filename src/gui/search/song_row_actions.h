#pragma once

#include <QObject>
#include <QPoint>

#include <string>
#include <string_view>

namespace tunex {

class AppContext;
class Platform;
class ResultList;

// The Songs page's right-click menu and double-click on its result list: copy the file name,
// play the song, put the row's Disc Name into the newest history row, switch pages.
class SongRowActions final : public QObject {
    Q_OBJECT
public:
    enum class Command { CopyFileName = 1, PlaySong, UpdateHistory, SearchHistory, Local };

    // Whether "Update History" is offered: it fills the newest row of the song searches, which
    // only the Songs page's results belong to.
    enum class HistoryUpdate { Offered, Left };

    SongRowActions(ResultList& list, AppContext& context,
                   HistoryUpdate historyUpdate = HistoryUpdate::Offered);

    // Shows the menu at a screen point and runs the chosen command.
    void openMenu(QPoint globalPos);
    void run(Command command);
    // Opens the selected row's file with the media player, asking for the disc first when the
    // file lies on an optical disc.
    void playSelectedRow();

private:
    [[nodiscard]] std::string selectedCell(std::string_view caption) const;

    ResultList& list_;
    AppContext& context_;
    Platform& platform_;
    HistoryUpdate historyUpdate_;
};

}  // namespace tunex
