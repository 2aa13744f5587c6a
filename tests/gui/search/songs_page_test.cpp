#include "gui/search/songs_page.h"
#include "core/search/result_export.h"
#include "core/search/search_messages.h"
#include "gui/collections/database_page.h"
#include "gui/search/history_page.h"
#include "gui/search/search_as_you_type.h"
#include "gui/search/setting_page.h"
#include "gui/widgets/result_list.h"
#include "search_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <thread>

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

    void showSheet() {
        sheet_->showPage(PageId::Songs);
        sheet_->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet_.get()));
    }
    // Keys as the user types them, then the wait for the search that follows the pause.
    void typeAndWait(QLineEdit* field, const QString& keys, int backspaces = 0) {
        for (int i = 0; i < backspaces; ++i) {
            QTest::keyClick(field, Qt::Key_Backspace);
        }
        QTest::keyClicks(field, keys);
        ASSERT_TRUE(songs().instantSearchPending());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !songs().instantSearchPending(); }, 20000));
    }
    void retype(QLineEdit* field, const QString& text) {
        field->selectAll();
        typeAndWait(field, text);
    }
    // The rows Search finds, from the core's own full walk.
    std::vector<ResultRow> searchedRows(const QString& title, const QString& artist) {
        return runSongSearch(context_->catalogue(), searchSettingsFrom(context_->settings()),
                             songs().resultList()->columns(), title.toStdString(),
                             artist.toStdString())
            .table.rows;
    }
};

// Holds the search as you type of one title, as a search of a big catalogue would take its time.
struct HeldSearch {
    explicit HeldSearch(std::string heldTitle, bool heedsStop)
        : title(std::move(heldTitle)), heedStop(heedsStop) {}

    SongsPage::InstantSearcher searcher(const test::BaseFolder& base) {
        return [this, collectionFile = StorePaths(base.path()).collectionFileName(0)](
                   const Catalogue& catalogue, const SearchSettings& settings,
                   const std::vector<ResultColumn>& columns, const std::string& typed,
                   const std::string& artist, std::shared_ptr<const SearchMatches> previous,
                   const std::stop_token& stop) {
            if (typed != title || entered.exchange(true)) {
                return runInstantSearch(catalogue, settings, columns, typed, artist,
                                        std::move(previous), stop);
            }
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!released && !(heedStop && stop.stop_requested()) &&
                   std::chrono::steady_clock::now() < giveUp) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            sawStop = stop.stop_requested();
            // A walk notices a stop only now and then, so it ends a moment later.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            firstLineAtEnd = test::readFile(collectionFile).substr(0, 6);
            // Not stopped: its rows are as good as any, only too late.
            InstantSearch late = runInstantSearch(catalogue, settings, columns, typed, artist, {});
            ended = true;
            return late;
        };
    }

    const std::string title;
    const bool heedStop;
    std::atomic<bool> entered{false};
    std::atomic<bool> released{false};
    std::atomic<bool> sawStop{false};
    std::atomic<bool> ended{false};
    std::string firstLineAtEnd;  // written before `ended`
};

TEST_F(SongsPageTest, SearchTellsWhatItFoundAndRefusesBadTerms) {
    open({{"Pop", kPop}});
    sheet_->showPage(PageId::Songs);
    EXPECT_FALSE(songs().searchButton()->isEnabled());
    EXPECT_EQ(songs().statusLine(), QStringLiteral("No search performed."));

    platform_.expectMessage(
        {"Please input a song title OR artist name.", "Tunex - Input Error", MessageIcon::Warning});
    songs().search();
    platform_.expectMessage(*checkSearchTerms("a@?@b", ""));
    searchFor(QStringLiteral("a@?@b"));
    EXPECT_EQ(songs().statusLine(), QStringLiteral("No search performed."));
    EXPECT_EQ(songs().titleEdit()->text(), QStringLiteral("a@?@b"));  // refused terms stay

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
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 of 2 songs shown for song <love>."));
    ASSERT_EQ(history().rows().size(), 1U);
    EXPECT_EQ(history().rows()[0][2], "2");

    platform_.expectMessage(resultLimitMessage(1));
    songs().listAllButton()->click();
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 of 3 songs shown from the entire database."));
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
                             MessageIcon::Warning});
    history().list()->clearSelection();
    history().searchAgainButton()->click();
    EXPECT_EQ(sheet_->tabs()->currentIndex(), 2);
}

