#include "core/search/catalogue_search.h"

#include "core/search/search_messages.h"
#include "core/search/song_match.h"
#include "core/store/catalogue.h"

#include <algorithm>
#include <array>
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
            settings.sortColumn, settings.showColumns};
}

namespace {

// Every rule asks for each term in some field of the record, so a term the index's text holds
// nowhere rules out every record in memory, and the pass, with the visit order it needs, is left
// out. Only ASCII text is ruled out this way, as in the disk pass.
bool indexMayHold(const SongIndex& index, std::string_view lowerTerm) {
    if (lowerTerm.empty()) {
        return true;
    }
    return std::ranges::any_of(index.textBlocks(), [lowerTerm](std::string_view block) {
        return containsFolded(block, lowerTerm) || !isAsciiText(block);
    });
}

}  // namespace

bool searchCatalogue(const Catalogue& catalogue, ResultTable& table, const SearchSettings& settings,
                     std::string_view title, std::string_view artist, CatalogueWalk walk,
                     const std::stop_token& stop, SearchMatches* found) {
    const bool listAll = walk == CatalogueWalk::Everything;
    const Sensitivity sensitivity = settings.sensitivity;
    const std::size_t limit = rowLimitOf(settings.maxResults);
    const std::vector<std::string>& names = catalogue.collectionNames();
    const SearchTerms terms(title, artist);

    // Memory pass: the fields were lower-cased when the visit order was worked out.
    const SongIndex& index = catalogue.index();
    const bool mayMatchInMemory =
        listAll || (indexMayHold(index, terms.title()) && indexMayHold(index, terms.artist()));
    const std::vector<std::uint32_t> none;
    const std::vector<std::uint32_t>& order = mayMatchInMemory ? index.visitOrder() : none;
    constexpr std::size_t kStopCheckEvery = 4096;
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (table.rows.size() >= limit ||
            (position % kStopCheckEvery == 0 && stop.stop_requested())) {
            return true;
        }
        if (listAll || terms.matches(index.searchFields(position), sensitivity)) {
            table.appendRecord(index.record(order[position]), names);
            if (found != nullptr) {
                found->memoryPositions.push_back(static_cast<std::uint32_t>(position));
            }
        }
    }
    if (table.rows.size() >= limit ||
        catalogue.firstDiskCollection() >= catalogue.collectionCount()) {
        return true;
    }

    // Disk pass: records are matched as read, with buffers reused from line to line.
    std::array<std::string, 3> scratch;
    return catalogue.scanDiskCollections(
        [&](const SongRecordView& record) {
            if (listAll || terms.matchesUnlowered(record, sensitivity, scratch)) {
                table.appendRecord(record, names);
                if (found != nullptr) {
                    found->diskRecords.push_back(toSongRecord(record));
                }
            }
        },
        [&] { return table.rows.size() >= limit || stop.stop_requested(); },
        [&](std::string_view line) {
            // Every term that must match lies somewhere in a matching line. Only ASCII lines are
            // ruled out this way: lower-casing other text can change more than letter case.
            return listAll ||
                   (containsFolded(line, terms.title()) && containsFolded(line, terms.artist())) ||
                   !isAsciiText(line);
        });
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
    const int found = static_cast<int>(table.rows.size());
    arrangeFoundRows(table, settings);

    SearchSummary summary{std::string(title), std::string(artist), found, {}};
    if (found > 0) {
        const int discColumn = table.findColumnByCaption(columnCaption(ResultColumn::DiscName));
        summary.firstCdFound = discColumn >= 0
                                   ? table.rows.front()[static_cast<std::size_t>(discColumn)]
                                   : std::string(kNoDiscNameColumn);
    }
    outcome.statusLine = searchStatusLine(found, title, artist);
    outcome.summary = std::move(summary);
    if (reachesRowLimit(found, settings.maxResults)) {
        outcome.message = resultLimitMessage(settings.maxResults);
    }
    outcome.table = std::move(table);
    return outcome;
}

// Each old term lies within the new one, so whatever the new terms match the old ones matched:
// every rule is made of "the term occurs in a field", and a field holding the new term holds the
// old one. High's rules for a lone title or artist are implied by its rules for both.
bool narrows(const SearchMatches& previous, const SearchMatches& next) {
    return previous.sensitivity == next.sensitivity && previous.maxResults == next.maxResults &&
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
                  const SearchTerms& terms, Sensitivity sensitivity, ResultTable& table,
                  SearchMatches& found) {
    const SongIndex& index = catalogue.index();
    const std::vector<std::uint32_t>& order = index.visitOrder();
    const std::vector<std::string>& names = catalogue.collectionNames();
    for (const std::uint32_t position : previous.memoryPositions) {
        if (terms.matches(index.searchFields(position), sensitivity)) {
            table.appendRecord(index.record(order[position]), names);
            found.memoryPositions.push_back(position);
        }
    }
    std::array<std::string, 3> scratch;
    for (const SongRecord& record : previous.diskRecords) {
        const SongRecordView view = viewOf(record);
        if (terms.matchesUnlowered(view, sensitivity, scratch)) {
            table.appendRecord(view, names);
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
                               const std::stop_token& stop) {
    InstantSearch result;
    if (auto refused = refusedSearch(title, artist)) {
        result.outcome = std::move(*refused);
        return result;
    }
    const SearchTerms terms(title, artist);
    auto found = std::make_shared<SearchMatches>();
    found->title = terms.title();
    found->artist = terms.artist();
    found->sensitivity = settings.sensitivity;
    found->maxResults = settings.maxResults;
    // Without a limit every record could be kept: such a search never narrows.
    const bool keep = settings.maxResults > 0;
    ResultTable table{columns, {}};
    if (previous && keep && narrows(*previous, *found)) {
        searchWithin(catalogue, *previous, terms, settings.sensitivity, table, *found);
    } else if (!searchCatalogue(catalogue, table, settings, title, artist, CatalogueWalk::Matching,
                                stop, keep ? found.get() : nullptr)) {
        result.outcome = failedSearchOutcome(std::move(table));
        return result;
    }
    if (stop.stop_requested()) {
        result.stopped = true;
        return result;
    }
    if (keep && table.rows.size() < rowLimitOf(settings.maxResults)) {
        result.matches = std::move(found);
    }
    result.outcome = finishedSearch(std::move(table), settings, title, artist);
    return result;
}

SearchOutcome runListAll(const Catalogue& catalogue, const SearchSettings& settings,
                         const std::vector<ResultColumn>& columns) {
    ResultTable table{columns, {}};
    if (!searchCatalogue(catalogue, table, settings, {}, {}, CatalogueWalk::Everything)) {
        return failedSearchOutcome(std::move(table));
    }
    SearchOutcome outcome;
    const int found = static_cast<int>(table.rows.size());
    if (found == 0) {
        table.rows.push_back(placeholderRow(columns.size(), kDatabaseEmpty));
    }
    outcome.statusLine = listAllStatusLine(found);
    if (reachesRowLimit(found, settings.maxResults)) {
        outcome.message = resultLimitMessage(settings.maxResults);
    }
    outcome.table = std::move(table);
    return outcome;
}

}  // namespace tunex
