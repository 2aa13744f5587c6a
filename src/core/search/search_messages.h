#pragma once

#include "core/common/user_message.h"

#include <optional>
#include <string>
#include <string_view>

namespace tunex {

// The status line of a page before its first search or listing.
inline constexpr std::string_view kNoSearchPerformed = "No search performed.";
// Placeholder rows: first cell only, the others empty.
inline constexpr std::string_view kNoFileFound = "No File Found.";
inline constexpr std::string_view kDatabaseEmpty = "The database is currently empty.";
// First CD Found when the Disc Name column is hidden.
inline constexpr std::string_view kNoDiscNameColumn = "No <Disc Name> Column Available";

// Search's input checks, in the page's order: both terms empty, then an illegal character in the
// artist, then in the title. Empty when the terms may be searched.
[[nodiscard]] std::optional<UserMessage> checkSearchTerms(std::string_view title,
                                                          std::string_view artist);

[[nodiscard]] UserMessage searchFailedMessage();
[[nodiscard]] UserMessage resultLimitMessage(int maxResults);

// "12 songs found for song <love> artist <abba>." when all `found` songs are in the list's `rows`;
// "1,000 of 15,075 songs shown for song <love>." when the row limit cut it.
[[nodiscard]] std::string searchStatusLine(std::size_t rows, std::size_t found,
                                           std::string_view title, std::string_view artist);
// "3 songs found in the entire database." or "1,000 of 300,000 songs shown from the entire
// database."
[[nodiscard]] std::string listAllStatusLine(std::size_t rows, std::size_t found);
// While the rest is counted: "1,000 songs shown for song <love>, counting all matches..."
[[nodiscard]] std::string countingStatusLine(std::size_t rows, std::string_view title,
                                             std::string_view artist);
// "12 songs found" or "1,000 of 15,075 songs shown": the opening of a status line.
[[nodiscard]] std::string songsFoundText(std::size_t rows, std::size_t found);

}  // namespace tunex
