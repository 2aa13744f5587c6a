#include "core/search/setting_rules.h"

#include <algorithm>
#include <charconv>

namespace tunex {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

UserMessage inputError(std::string text) {
    return {std::move(text), captionFor("Input Error"), MessageIcon::Information};
}

}  // namespace

std::optional<int> parseWholeNumber(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

UserMessage notIntegerMessage() {
    return {"Please enter an integer.", captionFor("Input Error"), MessageIcon::Warning};
}

LimitEntry classifyLimitEntry(std::string_view text, int highest) {
    size_t digits = 1;
    for (int rest = highest; rest >= 10; rest /= 10) {
        ++digits;
    }
    const bool allDigits =
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!allDigits || text.size() > digits) {
        return LimitEntry::Refused;
    }
    const auto value = parseWholeNumber(text);
    return value && *value >= 1 && *value <= highest ? LimitEntry::Complete
                                                     : LimitEntry::Incomplete;
}

std::optional<UserMessage> checkMaxResults(int value) {
    if (value < 1 || value > kMaxResultsLimit) {
        return inputError("Maximum records in Search Result not within limit(1-3000).");
    }
    return std::nullopt;
}

std::optional<UserMessage> checkMaxHistory(int value) {
    if (value < 1 || value > kMaxHistoryLimit) {
        return inputError("Maximum records in Search History not within limit(1-30).");
    }
    return std::nullopt;
}

std::optional<UserMessage> checkSortColumnChoice(
    int entry, const std::array<int, kOptionalColumnCount>& showColumns) {
    if (entry == 0 || (entry >= 1 && entry <= kOptionalColumnCount &&
                       showColumns[static_cast<std::size_t>(entry - 1)] != 0)) {
        return std::nullopt;
    }
    return UserMessage{
        "You have removed the column in search result.\nPlease insert the column in setting (3) "
        "first.",
        captionFor("Column Already Removed"), MessageIcon::Question};
}

UserMessage noColumnSelectedMessage() {
    return {"Please select a column from the list first.", captionFor("No Column Selected"),
            MessageIcon::Question};
}

UserMessage removeSortingColumnQuestion() {
    return {
        "This is the sorting column selected in setting (2) above.\nAre you sure you want to "
        "remove this column?",
        captionFor("Remove Sorting Column?"), MessageIcon::Question};
}

std::optional<UserMessage> columnRemovedNotice(int entry) {
    const auto notice = [](std::string_view column, std::string_view title) {
        return UserMessage{"Remove \"" + std::string(column) +
                               "\" column will disable the song playing or file running function "
                               "when double clicking a search result in <Songs> and <Files>.",
                           captionFor(title), MessageIcon::Information};
    };
    if (entry == 0) {
        return notice("File Type", "Remove File Type Column");
    }
    if (entry == 2) {
        return notice("Path", "Remove Path Column");
    }
    return std::nullopt;
}

bool isSortColumnEntry(int entry, int sortColumn) {
    return sortColumn == entry + 1;
}

}  // namespace tunex
