#include "core/search/files_criteria.h"

#include "core/common/text.h"
#include "core/search/song_match.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tunex {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

UserMessage inputError(std::string text) {
    return {std::move(text), captionFor("Input Error"), MessageIcon::Warning};
}

std::string quoted(std::string_view field, std::string_view typed) {
    return std::string(field) + ": \"" + std::string(typed) + "\"";
}

// Digits only, all of the text; nothing for an empty or overlong run.
std::optional<int> digitsValue(std::string_view text) {
    int value = 0;
    if (text.empty() || text.size() > 8 || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Year, month and day of "Y-M-D"; the digit counts are the caller's rule.
struct DayParts {
    std::string_view year;
    std::string_view month;
    std::string_view day;
};

std::optional<DayParts> splitDay(std::string_view text) {
    const std::size_t first = text.find('-');
    const std::size_t second = first == std::string_view::npos ? first : text.find('-', first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    return DayParts{text.substr(0, first), text.substr(first + 1, second - first - 1),
                    text.substr(second + 1)};
}

std::optional<int> dayNumber(const DayParts& parts) {
    const std::optional<int> year = digitsValue(parts.year);
    const std::optional<int> month = digitsValue(parts.month);
    const std::optional<int> day = digitsValue(parts.day);
    if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1 ||
        *day > daysInMonth(*year, *month)) {
        return std::nullopt;
    }
    return *year * 10000 + *month * 100 + *day;
}

// Splits on commas; each part loses blanks and a leading "*" or "." (so "*.MP3" is "mp3").
std::vector<std::string> parseTypes(std::string_view text) {
    std::vector<std::string> types;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::string_view part = trimmed(text.substr(start, comma - start));
        if (part.starts_with('*')) {
            part.remove_prefix(1);
        }
        if (part.starts_with('.')) {
            part.remove_prefix(1);
        }
        if (!part.empty()) {
            std::string type = foldForSearch(part, AccentRule::Exact);
            if (std::find(types.begin(), types.end(), type) == types.end()) {
                types.push_back(std::move(type));
            }
        }
        start = comma + 1;
    }
    return types;
}

bool fieldContains(std::string_view field, std::string_view foldedTerm, AccentRule accents,
                   std::string& scratch) {
    if (isAsciiText(field)) {
        return containsFolded(field, foldedTerm);
    }
    return foldInto(field, accents, scratch).find(foldedTerm) != std::string_view::npos;
}

template <typename Value>
bool inRange(const std::optional<Value>& value, const std::optional<Value>& from,
             const std::optional<Value>& to) {
    if (!from && !to) {
        return true;
    }
    return value && (!from || *value >= *from) && (!to || *value <= *to);
}

}  // namespace

FilesQuery withInitialBoundsOpen(FilesQuery query) {
    const auto open = [](std::string& text, std::string_view initial) {
        if (trimmed(text) == initial) {
            text.clear();
        }
    };
    open(query.dateFrom, kDateFromInitial);
    open(query.dateTo, kDateToInitial);
    open(query.sizeFrom, kSizeFromInitial);
    open(query.sizeTo, kSizeToInitial);
    return query;
}

std::optional<int> parseDayText(std::string_view text) {
    const std::optional<DayParts> parts = splitDay(trimmed(text));
    if (!parts || parts->year.size() != 4 || parts->month.size() > 2 || parts->day.size() > 2) {
        return std::nullopt;
    }
    return dayNumber(*parts);
}

