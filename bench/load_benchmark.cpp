#include "load_benchmark.h"

#include "catalogue_generator.h"
#include "core/store/catalogue.h"
#include "core/store/store_paths.h"

#include <malloc.h>

#include <cstdio>
#include <stdexcept>
#include <system_error>

namespace tunex::bench {

namespace {

constexpr double kLoadRatioLimit = 15.0;
constexpr std::uint64_t kSeed = 20031116;

struct LoadSample {
    double seconds = 0;
    std::int64_t inMemory = 0;
    int firstDisk = 0;
    double peakBytes = 0;  // VmHWM during the load minus VmRSS before it
    double heldBytes = 0;  // VmRSS after the load and malloc_trim minus VmRSS before it
    double scanSeconds = 0;
    std::int64_t scanned = 0;
};

// One load (and optionally one full disk scan) in a fresh child process.
std::optional<LoadSample> measureOnce(const StorePaths& paths, int count, bool scan) {
    const auto values = runInChild([&paths, count, scan]() -> std::vector<double> {
        Catalogue catalogue;
        resetPeakMemory();
        const MemoryStatus before = readMemoryStatus();
        const Clock::time_point start = Clock::now();
        const std::optional<int> loaded = catalogue.load(paths, count);
        const double seconds = secondsSince(start);
        const MemoryStatus peak = readMemoryStatus();
        ::malloc_trim(0);  // what the allocator keeps but does not use is not the catalogue's
        const MemoryStatus after = readMemoryStatus();
        if (!loaded) {
            throw std::runtime_error("the catalogue in " + paths.basePath().string() +
                                     " could not be loaded");
        }
        double scanSeconds = 0;
        std::int64_t scanned = 0;
        if (scan) {
            std::size_t nameBytes = 0;  // keeps the visitor from being optimised away
            const Clock::time_point scanStart = Clock::now();
            const bool ok = catalogue.scanDiskCollections([&](const SongRecordView& record) {
                ++scanned;
                nameBytes += record.name.size();
            });
            scanSeconds = secondsSince(scanStart);
            if (!ok || (scanned > 0 && nameBytes == 0)) {
                throw std::runtime_error("the disk scan failed");
            }
        }
        return {seconds,
                static_cast<double>(*loaded),
                static_cast<double>(catalogue.firstDiskCollection()),
                static_cast<double>(peak.peakBytes - before.rssBytes),
                static_cast<double>(after.rssBytes - before.rssBytes),
                scanSeconds,
                static_cast<double>(scanned)};
    });
    if (!values || values->size() != 7) {
        return std::nullopt;
    }
    const std::vector<double>& v = *values;
    return LoadSample{v[0], static_cast<std::int64_t>(v[1]), static_cast<int>(v[2]), v[3], v[4],
                      v[5], static_cast<std::int64_t>(v[6])};
}

// The fastest load of `repeats`, with the fastest scan beside it.
std::optional<LoadSample> measure(const StorePaths& paths, int count, bool scan, int repeats) {
    std::optional<LoadSample> best;
    for (int i = 0; i < std::max(repeats, 1); ++i) {
        const std::optional<LoadSample> sample = measureOnce(paths, count, scan);
        if (!sample) {
            return std::nullopt;
        }
        if (!best) {
            best = sample;
            continue;
        }
        const double bestScan = std::min(best->scanSeconds, sample->scanSeconds);
        if (sample->seconds < best->seconds) {
            best = sample;
        }
        best->scanSeconds = bestScan;
    }
    return best;
}

std::string collectionPath(const StorePaths& paths, int index) {
    return paths.collectionFileName(index).string();
}

std::string timesText(std::string_view label, std::optional<double> ratio) {
    if (!ratio) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f x %.*s", *ratio, static_cast<int>(label.size()),
                  label.data());
    return text;
}

struct SingleResult {
    std::optional<double> load;
    std::optional<double> sort;
};

// One collection loaded whole, and `sort` over the same file.
SingleResult runSingle(const BenchOptions& options, const Table& table, int records,
                       NameOrder order, bool withSort) {
    const CatalogueShape shape{1, records, order};
    GeneratedCatalogue catalogue(options.workRoot, shape, kSeed);
    if (!catalogue.generate()) {
        return {};
    }
    const StorePaths paths(catalogue.base());
    SingleResult result;
    const std::optional<LoadSample> sample = measure(paths, 1, false, options.repeats);
    if (sample) {
        result.load = sample->seconds;
    }
    if (withSort) {
        const std::vector<std::string> command = {"sort", "-o", "/dev/null",
                                                  collectionPath(paths, 0)};
        result.sort = bestOf(options.repeats, [&command] { return timeCommand(command, true); });
    }
    if (interrupted()) {
        return {};
    }
    const std::string versusSort = timesText("sort", ratioOf(result.load, result.sort));
    table.printRow("load " + describe(shape), result.load,
                   sample ? std::optional<std::int64_t>(sample->inMemory) : std::nullopt,
                   sample ? std::optional<double>(sample->peakBytes) : std::nullopt,
                   sample ? std::optional<double>(sample->heldBytes) : std::nullopt,
                   sample ? versusSort : "FAILED: the load did not complete");
    if (withSort) {
        table.printRow("  sort, same " + std::to_string(records) + " lines", result.sort,
                       std::nullopt, std::nullopt, std::nullopt,
                       result.sort ? "LC_ALL=C sort -o /dev/null FILE" : "FAILED to run sort");
    }
    return result;
}

bool runManyCollections(const BenchOptions& options, const Table& table,
                        const CatalogueShape& shape) {
    GeneratedCatalogue catalogue(options.workRoot, shape, kSeed);
    if (!catalogue.generate()) {
        return false;
    }
    const StorePaths paths(catalogue.base());
    const std::optional<LoadSample> sample =
        measure(paths, shape.collections, true, options.repeats);
    if (interrupted()) {
        return false;
    }
    if (!sample) {
        table.printRow("load " + describe(shape), std::nullopt, std::nullopt, std::nullopt,
                       std::nullopt, "FAILED: the load did not complete");
        return false;
    }
    const int onDisk = shape.collections - sample->firstDisk;
    table.printRow("load " + describe(shape), sample->seconds, sample->inMemory, sample->peakBytes,
                   sample->heldBytes,
                   std::to_string(sample->firstDisk) + " collections whole, " +
                       std::to_string(onDisk) + " by name only");

    std::vector<std::string> files;
    std::uintmax_t bytes = 0;
    for (int i = sample->firstDisk; i < shape.collections; ++i) {
        files.push_back(collectionPath(paths, i));
        std::error_code ignored;
        bytes += std::filesystem::file_size(files.back(), ignored);
    }
    char scanNote[96];
    std::snprintf(scanNote, sizeof scanNote, "%lld records from %d files, %.0f MiB/s",
                  static_cast<long long>(sample->scanned), onDisk,
                  sample->scanSeconds > 0
                      ? static_cast<double>(bytes) / (1024.0 * 1024.0) / sample->scanSeconds
                      : 0.0);
    table.printRow("scanDiskCollections, full pass", sample->scanSeconds, std::nullopt,
                   std::nullopt, std::nullopt, scanNote);

    std::vector<std::string> wc = {"wc", "-l"};
    wc.insert(wc.end(), files.begin(), files.end());
    std::vector<std::string> cat = {"cat"};
    cat.insert(cat.end(), files.begin(), files.end());
    const std::optional<double> wcSeconds =
        bestOf(options.repeats, [&wc] { return timeCommand(wc, true); });
    const std::optional<double> catSeconds =
        bestOf(options.repeats, [&cat] { return timeCommand(cat, true); });
    table.printRow("  wc -l, same on-disk files", wcSeconds, std::nullopt, std::nullopt,
                   std::nullopt, wcSeconds ? "" : "FAILED to run wc");
    table.printRow("  cat > /dev/null, same on-disk files", catSeconds, std::nullopt, std::nullopt,
                   std::nullopt, catSeconds ? "" : "FAILED to run cat");
    table.printRatio("ratio scan / wc -l", ratioOf(sample->scanSeconds, wcSeconds), "reference");
    table.printRatio("ratio scan / cat", ratioOf(sample->scanSeconds, catSeconds), "reference");
    return true;
}

}  // namespace

