#include "core/search/catalogue_walk.h"

#include "core/common/folded_contains.h"
#include "core/store/catalogue.h"

#include <algorithm>
#include <array>
#include <thread>
#include <utility>

namespace tunex {

void MatchSink::addMemory(const SongRecordView& record, std::size_t position) {
    add(record);
    if (found_ != nullptr) {
        found_->memoryPositions.push_back(static_cast<std::uint32_t>(position));
    }
}

void MatchSink::addDisk(const SongRecordView& record) {
    add(record);
    if (found_ != nullptr) {
        if (found_->diskRecords.size() < SearchMatches::kMaxDiskRecords) {
            found_->diskRecords.push_back(toSongRecord(record));
        } else {
            found_->whole = false;
            found_->memoryPositions = {};
            found_->diskRecords = {};
            found_ = nullptr;
        }
    }
}

void MatchSink::add(const SongRecordView& record) {
    if (table_.rows.size() < limit_) {
        table_.appendRecord(record, names_);
    }
    ++table_.matched;
}

namespace {

// What one walk asks, shared by its passes.
struct WalkQuery {
    SearchTerms terms;
    const SearchSettings& settings;
    bool listAll = false;
    const std::stop_token& stop;
};

// Every rule asks for each term in some field of the record, and each character folds on its
// own, so a term the folded text holds nowhere rules out every record that text holds.
FoldedTermFinder finderFor(const WalkQuery& query) {
    return FoldedTermFinder({query.terms.title(), query.terms.artist()}, query.settings.accents);
}

// The index in its visit order; false when `stopAtLimit` ended it at the limit or it was stopped.
bool memoryPass(const Catalogue& catalogue, const WalkQuery& query, MatchSink& sink,
                bool stopAtLimit) {
    const SongIndex& index = catalogue.index();
    FoldedTermFinder finder = finderFor(query);
    // A search the index's text rules out needs no memory pass, nor the visit order it reads.
    const bool mayMatch =
        query.listAll || std::ranges::any_of(index.textBlocks(), [&](std::string_view block) {
            return finder.holdsAll(block);
        });
    const std::vector<std::uint32_t> none;
    const std::vector<std::uint32_t>& order = mayMatch ? index.visitOrder() : none;
    constexpr std::size_t kStopCheckEvery = 4096;
    for (std::size_t position = 0; position < order.size(); ++position) {
        if ((position % kStopCheckEvery == 0 && query.stop.stop_requested()) ||
            (stopAtLimit && sink.full())) {
            return false;
        }
        if (query.listAll ||
            query.terms.matches(index.searchFields(position, query.settings.accents),
                                query.settings.sensitivity)) {
            sink.addMemory(index.record(order[position]), position);
        }
    }
    return !(stopAtLimit && sink.full());
}

// The on-disk collections [run.first, run.second): records are matched as read, with buffers
// reused from line to line.
bool diskPass(const Catalogue& catalogue, const WalkQuery& query, std::pair<int, int> run,
              MatchSink& sink, bool stopAtLimit) {
    FoldedTermFinder finder = finderFor(query);
    std::array<std::string, 3> scratch;
    return catalogue.scanDiskCollections(
        run.first, run.second,
        [&](const SongRecordView& record) {
            if (query.listAll ||
                query.terms.matchesUnlowered(record, query.settings.sensitivity, scratch)) {
                sink.addDisk(record);
            }
        },
        [&] { return query.stop.stop_requested() || (stopAtLimit && sink.full()); },
        [&](std::string_view text) { return query.listAll || finder.holdsAll(text); });
}

// What one thread's run of collections found.
struct DiskPart {
    ResultTable table;
    bool read = true;
};

// The runs read side by side, each into a table of its own, then put together in index order as
// one walk would have found them.
bool diskPassesSideBySide(const Catalogue& catalogue, const WalkQuery& query,
                          const std::vector<std::pair<int, int>>& runs, ResultTable& table,
                          std::size_t rowLimit) {
    std::vector<DiskPart> parts(runs.size());
    const std::size_t rowsLeft = rowLimit - std::min(rowLimit, table.rows.size());
    const auto read = [&](std::size_t i) {
        DiskPart& part = parts[i];
        part.table.columns = table.columns;
        MatchSink sink(part.table, catalogue.collectionNames(), rowsLeft, nullptr);
        part.read = diskPass(catalogue, query, runs[i], sink, false);
    };
    {
        std::vector<std::jthread> others;
        for (std::size_t i = 1; i < runs.size(); ++i) {
            others.emplace_back(read, i);
        }
        read(0);
    }
    for (DiskPart& part : parts) {
        for (ResultRow& row : part.table.rows) {
            if (table.rows.size() < rowLimit) {
                table.rows.push_back(std::move(row));
            }
        }
        table.matched += part.table.matched;
        if (!part.read) {
            return false;
        }
    }
    return true;
}

int searchThreads() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1U, 4U));
}

}  // namespace

bool walkCatalogue(const Catalogue& catalogue, ResultTable& table, const SearchSettings& settings,
                   std::string_view title, std::string_view artist, CatalogueWalk walk,
                   const std::stop_token& stop, SearchMatches* found, std::size_t rowLimit,
                   bool stopAtLimit) {
    const WalkQuery query{SearchTerms(title, artist, settings.accents), settings,
                          walk == CatalogueWalk::Everything, stop};
    MatchSink sink(table, catalogue.collectionNames(), rowLimit, found);
    if (!memoryPass(catalogue, query, sink, stopAtLimit) ||
        catalogue.firstDiskCollection() >= catalogue.collectionCount()) {
        return true;
    }
    // A walk that stops at the limit wants the first rows soonest, which one reader gives. Nor
    // are kept matches read on threads of their own: their records would be held by those
    // threads' heaps, which keep what they once held after the records are let go.
    const bool oneReader = stopAtLimit || found != nullptr;
    const std::vector<std::pair<int, int>> runs =
        catalogue.diskParts(oneReader ? 1 : searchThreads());
    if (runs.size() == 1) {
        return diskPass(catalogue, query, runs.front(), sink, stopAtLimit);
    }
    return diskPassesSideBySide(catalogue, query, runs, table, rowLimit);
}

}  // namespace tunex