TEST_F(SongsPageTest, TypingShowsWhatSearchFindsAndLeavesTheHistoryToSearch) {
    // A collection read from disk after more records than memory keeps, so that the typed
    // searches narrow records of both kinds.
    std::vector<Song> filler(Catalogue::kMemoryRecordLimit + 1, Song("Filler"));
    filler.push_back(Song("Love In Memory", "Love;Memory Band;"));
    open({{"Pop", kPop},
          {"Big", filler},
          {"Rock",
           {Song("Love On Disk", "Love On Disk;Abba;"), Song("Glove Box"),
            Song("Lovely Day", "", "/m/abba"), Song("Abba Gold")}}});
    ASSERT_EQ(context_->catalogue().firstDiskCollection(), 2);
    showSheet();
    QSignalSpy shown(&songs(), &SongsPage::instantResultShown);
    QLineEdit* title = songs().titleEdit();
    QLineEdit* artist = songs().artistEdit();

    // Each step types on from the last; "l" reaches the limit, which typing does not tell.
    const struct {
        QLineEdit* field;
        QString keys;
        int backspaces;
        int rows;
    } steps[] = {{title, QStringLiteral("l"), 0, 3000}, {title, QStringLiteral("o"), 0, 6},
                 {title, QStringLiteral("ve"), 0, 6},   {artist, QStringLiteral("ab"), 0, 2},
                 {artist, QStringLiteral("ba"), 0, 2},  {title, QString(), 2, 2},
                 {title, QStringLiteral("@?@"), 0, 0},  {title, QString(), 3, 2},
                 {artist, QStringLiteral("x"), 0, 1}};
    for (const auto& step : steps) {
        const int before = static_cast<int>(shown.size());
        typeAndWait(step.field, step.keys, step.backspaces);
        SCOPED_TRACE(title->text().toStdString() + " / " + artist->text().toStdString());
        if (step.keys == QStringLiteral("@?@")) {
            // Terms the history cannot keep: no rows of the search before stay under them.
            EXPECT_EQ(shown.size(), before);
            EXPECT_EQ(songs().resultList()->rowCount(), 0);
            continue;
        }
        EXPECT_EQ(shown.size(), before + 1);
        EXPECT_EQ(songs().resultList()->table().rows, searchedRows(title->text(), artist->text()));
        EXPECT_EQ(songs().resultList()->rowCount(), step.rows);
    }
    // "lo" and "abbax": the placeholder row.
    EXPECT_EQ(songs().statusLine(), QStringLiteral("0 song found for song <lo> artist <abbax>."));
    EXPECT_EQ(firstCells(), std::vector<std::string>{"No File Found."});
    EXPECT_TRUE(history().rows().empty());

    QTest::keyClick(artist, Qt::Key_Backspace);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !songs().instantSearchPending(); }, 20000));
    EXPECT_EQ(firstCells(), (std::vector<std::string>{"Love On Disk", "Lovely Day"}));
    const std::vector<ResultRow> typed = songs().resultList()->table().rows;
    artist->setFocus();
    QTest::keyClick(artist, Qt::Key_Return);
    EXPECT_EQ(songs().resultList()->table().rows, typed);
    EXPECT_EQ(songs().statusLine(), QStringLiteral("2 songs found for song <lo> artist <abba>."));
    const std::vector<HistoryRow> searched = {{"lo", "abba", "2", "Rock"}};
    EXPECT_EQ(history().rows(), searched);

    // Only Search tells of the limit; the cleared fields search nothing.
    typeAndWait(title, QStringLiteral("l"));
    EXPECT_EQ(songs().resultList()->rowCount(), 3000);
    platform_.expectMessage(resultLimitMessage(3000));
    songs().searchButton()->click();
    EXPECT_EQ(history().rows().size(), 2U);
    QTest::qWait(3 * static_cast<int>(SearchAsYouType::kPause.count()));
    EXPECT_EQ(songs().resultList()->rowCount(), 3000);
    EXPECT_EQ(songs().statusLine(), QStringLiteral("3,000 of 39,008 songs shown for song <l>."));
}

