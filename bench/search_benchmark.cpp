#include "search_benchmark.h"

#include "catalogue_generator.h"
#include "core/search/catalogue_search.h"
#include "core/search/files_criteria.h"
#include "core/search/files_search.h"
#include "core/store/catalogue.h"
#include "core/store/store_paths.h"

#include <cstdio>
#include <stdexcept>
#include <system_error>

namespace tunex::bench {

namespace {

constexpr std::uint64_t kSeed = 19990301;
constexpr int kMaxResults = 3000;
// A full scan must not take longer than grep over the same files; the Files search, which also
// looks in folders and splits every candidate record into its fields, within 1.5 times as long.
constexpr double kFullScanRatioLimit = 1.0;
constexpr double kFilesScanRatioLimit = 1.5;

// The Songs page's search and List All, or the Files page's keyword search (title as keyword).
enum class Page { Songs, Files };

struct Query {
    std::string_view label;
    std::string_view title;
    std::string_view artist;
    Sensitivity sensitivity;
    CatalogueWalk walk;
    std::string_view grepTerm;  // empty: no grep beside it
    Page page = Page::Songs;
    bool past = false;  // matches more records than the row limit shows: the count must say so
};

// Terms in lower case, so grep -i looks for exactly what the search looks for.
constexpr std::string_view kNoMatch = "zqxj";
// The part held in memory is searched in its folded copy, so it must take well under grep.
constexpr double kMemoryRatioLimit = 0.5;

constexpr Query kQueries[] = {
    {"search, no match (full scan), High", kNoMatch, "", Sensitivity::High, CatalogueWalk::Matching,
     "zqxj"},
    {"search, no match (full scan), Low", "zqxj", "", Sensitivity::Low, CatalogueWalk::Matching,
     "zqxj"},
    {"search, no match, title and artist, High", "zqxj", "blue", Sensitivity::High,
     CatalogueWalk::Matching, "zqxj"},
    {"search, frequent match \"love\", High", "love", "", Sensitivity::High,
     CatalogueWalk::Matching, "love", Page::Songs, true},
    {"search, rare match \"quiet horses 2\", Medium", "", "quiet horses 2", Sensitivity::Medium,
     CatalogueWalk::Matching, "quiet horses 2"},
    {"List All", "", "", Sensitivity::High, CatalogueWalk::Everything, "", Page::Songs, true},
    {"files search, keyword, no match (full scan)", "zqxj", "", Sensitivity::High,
     CatalogueWalk::Matching, "zqxj", Page::Files},
};

double ratioLimitOf(const Query& query) {
    return query.page == Page::Files ? kFilesScanRatioLimit : kFullScanRatioLimit;
}

// One query over the loaded catalogue; false when a collection file could not be read.
bool runQuery(const Catalogue& catalogue, const StorePaths& paths, const Query& query,
              ResultTable& table) {
    const SearchSettings settings{.maxResults = kMaxResults, .sensitivity = query.sensitivity};
    if (query.page == Page::Songs) {
        return searchCatalogue(catalogue, table, settings, query.title, query.artist, query.walk);
    }
    FilesQuery files;
    files.keyword = query.title;
    const FilesQueryCheck check = checkFilesQuery(files);
    if (check.refusal) {
        throw std::runtime_error("the Files query was refused: " + check.refusal->text);
    }
    return searchFiles(catalogue, paths, check.criteria, rowLimitOf(kMaxResults), table);
}

struct QueryResult {
    double seconds = 0;
    std::int64_t rows = 0;
    std::int64_t matched = 0;
};

// Loads the catalogue once in a child and times every query there, best of `repeats`.
std::optional<std::vector<QueryResult>> measureQueries(const StorePaths& paths, int collections,
                                                       int repeats, int& firstDisk) {
    const auto values = runInChild([&]() -> std::vector<double> {
        Catalogue catalogue;
        if (!catalogue.load(paths, collections)) {
            throw std::runtime_error("the catalogue could not be loaded");
        }
        const std::vector<ResultColumn> columns = shownColumns({1, 1, 1, 1, 1, 1});
        std::vector<double> out{static_cast<double>(catalogue.firstDiskCollection())};
        for (const Query& query : kQueries) {
            double best = -1;
            std::size_t rows = 0;
            std::size_t matched = 0;
            for (int i = 0; i < std::max(repeats, 1); ++i) {
                ResultTable table{columns, {}};
                const Clock::time_point start = Clock::now();
                if (!runQuery(catalogue, paths, query, table)) {
                    throw std::runtime_error("a collection file could not be read");
                }
                const double seconds = secondsSince(start);
                best = best < 0 ? seconds : std::min(best, seconds);
                rows = table.rows.size();
                matched = table.matched;
            }
            out.push_back(best);
            out.push_back(static_cast<double>(rows));
            out.push_back(static_cast<double>(matched));
        }
        return out;
    });
    constexpr std::size_t kCount = std::size(kQueries);
    if (!values || values->size() != 1 + 3 * kCount) {
        return std::nullopt;
    }
    firstDisk = static_cast<int>((*values)[0]);
    std::vector<QueryResult> results;
    for (std::size_t i = 0; i < kCount; ++i) {
        results.push_back({(*values)[1 + 3 * i], static_cast<std::int64_t>((*values)[2 + 3 * i]),
                           static_cast<std::int64_t>((*values)[3 + 3 * i])});
    }
    return results;
}

// The in-memory part alone: a catalogue of the collections that are held in memory, searched for
// a term that matches nothing, best of `repeats`.
std::optional<double> measureMemoryPass(const StorePaths& paths, int collections, int repeats) {
    const auto values = runInChild([&]() -> std::vector<double> {
        Catalogue catalogue;
        if (!catalogue.load(paths, collections)) {
            throw std::runtime_error("the catalogue could not be loaded");
        }
        (void)catalogue.index().visitOrder();
        double best = -1;
        for (int i = 0; i < std::max(repeats, 1); ++i) {
            ResultTable table{shownColumns({1, 1, 1, 1, 1, 1}), {}};
            const Clock::time_point start = Clock::now();
            if (!searchCatalogue(catalogue, table, {.maxResults = kMaxResults}, kNoMatch, "")) {
                throw std::runtime_error("the in-memory search failed");
            }
            const double seconds = secondsSince(start);
            best = best < 0 ? seconds : std::min(best, seconds);
        }
        return {best};
    });
    if (!values || values->size() != 1) {
        return std::nullopt;
    }
    return values->front();
}

// grep stops at its first match when its output is /dev/null, so its count goes through a pipe;
// the pipe's status is cat's, since grep exits with 1 when it counts nothing.
std::optional<double> timeGrep(std::string_view term, const std::vector<std::string>& files,
                               int repeats) {
    std::vector<std::string> command = {
        "sh", "-c", "grep -F -i -c -e \"$0\" \"$@\" | cat > /dev/null", std::string(term)};
    command.insert(command.end(), files.begin(), files.end());
    return bestOf(repeats, [&command] { return timeCommand(command, true); });
}

std::string ratioNote(std::optional<double> ratio, bool target, double limit) {
    if (!ratio) {
        return target ? "FAIL: not measured" : "";
    }
    if (!target) {
        return "reference";
    }
    char text[32];
    std::snprintf(text, sizeof text, "target <= %g: %s", limit, *ratio <= limit ? "PASS" : "FAIL");
    return text;
}

bool reportMemoryPass(const Table& table, const StorePaths& paths, int inMemory,
                      const BenchOptions& options) {
    const std::optional<double> memory = measureMemoryPass(paths, inMemory, options.repeats);
    std::vector<std::string> files;
    for (int i = 0; i < inMemory; ++i) {
        files.push_back(paths.collectionFileName(i).string());
    }
    const std::optional<double> grep = timeGrep(kNoMatch, files, options.repeats);
    table.printRow("search, no match, in-memory part alone", memory, std::nullopt, std::nullopt,
                   std::nullopt, std::to_string(inMemory) + " collections");
    table.printRow("  grep -F -i -c, same term, same files", grep, std::nullopt, std::nullopt,
                   std::nullopt, grep ? "" : "FAILED to run grep");
    const std::optional<double> ratio =
        memory && grep && *grep > 0 ? std::optional<double>(*memory / *grep) : std::nullopt;
    table.printRatio("ratio in-memory search / grep", ratio,
                     ratioNote(ratio, true, kMemoryRatioLimit));
    return ratio && *ratio <= kMemoryRatioLimit;
}

}  // namespace

bool runSearchBenchmark(const BenchOptions& options) {
    const CatalogueShape shape = options.quick ? CatalogueShape{10, 10'000, NameOrder::Random}
                                               : CatalogueShape{100, 10'000, NameOrder::Random};
    const Table table;
    std::printf(
        "\n== search: searchCatalogue and searchFiles on %s, maxResults %d (best of %d, one child "
        "process)\n",
        describe(shape).c_str(), kMaxResults, options.repeats);
    table.printNote(
        "the in-memory column gives the rows found; grep runs over every collection "
        "file, LC_ALL=C");
    table.printHeader();

    const GeneratedCatalogue catalogue(options.workRoot, shape, kSeed);
    if (!catalogue.generate()) {
        return false;
    }
    const StorePaths paths(catalogue.base());
    int firstDisk = 0;
    const std::optional<std::vector<QueryResult>> results =
        measureQueries(paths, shape.collections, options.repeats, firstDisk);
    if (!results || interrupted()) {
        table.printRow("search", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                       "FAILED: the searches did not complete");
        return false;
    }
    table.printNote(std::to_string(firstDisk) + " collections in memory, " +
                    std::to_string(shape.collections - firstDisk) + " read from disk per search");

    std::vector<std::string> files;
    for (int i = 0; i < shape.collections; ++i) {
        files.push_back(paths.collectionFileName(i).string());
    }
    bool passed = true;
    for (std::size_t i = 0; i < std::size(kQueries); ++i) {
        const Query& query = kQueries[i];
        const QueryResult& result = (*results)[i];
        // A count that stops at the row limit is the fault this guards against.
        const bool counted = !query.past || result.matched > result.rows;
        table.printRow(query.label, result.seconds, result.rows, std::nullopt, std::nullopt,
                       "matched " + std::to_string(result.matched) +
                           (counted ? "" : " FAIL: the count stops at the row limit"));
        passed = passed && counted;
        if (query.grepTerm.empty()) {
            continue;
        }
        const std::optional<double> grep = timeGrep(query.grepTerm, files, options.repeats);
        table.printRow("  grep -F -i -c, same term, all files", grep, std::nullopt, std::nullopt,
                       std::nullopt, grep ? "" : "FAILED to run grep");
        // Every search reads everything to count; the rows a match builds are its own cost.
        const bool fullScan = result.matched == 0;
        const std::optional<double> ratio =
            grep && *grep > 0 ? std::optional<double>(result.seconds / *grep) : std::nullopt;
        const double limit = ratioLimitOf(query);
        table.printRatio("ratio search / grep", ratio, ratioNote(ratio, fullScan, limit));
        if (fullScan && (!ratio || *ratio > limit)) {
            passed = false;
        }
    }
    return reportMemoryPass(table, paths, firstDisk, options) && passed;
}

}  // namespace tunex::bench
