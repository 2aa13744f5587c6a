#include "gui/search/files_page.h"
#include "core/search/search_messages.h"
#include "gui/search/history_page.h"
#include "gui/search/song_row_actions.h"
#include "gui/widgets/result_list.h"
#include "search_test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace tunex {
namespace {

using test::SearchSheetTest;
using test::Song;

Song song(std::string name, std::string type, std::string size, std::string date,
          std::string folder = "/media/cd") {
    Song s(std::move(name), "", std::move(folder));
    s.type = std::move(type);
    s.size = std::move(size);
    s.date = std::move(date);
    return s;
}

const std::vector<Song> kPop = {song("Love Me Do", "mp3", "  3584.0", "2003-11-16", "/m/Beatles"),
                                song("glove", "wma", "   512.0", "2003-11-17"),
                                song("Video", "avi", "2097152.0", "")};
const std::vector<Song> kRock = {song("Yesterday", "mp3", "  4096.5", "2004-02-29", "/m/Beatles"),
                                 song("Help", "ogg", "  1024.0", "2004-03-01")};

const UserMessage kNothingToSearch{
    "Please input a file type, a keyword, a file date range or a file size range.",
    "Tunex - Input Error", MessageIcon::Warning};

class FilesPageTest : public SearchSheetTest {
protected:
    FilesPage& files() { return page<FilesPage>(PageId::Files); }
    HistoryPage& history() { return page<HistoryPage>(PageId::History); }

    std::vector<std::string> firstCells() {
        std::vector<std::string> cells;
        for (const ResultRow& row : files().resultList()->table().rows) {
            cells.push_back(row.front());
        }
        return cells;
    }
};

TEST_F(FilesPageTest, SearchMatchesEveryFilledFieldAndKeepsTheInputs) {
    open({{"Pop", kPop}, {"Rock", kRock}});
    sheet_->showPage(PageId::Files);
    EXPECT_EQ(files().statusLine(), QStringLiteral("No search performed."));
    EXPECT_EQ(files().dateFromEdit()->text(), QStringLiteral("1900-01-01"));
    EXPECT_EQ(files().sizeToEdit()->text(), QStringLiteral("1000000.0"));

    // With the page's initial ranges, nothing to search for yet.
    platform_.expectMessage(kNothingToSearch);
    files().searchButton()->click();

    // Only the initial ranges: undated files and those over 1000000 KB are found too.
    files().typeEdit()->setText(QStringLiteral("AVI, .mp3"));
    files().searchButton()->click();
    EXPECT_EQ(files().statusLine(), QStringLiteral("3 songs found."));
    EXPECT_EQ(firstCells(), (std::vector<std::string>{"Love Me Do", "Video", "Yesterday"}));
    EXPECT_EQ(files().typeEdit()->text(), QStringLiteral("AVI, .mp3"));  // inputs stay

    files().keywordEdit()->setText(QStringLiteral("beatles"));
    files().dateFromEdit()->setText(QStringLiteral("2004-01-01"));
    files().searchButton()->click();
    EXPECT_EQ(files().statusLine(), QStringLiteral("1 song found."));
    EXPECT_EQ(files().resultList()->table().rows.front(),
              (ResultRow{"Yesterday", "mp3", "Rock", "/m/Beatles", "  4096.5", "2004-02-29", ""}));

    files().typeEdit()->clear();
    files().keywordEdit()->clear();
    files().dateFromEdit()->setText(QStringLiteral("1900-01-01"));
    files().sizeFromEdit()->setText(QStringLiteral("1000"));
    files().sizeToEdit()->setText(QStringLiteral("4000"));
    files().searchButton()->click();
    EXPECT_EQ(firstCells(), (std::vector<std::string>{"Help", "Love Me Do"}));

    files().sizeFromEdit()->setText(QStringLiteral("0.0"));
    files().sizeToEdit()->setText(QStringLiteral("1000000.0"));
    files().dateToEdit()->setText(QStringLiteral("2003-1-32"));
    platform_.expectMessage(
        {"File Date to: \"2003-1-32\" is not a date.\nType a date as "
         "YYYY-MM-DD, such as 2003-11-16.",
         "Tunex - Input Error", MessageIcon::Warning});
    files().searchButton()->click();
    // A refused search leaves the list and the status line as they were.
    EXPECT_EQ(files().statusLine(), QStringLiteral("2 songs found."));
    EXPECT_EQ(firstCells(), (std::vector<std::string>{"Help", "Love Me Do"}));

    files().dateToEdit()->setText(QStringLiteral("1990-01-01"));
    files().searchButton()->click();
    EXPECT_EQ(files().statusLine(), QStringLiteral("0 songs found."));
    EXPECT_EQ(firstCells(), std::vector<std::string>{"No File Found."});
    EXPECT_TRUE(page<HistoryPage>(PageId::History).rows().empty());  // song searches only
}

TEST_F(FilesPageTest, TypingSearchesAsSearchWouldAndTellsNothing) {
    open({{"Pop", kPop}, {"Rock", kRock}});
    sheet_->showPage(PageId::Files);
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet_.get()));
    QSignalSpy shown(&files(), &FilesPage::instantResultShown);
    const auto typeAndWait = [this](QLineEdit* field, const QString& keys) {
        QTest::keyClicks(field, keys);
        ASSERT_TRUE(files().instantSearchPending());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !files().instantSearchPending(); }, 20000));
    };

    typeAndWait(files().keywordEdit(), QStringLiteral("beatles"));
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(files().statusLine(), QStringLiteral("2 songs found."));
    EXPECT_EQ(firstCells(), (std::vector<std::string>{"Love Me Do", "Yesterday"}));

    // A date typed halfway is refused by Search; typing leaves the list as it is.
    files().dateToEdit()->setFocus();
    typeAndWait(files().dateToEdit(), QStringLiteral("2004-01"));
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(files().statusLine(), QStringLiteral("2 songs found."));
    typeAndWait(files().dateToEdit(), QStringLiteral("-01"));
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(firstCells(), std::vector<std::string>{"Love Me Do"});
    EXPECT_EQ(files().statusLine(), QStringLiteral("1 song found."));

    // The limit is told by Search only, over the same rows.
    context_->settings().maxResults = 1;
    files().dateToEdit()->clear();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !files().instantSearchPending(); }, 20000));
    EXPECT_EQ(shown.size(), 3);
    EXPECT_EQ(firstCells(), std::vector<std::string>{"Love Me Do"});
    platform_.expectMessage(resultLimitMessage(1));
    QTest::keyClick(files().dateToEdit(), Qt::Key_Return);
    EXPECT_EQ(firstCells(), std::vector<std::string>{"Love Me Do"});
    EXPECT_EQ(files().statusLine(), QStringLiteral("1 of 2 songs shown."));
    EXPECT_TRUE(history().rows().empty());
}

