#include "core/search/catalogue_search.h"
#include "core/common/text.h"
#include "core/search/search_messages.h"
#include "core/store/catalogue.h"
#include "core/store/store_paths.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace tunex {
namespace {

using test::TempDir;

std::string recordLine(std::string_view name, std::string_view folder, std::string_view id3) {
    return "<?>" + std::string(name) + "<|>" + std::string(folder) + "<:>mp3</>" +
           std::string(id3) + "<\\>  3584.0<*>2003-11-16\n";
}

// Collection 0 holds just over the memory threshold, so collections 1 and 2 stay on disk. Three
// records of each part carry "needle"; the memory part's names arrive in an order whose tree
// pre-order differs from the insertion order.
class CatalogueSearchTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        base_ = new TempDir;
        const StorePaths paths(base_->path());
        std::filesystem::create_directories(paths.systemFolder());
        std::string memory = "**Mem\n";
        for (int i = 0; i <= Catalogue::kMemoryRecordLimit; ++i) {
            memory += recordLine("song " + std::to_string((i * 7919) % 40000), "/m", "");
        }
        memory += recordLine("m needle b", "/m", "") + recordLine("m needle a", "/m", "") +
                  recordLine("m NEEDLE c", "/m", "") + recordLine("\xc3\x89T\xc3\x89", "/m", "") +
                  "@*EOF\n";
        test::writeFile(paths.collectionFileName(0), memory);
        test::writeFile(paths.collectionFileName(1),
                        "**Disk A\n" + recordLine("d2 needle", "/d", "") +
                            recordLine("other", "/d", "") + recordLine("d1 needle", "/d", "") +
                            "@*EOF\n");
        test::writeFile(paths.collectionFileName(2),
                        "**Disk B\n" + recordLine("x", "/e", "Needle;") + "@*EOF\n");
    }
    static void TearDownTestSuite() {
        delete base_;
        base_ = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(catalogue_.load(StorePaths(base_->path()), 3)); }

    static std::vector<std::string> namesOf(const ResultTable& table) {
        std::vector<std::string> names;
        for (const ResultRow& row : table.rows) {
            names.push_back(row.front());
        }
        return names;
    }

    // High sensitivity, at most `maxResults` rows.
    static SearchSettings limitOf(int maxResults) {
        return {.maxResults = maxResults, .sensitivity = Sensitivity::High};
    }

    static TempDir* base_;
    Catalogue catalogue_;
    const std::vector<ResultColumn> allColumns_ = shownColumns({1, 1, 1, 1, 1, 1});
};

TempDir* CatalogueSearchTest::base_ = nullptr;

TEST_F(CatalogueSearchTest, WalksMemoryInTreeOrderThenDiskInFileOrder) {
    ASSERT_EQ(catalogue_.firstDiskCollection(), 1);
    ResultTable table{allColumns_, {}};
    ASSERT_TRUE(searchCatalogue(catalogue_, table, limitOf(3000), "needle", ""));
    // Tree pre-order of the three memory names inserted b, a, c: b first, then a, then c.
    EXPECT_EQ(namesOf(table), (std::vector<std::string>{"m needle b", "m needle a", "m NEEDLE c",
                                                        "d2 needle", "d1 needle", "x"}));
    EXPECT_EQ(table.rows[3],
              (ResultRow{"d2 needle", "mp3", "Disk A", "/d", "  3584.0", "2003-11-16", ""}));
    EXPECT_EQ(table.rows[5][2], "Disk B");

    // The limit cuts across both passes: the first rows met, not the best ones. 0 is no limit.
    for (const auto& [limit, rows, last] : std::vector<std::tuple<int, std::size_t, std::string>>{
             {2, 2, "m needle a"}, {4, 4, "d2 needle"}, {0, 6, "x"}}) {
        ResultTable cut{allColumns_, {}};
        ASSERT_TRUE(searchCatalogue(catalogue_, cut, limitOf(limit), "needle", ""));
        EXPECT_EQ(cut.rows.size(), rows) << limit;
        EXPECT_EQ(namesOf(cut).back(), last) << limit;
    }

    ResultTable all{allColumns_, {}};
    ASSERT_TRUE(searchCatalogue(catalogue_, all, limitOf(0), "", "", CatalogueWalk::Everything));
    EXPECT_EQ(all.rows.size(), catalogue_.index().size() + 4);
    EXPECT_EQ(all.rows.front().front(),
              catalogue_.index().record(catalogue_.index().visitOrder().front()).name);
    EXPECT_EQ(all.rows.back().front(), "x");
}

