#pragma once

#include "core/common/search_fold.h"
#include "core/common/user_message.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

inline constexpr int kFriendColumnCount = 8;

struct FriendColumn {
    std::string_view caption;
    int width;  // pixels at the default font
};

inline constexpr std::array<FriendColumn, kFriendColumnCount> kFriendColumns = {{
    {"Friend", 150},
    {"File Name", 230},
    {"File Type", 70},
    {"CD Name", 90},
    {"Path", 100},
    {"File Size(KB)", 50},
    {"Create Date", 90},
    {"ID3 Tag Info", 90},
}};

// One matching record: its line as read (without the line end) and the collection it sits in.
struct FriendRow {
    std::string line;
    std::uint32_t collection = 0;  // into FriendResults::collectionNames
};

// The rows of one search. Cells are cut from the stored line when asked for, so a row costs
// little more than its line.
struct FriendResults {
    std::string friendText;                    // name<e-mail>, the same on every row
    std::vector<std::string> collectionNames;  // only those a row refers to
    std::vector<FriendRow> rows;

    [[nodiscard]] std::string cell(size_t row, int column) const;
    // The text a column sorts by. It differs from the cell only by File Name's leading blank,
    // which every row has, so the order is the same.
    [[nodiscard]] std::string_view sortKey(size_t row, int column) const;
};

enum class FriendSearchOutcome { Refused, NotFound, Damaged, Searched };

struct FriendSearchResult {
    FriendSearchOutcome outcome = FriendSearchOutcome::Refused;
    // The refusal, the file error, or the result-limit notice of a search that filled the list.
    std::optional<UserMessage> message;
    // Set unless Refused or NotFound: the lower-cased keyword (the page's keyword field takes
    // it) and the status text.
    std::string keyword;
    std::string status;
    FriendResults results;  // empty unless Searched
};

// The checks before the file is opened, in their order: path, keyword, keyword characters.
[[nodiscard]] std::optional<UserMessage> checkFriendSearch(std::string_view path,
                                                           std::string_view keyword);

// The friend's name: the file name without its last extension.
[[nodiscard]] std::string friendNameOf(std::string_view path);

// Reads a friend file and keeps every record that holds the keyword (folded for searching, as
// the catalogue's searches fold) or whose collection name does, stopping at `maxResults` rows.
// Reading streams the file; memory grows with the longest line and the rows kept, never with the
// file.
[[nodiscard]] FriendSearchResult searchFriendFile(std::string_view path, std::string_view keyword,
                                                  int maxResults,
                                                  AccentRule accents = AccentRule::Fold);

[[nodiscard]] UserMessage friendFileNotFoundMessage();
[[nodiscard]] UserMessage friendFileDamagedMessage();
[[nodiscard]] std::string friendSearchStatus(size_t found, std::string_view loweredKeyword);

inline constexpr std::string_view kFriendNoSearchStatus = "No search performed.";
inline constexpr std::string_view kFriendDamagedStatus = "File error. No song found.";

}  // namespace tunex
