#include "core/search/search_history.h"

#include <algorithm>
#include <array>

namespace tunex {

namespace {

struct HistoryColumn {
    std::string_view caption;
    int normalWidth;
    int maximisedWidth;
};

constexpr std::array<HistoryColumn, kHistoryColumnCount> kHistoryColumns = {
    {{"Song Title", 200, 300},
     {"Artist", 100, 200},
     {"Files Found", 100, 100},
     {"First CD Found", 150, 220}}};

const HistoryColumn& historyColumn(int column) {
    return kHistoryColumns[std::clamp(column, 0, kHistoryColumnCount - 1)];
}

}  // namespace

std::string_view historyColumnCaption(int column) {
    return historyColumn(column).caption;
}

int historyColumnWidth(int column, bool maximised) {
    return maximised ? historyColumn(column).maximisedWidth : historyColumn(column).normalWidth;
}

std::string historyLimitText(int maxHistory) {
    return "Maximum number of records kept in Search History: " + std::to_string(maxHistory);
}

HistoryRow makeHistoryRow(const SearchSummary& summary) {
    return {summary.title, summary.artist, std::to_string(summary.filesFound),
            summary.firstCdFound};
}

int earlierRowOfSearch(const std::vector<HistoryRow>& rows, const HistoryRow& row) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&row](const HistoryRow& earlier) {
        return earlier[0] == row[0] && earlier[1] == row[1];
    });
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

void trimHistory(std::vector<HistoryRow>& rows, int maxHistory) {
    const std::size_t keep = maxHistory > 0 ? static_cast<std::size_t>(maxHistory) : 0;
    if (rows.size() > keep) {
        rows.erase(rows.begin(), rows.end() - static_cast<std::ptrdiff_t>(keep));
    }
}

bool setLastHistoryCell(std::vector<HistoryRow>& rows, std::string_view text) {
    if (rows.empty()) {
        return false;
    }
    rows.back()[3] = text;
    return true;
}

std::string historyCopyText(const HistoryRow& row) {
    return row[0] + " " + row[1];
}

UserMessage searchAgainNoSelectionMessage() {
    return {"Please select a record from the history list.", captionFor("Input Error"),
            MessageIcon::Warning};
}

}  // namespace tunex