// A term the memory part holds nowhere lets the search pass over it; a term it may hold, if only
// once lower-cased by the full rules or across two stored fields, has it searched.
TEST_F(CatalogueSearchTest, MemoryPartIsPassedOverOnlyWhenNothingThereCanMatch) {
    using Case = std::tuple<std::string, std::string, std::vector<std::string>>;
    for (const auto& [title, artist, expected] :
         std::vector<Case>{{"d1", "", {"d1 needle"}},
                           {"\xc3\xa9t\xc3\xa9", "", {"\xc3\x89T\xc3\x89"}},
                           {"needle", "/d", {"d2 needle", "d1 needle"}},
                           {"needle", "/m", {"m needle b", "m needle a", "m NEEDLE c"}},
                           {"song 1", "zz", {}},
                           {"4.02003", "", {}}}) {
        ResultTable table{allColumns_, {}};
        ASSERT_TRUE(searchCatalogue(catalogue_, table, limitOf(3000), title, artist));
        EXPECT_EQ(namesOf(table), expected) << title << "|" << artist;
    }
}

TEST_F(CatalogueSearchTest, VanishedCollectionFileFailsTheSearch) {
    const StorePaths paths(base_->path());
    const std::filesystem::path file = paths.collectionFileName(1);
    const std::filesystem::path aside = base_->path() / "aside.ifo";
    std::filesystem::rename(file, aside);

    // Counting past the limit reads every collection, even when the rows all come from memory.
    ResultTable early{allColumns_, {}};
    EXPECT_FALSE(searchCatalogue(catalogue_, early, limitOf(3), "needle", ""));

    const SearchSettings settings{3000, Sensitivity::High, 0, {1, 1, 1, 1, 1, 1}};
    const SearchOutcome outcome = runSongSearch(catalogue_, settings, allColumns_, "needle", "");
    std::filesystem::rename(aside, file);
    EXPECT_EQ(outcome.kind, SearchOutcome::Kind::Failed);
    EXPECT_EQ(outcome.message, searchFailedMessage());
    EXPECT_EQ(outcome.table.rows.size(), 3U);  // the memory rows found before the error stay
    EXPECT_EQ(outcome.statusLine, "");
    EXPECT_FALSE(outcome.summary.has_value());
}

