// tunex-bench: speed and memory of the catalogue store on generated catalogues, printed beside
// standard tools timed in the same run, so the figures mean something on a busy machine.

#include "bench_support.h"
#include "collection_benchmark.h"
#include "duplicates_benchmark.h"
#include "friend_benchmark.h"
#include "instant_benchmark.h"
#include "journal_benchmark.h"
#include "load_benchmark.h"
#include "search_benchmark.h"
#include "tags_benchmark.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tunex::bench::BenchOptions;

struct Section {
    std::string_view name;
    std::string_view summary;
    bool (*run)(const BenchOptions&);
};

// Runs in this order for "all".
constexpr std::array kSections = {
    Section{"load", "catalogue loading (1 collection and many) and the on-disk scan",
            &tunex::bench::runLoadBenchmark},
    Section{"collections", "Count and Add on a generated folder tree, beside find",
            &tunex::bench::runCollectionBenchmark},
    Section{"search", "song search, List All, Files search and full scans beside grep -F -i -c",
            &tunex::bench::runSearchBenchmark},
    Section{"instant", "search as the user types, and the whole tunex-cli search beside grep",
            &tunex::bench::runInstantBenchmark},
    Section{"tags", "EasyTag and Clear All Tag on mp3 and FLAC, beside TagLib and mutagen",
            &tunex::bench::runTagsBenchmark},
    Section{"journal", "tunex-cli opening a base with a full write journal, beside an empty one",
            &tunex::bench::runJournalBenchmark},
    Section{"duplicates", "songs in more than one collection by name, beside sort | uniq -d",
            &tunex::bench::runDuplicatesBenchmark},
    Section{"friend", "friend file export and keyword search of 1 000 000 records, beside grep",
            &tunex::bench::runFriendBenchmark},
};

void printUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: tunex-bench [--quick] [--repeat N] [SECTION...]\n"
                 "       tunex-bench --list\n\n"
                 "Sections (default: all):\n");
    for (const Section& section : kSections) {
        std::fprintf(out, "  %-8.*s %.*s\n", static_cast<int>(section.name.size()),
                     section.name.data(), static_cast<int>(section.summary.size()),
                     section.summary.data());
    }
    std::fprintf(out,
                 "  all      every section\n\n"
                 "  --quick     sizes ten times smaller, for a check that it all works\n"
                 "  --repeat N  runs per measurement, the best one counts (default 3)\n\n"
                 "Exit status: 0 when every target is met, 1 when one is missed, 2 on a usage or\n"
                 "set-up error, 130 when interrupted.\n");
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    std::vector<const Section*> chosen;
    const auto choose = [&chosen](const Section& section) {
        if (std::find(chosen.begin(), chosen.end(), &section) == chosen.end()) {
            chosen.push_back(&section);
        }
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 0;
        }
        if (arg == "--list") {
            for (const Section& section : kSections) {
                std::printf("%.*s\n", static_cast<int>(section.name.size()), section.name.data());
            }
            return 0;
        }
        if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--repeat" && i + 1 < argc) {
            char* end = nullptr;
            const long repeats = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || repeats < 1 || repeats > 100) {
                std::fprintf(stderr, "tunex-bench: --repeat takes a number from 1 to 100\n");
                return 2;
            }
            options.repeats = static_cast<int>(repeats);
        } else if (arg == "all") {
            for (const Section& section : kSections) {
                choose(section);
            }
        } else {
            const Section* found = nullptr;
            for (const Section& section : kSections) {
                if (section.name == arg) {
                    found = &section;
                }
            }
            if (found == nullptr) {
                std::fprintf(stderr, "tunex-bench: unknown argument '%s'\n\n", argv[i]);
                printUsage(stderr);
                return 2;
            }
            choose(*found);
        }
    }
    if (chosen.empty()) {
        for (const Section& section : kSections) {
            chosen.push_back(&section);
        }
    }

    std::optional<tunex::bench::TempFolder> work = tunex::bench::TempFolder::create("tunex-bench");
    if (!work) {
        std::perror("tunex-bench: cannot create a folder under /tmp");
        return 2;
    }
    options.workRoot = work->path();
    std::printf("tunex-bench: %s run, %ld processors online, catalogues in %s\n",
                options.quick ? "quick" : "full", ::sysconf(_SC_NPROCESSORS_ONLN),
                options.workRoot.c_str());

    tunex::bench::installInterruptHandlers();
    bool passed = true;
    for (const Section* section : chosen) {
        passed = section->run(options) && passed;
    }
    if (tunex::bench::interrupted()) {
        std::fprintf(stderr, "tunex-bench: interrupted\n");
        return 130;
    }
    std::printf("\ntunex-bench: %s\n",
                passed ? "all targets met" : "TARGET MISSED (see FAIL above)");
    return passed ? 0 : 1;
}
