#include "gui/search/songs_page.h"
#include "core/search/result_export.h"
#include "core/search/search_messages.h"
#include "gui/search/history_page.h"
#include "gui/widgets/result_list.h"
#include "search_test_support.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

namespace tunex {
namespace {

using test::SearchSheetTest;
using test::Song;

const std::vector<Song> kPop = {Song("Love Me Do", "Love Me Do;Beatles;Help;"), Song("glove"),
                                Song("Yesterday")};

class SongsPageTest : public SearchSheetTest {
protected:
    SongsPage& songs() { return page<SongsPage>(PageId::Songs); }
    HistoryPage& history() { return page<HistoryPage>(PageId::History); }

    void searchFor(const QString& title, const QString& artist = {}) {
        songs().titleEdit()->setText(title);
        songs().artistEdit()->setText(artist);
        songs().searchButton()->click();
    }
    std::vector<std::string> firstCells() {
        std::vector<std::string> cells;
        for (const ResultRow& row : songs().resultList()->table().rows) {
            cells.push_back(row.front());
        }
        return cells;
    }
};

TEST_F(SongsPageTest, SearchTellsWhatItFoundAndRefusesBadTerms) {
    open({{"Pop", kPop}});
    sheet_->showPage(PageId::Songs);
    EXPECT_FALSE(songs().searchButton()->isEnabled());
    EXPECT_EQ(songs().statusLine(), QStringLiteral("No search performed."));

    platform_.expectMessage({"Please input a song title OR artist name.", "Tunex - Input Error",
                             MessageIcon::Question});
    songs().search();
    platform_.expectMessage(*checkSearchTerms("a?b", ""));
    searchFor(QStringLiteral("a?b"));
    EXPECT_EQ(songs().statusLine(), QStringLiteral("No search performed."));
    EXPECT_EQ(songs().titleEdit()->text(), QStringLiteral("a?b"));  // refused terms stay

    searchFor(QStringLiteral("x"));
    EXPECT_EQ(songs().statusLine(), QStringLiteral("0 song found for song <x>."));
    EXPECT_EQ(firstCells(), std::vector<std::string>{"No File Found."});

    searchFor(QStringLiteral("LOVE"), QStringLiteral(""));
    EXPECT_EQ(songs().statusLine(), QStringLiteral("2 songs found for song <LOVE>."));
    EXPECT_EQ(firstCells(), (std::vector<std::string>{"glove", "Love Me Do"}));  // sorted by name
    EXPECT_TRUE(songs().titleEdit()->text().isEmpty());
    EXPECT_EQ(sheet_->tabs()->currentIndex(), 0);

    searchFor(QStringLiteral("yesterday"), QStringLiteral("beat"));
    EXPECT_EQ(songs().statusLine(),
              QStringLiteral("0 song found for song <yesterday> artist <beat>."));

    // Every finished search reached the history; refused ones did not.
    const std::vector<HistoryRow> expected = {
        {"x", "", "0", ""}, {"LOVE", "", "2", "Pop"}, {"yesterday", "beat", "0", ""}};
    EXPECT_EQ(history().rows(), expected);
}

TEST_F(SongsPageTest, ReachingTheLimitIsToldAfterTheStatusLine) {
    open({{"Pop", kPop}});
    context_->settings().maxResults = 1;
    platform_.expectMessage(resultLimitMessage(1));
    searchFor(QStringLiteral("love"));
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 song found for song <love>."));
    EXPECT_EQ(history().rows().size(), 1U);

    platform_.expectMessage(resultLimitMessage(1));
    songs().listAllButton()->click();
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 song found in the entire database."));
}

TEST_F(SongsPageTest, EnterSearchesFromAnyControl) {
    open({{"Pop", kPop}});
    sheet_->showPage(PageId::Songs);
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet_.get()));
    songs().artistEdit()->setFocus();
    QTest::keyClicks(songs().artistEdit(), QStringLiteral("glove"));
    QTest::keyClick(songs().artistEdit(), Qt::Key_Return);
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 song found for artist <glove>."));
    EXPECT_TRUE(songs().searchButton()->isEnabled());
}

