#pragma once

#include "core/friend/friend_search.h"

#include <cstdint>
#include <vector>

namespace tunex {

// The Friend list's header clicks: the column clicked last again flips the direction, another
// column keeps it, so the direction carries over from column to column.
class FriendSortState final {
public:
    // Records a click on `column` and returns whether that sort runs ascending.
    bool click(int column) {
        if (column == lastColumn_) {
            ascending_ = !ascending_;
        }
        lastColumn_ = column;
        return ascending_;
    }
    [[nodiscard]] int lastColumn() const { return lastColumn_; }
    [[nodiscard]] bool ascending() const { return ascending_; }

private:
    int lastColumn_ = -1;
    bool ascending_ = true;
};

// The row order after sorting by `column`: entry i is the index of the row that goes to place i.
// Texts compare byte by byte; rows with equal texts are never swapped with each other, and the
// order is that of the list's own quicksort (middle pivot), which is not stable.
[[nodiscard]] std::vector<std::uint32_t> friendSortOrder(const FriendResults& results, int column,
                                                         bool ascending);

// Puts the rows into the order above.
void sortFriendRows(FriendResults& results, int column, bool ascending);

}  // namespace tunex
