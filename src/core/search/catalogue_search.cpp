#include "core/search/catalogue_search.h"

#include "core/search/catalogue_walk.h"
#include "core/search/search_messages.h"
#include "core/search/song_match.h"
#include "core/store/catalogue.h"

#include <algorithm>
#include <array>
#include <climits>
#include <limits>

namespace tunex {

SearchOutcome failedSearchOutcome(ResultTable&& table) {
    SearchOutcome outcome;
    outcome.kind = SearchOutcome::Kind::Failed;
    outcome.message = searchFailedMessage();
    outcome.table = std::move(table);
    return outcome;
}

void arrangeFoundRows(ResultTable& table, const SearchSettings& settings) {
    if (table.rows.empty()) {
        table.rows.push_back(placeholderRow(table.columns.size(), kNoFileFound));
    } else if (table.rows.size() > 1) {
        const int sortColumn = sortColumnIndex(table.columns, settings.sortColumn);
        if (sortColumn >= 0) {
            sortResultRows(table.rows, sortColumn, true);
        }
    }
}

std::size_t rowLimitOf(int maxResults) {
    return maxResults > 0 ? static_cast<std::size_t>(maxResults)
                          : std::numeric_limits<std::size_t>::max();
}

bool reachesRowLimit(int found, int maxResults) {
    return maxResults > 0 && found == maxResults;
}

SearchSettings searchSettingsFrom(const Settings& settings) {
    // Read settings are clamped to the three levels.
    return {settings.maxResults, static_cast<Sensitivity>(settings.searchSensitivity),
            settings.sortColumn, settings.showColumns, accentRuleOf(settings)};
}

namespace {

// An empty list of matches for these terms and settings.
SearchMatches matchesFor(const SearchSettings& settings, std::string_view title,
                         std::string_view artist) {
    const SearchTerms terms(title, artist, settings.accents);
    SearchMatches matches;
    matches.title = terms.title();
    matches.artist = terms.artist();
    matches.sensitivity = settings.sensitivity;
    matches.accents = settings.accents;
    matches.maxResults = settings.maxResults;
    return matches;
}

}  // namespace

bool searchCatalogue(const Catalogue& catalogue, ResultTable& table, const SearchSettings& settings,
                     std::string_view title, std::string_view artist, CatalogueWalk walk,
                     const std::stop_token& stop, SearchMatches* found) {
    return walkCatalogue(catalogue, table, settings, title, artist, walk, stop, found,
                         rowLimitOf(settings.maxResults), false);
}

std::optional<SongMatchCount> countSongMatches(const Catalogue& catalogue,
                                               const SearchSettings& settings,
                                               std::string_view title, std::string_view artist,
                                               const std::stop_token& stop) {
    ResultTable counted;
    auto found = std::make_shared<SearchMatches>(matchesFor(settings, title, artist));
    const bool keep = settings.maxResults > 0;
    if (!walkCatalogue(catalogue, counted, settings, title, artist, CatalogueWalk::Matching, stop,
                       keep ? found.get() : nullptr, 0, false) ||
        stop.stop_requested()) {
        return std::nullopt;
    }
    SongMatchCount count{counted.matched, nullptr};
    if (keep && found->whole) {
        count.matches = std::move(found);
    }
    return count;
}

namespace {

std::optional<SearchOutcome> refusedSearch(std::string_view title, std::string_view artist) {
    std::optional<UserMessage> refusal = checkSearchTerms(title, artist);
    if (!refusal) {
        return std::nullopt;
    }
    SearchOutcome outcome;
    outcome.kind = SearchOutcome::Kind::Refused;
    outcome.message = std::move(refusal);
    return outcome;
}

// The found rows arranged, with the status line, the history's summary and the limit notice.
SearchOutcome finishedSearch(ResultTable&& table, const SearchSettings& settings,
                             std::string_view title, std::string_view artist) {
    SearchOutcome outcome;
    const std::size_t rows = table.rows.size();
    const std::size_t found = std::max(table.matched, rows);
    arrangeFoundRows(table, settings);

    SearchSummary summary{std::string(title),
                          std::string(artist),
                          static_cast<int>(std::min<std::size_t>(found, INT_MAX)),
                          {}};
    if (found > 0) {
        const int discColumn = table.findColumnByCaption(columnCaption(ResultColumn::DiscName));
        summary.firstCdFound = discColumn >= 0
                                   ? table.rows.front()[static_cast<std::size_t>(discColumn)]
                                   : std::string(kNoDiscNameColumn);
    }
    outcome.statusLine = searchStatusLine(rows, found, title, artist);
    outcome.summary = std::move(summary);
    if (reachesRowLimit(static_cast<int>(rows), settings.maxResults)) {
        outcome.message = resultLimitMessage(settings.maxResults);
    }
    outcome.table = std::move(table);
    return outcome;
}

// Each old term lies within the new one, so whatever the new terms match the old ones matched:
// every rule is made of "the term occurs in a field", and a field holding the new term holds the
// old one. High's rules for a lone title or artist are implied by its rules for both.
bool narrows(const SearchMatches& previous, const SearchMatches& next) {
    return previous.whole && previous.sensitivity == next.sensitivity &&
           previous.accents == next.accents && previous.maxResults == next.maxResults &&
           next.title.find(previous.title) != std::string::npos &&
           next.artist.find(previous.artist) != std::string::npos;
}

// The record as the disk pass read it: its name without the index key's leading blank.
SongRecordView viewOf(const SongRecord& record) {
    return {record.collectionIndex, record.displayName(), record.folder,  record.type,
            record.id3Info,         record.sizeText,      record.dateText};
}

// The previous matches the new terms still match, in the order they were found.
void searchWithin(const Catalogue& catalogue, const SearchMatches& previous,
                  const SearchTerms& terms, const SearchSettings& settings, ResultTable& table,
                  SearchMatches& found) {
    const SongIndex& index = catalogue.index();
    const std::vector<std::uint32_t>& order = index.visitOrder();
    // The matches are kept here as they were found, not copied again by the sink.
    MatchSink sink(table, catalogue.collectionNames(), rowLimitOf(settings.maxResults), nullptr);
    for (const std::uint32_t position : previous.memoryPositions) {
        if (terms.matches(index.searchFields(position, settings.accents), settings.sensitivity)) {
            sink.addMemory(index.record(order[position]), position);
            found.memoryPositions.push_back(position);
        }
    }
    std::array<std::string, 3> scratch;
    for (const SongRecord& record : previous.diskRecords) {
        const SongRecordView view = viewOf(record);
        if (terms.matchesUnlowered(view, settings.sensitivity, scratch)) {
            sink.addDisk(view);
            found.diskRecords.push_back(record);
        }
    }
}

}  // namespace

SearchOutcome runSongSearch(const Catalogue& catalogue, const SearchSettings& settings,
                            const std::vector<ResultColumn>& columns, std::string_view title,
                            std::string_view artist) {
    if (auto refused = refusedSearch(title, artist)) {
        return std::move(*refused);
    }
    ResultTable table{columns, {}};
    if (!searchCatalogue(catalogue, table, settings, title, artist)) {
        return failedSearchOutcome(std::move(table));
    }
    return finishedSearch(std::move(table), settings, title, artist);
}

InstantSearch runInstantSearch(const Catalogue& catalogue, const SearchSettings& settings,
                               const std::vector<ResultColumn>& columns, std::string_view title,
                               std::string_view artist,
                               const std::shared_ptr<const SearchMatches>& previous,
                               const std::stop_token& stop, InstantCount count) {
    InstantSearch result;
    if (auto refused = refusedSearch(title, artist)) {
        result.outcome = std::move(*refused);
        return result;
    }
    const SearchTerms terms(title, artist, settings.accents);
    auto found = std::make_shared<SearchMatches>(matchesFor(settings, title, artist));
    // Without a limit every record could be kept: such a search never narrows.
    const bool keep = settings.maxResults > 0;
    ResultTable table{columns, {}};
    if (previous && keep && narrows(*previous, *found)) {
        searchWithin(catalogue, *previous, terms, settings, table, *found);
    } else {
        const bool rowsFirst = count == InstantCount::Later && keep;
        if (!walkCatalogue(catalogue, table, settings, title, artist, CatalogueWalk::Matching, stop,
                           keep ? found.get() : nullptr, rowLimitOf(settings.maxResults),
                           rowsFirst)) {
            result.outcome = failedSearchOutcome(std::move(table));
            return result;
        }
        // A walk that ended at the limit may have left matches uncounted and unkept.
        result.countPending = rowsFirst && table.rows.size() >= rowLimitOf(settings.maxResults);
        found->whole = found->whole && !result.countPending;
    }
    if (stop.stop_requested()) {
        result.stopped = true;
        return result;
    }
    if (keep && found->whole) {
        result.matches = std::move(found);
    }
    const std::size_t rows = table.rows.size();
    result.outcome = finishedSearch(std::move(table), settings, title, artist);
    if (result.countPending) {
        result.outcome.statusLine = countingStatusLine(rows, title, artist);
    }
    return result;
}

SearchOutcome runListAll(const Catalogue& catalogue, const SearchSettings& settings,
                         const std::vector<ResultColumn>& columns) {
    ResultTable table{columns, {}};
    if (!searchCatalogue(catalogue, table, settings, {}, {}, CatalogueWalk::Everything)) {
        return failedSearchOutcome(std::move(table));
    }
    SearchOutcome outcome;
    const std::size_t rows = table.rows.size();
    if (rows == 0) {
        table.rows.push_back(placeholderRow(columns.size(), kDatabaseEmpty));
    }
    outcome.statusLine = listAllStatusLine(rows, std::max(table.matched, rows));
    if (reachesRowLimit(static_cast<int>(rows), settings.maxResults)) {
        outcome.message = resultLimitMessage(settings.maxResults);
    }
    outcome.table = std::move(table);
    return outcome;
}

}  // namespace tunex