TEST_F(SongsPageTest, ListAllOfAnEmptyCatalogue) {
    open({});
    songs().titleEdit()->setText(QStringLiteral("left over"));
    songs().listAll();
    EXPECT_EQ(firstCells(), std::vector<std::string>{"The database is currently empty."});
    EXPECT_EQ(songs().statusLine(), QStringLiteral("0 songs found in the entire database."));
    EXPECT_TRUE(songs().titleEdit()->text().isEmpty());
    EXPECT_TRUE(history().rows().empty());
}

TEST_F(SongsPageTest, VanishedCollectionFileStopsTheSearch) {
    // More records than memory keeps: the second collection is read from disk by each search.
    std::vector<Song> filler(Catalogue::kMemoryRecordLimit + 1, Song("Filler"));
    filler.push_back(Song("Love In Memory"));
    open({{"Big", filler}, {"Rock", {Song("Love On Disk")}}});
    ASSERT_EQ(context_->catalogue().firstDiskCollection(), 1);
    std::filesystem::remove(StorePaths(base_.path()).collectionFileName(1));

    platform_.expectMessage(searchFailedMessage());
    searchFor(QStringLiteral("love"));
    EXPECT_EQ(firstCells(), std::vector<std::string>{"Love In Memory"});  // found so far
    EXPECT_EQ(songs().statusLine(), QStringLiteral("No search performed."));
    EXPECT_EQ(songs().titleEdit()->text(), QStringLiteral("love"));
    EXPECT_TRUE(history().rows().empty());
}

TEST_F(SongsPageTest, SearchAgainRunsTheRowAgainAndMovesItToTheBottom) {
    open({{"Pop", kPop}},
         "<ht>love@?@%|%9^*^Old\n<ht>yesterday@?@%|%7^*^Old\n<ht>@?@abba%|%0^*^\n");
    sheet_->showPage(PageId::History);
    ASSERT_EQ(history().rows().size(), 3U);
    history().selectRow(1);
    history().searchAgainButton()->click();

    EXPECT_EQ(sheet_->tabs()->currentIndex(), 0);
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 song found for song <yesterday>."));
    const std::vector<HistoryRow> expected = {
        {"love", "", "9", "Old"}, {"", "abba", "0", ""}, {"yesterday", "", "1", "Pop"}};
    EXPECT_EQ(history().rows(), expected);

    sheet_->showPage(PageId::History);
    platform_.expectMessage({"Please select a record from the history list.", "Tunex - Input Error",
                             MessageIcon::Question});
    history().list()->clearSelection();
    history().searchAgainButton()->click();
    EXPECT_EQ(sheet_->tabs()->currentIndex(), 2);
}

TEST_F(SongsPageTest, ExportWritesTheListAsShown) {
    open({{"Pop", kPop}});
    platform_.expectMessage(
        {"No search result available. Export Aborted.", "Tunex - Export", MessageIcon::Question});
    songs().exportButton()->click();
    EXPECT_TRUE(platform_.fileDialogs.empty());

    songs().listAll();
    platform_.fileDialogAnswers.push_back(std::nullopt);  // cancelled: nothing at all
    songs().exportButton()->click();
    ASSERT_EQ(platform_.fileDialogs.size(), 1U);
    EXPECT_EQ(platform_.fileDialogs[0].title, "Export As");
    EXPECT_EQ(platform_.fileDialogs[0].defaultSuffix, "htm");
    EXPECT_EQ(platform_.fileDialogs[0].initialFolder, base_.path() / "friend");

    const auto file = base_.path() / "out.csv";
    platform_.fileDialogAnswers.push_back(file);
    platform_.expectMessage({"Search Result exported to " + file.string() + ".", "Tunex - Export",
                             MessageIcon::Information});
    songs().exportButton()->click();
    const std::string csv = test::readFile(file);
    EXPECT_EQ(csv.substr(0, csv.find('\n')).substr(0, 20), "File Name,File Type,");
    EXPECT_NE(csv.find("Yesterday"), std::string::npos);

    const auto missing = base_.path() / "no such folder" / "out.htm";
    const ResultTable& table = songs().resultList()->table();
    platform_.fileDialogAnswers.push_back(missing);
    platform_.expectMessage(exportResults(missing, table.captions(), table.rows).message);
    songs().exportButton()->click();
    EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
}  // namespace tunex