// Searching as the user types must show what Search would: each search narrows the last
// complete one, at every sensitivity, with and without reaching the limit, and sorted.
TEST_F(CatalogueSearchTest, TypingGivesTheRowsSearchWouldGive) {
    const std::vector<std::pair<std::string, std::string>> typed = {
        {"n", ""},          {"ne", ""},       {"nee", ""},       {"NEEDLE", ""},
        {"needle", "d"},    {"needle", "/d"}, {"needle", ""},    {"needle b", ""},
        {"", "m"},          {"e", "m"},       {"ee", "m"},       {"needle", "needle"},
        {"needle a", "ne"}, {"x", ""},        {"xy", ""},        {"song 1", ""},
        {"song 12", ""},    {"song 123", ""}, {"song 1234", ""}, {"", ""}};
    for (const auto sensitivity : {Sensitivity::Low, Sensitivity::Medium, Sensitivity::High}) {
        for (const int limit : {3000, 4}) {
            const SearchSettings settings{limit, sensitivity, 1, {1, 1, 1, 1, 1, 1}};
            std::shared_ptr<const SearchMatches> previous;
            for (const auto& [title, artist] : typed) {
                const std::string what = title + "|" + artist + " at " +
                                         std::to_string(static_cast<int>(sensitivity)) + "/" +
                                         std::to_string(limit);
                const SearchOutcome search =
                    runSongSearch(catalogue_, settings, allColumns_, title, artist);
                InstantSearch instant =
                    runInstantSearch(catalogue_, settings, allColumns_, title, artist, previous);
                EXPECT_FALSE(instant.stopped);
                EXPECT_EQ(instant.outcome.kind, search.kind) << what;
                EXPECT_EQ(instant.outcome.table.rows, search.table.rows) << what;
                EXPECT_EQ(instant.outcome.statusLine, search.statusLine) << what;
                EXPECT_EQ(instant.outcome.message, search.message) << what;
                previous = instant.matches;
            }
        }
    }

    // A narrowed search reads no collection file: it still succeeds with one gone, where Search
    // fails.
    const SearchSettings settings{3000, Sensitivity::High, 0, {1, 1, 1, 1, 1, 1}};
    const InstantSearch wide =
        runInstantSearch(catalogue_, settings, allColumns_, "needle", "", nullptr);
    ASSERT_NE(wide.matches, nullptr);
    const std::filesystem::path file = StorePaths(base_->path()).collectionFileName(2);
    const std::filesystem::path aside = base_->path() / "aside.ifo";
    std::filesystem::rename(file, aside);
    const InstantSearch narrow =
        runInstantSearch(catalogue_, settings, allColumns_, "needle", "d1", wide.matches);
    const SearchOutcome full = runSongSearch(catalogue_, settings, allColumns_, "needle", "d1");
    const InstantSearch wider =
        runInstantSearch(catalogue_, settings, allColumns_, "needl", "", wide.matches);
    std::filesystem::rename(aside, file);
    EXPECT_EQ(narrow.outcome.kind, SearchOutcome::Kind::Done);
    EXPECT_EQ(namesOf(narrow.outcome.table), (std::vector<std::string>{"d1 needle"}));
    EXPECT_EQ(full.kind, SearchOutcome::Kind::Failed);
    EXPECT_EQ(wider.outcome.kind, SearchOutcome::Kind::Failed);  // a shorter term reads again

    // A stop request ends a search that reads the catalogue; nothing is handed over.
    std::stop_source stop;
    stop.request_stop();
    const InstantSearch stopped = runInstantSearch(catalogue_, settings, allColumns_, "needle", "",
                                                   nullptr, stop.get_token());
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.matches, nullptr);
}

