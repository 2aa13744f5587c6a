#include "instant_benchmark.h"

#include "catalogue_generator.h"
#include "core/search/catalogue_search.h"
#include "core/store/catalogue.h"
#include "core/store/settings.h"
#include "core/store/store_paths.h"

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace tunex::bench {

namespace {

constexpr std::uint64_t kSeed = 19990301;
constexpr double kKeystrokeLimitSeconds = 0.050;
constexpr double kProcessRatioLimit = 1.0;
// What the allocator keeps or gives back moves the held memory a little from run to run; more
// than this share is growth.
constexpr double kMemoryNoise = 0.02;
constexpr std::string_view kNoMatchTerm = "zqxj";

// A field typed letter by letter, the other one as it stands.
struct Typing {
    std::string_view label;
    std::string_view title;
    std::string_view artist;
    bool typesArtist = false;
};

// A title, then an artist beside it; a new title, then an artist.
constexpr Typing kTypings[] = {
    {"title \"love\"", "love", "", false},
    {"  then artist \"velvet tigers\"", "love", "velvet tigers", true},
    {"new title \"highway\"", "highway", "", false},
    {"  then artist \"stone\"", "highway", "stone", true},
};

struct Keystroke {
    std::size_t typing = 0;
    std::string title;
    std::string artist;
};

std::vector<Keystroke> keystrokes() {
    std::vector<Keystroke> all;
    for (std::size_t i = 0; i < std::size(kTypings); ++i) {
        const Typing& typing = kTypings[i];
        const std::string_view typed = typing.typesArtist ? typing.artist : typing.title;
        for (std::size_t length = 1; length <= typed.size(); ++length) {
            Keystroke keystroke{i, std::string(typing.title), std::string(typing.artist)};
            (typing.typesArtist ? keystroke.artist : keystroke.title) = typed.substr(0, length);
            all.push_back(std::move(keystroke));
        }
    }
    return all;
}

// The row limit, sensitivity, sort column and columns a new base folder starts with.
SearchSettings newBaseSettings() {
    std::ifstream in(TUNEX_NEW_BASE_SETTINGS, std::ios::binary);
    if (!in) {
        throw std::runtime_error(std::string("cannot read ") + TUNEX_NEW_BASE_SETTINGS);
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Settings settings;
    readSettings(text, settings);
    return searchSettingsFrom(settings);
}

// Anonymous memory resident (RssAnon): the heap and what it maps, not the program's code or the
// mapped collection files, whose pages come in as code paths and files are first used.
std::int64_t heldBytes() {
    ::malloc_trim(0);  // what the allocator keeps but does not use is nobody's
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("RssAnon:")) {
            return std::stoll(line.substr(8)) * 1024;
        }
    }
    throw std::runtime_error("cannot read RssAnon from /proc/self/status");
}

struct TypingResult {
    double orderSeconds = 0;
    std::int64_t inMemory = 0;
    int firstDisk = 0;
    double heldReady = 0;         // after the load and the first search's preparation
    double heldShowing = 0;       // after typing, with the list's rows and the last matches kept
    double heldReleased = 0;      // after typing, with those let go
    std::vector<double> seconds;  // per keystroke, the best of the repeats
    std::vector<std::int64_t> rows;
    std::vector<std::int64_t> matched;  // past the row limit too
    std::vector<double> counting;       // the count after the rows, where one was left
};

// Each keystroke runs as the Songs page runs it: a search narrowed to the last complete one when
// the terms only grew, its rows moved into the list's model. Timed from the keystroke (after the
// typing pause) to the rows being there.
std::optional<TypingResult> measureTyping(const StorePaths& paths, int collections, int repeats,
                                          const SearchSettings& settings) {
    const std::vector<Keystroke> typed = keystrokes();
    const auto values = runInChild([&]() -> std::vector<double> {
        const std::int64_t empty = heldBytes();
        Catalogue catalogue;
        const std::optional<int> loaded = catalogue.load(paths, collections);
        if (!loaded) {
            throw std::runtime_error("the catalogue could not be loaded");
        }
        const Clock::time_point orderStart = Clock::now();
        (void)catalogue.index().visitOrder();
        const double orderSeconds = secondsSince(orderStart);
        const std::int64_t ready = heldBytes() - empty;

        const std::vector<ResultColumn> columns = shownColumns(settings.showColumns);
        std::vector<double> best(typed.size(), -1);
        std::vector<double> rows(typed.size(), 0);
        std::vector<double> matched(typed.size(), 0);
        std::vector<double> counting(typed.size(), 0);  // the count that follows, worst
        ResultTable shown{columns, {}};                 // the list's model
        std::shared_ptr<const SearchMatches> previous;
        for (int round = 0; round < std::max(repeats, 1); ++round) {
            previous = nullptr;
            for (std::size_t i = 0; i < typed.size(); ++i) {
                const Clock::time_point start = Clock::now();
                InstantSearch result =
                    runInstantSearch(catalogue, settings, columns, typed[i].title, typed[i].artist,
                                     previous, {}, InstantCount::Later);
                shown = std::move(result.outcome.table);
                const double seconds = secondsSince(start);
                if (result.outcome.kind != SearchOutcome::Kind::Done) {
                    throw std::runtime_error("a search as the user types did not complete");
                }
                previous = std::move(result.matches);
                best[i] = best[i] < 0 ? seconds : std::min(best[i], seconds);
                rows[i] = static_cast<double>(shown.rows.size());
                matched[i] = static_cast<double>(shown.matched);
                if (result.countPending) {
                    // The page counts after the rows are shown, unless the user types on.
                    const Clock::time_point countStart = Clock::now();
                    std::optional<SongMatchCount> count =
                        countSongMatches(catalogue, settings, typed[i].title, typed[i].artist);
                    counting[i] = std::max(counting[i], secondsSince(countStart));
                    matched[i] = static_cast<double>(count ? count->found : 0);
                    previous = count ? std::move(count->matches) : nullptr;
                }
            }
        }
        const std::int64_t showing = heldBytes() - empty;
        shown = ResultTable{};
        previous = nullptr;
        const std::int64_t released = heldBytes() - empty;

        std::vector<double> out = {orderSeconds,
                                   static_cast<double>(*loaded),
                                   static_cast<double>(catalogue.firstDiskCollection()),
                                   static_cast<double>(ready),
                                   static_cast<double>(showing),
                                   static_cast<double>(released)};
        out.insert(out.end(), best.begin(), best.end());
        out.insert(out.end(), rows.begin(), rows.end());
        out.insert(out.end(), matched.begin(), matched.end());
        out.insert(out.end(), counting.begin(), counting.end());
        return out;
    });
    constexpr std::size_t kFixed = 6;
    if (!values || values->size() != kFixed + 4 * typed.size()) {
        return std::nullopt;
    }
    const std::vector<double>& v = *values;
    TypingResult result;
    result.orderSeconds = v[0];
    result.inMemory = static_cast<std::int64_t>(v[1]);
    result.firstDisk = static_cast<int>(v[2]);
    result.heldReady = v[3];
    result.heldShowing = v[4];
    result.heldReleased = v[5];
    for (std::size_t i = 0; i < typed.size(); ++i) {
        result.seconds.push_back(v[kFixed + i]);
        result.rows.push_back(static_cast<std::int64_t>(v[kFixed + typed.size() + i]));
        result.matched.push_back(static_cast<std::int64_t>(v[kFixed + 2 * typed.size() + i]));
        result.counting.push_back(v[kFixed + 3 * typed.size() + i]);
    }
    return result;
}

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string bytesPerRecord(double bytes, std::int64_t records) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f bytes per record in memory",
                  records > 0 ? bytes / static_cast<double>(records) : 0.0);
    return text;
}

