#include "duplicates_benchmark.h"

#include "catalogue_generator.h"
#include "core/search/duplicates.h"
#include "core/store/catalogue.h"
#include "core/store/store_paths.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace tunex::bench {

namespace {

constexpr std::uint64_t kSeed = 20040229;
constexpr double kRatioLimit = 3.0;
constexpr double kSecondsLimit = 2.0;

// The name key of every record, one a line, as findDuplicates compares it.
void writeKeys(const StorePaths& paths, int collections, const std::filesystem::path& file) {
    Catalogue catalogue;
    if (!catalogue.load(paths, collections)) {
        throw std::runtime_error("the catalogue could not be loaded");
    }
    std::ofstream out(file, std::ios::binary);
    std::string key;
    const auto write = [&](const SongRecordView& record) {
        key.assign(record.name).append(".").append(record.type).append("\t");
        key.append(record.sizeText).append("\n");
        out.write(key.data(), static_cast<std::streamsize>(key.size()));
    };
    catalogue.index().walk(write);
    if (!catalogue.scanDiskCollections(write) || !out.flush()) {
        throw std::runtime_error("the keys could not be written");
    }
}

// Loads the catalogue in a child and times findDuplicates there, best of `repeats`: the seconds,
// the groups and the copies.
std::optional<std::vector<double>> measure(const StorePaths& paths, int collections,
                                           DuplicateKey key, int repeats) {
    return runInChild([&]() -> std::vector<double> {
        Catalogue catalogue;
        if (!catalogue.load(paths, collections)) {
            throw std::runtime_error("the catalogue could not be loaded");
        }
        double best = -1;
        DuplicateReport report;
        for (int i = 0; i < std::max(repeats, 1); ++i) {
            const Clock::time_point start = Clock::now();
            report = findDuplicates(catalogue, key);
            const double seconds = secondsSince(start);
            if (!report.read) {
                throw std::runtime_error("a collection file could not be read");
            }
            best = best < 0 ? seconds : std::min(best, seconds);
        }
        return {best, static_cast<double>(report.groups.size()),
                static_cast<double>(report.copies)};
    });
}

// What `measure` found: "N groups, M copies".
std::string groupsNote(const std::vector<double>& measured) {
    return std::to_string(static_cast<long long>(measured[1])) + " groups, " +
           std::to_string(static_cast<long long>(measured[2])) + " copies";
}

std::string verdict(bool met) {
    return met ? "PASS" : "FAIL";
}

}  // namespace

bool runDuplicatesBenchmark(const BenchOptions& options) {
    const CatalogueShape shape = options.quick ? CatalogueShape{10, 10'000, NameOrder::Random}
                                               : CatalogueShape{100, 10'000, NameOrder::Random};
    const Table table;
    std::printf("\n== duplicates: findDuplicates on %s (best of %d, one child process)\n",
                describe(shape).c_str(), options.repeats);
    table.printNote("sort | uniq -d runs over the name keys of every record, LC_ALL=C");
    table.printHeader();

    const GeneratedCatalogue catalogue(options.workRoot, shape, kSeed);
    if (!catalogue.generate()) {
        return false;
    }
    const StorePaths paths(catalogue.base());
    const std::filesystem::path keys = options.workRoot / "duplicate-keys.txt";
    const auto written = runInChild([&]() -> std::vector<double> {
        writeKeys(paths, shape.collections, keys);
        return {};
    });
    const auto byName = measure(paths, shape.collections, DuplicateKey::Name, options.repeats);
    if (!written || !byName || byName->size() != 3 || interrupted()) {
        table.printRow("duplicates", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                       "FAILED: the run did not complete");
        return false;
    }
    const double seconds = (*byName)[0];
    table.printRow("duplicates by name", seconds, std::nullopt, std::nullopt, std::nullopt,
                   groupsNote(*byName) + "; target < 2 s: " + verdict(seconds < kSecondsLimit));
    const std::vector<std::string> command = {"sh", "-c", "sort \"$0\" | uniq -d > /dev/null",
                                              keys.string()};
    const std::optional<double> sorted =
        bestOf(options.repeats, [&command] { return timeCommand(command, true); });
    table.printRow("  sort | uniq -d, same keys", sorted, std::nullopt, std::nullopt, std::nullopt,
                   sorted ? "" : "FAILED to run sort");
    const std::optional<double> ratio = ratioOf(seconds, sorted);
    const bool ratioMet = ratio && *ratio <= kRatioLimit;
    table.printRatio("ratio duplicates / sort | uniq -d", ratio,
                     "target within 3 times: " + verdict(ratioMet));

    // Every record shares its size with others: the most the second pass and grouping can meet.
    const auto bySize = measure(paths, shape.collections, DuplicateKey::Size, 1);
    if (bySize && bySize->size() == 3) {
        table.printRow("duplicates by size (reference)", (*bySize)[0], std::nullopt, std::nullopt,
                       std::nullopt, groupsNote(*bySize));
    }
    std::filesystem::remove(keys);
    return ratioMet && seconds < kSecondsLimit;
}

}  // namespace tunex::bench
