#pragma once

#include "core/common/user_message.h"
#include "core/search/result_table.h"
#include "core/search/song_match.h"
#include "core/store/settings.h"
#include "core/store/song_record.h"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

class Catalogue;

// The settings a search reads; taken from `Settings`, or overridden for one CLI run.
struct SearchSettings {
    int maxResults = 1;  // 0: no limit, which only a tunex-cli run asks for
    Sensitivity sensitivity = Sensitivity::High;
    int sortColumn = 0;
    std::array<int, kOptionalColumnCount> showColumns{1, 1, 1, 1, 1, 1};
    AccentRule accents = AccentRule::Fold;
};
[[nodiscard]] SearchSettings searchSettingsFrom(const Settings& settings);

// The rows a search may fill for `maxResults`. The settings file keeps 1 to kMaxResultsLimit, so
// 0 ("no limit") comes only from a tunex-cli run that asked for every row.
[[nodiscard]] std::size_t rowLimitOf(int maxResults);
// Whether `found` rows call for the result-limit notice; never without a limit.
[[nodiscard]] bool reachesRowLimit(int found, int maxResults);

// What a search leaves for the History page: the terms as typed, the number of songs found (the
// rows past the row limit too) and the Disc Name of the first row.
struct SearchSummary {
    std::string title;
    std::string artist;
    int filesFound = 0;
    std::string firstCdFound;

    friend bool operator==(const SearchSummary&, const SearchSummary&) = default;
};

// Which records a walk over the catalogue keeps.
enum class CatalogueWalk { Matching, Everything };

struct SearchMatches;

// One walk over the whole catalogue: the in-memory index in its visit order, then the on-disk
// collections in index order. A row is appended for every record the terms match at the
// settings' sensitivity, or for every record, until `rowLimitOf(maxResults)` rows are in `table`;
// past that the matches are only counted, in `table.matched`. False when a collection file cannot
// be opened; the rows found until then stay. A stop request ends the walk early (the caller then
// drops the rows). `found`, when given, collects the matched records, for narrowing a later
// search, unless there are too many of them to keep (then `found->whole` is false).
[[nodiscard]] bool searchCatalogue(const Catalogue& catalogue, ResultTable& table,
                                   const SearchSettings& settings, std::string_view title,
                                   std::string_view artist,
                                   CatalogueWalk walk = CatalogueWalk::Matching,
                                   const std::stop_token& stop = {},
                                   SearchMatches* found = nullptr);

// The outcome of Search or List All as the Songs page and the CLI show it.
struct SearchOutcome {
    enum class Kind {
        Refused,  // an input check failed: nothing else changes
        Failed,   // a collection file vanished: the rows so far stay, status and history do not
        Done,
    };
    Kind kind = Kind::Done;
    // The input message, the search error, or the result-limit notice (shown after the status line
    // and the history are updated).
    std::optional<UserMessage> message;
    ResultTable table;       // the list's new content (its columns as passed in)
    std::string statusLine;  // empty unless Done
    // Done searches only (List All hands nothing over).
    std::optional<SearchSummary> summary;
};

// A search that lost a collection file: the rows so far, with the search error.
[[nodiscard]] SearchOutcome failedSearchOutcome(ResultTable&& table);
// The found rows as a list shows them: "No file found." alone when there are none, else sorted
// by the settings' sort column.
void arrangeFoundRows(ResultTable& table, const SearchSettings& settings);

// Search with the list's current columns: checks, walk, placeholder row, sort, status line and the
// summary for the history.
[[nodiscard]] SearchOutcome runSongSearch(const Catalogue& catalogue,
                                          const SearchSettings& settings,
                                          const std::vector<ResultColumn>& columns,
                                          std::string_view title, std::string_view artist);

// The records a search matched, with what it searched for: every record a longer term matches
// is among them, in walk order, so the next search as the user types need not read the catalogue
// again.
struct SearchMatches {
    // Records read from disk are copied; past this many the matches are not kept.
    static constexpr std::size_t kMaxDiskRecords = 50000;

    std::string title;  // folded terms
    std::string artist;
    Sensitivity sensitivity = Sensitivity::High;
    AccentRule accents = AccentRule::Fold;
    int maxResults = 0;
    bool whole = true;
    std::vector<std::uint32_t> memoryPositions;  // visit positions in the index
    std::vector<SongRecord> diskRecords;
};

// What a search as the user types gives: the outcome Search would give (rows, order, status line
// and limit notice; the page decides what to show), and the matches to narrow the next one.
struct InstantSearch {
    SearchOutcome outcome;
    std::shared_ptr<const SearchMatches> matches;  // null when the walk was cut short
    bool stopped = false;                          // a newer search asked this one to stop
    // The rows filled the limit before the walk ended: the status line says the count comes,
    // and countSongMatches gives it.
    bool countPending = false;
};

// Whether a search as the user types counts every match before it hands its rows over, or
// hands them over once the row limit is met and leaves the count to countSongMatches, so that
// a keystroke shows its rows as soon as they are there.
enum class InstantCount { Now, Later };

// runSongSearch, narrowed to `previous` when each of its terms lies within the new term (same
// sensitivity and limit; the catalogue unchanged since, which the caller sees to): every record
// the new terms match matched the old ones, so the rows and their order are the same.
[[nodiscard]] InstantSearch runInstantSearch(const Catalogue& catalogue,
                                             const SearchSettings& settings,
                                             const std::vector<ResultColumn>& columns,
                                             std::string_view title, std::string_view artist,
                                             const std::shared_ptr<const SearchMatches>& previous,
                                             const std::stop_token& stop = {},
                                             InstantCount count = InstantCount::Now);

// How many records the terms match in the whole catalogue, no rows built, and the matches, kept
// (when not too many) so that the next keystroke narrows them rather than reading the catalogue
// again; nothing when stopped or when a collection file cannot be read.
struct SongMatchCount {
    std::size_t found = 0;
    std::shared_ptr<const SearchMatches> matches;  // null when there were too many to keep
};
[[nodiscard]] std::optional<SongMatchCount> countSongMatches(const Catalogue& catalogue,
                                                             const SearchSettings& settings,
                                                             std::string_view title,
                                                             std::string_view artist,
                                                             const std::stop_token& stop = {});

// List All: every record up to the row limit, unsorted.
[[nodiscard]] SearchOutcome runListAll(const Catalogue& catalogue, const SearchSettings& settings,
                                       const std::vector<ResultColumn>& columns);

}  // namespace tunex