std::string targetNote(std::string_view target, bool met) {
    return std::string("target ").append(target).append(met ? ": PASS" : ": FAIL");
}

bool reportTyping(const Table& table, const TypingResult& result, const SearchSettings& settings) {
    table.printNote(std::to_string(result.firstDisk) + " collections in memory (" +
                    std::to_string(result.inMemory) + " records), the rest read from disk; " +
                    "row limit " + std::to_string(settings.maxResults) + ", sensitivity " +
                    std::to_string(static_cast<int>(settings.sensitivity)) +
                    " as a new base folder has them");
    table.printRow("visit order, worked out by the first search", result.orderSeconds,
                   result.inMemory, std::nullopt, std::nullopt, "once per load");
    table.printRow("held, ready to search", std::nullopt, result.inMemory, std::nullopt,
                   result.heldReady, bytesPerRecord(result.heldReady, result.inMemory));

    const std::vector<Keystroke> typed = keystrokes();
    for (std::size_t t = 0; t < std::size(kTypings); ++t) {
        std::vector<double> seconds;
        std::int64_t lastRows = 0;
        std::int64_t firstMatched = 0;
        for (std::size_t i = 0; i < typed.size(); ++i) {
            if (typed[i].typing == t) {
                firstMatched = seconds.empty() ? result.matched[i] : firstMatched;
                seconds.push_back(result.seconds[i]);
                lastRows = result.rows[i];
            }
        }
        // The first keystroke's count shows that counting goes on past the row limit.
        char note[128];
        std::snprintf(note, sizeof note,
                      "median of %zu keystrokes, worst %.1f ms; first matched %lld", seconds.size(),
                      *std::max_element(seconds.begin(), seconds.end()) * 1000.0,
                      static_cast<long long>(firstMatched));
        table.printRow(kTypings[t].label, medianOf(seconds), lastRows, std::nullopt, std::nullopt,
                       note);
    }

    const double median = medianOf(result.seconds);
    const double worst = *std::max_element(result.seconds.begin(), result.seconds.end());
    // Every keystroke counts, not the usual one: a slow one is what the user feels.
    const bool fast = worst < kKeystrokeLimitSeconds;
    table.printRow("keystroke to rows in the list, median", median, std::nullopt, std::nullopt,
                   std::nullopt, std::to_string(result.seconds.size()) + " keystrokes");
    table.printRow("keystroke to rows in the list, worst", worst, std::nullopt, std::nullopt,
                   std::nullopt, targetNote("< 50 ms", fast));
    table.printRow("then the true count in the status line, worst",
                   *std::max_element(result.counting.begin(), result.counting.end()), std::nullopt,
                   std::nullopt, std::nullopt, "after the rows; a keystroke drops it");

    table.printRow("held after typing, rows and matches kept", std::nullopt, result.inMemory,
                   std::nullopt, result.heldShowing,
                   bytesPerRecord(result.heldShowing, result.inMemory));
    const bool flat = result.heldReleased <= result.heldReady * (1 + kMemoryNoise);
    table.printRow("held after typing, rows and matches let go", std::nullopt, result.inMemory,
                   std::nullopt, result.heldReleased,
                   bytesPerRecord(result.heldReleased, result.inMemory) + ", " +
                       targetNote("no growth", flat));
    return fast && flat;
}