TEST_F(CatalogueSearchTest, SearchGivesStatusSummaryAndLimitNotice) {
    SearchSettings settings{3000, Sensitivity::High, 0, {1, 1, 1, 1, 1, 1}};
    SearchOutcome found = runSongSearch(catalogue_, settings, allColumns_, "needle", "");
    ASSERT_EQ(found.kind, SearchOutcome::Kind::Done);
    EXPECT_EQ(found.statusLine, "6 songs found for song <needle>.");
    EXPECT_FALSE(found.message.has_value());
    // Sorted by File Name, case-insensitively.
    EXPECT_EQ(namesOf(found.table),
              (std::vector<std::string>{"d1 needle", "d2 needle", "m needle a", "m needle b",
                                        "m NEEDLE c", "x"}));
    EXPECT_EQ(found.summary, (SearchSummary{"needle", "", 6, "Disk A"}));

    // Sort by Disc Name; with Disc Name hidden the order stays as found and the summary says so.
    settings.sortColumn = 2;
    EXPECT_EQ(runSongSearch(catalogue_, settings, allColumns_, "needle", "").table.rows[0][2],
              "Disk A");
    const std::vector<ResultColumn> noDisc = shownColumns({1, 0, 1, 1, 1, 1});
    const SearchOutcome hidden = runSongSearch(catalogue_, settings, noDisc, "needle", "");
    EXPECT_EQ(namesOf(hidden.table).front(), "m needle b");
    EXPECT_EQ(hidden.summary->firstCdFound, "No <Disc Name> Column Available");

    settings.maxResults = 1;
    const SearchOutcome limited = runSongSearch(catalogue_, settings, allColumns_, "", "needle");
    EXPECT_EQ(limited.statusLine, "1 of 6 songs shown for artist <needle>.");
    EXPECT_EQ(limited.summary->filesFound, 6);
    // Typing hands the rows over first and counts after.
    const InstantSearch typed = runInstantSearch(catalogue_, settings, allColumns_, "", "needle",
                                                 nullptr, {}, InstantCount::Later);
    EXPECT_TRUE(typed.countPending);
    EXPECT_EQ(typed.outcome.statusLine,
              "1 song shown for artist <needle>, counting all matches...");
    const std::optional<SongMatchCount> counted =
        countSongMatches(catalogue_, settings, "", "needle");
    EXPECT_EQ(counted->found, 6U);
    // The count keeps every match, for the next keystroke to narrow.
    ASSERT_TRUE(counted->matches);
    EXPECT_EQ(counted->matches->memoryPositions.size() + counted->matches->diskRecords.size(), 6U);
    EXPECT_EQ(limited.message, resultLimitMessage(1));
    EXPECT_EQ(limited.message->text,
              "The search result reaches the maximum display limit (1).\nYou can change it in "
              "<Setting> tab.");

    const SearchOutcome none = runSongSearch(catalogue_, settings, allColumns_, "x", "zzz");
    EXPECT_EQ(none.statusLine, "0 song found for song <x> artist <zzz>.");
    EXPECT_EQ(none.table.rows,
              (std::vector<ResultRow>{{"No File Found.", "", "", "", "", "", ""}}));
    EXPECT_EQ(none.summary, (SearchSummary{"x", "zzz", 0, ""}));
    // Without a limit nothing reaches it, not even a search that finds nothing.
    settings.maxResults = 0;
    EXPECT_FALSE(runSongSearch(catalogue_, settings, allColumns_, "x", "zzz").message.has_value());
}

TEST_F(CatalogueSearchTest, RefusesBadTermsBeforeSearching) {
    const SearchSettings settings{3000, Sensitivity::High, 0, {1, 1, 1, 1, 1, 1}};
    const UserMessage empty{"Please input a song title OR artist name.", "Tunex - Input Error",
                            MessageIcon::Warning};
    const UserMessage unkept{
        "A search cannot hold a line break, nor the marks @?@, %|% or ^*^ that keep the search "
        "history's columns apart.",
        "Tunex - Input Error", MessageIcon::Warning};
    EXPECT_EQ(runSongSearch(catalogue_, settings, allColumns_, "", "").message, empty);
    for (const std::string term : {"a\nb", "a@?@b", "a^*^b"}) {
        const SearchOutcome refused = runSongSearch(catalogue_, settings, allColumns_, "ok", term);
        EXPECT_EQ(refused.kind, SearchOutcome::Kind::Refused) << term;
        EXPECT_EQ(refused.message, unkept) << term;
        EXPECT_TRUE(refused.table.rows.empty());
    }
    // Characters other systems keep out of file names are a title's like any other.
    EXPECT_EQ(runSongSearch(catalogue_, settings, allColumns_, "AC/DC: \"*?<>|\\", "").kind,
              SearchOutcome::Kind::Done);
    // Long and invalid UTF-8 terms are searched like any other.
    const SearchOutcome huge =
        runSongSearch(catalogue_, settings, allColumns_, std::string(10000, 'n'), "\xff\xfe");
    EXPECT_EQ(huge.kind, SearchOutcome::Kind::Done);
    EXPECT_EQ(huge.table.rows.front().front(), "No File Found.");
}

