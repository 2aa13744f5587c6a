#pragma once

#include "core/common/search_fold.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

inline constexpr int kOptionalColumnCount = 6;

// The ranges the Setting page offers: results 1-3000, history rows 1-30, sensitivity 1-3, sort
// column 0-6.
inline constexpr int kMaxResultsLimit = 3000;
inline constexpr int kMaxHistoryLimit = 30;
inline constexpr int kSensitivityLevels = 3;
inline constexpr int kLastSortColumn = 6;

// Every persistent setting and the catalogue totals. The initial values apply to any line the
// settings file lacks.
struct Settings {
    int totalSongs = -1;
    int collectionCount = -1;
    int maxResults = 1;
    int maxHistory = 15;
    int defaultTab = 1;
    int startMaximized = 0;
    int searchSensitivity = 3;
    int sortColumn = 0;
    // File Type, Disc Name, Path, File Size, File Date, ID3 Tag Info; File Name is always shown.
    std::array<int, kOptionalColumnCount> showColumns{1, 1, 1, 1, 1, 1};
    std::string fileTypes = "mp3;mp2;wmv;wma;dat;";
    // Batch tag changes are shown before they are written. Stored as "<pv>0" only when off, so
    // that a settings file of an earlier version reads and writes as it did.
    bool previewTagChanges = true;
    // Searches tell "Björk" from "bjork". Stored as "<ma>1" only when on, like "<pv>".
    bool matchAccentsExactly = false;

    friend bool operator==(const Settings&, const Settings&) = default;
};

[[nodiscard]] inline AccentRule accentRuleOf(const Settings& settings) {
    return settings.matchAccentsExactly ? AccentRule::Exact : AccentRule::Fold;
}

// One row of the search history: Song Title, Artist, Files Found, First CD Found.
using HistoryRow = std::array<std::string, 4>;

// Fills `settings` from the settings file's text. Reading stops at the end marker or at the first
// history line, so settings written after the history are not read. A value outside its range
// above becomes the nearest value inside it.
void readSettings(std::string_view fileText, Settings& settings);

// The whole settings file: the settings, then one line per history row, then the end marker.
[[nodiscard]] std::string renderSettingsFile(const Settings& settings,
                                             const std::vector<HistoryRow>& historyRows);

[[nodiscard]] std::vector<HistoryRow> readHistoryRows(std::string_view fileText);
[[nodiscard]] std::string joinHistoryRow(const HistoryRow& row);
[[nodiscard]] HistoryRow splitHistoryRow(std::string_view text);

// Whether the name's extension is one of `fileTypes` (entries lower-cased before comparing).
[[nodiscard]] bool isListedFileType(std::string_view fileName, std::string_view fileTypes);

// True when the text holds a character that cannot stand in a file name.
[[nodiscard]] bool hasIllegalNameChar(std::string_view text);
// Whether the text can stand in a column of a search history row: no line break, no separator.
[[nodiscard]] bool fitsHistoryRow(std::string_view text);

}  // namespace tunex