// The whole tunex-cli process (start, open the base folder, load, search, print) for a term that
// matches nothing, beside grep over every collection file, in turns. Its messages go with its
// output: only the time counts.
bool timeProcessBesideGrep(const Table& table, const StorePaths& paths, int collections,
                           int repeats, bool quick) {
    const std::vector<std::string> cli = {
        "sh",           "-c",      "exec \"$0\" \"$@\" 2>/dev/null",
        TUNEX_CLI_PATH, "--base",  paths.basePath().string(),
        "search",       "--title", std::string(kNoMatchTerm)};
    std::vector<std::string> grep = {"sh", "-c", "grep -F -i -c -e \"$0\" \"$@\" | cat > /dev/null",
                                     std::string(kNoMatchTerm)};
    for (int i = 0; i < collections; ++i) {
        grep.push_back(paths.collectionFileName(i).string());
    }
    std::optional<double> cliBest;
    std::optional<double> grepBest;
    bool ran = true;
    for (int i = 0; i < std::max(repeats, 1) && ran; ++i) {
        const std::optional<double> cliSeconds = timeCommand(cli, true);
        const std::optional<double> grepSeconds = timeCommand(grep, true);
        ran = cliSeconds && grepSeconds;
        if (ran) {
            cliBest = std::min(cliSeconds.value(), cliBest.value_or(*cliSeconds));
            grepBest = std::min(grepSeconds.value(), grepBest.value_or(*grepSeconds));
        }
    }
    if (!ran) {
        table.printRow("tunex-cli search, no match, whole process", std::nullopt, std::nullopt,
                       std::nullopt, std::nullopt, "FAILED to run tunex-cli or grep");
        return false;
    }
    table.printRow("tunex-cli search, no match, whole process", cliBest, std::nullopt, std::nullopt,
                   std::nullopt, "start, load, search, print");
    table.printRow("  grep -F -i -c, same term, all files", grepBest, std::nullopt, std::nullopt,
                   std::nullopt, "");
    const double ratio = *cliBest / *grepBest;
    if (quick) {
        // The memory part is as large as in a full run, but grep has a tenth of the text.
        table.printRatio("ratio tunex-cli / grep", ratio, "no target on a quick run");
        return true;
    }
    const bool met = ratio <= kProcessRatioLimit;
    table.printRatio("ratio tunex-cli / grep", ratio, targetNote("<= 1", met));
    return met;
}

}  // namespace

bool runInstantBenchmark(const BenchOptions& options) {
    const CatalogueShape shape = options.quick ? CatalogueShape{10, 10'000, NameOrder::Random}
                                               : CatalogueShape{100, 10'000, NameOrder::Random};
    const Table table;
    std::printf(
        "\n== instant: searching as the user types on %s (best of %d per keystroke, one child "
        "process), and the whole tunex-cli search beside grep\n",
        describe(shape).c_str(), options.repeats);
    table.printNote(
        "the in-memory column gives the rows the list shows after the last keystroke; held = "
        "RssAnon (after malloc_trim) - RssAnon before the load");
    table.printHeader();

    const GeneratedCatalogue catalogue(options.workRoot, shape, kSeed);
    if (!catalogue.generate()) {
        return false;
    }
    const StorePaths paths(catalogue.base());
    std::optional<TypingResult> typing;
    SearchSettings settings;
    try {
        settings = newBaseSettings();
        typing = measureTyping(paths, shape.collections, options.repeats, settings);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tunex-bench: %s\n", error.what());
    }
    if (!typing || interrupted()) {
        table.printRow("search as the user types", std::nullopt, std::nullopt, std::nullopt,
                       std::nullopt, "FAILED: the searches did not complete");
        return false;
    }
    bool passed = reportTyping(table, *typing, settings);
    passed =
        timeProcessBesideGrep(table, paths, shape.collections, options.repeats, options.quick) &&
        passed;
    return passed;
}

}  // namespace tunex::bench
