#include "core/search/files_search.h"

#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/search/search_messages.h"
#include "core/store/catalogue.h"
#include "core/store/store_paths.h"

#include <algorithm>
#include <span>

namespace tunex {

namespace {

// A row while the table has room; every match counted.
void addMatch(ResultTable& table, const SongRecordView& record, std::size_t maxRows,
              std::span<const std::string> names) {
    if (table.rows.size() < maxRows) {
        table.appendRecord(record, names);
    }
    ++table.matched;
}

// Appends the matching records of one collection file, read as the catalogue reads its disk
// collections: stretches the criteria rule out are never split into lines.
bool scanCollectionFile(const StorePaths& paths, int collection, const FilesCriteria& criteria,
                        std::size_t maxRows, std::span<const std::string> names,
                        ResultTable& table) {
    LineReader reader;
    if (!reader.open(paths.collectionFileName(collection))) {
        return false;
    }
    std::string scratch;
    FoldedTermFinder finder = criteria.keywordFinder();
    TextLine line;
    std::string_view block;
    while (reader.nextBlock(block)) {
        if (block.find(kEndMarker) == std::string_view::npos && !criteria.mayMatch(block, finder)) {
            continue;
        }
        while (nextLineOf(block, line)) {
            if (startsWith(line.text, kEndMarker)) {
                return true;
            }
            if (startsWith(line.text, kRecordPrefix) && criteria.mayMatch(line.text, finder)) {
                SongRecordView record = parseSongRecordLine(line.text, line.hasLineEnd);
                record.collectionIndex = collection;
                if (criteria.matches(record, scratch)) {
                    addMatch(table, record, maxRows, names);
                }
            }
        }
    }
    return true;
}

}  // namespace

bool searchFiles(const Catalogue& catalogue, const StorePaths& paths, const FilesCriteria& criteria,
                 std::size_t maxRows, ResultTable& table, const std::stop_token& stop) {
    const std::vector<std::string>& names = catalogue.collectionNames();
    const int firstDisk = catalogue.firstDiskCollection();
    const std::optional<int> only = criteria.collection;
    if (only && (*only < 0 || *only >= catalogue.collectionCount())) {
        return true;
    }
    std::string scratch;

    if (!only || *only < firstDisk) {
        const SongIndex& index = catalogue.index();
        const std::vector<std::uint32_t>& order = index.visitOrder();
        constexpr std::size_t kStopCheckEvery = 4096;
        for (std::size_t position = 0; position < order.size(); ++position) {
            if (position % kStopCheckEvery == 0 && stop.stop_requested()) {
                return true;
            }
            // The keyword is looked for in the fields lower-cased at load; the record itself is
            // fetched only for the rest of the rule.
            if (criteria.keywordIn(index.searchFields(position, criteria.accents))) {
                const SongRecordView record = index.record(order[position]);
                if (criteria.matchesBesidesKeyword(record, scratch)) {
                    addMatch(table, record, maxRows, names);
                }
            }
        }
        if (only) {
            return true;
        }
    } else {
        return scanCollectionFile(paths, *only, criteria, maxRows, names, table);
    }
    if (firstDisk >= catalogue.collectionCount()) {
        return true;
    }
    FoldedTermFinder finder = criteria.keywordFinder();
    return catalogue.scanDiskCollections(
        [&](const SongRecordView& record) {
            if (criteria.matches(record, scratch)) {
                addMatch(table, record, maxRows, names);
            }
        },
        [&] { return stop.stop_requested(); },
        [&](std::string_view text) { return criteria.mayMatch(text, finder); });
}

SearchOutcome runFilesSearch(const Catalogue& catalogue, const StorePaths& paths,
                             const SearchSettings& settings,
                             const std::vector<ResultColumn>& columns, const FilesQuery& query,
                             const std::stop_token& stop) {
    SearchOutcome outcome;
    FilesQueryCheck check = checkFilesQuery(query, settings.accents);
    if (!check.refusal && query.collection &&
        (*query.collection < 0 || *query.collection >= catalogue.collectionCount())) {
        check.refusal = noCdChosenMessage();
    }
    if (check.refusal) {
        outcome.kind = SearchOutcome::Kind::Refused;
        outcome.message = std::move(check.refusal);
        return outcome;
    }
    ResultTable table{columns, {}};
    if (!searchFiles(catalogue, paths, check.criteria, rowLimitOf(settings.maxResults), table,
                     stop)) {
        return failedSearchOutcome(std::move(table));
    }
    const std::size_t rows = table.rows.size();
    arrangeFoundRows(table, settings);
    std::optional<std::string_view> cdName;
    if (query.collection) {
        cdName = catalogue.collectionNames()[static_cast<std::size_t>(*query.collection)];
    }
    outcome.statusLine = filesStatusLine(rows, std::max(table.matched, rows), cdName);
    if (reachesRowLimit(static_cast<int>(rows), settings.maxResults)) {
        outcome.message = resultLimitMessage(settings.maxResults);
    }
    outcome.table = std::move(table);
    return outcome;
}

std::string filesStatusLine(std::size_t rows, std::size_t found,
                            std::optional<std::string_view> cdName) {
    std::string line = songsFoundText(rows, found);
    if (cdName) {
        line.append(" on CD <").append(*cdName).append(">");
    }
    line.push_back('.');
    return line;
}

std::optional<int> collectionIndexOf(const Catalogue& catalogue, std::string_view name) {
    const std::vector<std::string>& names = catalogue.collectionNames();
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - names.begin());
}

UserMessage unknownCdMessage(std::string_view name) {
    return {"There is no CD named <" + std::string(name) + "> in the database.",
            captionFor("Input Error"), MessageIcon::Warning};
}

UserMessage noCdChosenMessage() {
    return {"Please select a CD from the list of available CDs.", captionFor("Input Error"),
            MessageIcon::Warning};
}

}  // namespace tunex
