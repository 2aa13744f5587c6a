#include "core/store/settings.h"

#include "core/common/text.h"

#include <algorithm>
#include <string>

namespace tunex {

namespace {

constexpr std::string_view kEndMarker = "@*EOF";
constexpr std::string_view kHistoryTag = "<ht>";
constexpr std::string_view kRowTitleEnd = "@?@";
constexpr std::string_view kRowArtistEnd = "%|%";
constexpr std::string_view kRowCountEnd = "^*^";

// The text up to and including the last ";", or empty when there is none.
std::string_view throughLastSemicolon(std::string_view value) {
    const size_t last = value.rfind(';');
    return last == std::string_view::npos ? std::string_view() : value.substr(0, last + 1);
}

int digitValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

char digitChar(int value) {
    return static_cast<char>('0' + (value >= 0 && value <= 9 ? value : 0));
}

void readOptionDigits(std::string_view digits, Settings& settings) {
    for (size_t pos = 0; pos < digits.size() && pos <= 10; ++pos) {
        const int value = digitValue(digits[pos]);
        switch (pos) {
            case 0:
                settings.startMaximized = value;
                break;
            case 1:
                settings.searchSensitivity = value;
                break;
            case 2:
            case 3:
                break;  // written as "1", never read
            case 4:
                settings.sortColumn = value;
                break;
            default:
                settings.showColumns[pos - 5] = value;
                break;
        }
    }
}

// An edited or damaged file must not turn into a program that silently finds nothing (sensitivity
// 0) or forgets its history (limit 0). The start page and the flags already treat unknown values
// as a default where they are used.
void keepInRange(Settings& settings) {
    settings.maxResults = std::clamp(settings.maxResults, 1, kMaxResultsLimit);
    settings.maxHistory = std::clamp(settings.maxHistory, 1, kMaxHistoryLimit);
    settings.searchSensitivity = std::clamp(settings.searchSensitivity, 1, kSensitivityLevels);
    settings.sortColumn = std::clamp(settings.sortColumn, 0, kLastSortColumn);
}

}  // namespace

void readSettings(std::string_view fileText, Settings& settings) {
    LineSplitter lines(fileText);
    std::string_view line;
    while (lines.next(line)) {
        if (startsWith(line, kEndMarker) || startsWith(line, kHistoryTag)) {
            break;
        }
        const std::string_view tag = line.substr(0, 4);
        const std::string_view value = line.size() > 4 ? line.substr(4) : std::string_view();
        if (tag == "<ts>") {
            settings.totalSongs = leadingInteger(value);
        } else if (tag == "<tf>") {
            settings.collectionCount = leadingInteger(value);
        } else if (tag == "<md>") {
            settings.maxResults = leadingInteger(value);
        } else if (tag == "<mh>") {
            settings.maxHistory = leadingInteger(value);
        } else if (tag == "<dt>") {
            settings.defaultTab = leadingInteger(value);
        } else if (tag == "<ft>") {
            settings.fileTypes = std::string(throughLastSemicolon(value));
        } else if (tag == "<as>") {
            readOptionDigits(throughLastSemicolon(value), settings);
        } else if (tag == "<pv>") {
            settings.previewTagChanges = leadingInteger(value) != 0;
        } else if (tag == "<ma>") {
            settings.matchAccentsExactly = leadingInteger(value) != 0;
        }
    }
    keepInRange(settings);
}

std::string renderSettingsFile(const Settings& settings,
                               const std::vector<HistoryRow>& historyRows) {
    std::string text;
    const auto number = [&text](std::string_view tag, int value) {
        text.append(tag).append(std::to_string(value)).push_back('\n');
    };
    number("<ts>", settings.totalSongs);
    number("<tf>", settings.collectionCount);
    number("<md>", settings.maxResults);
    number("<mh>", settings.maxHistory);
    number("<dt>", settings.defaultTab);
    text.append("<as>");
    text.push_back(digitChar(settings.startMaximized));
    text.push_back(digitChar(settings.searchSensitivity));
    text.append("11");
    text.push_back(digitChar(settings.sortColumn));
    for (const int shown : settings.showColumns) {
        text.push_back(digitChar(shown));
    }
    text.append(";\n");
    text.append("<ft>").append(settings.fileTypes).push_back('\n');
    if (!settings.previewTagChanges) {
        text.append("<pv>0\n");
    }
    if (settings.matchAccentsExactly) {
        text.append("<ma>1\n");
    }
    for (const HistoryRow& row : historyRows) {
        text.append(kHistoryTag).append(joinHistoryRow(row)).push_back('\n');
    }
    text.append(kEndMarker).push_back('\n');
    return text;
}

std::string joinHistoryRow(const HistoryRow& row) {
    std::string joined;
    joined.append(row[0]).append(kRowTitleEnd).append(row[1]).append(kRowArtistEnd);
    joined.append(row[2]).append(kRowCountEnd).append(row[3]);
    return joined;
}

HistoryRow splitHistoryRow(std::string_view text) {
    HistoryRow row;
    const size_t titleEnd = text.find(kRowTitleEnd);
    if (titleEnd != std::string_view::npos) {
        row[0] = std::string(text.substr(0, titleEnd));
    }
    row[1] = std::string(textBetween(text, kRowTitleEnd, kRowArtistEnd));
    row[2] = std::string(textBetween(text, kRowArtistEnd, kRowCountEnd));
    const size_t countEnd = text.find(kRowCountEnd);
    if (countEnd != std::string_view::npos) {
        row[3] = std::string(text.substr(countEnd + kRowCountEnd.size()));
    }
    return row;
}

std::vector<HistoryRow> readHistoryRows(std::string_view fileText) {
    std::vector<HistoryRow> rows;
    LineSplitter lines(fileText);
    std::string_view line;
    while (lines.next(line)) {
        if (startsWith(line, kEndMarker)) {
            break;
        }
        if (startsWith(line, kHistoryTag)) {
            rows.push_back(splitHistoryRow(line.substr(kHistoryTag.size())));
        }
    }
    return rows;
}

bool isListedFileType(std::string_view fileName, std::string_view fileTypes) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return false;
    }
    const std::string_view extension = fileName.substr(dot + 1);
    // Only entries closed by a ";" count; text after the last ";" is not an entry.
    size_t start = 0;
    for (size_t end = fileTypes.find(';'); end != std::string_view::npos;
         end = fileTypes.find(';', start)) {
        if (toLowerUtf8(fileTypes.substr(start, end - start)) == extension) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool fitsHistoryRow(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos &&
           text.find(kRowTitleEnd) == std::string_view::npos &&
           text.find(kRowArtistEnd) == std::string_view::npos &&
           text.find(kRowCountEnd) == std::string_view::npos;
}

bool hasIllegalNameChar(std::string_view text) {
    return text.find_first_of("\"*/:<>?\\|") != std::string_view::npos;
}

}  // namespace tunex
