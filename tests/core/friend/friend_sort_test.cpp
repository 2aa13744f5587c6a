#include "core/friend/friend_sort.h"
#include "friend_test_support.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::recordLine;

// Rows whose CD Name is `collection` and whose other fields come from `line`.
FriendResults resultsOf(const std::vector<std::pair<std::string, std::string>>& rows) {
    FriendResults results;
    results.friendText = "Bob<b@c>";
    for (const auto& [collection, line] : rows) {
        results.collectionNames.push_back(collection);
        results.rows.push_back(
            {line, static_cast<std::uint32_t>(results.collectionNames.size() - 1)});
    }
    return results;
}

std::vector<std::string> column(const FriendResults& results, int index) {
    std::vector<std::string> texts;
    for (size_t row = 0; row < results.rows.size(); ++row) {
        texts.push_back(results.cell(row, index));
    }
    return texts;
}

TEST(FriendSort, DirectionCarriesOverFromColumnToColumn) {
    FriendSortState state;
    EXPECT_TRUE(state.click(3));   // the first click sorts ascending
    EXPECT_FALSE(state.click(3));  // the same column again flips
    EXPECT_FALSE(state.click(4));  // another column keeps the direction
    EXPECT_TRUE(state.click(4));
    EXPECT_TRUE(state.click(1));
    EXPECT_EQ(state.lastColumn(), 1);

    FriendResults results = resultsOf({{"Pop", recordLine("b", "/z")},
                                       {"Jazz", recordLine("a", "/x")},
                                       {"Rock", recordLine("c", "/y")}});
    FriendSortState page;
    sortFriendRows(results, 3, page.click(3));
    EXPECT_EQ(column(results, 3), (std::vector<std::string>{"Jazz", "Pop", "Rock"}));
    sortFriendRows(results, 3, page.click(3));
    EXPECT_EQ(column(results, 3), (std::vector<std::string>{"Rock", "Pop", "Jazz"}));
    sortFriendRows(results, 4, page.click(4));
    EXPECT_EQ(column(results, 4), (std::vector<std::string>{"/z", "/y", "/x"}));
    // Whole rows move together.
    EXPECT_EQ(column(results, 1), (std::vector<std::string>{" b", " c", " a"}));
}

TEST(FriendSort, ComparesBytesAndFollowsTheListsQuicksort) {
    // Upper case sorts before lower case, bytes above 0x7f after ASCII.
    FriendResults names = resultsOf({{"", recordLine("abc", "/")},
                                     {"", recordLine("\xc3\xa4", "/")},
                                     {"", recordLine("ABC", "/")},
                                     {"", recordLine("Abc", "/")}});
    sortFriendRows(names, 1, true);
    EXPECT_EQ(column(names, 1), (std::vector<std::string>{" ABC", " Abc", " abc", " \xc3\xa4"}));

    // Equal keys are never swapped with each other, yet the sort is not stable: b a b a sorts
    // to rows 3 1 2 0, not to the stable 1 3 0 2.
    const FriendResults pairs = resultsOf({{"b", recordLine("0", "/")},
                                           {"a", recordLine("1", "/")},
                                           {"b", recordLine("2", "/")},
                                           {"a", recordLine("3", "/")}});
    EXPECT_EQ(friendSortOrder(pairs, 3, true), (std::vector<std::uint32_t>{3, 1, 2, 0}));

    // Padded sizes of equal width sort numerically.
    FriendResults sizes = resultsOf({{"", recordLine("x", "/", "", "  4096.5")},
                                     {"", recordLine("y", "/", "", "   512.0")},
                                     {"", recordLine("z", "/", "", "    12.0")}});
    sortFriendRows(sizes, 5, true);
    EXPECT_EQ(column(sizes, 5), (std::vector<std::string>{"    12.0", "   512.0", "  4096.5"}));

    // Nothing to do for one row, an unknown column, or the Friend column (the same everywhere).
    EXPECT_EQ(friendSortOrder(pairs, 8, true), (std::vector<std::uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(friendSortOrder(pairs, 0, false), (std::vector<std::uint32_t>{0, 1, 2, 3}));
}

}  // namespace
}  // namespace tunex