std::optional<double> parseKilobytes(std::string_view text) {
    text = trimmed(text);
    double value = 0;
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> recordDay(std::string_view dateText) {
    const std::optional<DayParts> parts = splitDay(dateText);
    if (!parts) {
        return std::nullopt;
    }
    return dayNumber(*parts);
}

std::optional<double> recordKilobytes(std::string_view sizeText) {
    return parseKilobytes(sizeText);
}

FilesQueryCheck checkFilesQuery(const FilesQuery& query, AccentRule accents) {
    FilesQueryCheck check;
    FilesCriteria& criteria = check.criteria;
    criteria.accents = accents;
    criteria.collection = query.collection;
    criteria.types = parseTypes(query.types);
    if (criteria.types.empty() && !trimmed(query.types).empty()) {
        check.refusal = inputError(quoted("File Type", query.types) +
                                   " names no file type.\nType one or several, such as mp3,wma.");
        return check;
    }
    criteria.keyword = foldForSearch(query.keyword, accents);

    const auto takeDay = [&](std::string_view field, const std::string& typed,
                             std::optional<int>& day) {
        if (trimmed(typed).empty()) {
            return true;
        }
        day = parseDayText(typed);
        if (!day) {
            check.refusal = inputError(quoted(field, typed) +
                                       " is not a date.\nType a date as YYYY-MM-DD, such as "
                                       "2003-11-16.");
        }
        return day.has_value();
    };
    const auto takeSize = [&](std::string_view field, const std::string& typed,
                              std::optional<double>& size) {
        if (trimmed(typed).empty()) {
            return true;
        }
        size = parseKilobytes(typed);
        if (!size) {
            check.refusal = inputError(quoted(field, typed) +
                                       " is not a size.\nType a size in KB as a number, such as "
                                       "3584 or 512.5.");
        }
        return size.has_value();
    };
    if (!takeDay("File Date from", query.dateFrom, criteria.dateFrom) ||
        !takeDay("File Date to", query.dateTo, criteria.dateTo)) {
        return check;
    }
    if (criteria.dateFrom && criteria.dateTo && *criteria.dateFrom > *criteria.dateTo) {
        check.refusal =
            inputError("File Date from (" + std::string(trimmed(query.dateFrom)) +
                       ") is after File Date to (" + std::string(trimmed(query.dateTo)) + ").");
        return check;
    }
    if (!takeSize("File Size from", query.sizeFrom, criteria.sizeFrom) ||
        !takeSize("File Size to", query.sizeTo, criteria.sizeTo)) {
        return check;
    }
    if (criteria.sizeFrom && criteria.sizeTo && *criteria.sizeFrom > *criteria.sizeTo) {
        check.refusal = inputError("File Size from (" + std::string(trimmed(query.sizeFrom)) +
                                   ") is larger than File Size to (" +
                                   std::string(trimmed(query.sizeTo)) + ").");
        return check;
    }
    if (criteria.types.empty() && criteria.keyword.empty() && !criteria.dateFrom &&
        !criteria.dateTo && !criteria.sizeFrom && !criteria.sizeTo && !criteria.collection) {
        check.refusal = inputError(
            "Please input a file type, a keyword, a file date range or a file size range.");
    }
    return check;
}

FoldedTermFinder FilesCriteria::keywordFinder() const {
    return FoldedTermFinder({keyword}, accents);
}

bool FilesCriteria::mayMatch(std::string_view text, FoldedTermFinder& finder) const {
    if (!finder.holdsAll(text)) {
        return false;
    }
    // Types are folded by case alone, so they are looked for in ASCII text only.
    if (types.empty() || !isAsciiText(text)) {
        return true;
    }
    std::string marked;
    for (const std::string& type : types) {
        // A record's type stands between these two markers, and they are ASCII.
        marked.assign("<:>").append(type).append("</>");
        if (containsFolded(text, marked)) {
            return true;
        }
    }
    return false;
}

bool FilesCriteria::matchesBesidesKeyword(const SongRecordView& record,
                                          std::string& scratch) const {
    if (collection && record.collectionIndex != *collection) {
        return false;
    }
    if (!types.empty()) {
        const std::string_view type = foldInto(record.type, AccentRule::Exact, scratch);
        if (std::find(types.begin(), types.end(), type) == types.end()) {
            return false;
        }
    }
    if ((dateFrom || dateTo) && !inRange(recordDay(record.dateText), dateFrom, dateTo)) {
        return false;
    }
    return !(sizeFrom || sizeTo) || inRange(recordKilobytes(record.sizeText), sizeFrom, sizeTo);
}

bool FilesCriteria::matches(const SongRecordView& record, std::string& scratch) const {
    if (!matchesBesidesKeyword(record, scratch)) {
        return false;
    }
    return keyword.empty() || fieldContains(record.name, keyword, accents, scratch) ||
           fieldContains(record.folder, keyword, accents, scratch) ||
           fieldContains(record.id3Info, keyword, accents, scratch);
}

bool FilesCriteria::keywordIn(const LoweredFields& lowered) const {
    return keyword.empty() || containsFolded(lowered.name, keyword) ||
           containsFolded(lowered.folder, keyword) || containsFolded(lowered.id3Info, keyword);
}

}  // namespace tunex
