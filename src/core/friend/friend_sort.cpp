#include "core/friend/friend_sort.h"

#include <numeric>
#include <string_view>
#include <utility>

namespace tunex {

std::vector<std::uint32_t> friendSortOrder(const FriendResults& results, int column,
                                           bool ascending) {
    const size_t count = results.rows.size();
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0U);
    if (column < 0 || column >= kFriendColumnCount || count < 2) {
        return order;
    }
    std::vector<std::string_view> keys(count);
    for (size_t i = 0; i < count; ++i) {
        keys[i] = results.sortKey(i, column);
    }
    // Before `a` in the sort direction.
    const auto before = [ascending](std::string_view a, std::string_view b) {
        return ascending ? a < b : b < a;
    };
    // The ranges of the quicksort are disjoint, so an explicit stack sorts them in any order with
    // the same result and without deep recursion on hostile input.
    std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> pending{
        {0, static_cast<std::ptrdiff_t>(count) - 1}};
    while (!pending.empty()) {
        const auto [low, high] = pending.back();
        pending.pop_back();
        if (low >= high) {
            continue;
        }
        const std::string_view pivot = keys[static_cast<size_t>((low + high) / 2)];
        std::ptrdiff_t i = low;
        std::ptrdiff_t j = high;
        while (i <= j) {
            while (i < high && before(keys[static_cast<size_t>(i)], pivot)) {
                ++i;
            }
            while (j > low && before(pivot, keys[static_cast<size_t>(j)])) {
                --j;
            }
            if (i <= j) {
                const auto a = static_cast<size_t>(i);
                const auto b = static_cast<size_t>(j);
                if (keys[a] != keys[b]) {
                    std::swap(keys[a], keys[b]);
                    std::swap(order[a], order[b]);
                }
                ++i;
                --j;
            }
        }
        if (low < j) {
            pending.emplace_back(low, j);
        }
        if (i < high) {
            pending.emplace_back(i, high);
        }
    }
    return order;
}

void sortFriendRows(FriendResults& results, int column, bool ascending) {
    const std::vector<std::uint32_t> order = friendSortOrder(results, column, ascending);
    std::vector<FriendRow> sorted;
    sorted.reserve(order.size());
    for (const std::uint32_t from : order) {
        sorted.push_back(std::move(results.rows[from]));
    }
    results.rows = std::move(sorted);
}

}  // namespace tunex
