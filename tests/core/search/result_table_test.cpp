#include "core/search/result_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tunex {
namespace {

std::vector<ResultRow> rowsOf(std::initializer_list<std::pair<std::string, std::string>> cells) {
    std::vector<ResultRow> rows;
    for (const auto& [first, second] : cells) {
        rows.push_back({first, second});
    }
    return rows;
}

std::vector<std::string> column(const std::vector<ResultRow>& rows, std::size_t index) {
    std::vector<std::string> texts;
    for (const ResultRow& row : rows) {
        texts.push_back(row[index]);
    }
    return texts;
}

TEST(ResultColumns, FollowShowColumns) {
    const std::vector<ResultColumn> hidden = shownColumns({1, 0, 0, 1, 1, 1});
    EXPECT_EQ(columnCaptions(hidden),
              (std::vector<std::string>{"File Name", "File Type", "File Size(KB)", "Create Date",
                                        "ID3 Tag Info"}));
    EXPECT_EQ(findColumnByCaption(hidden, "Create Date"), 3);
    EXPECT_EQ(findColumnByCaption(hidden, "File Name"), -1);  // column 0 is never returned
    EXPECT_EQ(findColumnByCaption(hidden, "create date"), -1);
    EXPECT_EQ(sortColumnIndex(hidden, 0), 0);
    EXPECT_EQ(sortColumnIndex(hidden, 4), 2);
    EXPECT_EQ(sortColumnIndex(hidden, 2), -1);
    EXPECT_EQ(sortColumnIndex(hidden, 9), -1);
    EXPECT_EQ(columnWidth(ResultColumn::FileName, false), 230);
    EXPECT_EQ(columnWidth(ResultColumn::FileName, true), 350);
    EXPECT_EQ(columnWidth(ResultColumn::Path, true), 250);

    SongRecordView record;
    record.collectionIndex = 1;
    record.name = "b";
    record.type = "mp3";
    record.folder = "/a";
    record.sizeText = "   512.0";
    record.dateText = "2003-01-02";
    record.id3Info = "T;A;";
    const std::vector<std::string> names{"CD0", "CD1"};
    EXPECT_EQ(makeResultRow(shownColumns({1, 1, 1, 1, 1, 1}), record, names),
              (ResultRow{"b", "mp3", "CD1", "/a", "   512.0", "2003-01-02", "T;A;"}));
    record.collectionIndex = 5;  // a damaged index gives an empty Disc Name, not a crash
    EXPECT_EQ(makeResultRow(shownColumns({0, 1, 0, 0, 0, 0}), record, names), (ResultRow{"b", ""}));
}

// Expected orders below were worked through by hand on the list's quicksort.
TEST(ResultSort, SwapsExactlyTheRowsTheListSwaps) {
    // Names equal but for case are settled by the next column.
    std::vector<ResultRow> rows = rowsOf({{"b", "1"}, {"A", "2"}, {"a", "3"}, {"B", "4"}});
    std::vector<std::pair<std::size_t, std::size_t>> swaps;
    sortResultRows(rows, 0, true, 0, -1,
                   [&swaps](std::size_t a, std::size_t b) { swaps.emplace_back(a, b); });
    EXPECT_EQ(column(rows, 1), (std::vector<std::string>{"2", "3", "1", "4"}));
    EXPECT_EQ(swaps, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 1}, {1, 2}}));

    // Ties of the last column wrap round to the first, ascending in a descending sort too.
    rows = rowsOf({{"b", "1.0"}, {"a", "1.0"}, {"c", "2.0"}});
    sortResultRows(rows, 1, false);
    EXPECT_EQ(column(rows, 0), (std::vector<std::string>{"c", "a", "b"}));

    // Rows differing only in case are never swapped with each other.
    rows = rowsOf({{"abc", "1"}, {"ABC", "2"}});
    sortResultRows(rows, 0, true);
    EXPECT_EQ(column(rows, 1), (std::vector<std::string>{"1", "2"}));
    sortResultRows(rows, 0, false);
    EXPECT_EQ(column(rows, 1), (std::vector<std::string>{"1", "2"}));

    rows = rowsOf({{"a", "1"}, {"c", "2"}, {"b", "3"}});
    sortResultRows(rows, 0, false);
    EXPECT_EQ(column(rows, 0), (std::vector<std::string>{"c", "b", "a"}));

    // Sizes compare as text: leading blanks first, and ten-character sizes before nine.
    rows = rowsOf({{"x", " 9999999.0"}, {"y", "12345678.0"}, {"z", "   512.0"}, {"w", "  4096.5"}});
    sortResultRows(rows, 1, true);
    EXPECT_EQ(column(rows, 1),
              (std::vector<std::string>{"   512.0", "  4096.5", " 9999999.0", "12345678.0"}));
    rows = rowsOf({{"x", "9999999.0"}, {"y", "12345678.0"}});
    sortResultRows(rows, 1, true);
    EXPECT_EQ(column(rows, 1), (std::vector<std::string>{"12345678.0", "9999999.0"}));
}

TEST(ResultSort, RangesAndOutOfRangeArguments) {
    std::vector<ResultRow> rows = rowsOf({{"d", ""}, {"c", ""}, {"b", ""}, {"a", ""}});
    sortResultRows(rows, 0, true, 1, 2);
    EXPECT_EQ(column(rows, 0), (std::vector<std::string>{"d", "b", "c", "a"}));
    const std::vector<ResultRow> before = rows;
    for (const auto& [col, low, high] : std::vector<std::tuple<int, int, int>>{
             {2, 0, -1}, {-1, 0, -1}, {0, 2, 2}, {0, 3, 1}, {0, 0, 9}}) {
        sortResultRows(rows, col, true, low, high);
        EXPECT_EQ(rows, before) << col << ' ' << low << ' ' << high;
    }
    std::vector<ResultRow> one = rowsOf({{"z", ""}});
    sortResultRows(one, 0, true);
    EXPECT_EQ(one.size(), 1U);
}

TEST(ResultSort, SortsLargeListsOfEveryShape) {
    for (const int shape : {0, 1, 2, 3}) {
        std::vector<ResultRow> rows;
        for (int i = 0; i < 3000; ++i) {
            const int key = shape == 0   ? i
                            : shape == 1 ? 3000 - i
                            : shape == 2 ? 7
                                         : (i * 7919) % 311;
            char text[16];
            std::snprintf(text, sizeof text, "%06d", key);
            rows.push_back({text});
        }
        sortResultRows(rows, 0, shape != 1);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            if (shape == 1) {
                ASSERT_GE(rows[i - 1][0], rows[i][0]);
            } else {
                ASSERT_LE(rows[i - 1][0], rows[i][0]);
            }
        }
    }
}

TEST(ResultSort, HeaderClicksToggle) {
    HeaderSortState state;
    EXPECT_TRUE(state.click(2));
    EXPECT_FALSE(state.click(2));
    EXPECT_TRUE(state.click(2));
    EXPECT_TRUE(state.click(0));
    EXPECT_EQ(state.lastSortColumn, 0);
}

TEST(ResultSort, CaseInsensitiveComparison) {
    EXPECT_EQ(compareCellsIgnoringCase("ABC", "abc"), 0);
    EXPECT_LT(compareCellsIgnoringCase("a", "B"), 0);
    EXPECT_EQ(compareCellsIgnoringCase("ÉTÉ", "été"), 0);
    // Both sides are lower-cased, so "_" (0x5F) sorts before "A" (compared as "a", 0x61).
    EXPECT_LT(compareCellsIgnoringCase("_", "A"), 0);
}

}  // namespace
}  // namespace tunex
