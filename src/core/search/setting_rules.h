#pragma once

#include "core/common/user_message.h"
#include "core/store/settings.h"

#include <array>
#include <optional>
#include <string_view>

namespace tunex {

// Drop-down entries of the Setting page, in order.
inline constexpr std::array<std::string_view, 7> kSortColumnEntries{
    "File Name", "File Type", "Disc Name", "Path", "File Size", "File Date", "ID3 Tag Info"};
inline constexpr std::array<std::string_view, 6> kColumnEntries{
    "File Type", "Disc Name", "Path", "File Size", "File Date", "ID3 Tag Info"};
inline constexpr std::array<std::string_view, 8> kDefaultTabEntries{
    "Songs",       "Files",     "Search History", "Database",
    "Local Files", "File Type", "Tunex Friend",   "Tips"};
inline constexpr std::array<std::string_view, 3> kSensitivityLabels{
    "Low (match filename)", "Medium (match filename or ID3 tag)", "High (match anything)"};

// A whole number as typed into the two limit edits (optional sign, digits, nothing else); empty
// for anything else, including numbers beyond int.
[[nodiscard]] std::optional<int> parseWholeNumber(std::string_view text);
[[nodiscard]] UserMessage notIntegerMessage();

// How a limit edit takes text as it is typed or pasted. Refused: anything but ASCII digits, or
// more digits than `highest` has, so a long paste never lands. Incomplete: empty, or a number
// outside 1 to `highest`; it stays in the edit but is not taken. Complete: a value to take.
enum class LimitEntry { Refused, Incomplete, Complete };
[[nodiscard]] LimitEntry classifyLimitEntry(std::string_view text, int highest);

// The ranges the settings file is read within must match what the page offers.
static_assert(kSortColumnEntries.size() == static_cast<std::size_t>(kLastSortColumn) + 1);
static_assert(kSensitivityLabels.size() == static_cast<std::size_t>(kSensitivityLevels));

// Range checks of the two limits: 1-3000 results, 1-30 history rows.
[[nodiscard]] std::optional<UserMessage> checkMaxResults(int value);
[[nodiscard]] std::optional<UserMessage> checkMaxHistory(int value);

// Choosing sort entry `entry` (0-6): allowed for File Name or a shown column, else the refusal.
[[nodiscard]] std::optional<UserMessage> checkSortColumnChoice(
    int entry, const std::array<int, kOptionalColumnCount>& showColumns);

[[nodiscard]] UserMessage noColumnSelectedMessage();
// Yes/No question before removing the column that results are sorted by.
[[nodiscard]] UserMessage removeSortingColumnQuestion();
// The notice after removing File Type (entry 0) or Path (entry 2); empty for other entries.
[[nodiscard]] std::optional<UserMessage> columnRemovedNotice(int entry);
// Whether removing columns entry `entry` (0-5) removes the sort column.
[[nodiscard]] bool isSortColumnEntry(int entry, int sortColumn);

}  // namespace tunex