TEST_F(FilesPageTest, SearchByCdListsTheChosenCollection) {
    open({{"Pop", kPop}, {"Rock", kRock}}, "<ht>love@?@%|%1^*^Pop\n");
    sheet_->showPage(PageId::Files);
    QComboBox* cds = files().collectionList();
    ASSERT_EQ(cds->count(), 2);
    EXPECT_EQ(cds->currentText(), QStringLiteral("Pop"));
    cds->setCurrentIndex(1);
    files().searchByCdButton()->click();
    EXPECT_EQ(files().statusLine(), QStringLiteral("2 songs found on CD <Rock>."));
    EXPECT_EQ(firstCells(), (std::vector<std::string>{"Help", "Yesterday"}));
    // The song searches' history is not the Files page's to fill.
    const auto historyBefore = history().rows();
    ASSERT_EQ(historyBefore.size(), 1U);
    files().resultList()->selectRow(0);
    files().rowActions()->run(SongRowActions::Command::UpdateHistory);
    EXPECT_EQ(history().rows(), historyBefore);

    // A reload (after Add, a rename or a delete elsewhere) lists the names again and keeps the
    // chosen one.
    test::writeCollection(base_, 0, "Pop Hits", kPop);
    ASSERT_TRUE(context_->reloadCatalogue());
    EXPECT_EQ(cds->itemText(0), QStringLiteral("Pop Hits"));
    EXPECT_EQ(cds->currentText(), QStringLiteral("Rock"));
    sheet_->showPage(PageId::Songs);
    sheet_->showPage(PageId::Files);
    EXPECT_EQ(cds->currentText(), QStringLiteral("Rock"));

    context_->settings().maxResults = 2;
    cds->setCurrentIndex(0);
    platform_.expectMessage(resultLimitMessage(2));
    files().searchByCdButton()->click();
    EXPECT_EQ(files().statusLine(), QStringLiteral("2 of 3 songs shown on CD <Pop Hits>."));
}

TEST_F(FilesPageTest, SearchByCdOfAnEmptyCatalogueAsksForACd) {
    open({});
    sheet_->showPage(PageId::Files);
    platform_.expectMessage({"Please select a CD from the list of available CDs.",
                             "Tunex - Input Error", MessageIcon::Warning});
    files().searchByCdButton()->click();
    EXPECT_EQ(files().statusLine(), QStringLiteral("No search performed."));
}

TEST_F(FilesPageTest, EnterSearchesInEachGroupAndPlaysOnTheList) {
    const std::filesystem::path music = base_.path() / "music";
    std::filesystem::create_directories(music);
    test::writeFile(music / "b.mp3", "ID3");
    open({{"Pop", kPop}, {"Party", {song("b", "mp3", "     0.1", "2020-01-01", music.string())}}});
    sheet_->showPage(PageId::Files);
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet_.get()));

    files().keywordEdit()->setFocus();
    QTest::keyClicks(files().keywordEdit(), QStringLiteral("love"));
    QTest::keyClick(files().keywordEdit(), Qt::Key_Return);
    EXPECT_EQ(files().statusLine(), QStringLiteral("2 songs found."));

    files().collectionList()->setCurrentIndex(1);
    files().collectionList()->setFocus();
    QTest::keyClick(files().collectionList(), Qt::Key_Return);
    EXPECT_EQ(files().statusLine(), QStringLiteral("1 song found on CD <Party>."));

    // The Songs page's row actions: Enter or a double click plays the row.
    files().resultList()->selectRow(0);
    files().resultList()->setFocus();
    QTest::keyClick(files().resultList(), Qt::Key_Return);
    ASSERT_EQ(platform_.launched.size(), 1U);
    EXPECT_EQ(platform_.launched[0], music / "b.mp3");
    EXPECT_EQ(files().statusLine(), QStringLiteral("1 song found on CD <Party>."));
}

TEST_F(FilesPageTest, ExportSavesTheListShown) {
    open({{"Pop", kPop}});
    platform_.expectMessage(
        {"No search result available. Export Aborted.", "Tunex - Export", MessageIcon::Question});
    files().exportButton()->click();

    files().searchByCd();
    const auto file = base_.path() / "out.txt";
    platform_.fileDialogAnswers.push_back(file);
    platform_.expectMessage({"Search Result exported to " + file.string() + ".", "Tunex - Export",
                             MessageIcon::Information});
    files().exportButton()->click();
    EXPECT_NE(test::readFile(file).find("File Name:\tVideo\n"), std::string::npos);
}

}  // namespace
}  // namespace tunex
