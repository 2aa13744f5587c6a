#include "core/search/catalogue_search.h"

#include "core/search/search_messages.h"
#include "core/search/song_match.h"
#include "core/store/catalogue.h"

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

bool searchCatalogue(const Catalogue& catalogue, ResultTable& table, const SearchSettings& settings,
                     std::string_view title, std::string_view artist, CatalogueWalk walk) {
    const bool listAll = walk == CatalogueWalk::Everything;
    const Sensitivity sensitivity = settings.sensitivity;
    const std::size_t limit = rowLimitOf(settings.maxResults);
    const std::vector<std::string>& names = catalogue.collectionNames();
    const SearchTerms terms(title, artist);

    // Memory pass: the fields were lower-cased when the catalogue loaded.
    const SongIndex& index = catalogue.index();
    const std::vector<std::uint32_t>& order = index.visitOrder();
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (table.rows.size() >= limit) {
            return true;
        }
        if (listAll || terms.matches(index.searchFields(position), sensitivity)) {
            table.appendRecord(index.record(order[position]), names);
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
            }
        },
        [&] { return table.rows.size() >= limit; },
        [&](std::string_view line) {
            // Every term that must match lies somewhere in a matching line. Only ASCII lines are
            // ruled out this way: lower-casing other text can change more than letter case.
            return listAll ||
                   (containsFolded(line, terms.title()) && containsFolded(line, terms.artist())) ||
                   !isAsciiText(line);
        });
}

SearchOutcome runSongSearch(const Catalogue& catalogue, const SearchSettings& settings,
                            const std::vector<ResultColumn>& columns, std::string_view title,
                            std::string_view artist) {
    SearchOutcome outcome;
    if (std::optional<UserMessage> refusal = checkSearchTerms(title, artist)) {
        outcome.kind = SearchOutcome::Kind::Refused;
        outcome.message = std::move(refusal);
        return outcome;
    }
    ResultTable table{columns, {}};
    if (!searchCatalogue(catalogue, table, settings, title, artist)) {
        return failedSearchOutcome(std::move(table));
    }
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
