#include "gui/search/song_row_actions.h"
#include "core/search/result_actions.h"
#include "gui/search/history_page.h"
#include "gui/search/songs_page.h"
#include "gui/widgets/popup_menu_window.h"
#include "gui/widgets/result_list.h"
#include "search_test_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace tunex {
namespace {

using test::SearchSheetTest;
using test::Song;

class SongRowActionsTest : public SearchSheetTest {
protected:
    // A catalogue of one song whose file exists under the base folder.
    void openWithSong(const std::string& extraSettings = {}) {
        music_ = base_.path() / "music";
        std::filesystem::create_directories(music_);
        test::writeFile(music_ / "b.mp3", "ID3");
        open({{"Party", {Song("b", "", music_.string())}}}, extraSettings);
        songs().listAll();
        songs().resultList()->selectRow(0);
    }
    SongsPage& songs() { return page<SongsPage>(PageId::Songs); }
    SongRowActions& actions() { return *songs().rowActions(); }

    // Opens the row menu and types `keys` into it once it is up; returns what the menu chose
    // by the page it left active or the clipboard.
    void openMenuAndType(const QString& keys) {
        QTimer::singleShot(0, [keys] {
            auto* menu = qobject_cast<PopupMenuWindow*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            QTest::keyClicks(menu, keys);
            if (menu->isVisible()) {
                QTest::keyClick(menu, Qt::Key_Alt);  // closes without a choice
            }
        });
        actions().openMenu(QPoint(20, 20));
    }

    std::filesystem::path music_;
};

TEST_F(SongRowActionsTest, DoubleClickPlaysTheFile) {
    openWithSong();
    actions().playSelectedRow();
    ASSERT_EQ(platform_.launched.size(), 1U);
    EXPECT_EQ(platform_.launched[0], music_ / "b.mp3");

    std::filesystem::remove(music_ / "b.mp3");
    platform_.expectMessage(mediaFileNotFoundMessage((music_ / "b.mp3").string()));
    actions().playSelectedRow();

    test::writeFile(music_ / "b.mp3", "ID3");
    platform_.launchResult = LaunchResult::NoAssociatedApplication;
    platform_.expectMessage(
        {"No associated application with the file " + (music_ / "b.mp3").string(),
         "Tunex - No Associated Application", MessageIcon::Warning});
    actions().playSelectedRow();
}

// Enter on the list plays the selected row, in the real window where the page takes Enter for
// its search everywhere else.
TEST_F(SongRowActionsTest, EnterOnTheListPlaysTheRow) {
    openWithSong();
    sheet_->showPage(PageId::Songs);
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet_.get()));
    const QString status = songs().statusLine();
    songs().resultList()->setFocus();
    QTest::keyClick(songs().resultList(), Qt::Key_Return);
    ASSERT_EQ(platform_.launched.size(), 1U);
    EXPECT_EQ(platform_.launched[0], music_ / "b.mp3");
    EXPECT_EQ(songs().statusLine(), status);

    // Without a selected row, Enter searches as it does everywhere on the page.
    songs().resultList()->clearSelection();
    platform_.expectMessage(
        {"Please input a song title OR artist name.", "Tunex - Input Error", MessageIcon::Warning});
    QTest::keyClick(songs().resultList(), Qt::Key_Enter);
    EXPECT_EQ(platform_.launched.size(), 1U);
}

// Add stores the type lower-cased; the row must still reach the file as it is named on disk.
TEST_F(SongRowActionsTest, DoubleClickPlaysAFileWithAnUpperCaseExtension) {
    music_ = base_.path() / "music";
    std::filesystem::create_directories(music_);
    test::writeFile(music_ / "LOUD SONG.MP3", "ID3");
    open({{"Party", {Song("LOUD SONG", "", music_.string())}}});
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet_.get()));
    sheet_->showPage(PageId::Songs);
    songs().listAll();
    songs().resultList()->selectRow(0);
    const QRect rect = songs().resultList()->visualRect(songs().resultList()->model()->index(0, 0));
    QTest::mouseDClick(songs().resultList()->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(platform_.launched.size(), 1U);
    EXPECT_EQ(platform_.launched[0], music_ / "LOUD SONG.MP3");
}

TEST_F(SongRowActionsTest, AFileOnAnOpticalDiscAsksForTheDisc) {
    openWithSong();
    platform_.mountedVolumes = {{"/", "", VolumeKind::Fixed},
                                {base_.path().string() + "/", "CD", VolumeKind::Optical}};
    const UserMessage insert{
        "The file is on a CD-ROM drive. Please insert the CD (Party) into CD-ROM.",
        "Tunex - Insert CD", MessageIcon::Information};
    platform_.expectMessage(insert, MessageAnswer::Cancel);
    actions().playSelectedRow();
    EXPECT_TRUE(platform_.launched.empty());
    EXPECT_EQ(platform_.shown.back().buttons, MessageButtons::OkCancel);

    platform_.expectMessage(insert, MessageAnswer::Ok);
    actions().playSelectedRow();
    EXPECT_EQ(platform_.launched.size(), 1U);
}

TEST_F(SongRowActionsTest, HiddenColumnsStopPlaying) {
    // File Type and Path hidden: File Type is reported first.
    openWithSong("<as>03110010111;\n");
    ASSERT_LT(songs().resultList()->findColumnByCaption("Path"), 0);
    platform_.expectMessage(*checkPlayableColumns(songs().resultList()->columns()));
    actions().playSelectedRow();
    EXPECT_EQ(platform_.shown.back().message.caption, "Tunex - Playing Song Abort");
    EXPECT_NE(platform_.shown.back().message.text.find("\"File Type\""), std::string::npos);
    EXPECT_TRUE(platform_.launched.empty());
}

TEST_F(SongRowActionsTest, MenuCommands) {
    openWithSong();
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet_.get()));

    openMenuAndType(QStringLiteral("c"));
    EXPECT_EQ(platform_.clipboard, "b");

    page<HistoryPage>(PageId::History).setLastHistoryCell("before");  // no rows yet: nothing
    sheet_->showPage(PageId::Songs);
    songs().titleEdit()->setText(QStringLiteral("b"));
    songs().search();  // one history row
    page<HistoryPage>(PageId::History).setLastHistoryCell("other");
    ASSERT_EQ(page<HistoryPage>(PageId::History).rows().back()[3], "other");
    songs().resultList()->selectRow(0);
    openMenuAndType(QStringLiteral("u"));
    EXPECT_EQ(page<HistoryPage>(PageId::History).rows().back()[3], "Party");

    openMenuAndType(QStringLiteral("h"));
    EXPECT_EQ(sheet_->tabs()->currentIndex(), 2);

    songs().resultList()->clearSelection();
    platform_.expectMessage(
        {"No item in the search result.", "Tunex - No Item", MessageIcon::Question});
    actions().openMenu(QPoint(20, 20));
}

TEST_F(SongRowActionsTest, UpdateHistoryIsUnavailableWithoutDiscName) {
    openWithSong("<as>03110101111;\n");
    ASSERT_LT(songs().resultList()->findColumnByCaption("Disc Name"), 0);
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet_.get()));
    openMenuAndType(QStringLiteral("u"));  // ignored; Alt then closes the menu
    EXPECT_EQ(sheet_->tabs()->currentIndex(), 0);
    EXPECT_TRUE(page<HistoryPage>(PageId::History).rows().empty());
}

}  // namespace
}  // namespace tunex