TEST_F(CatalogueSearchTest, ListAllIsUnsortedAndHandsNothingOver) {
    SearchSettings settings{3000, Sensitivity::High, 1, {1, 1, 1, 1, 1, 1}};
    const SearchOutcome all = runListAll(catalogue_, settings, allColumns_);
    EXPECT_EQ(all.statusLine, "3,000 of 39,009 songs shown from the entire database.");
    EXPECT_EQ(all.message, resultLimitMessage(3000));
    EXPECT_FALSE(all.summary.has_value());
    EXPECT_EQ(all.table.rows.front().front(),
              catalogue_.index().record(catalogue_.index().visitOrder().front()).name);

    Catalogue empty;
    TempDir none;
    ASSERT_TRUE(empty.load(StorePaths(none.path()), 0));
    const SearchOutcome nothing = runListAll(empty, settings, shownColumns({0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(nothing.statusLine, "0 songs found in the entire database.");
    EXPECT_EQ(nothing.table.rows, (std::vector<ResultRow>{{"The database is currently empty."}}));
    EXPECT_FALSE(nothing.message.has_value());
}

// A catalogue whose disk part is large enough to be read on several threads gives the rows, the
// count and the kept matches one reader would: in collection order, cut at the row limit.
TEST(CatalogueSearchSideBySide, GivesWhatOneReaderWould) {
    const TempDir base;
    const StorePaths paths(base.path());
    std::filesystem::create_directories(paths.systemFolder());
    std::string memory = "**Mem\n";
    for (int i = 0; i <= Catalogue::kMemoryRecordLimit; ++i) {
        memory += recordLine("m", "/m", "");
    }
    test::writeFile(paths.collectionFileName(0), memory + "@*EOF\n");
    const std::string folder(600, 'x');
    constexpr int kDisks = 4;
    constexpr int kRecords = 7000;  // about 4.3 MB a file
    for (int c = 1; c <= kDisks; ++c) {
        std::string text = "**Disk " + std::to_string(c) + "\n";
        for (int r = 0; r < kRecords; ++r) {
            const std::string name = std::to_string(c) + "/" + std::to_string(r);
            text += recordLine(r % 1000 == 0 ? name + " needle" : name, folder, "");
        }
        test::writeFile(paths.collectionFileName(c), text + "@*EOF\n");
    }
    Catalogue catalogue;
    ASSERT_TRUE(catalogue.load(paths, kDisks + 1));
    ASSERT_EQ(catalogue.firstDiskCollection(), 1);
    ResultTable table{shownColumns({1, 1, 1, 1, 1, 1}), {}};
    ASSERT_TRUE(searchCatalogue(catalogue, table, {.maxResults = 9}, "needle", ""));
    EXPECT_EQ(table.matched, std::size_t{kDisks * kRecords / 1000});
    ASSERT_EQ(table.rows.size(), 9U);
    EXPECT_EQ(table.rows[6][0], "1/6000 needle");
    EXPECT_EQ(table.rows[8][0], "2/1000 needle");
    const std::optional<SongMatchCount> counted =
        countSongMatches(catalogue, {.maxResults = 9}, "needle", "");
    ASSERT_TRUE(counted && counted->matches);
    ASSERT_EQ(counted->matches->diskRecords.size(), std::size_t{kDisks * kRecords / 1000});
    EXPECT_EQ(counted->matches->diskRecords.back().displayName(), "4/6000 needle");
}

TEST(SearchMessages, StatusLinesCountPastTheRows) {
    EXPECT_EQ(searchStatusLine(12, 12, "love", "abba"),
              "12 songs found for song <love> artist <abba>.");
    EXPECT_EQ(searchStatusLine(1, 1, "a b ", ""), "1 song found for song <a b >.");
    EXPECT_EQ(searchStatusLine(1000, 15075, "love", ""),
              "1,000 of 15,075 songs shown for song <love>.");
    EXPECT_EQ(listAllStatusLine(1, 1), "1 song found in the entire database.");
    EXPECT_EQ(listAllStatusLine(1, 2), "1 of 2 songs shown from the entire database.");
    EXPECT_EQ(groupedNumber(1234567, "de_DE"), "1.234.567");
}

}  // namespace
}  // namespace tunex