TEST_F(SongsPageTest, OnlyTheNewestTypedSearchIsShown) {
    open({{"Pop", kPop}});
    showSheet();
    QSignalSpy shown(&songs(), &SongsPage::instantResultShown);
    // Keys faster than the pause: one search, for what was typed last.
    QTest::keyClicks(songs().titleEdit(), QStringLiteral("yes"));
    QTest::keyClicks(songs().artistEdit(), QStringLiteral("x"));
    QTest::keyClick(songs().artistEdit(), Qt::Key_Backspace);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !songs().instantSearchPending(); }, 20000));
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 song found for song <yes>."));

    // A slow search still running when the user types on: its rows never replace the newer ones.
    HeldSearch held("love", false);
    songs().setInstantSearcher(held.searcher(base_));
    songs().titleEdit()->selectAll();
    QTest::keyClicks(songs().titleEdit(), QStringLiteral("love"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.entered.load(); }, 20000));
    retype(songs().titleEdit(), QStringLiteral("glove"));
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 song found for song <glove>."));
    held.released = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.ended.load(); }, 20000));
    QTest::qWait(200);  // for the late result to arrive
    EXPECT_TRUE(held.sawStop);
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 song found for song <glove>."));
    EXPECT_EQ(firstCells(), std::vector<std::string>{"glove"});
}

TEST_F(SongsPageTest, SearchAsYouTypeCanBeTurnedOff) {
    open({{"Pop", kPop}});
    showSheet();
    QCheckBox* box = page<SettingPage>(PageId::Setting).searchAsYouTypeBox();
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_EQ(platform_.profileData["SearchAsYouType"], "0");
    EXPECT_FALSE(AppContext(platform_, nullptr).searchAsYouType());  // the next run starts off

    QTest::keyClicks(songs().titleEdit(), QStringLiteral("love"));
    QTest::qWait(3 * static_cast<int>(SearchAsYouType::kPause.count()));
    EXPECT_FALSE(songs().instantSearchPending());
    EXPECT_EQ(songs().statusLine(), QStringLiteral("No search performed."));
    songs().titleEdit()->setFocus();
    QTest::keyClick(songs().titleEdit(), Qt::Key_Return);
    EXPECT_EQ(songs().statusLine(), QStringLiteral("2 songs found for song <love>."));

    box->click();
    EXPECT_EQ(platform_.profileData["SearchAsYouType"], "1");
    typeAndWait(songs().titleEdit(), QStringLiteral("yes"));
    EXPECT_EQ(songs().statusLine(), QStringLiteral("1 song found for song <yes>."));
}

TEST_F(SongsPageTest, ACatalogueChangeStopsTheTypedSearchFirstAndRunsItAfter) {
    open({{"Pop", kPop}});
    showSheet();
    HeldSearch held("love", true);
    songs().setInstantSearcher(held.searcher(base_));
    QSignalSpy shown(&songs(), &SongsPage::instantResultShown);
    QTest::keyClicks(songs().titleEdit(), QStringLiteral("love"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.entered.load(); }, 20000));

    auto& database = page<DatabasePage>(PageId::Database);
    database.renameEdit()->setText(QStringLiteral("Hits"));
    platform_.expectMessage(
        {"Are you sure you want to change the collection name as follows?\n\nFrom:\tPop\nTo:\tHits",
         "Tunex - Confirm Change", MessageIcon::Question},
        MessageAnswer::Yes);
    database.changeButton()->click();
    // The search had ended before the collection file was rewritten.
    EXPECT_TRUE(held.ended);
    EXPECT_TRUE(held.sawStop);
    EXPECT_EQ(held.firstLineAtEnd, "**Pop\n");
    EXPECT_EQ(shown.size(), 0);

    // Then it runs again, on the renamed collection.
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }, 20000));
    const ResultTable& table = songs().resultList()->table();
    const int disc = table.findColumnByCaption("Disc Name");
    ASSERT_GE(disc, 0);
    ASSERT_EQ(table.rows.size(), 2U);
    EXPECT_EQ(table.rows[0][static_cast<size_t>(disc)], "Hits");
}

TEST_F(SongsPageTest, ClosingWhileATypedSearchRunsWaitsForIt) {
    open({{"Pop", kPop}});
    showSheet();
    HeldSearch held("love", true);
    songs().setInstantSearcher(held.searcher(base_));
    QTest::keyClicks(songs().titleEdit(), QStringLiteral("love"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.entered.load(); }, 20000));
    sheet_.reset();
    EXPECT_TRUE(held.ended);
    EXPECT_TRUE(held.sawStop);
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

    // The next export opens where the last one was written.
    platform_.fileDialogAnswers.push_back(std::nullopt);
    songs().exportButton()->click();
    ASSERT_EQ(platform_.fileDialogs.size(), 4U);
    EXPECT_EQ(platform_.fileDialogs[3].initialFolder, base_.path());
}

}  // namespace
}  // namespace tunex
