#include "core/search/search_history.h"
#include "core/store/settings.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

std::vector<HistoryRow> numberedRows(int count) {
    std::vector<HistoryRow> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back({"t" + std::to_string(i), "", "1", "CD"});
    }
    return rows;
}

TEST(SearchHistory, TrimsFromTheTop) {
    std::vector<HistoryRow> rows = numberedRows(20);
    trimHistory(rows, 15);
    ASSERT_EQ(rows.size(), 15U);
    EXPECT_EQ(rows.front()[0], "t5");
    EXPECT_EQ(rows.back()[0], "t19");
    trimHistory(rows, 30);
    EXPECT_EQ(rows.size(), 15U);
    trimHistory(rows, 1);
    EXPECT_EQ(rows, (std::vector<HistoryRow>{{"t19", "", "1", "CD"}}));
    trimHistory(rows, 0);  // a damaged setting below the range keeps nothing rather than crashing
    EXPECT_TRUE(rows.empty());
}

TEST(SearchHistory, RowsFromSearchesAndTheirCells) {
    std::vector<HistoryRow> rows;
    EXPECT_FALSE(setLastHistoryCell(rows, "CD7"));
    rows.push_back(makeHistoryRow({"love", "", 3, "CD1"}));
    rows.push_back(makeHistoryRow({"", "abba", 0, ""}));
    EXPECT_EQ(rows[0], (HistoryRow{"love", "", "3", "CD1"}));
    EXPECT_TRUE(setLastHistoryCell(rows, "CD7"));
    EXPECT_EQ(rows[1], (HistoryRow{"", "abba", "0", "CD7"}));
    EXPECT_EQ(rows[0][3], "CD1");
    EXPECT_EQ(historyCopyText(rows[1]), " abba");
    EXPECT_EQ(historyCopyText(rows[0]), "love ");
    EXPECT_EQ(historyLimitText(5), "Maximum number of records kept in Search History: 5");
    EXPECT_EQ(historyColumnCaption(3), "First CD Found");
    EXPECT_EQ(historyColumnWidth(0, true), 300);

    // A repeat is found by title and artist as typed, at either end of the list.
    EXPECT_EQ(earlierRowOfSearch(rows, {"love", "", "9", "CD9"}), 0);
    EXPECT_EQ(earlierRowOfSearch(rows, {"", "abba", "1", ""}), 1);
    EXPECT_EQ(earlierRowOfSearch(rows, {"love", "abba", "3", "CD1"}), -1);
    EXPECT_EQ(earlierRowOfSearch(rows, {"Love", "", "3", "CD1"}), -1);
}

// Rows survive the settings file: terms as typed (blanks, non-ASCII, long), empty cells, a First
// CD Found holding the no-column text.
TEST(SearchHistory, RoundTripsThroughTheSettingsFile) {
    const std::vector<HistoryRow> rows = {
        makeHistoryRow({"love", "", 3, "CD1"}),
        makeHistoryRow({"", "abba", 0, ""}),
        makeHistoryRow({" été ", "Ünïcode ", 12, "No <Disc Name> Column Available"}),
        makeHistoryRow({std::string(10000, 'x'), "a", 1, "CD"}),
    };
    const std::string file = renderSettingsFile(Settings{}, rows);
    EXPECT_NE(file.find("<ht>love@?@%|%3^*^CD1\n"), std::string::npos);
    EXPECT_NE(file.find("<ht>@?@abba%|%0^*^\n"), std::string::npos);
    EXPECT_EQ(readHistoryRows(file), rows);
}

TEST(SearchHistory, LinesWithMissingSeparatorsStillLoad) {
    const std::vector<HistoryRow> rows =
        readHistoryRows("<md>5\n<ht>only title\n<ht>t@?@a\n<ht>t@?@a%|%2\n<ht>\n@*EOF\n<ht>x\n");
    ASSERT_EQ(rows.size(), 4U);
    for (const HistoryRow& row : rows) {
        // Whatever the split gives, trimming and the cells used by the pages work on it.
        EXPECT_EQ(historyCopyText(row), row[0] + " " + row[1]);
    }
    std::vector<HistoryRow> kept = rows;
    trimHistory(kept, 2);
    EXPECT_EQ(kept.size(), 2U);
}

TEST(SearchHistory, Messages) {
    EXPECT_EQ(searchAgainNoSelectionMessage(),
              (UserMessage{"Please select a record from the history list.", "Tunex - Input Error",
                           MessageIcon::Warning}));
}

}  // namespace
}  // namespace tunex
