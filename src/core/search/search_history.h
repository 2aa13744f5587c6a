#pragma once

#include "core/common/user_message.h"
#include "core/search/catalogue_search.h"
#include "core/store/settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// The History list's four columns.
inline constexpr int kHistoryColumnCount = 4;
[[nodiscard]] std::string_view historyColumnCaption(int column);
[[nodiscard]] int historyColumnWidth(int column, bool maximised);

// "Maximum number of records kept in Search History: 15"
[[nodiscard]] std::string historyLimitText(int maxHistory);
// The static text before the page is first shown.
inline constexpr std::string_view kHistoryInitialLimitText =
    "Max records kept in search history: 15";

// The row a finished search adds at the bottom.
[[nodiscard]] HistoryRow makeHistoryRow(const SearchSummary& summary);
// Where an earlier row of the same search (title and artist as typed) stands, or -1: a repeat
// takes that row's place at the newest end rather than adding another.
[[nodiscard]] int earlierRowOfSearch(const std::vector<HistoryRow>& rows, const HistoryRow& row);
// Deletes rows from the top until at most `maxHistory` remain (none kept for a limit below 1).
void trimHistory(std::vector<HistoryRow>& rows, int maxHistory);
// Writes First CD Found of the bottom row; false (nothing changed) when there are no rows.
bool setLastHistoryCell(std::vector<HistoryRow>& rows, std::string_view text);
// Copy puts Song Title + " " + Artist on the clipboard.
[[nodiscard]] std::string historyCopyText(const HistoryRow& row);

[[nodiscard]] UserMessage searchAgainNoSelectionMessage();

}  // namespace tunex