bool runLoadBenchmark(const BenchOptions& options) {
    const int small = options.quick ? 10'000 : 100'000;
    const int large = small * 10;
    const CatalogueShape many = options.quick ? CatalogueShape{20, 5'000, NameOrder::Random}
                                              : CatalogueShape{100, 10'000, NameOrder::Random};
    const Table table;
    std::printf(
        "\n== load: Catalogue::load and scanDiskCollections (best of %d, each run in a "
        "fresh child process)\n",
        options.repeats);
    table.printNote(
        "peak = VmHWM during the load - VmRSS before it; held = VmRSS after it (and malloc_trim)"
        " - VmRSS before it");
    table.printHeader();

    bool passed = true;
    const SingleResult sortedSmall = runSingle(options, table, small, NameOrder::Sorted, true);
    const SingleResult sortedLarge = runSingle(options, table, large, NameOrder::Sorted, true);
    const SingleResult randomSmall = runSingle(options, table, small, NameOrder::Random, true);
    const SingleResult randomLarge = runSingle(options, table, large, NameOrder::Random, true);
    const SingleResult equalSmall = runSingle(options, table, small, NameOrder::Equal, false);
    passed = passed && equalSmall.load.has_value();
    if (interrupted()) {
        return false;
    }

    const std::string sizes = std::to_string(large) + "/" + std::to_string(small);
    const std::optional<double> sortedRatio = ratioOf(sortedLarge.load, sortedSmall.load);
    const bool ratioMet = sortedRatio && *sortedRatio < kLoadRatioLimit;
    passed = passed && ratioMet;
    table.printRatio("ratio load " + sizes + " sorted", sortedRatio,
                     ratioMet ? "target < 15: PASS" : "target < 15: FAIL");
    table.printRatio("ratio sort " + sizes + " sorted lines",
                     ratioOf(sortedLarge.sort, sortedSmall.sort), "reference");
    table.printRatio("ratio load " + sizes + " random", ratioOf(randomLarge.load, randomSmall.load),
                     "for comparison");
    table.printRatio("ratio sort " + sizes + " random lines",
                     ratioOf(randomLarge.sort, randomSmall.sort), "reference");

    passed = runManyCollections(options, table, many) && passed;
    return passed;
}

}  // namespace tunex::bench
