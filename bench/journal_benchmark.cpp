#include "journal_benchmark.h"

#include "core/common/unique_fd.h"
#include "core/journal/write_journal.h"
#include "core/store/store_paths.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tunex::bench {

namespace {

namespace fs = std::filesystem;

constexpr double kRatioLimit = 1.2;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr std::size_t kHeaderBytes = 4096;
constexpr std::uint64_t kFullKeptBytes = kDefaultJournalCap - (std::uint64_t{8} << 20);
constexpr std::uint64_t kQuickKeptBytes = std::uint64_t{64} << 20;
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// A copy of the base folder an installation lays down.
bool layDownBase(const fs::path& base) {
    std::error_code error;
    fs::copy(TUNEX_NEW_BASE, base, fs::copy_options::recursive, error);
    if (error) {
        std::fprintf(stderr, "tunex-bench: could not copy %s to %s: %s\n", TUNEX_NEW_BASE,
                     base.c_str(), error.message().c_str());
        return false;
    }
    return true;
}

bool writeFile(const fs::path& path, std::uint64_t size) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    // Not zeros, which a compressing file system would store for next to nothing.
    std::string chunk(kChunkBytes, '\0');
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<char>('a' + i % 23);
    }
    bool written = fd.valid();
    for (std::uint64_t done = 0; written && done < size; done += chunk.size()) {
        const auto part =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - done, kChunkBytes));
        written = writeAll(fd.get(), std::string_view(chunk).substr(0, part));
    }
    return fd.close() && written;
}

// One batch that grows a header at the start of `file`: everything behind it moves, so the
// journal keeps the whole file.
bool growAtStart(WriteJournal& journal, const fs::path& file) {
    std::optional<FileIdentity> before;
    {
        const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
        before = fd ? identityOf(fd.get()) : std::nullopt;
    }
    if (!before) {
        return false;
    }
    JournaledBatch batch(journal, [](const auto&, const auto&) {});
    batch.add(FileChange{file.string(), *before, {Splice{0, 0, std::string(kHeaderBytes, 'H')}}});
    batch.finish();
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    return !error &&
           static_cast<std::int64_t>(size) ==
               before->size + static_cast<std::int64_t>(kHeaderBytes) &&
           batch.undoable();
}

std::uint64_t folderBytes(const fs::path& folder) {
    std::uint64_t bytes = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error)) {
            bytes += it->file_size(error);
        }
    }
    return bytes;
}

struct JournalState {
    std::size_t batches = 0;
    std::uint64_t bytes = 0;
};

// The state with the journal's size on disk, once the scratch file is gone.
std::optional<JournalState> measured(std::optional<JournalState> state, const fs::path& folder,
                                     const fs::path& scratch) {
    std::error_code ignored;
    fs::remove(scratch, ignored);
    if (state) {
        state->bytes = folderBytes(folder);
    }
    return state;
}

// Every batch the journal keeps, together just under `keptBytes`, each one change to the same
// scratch file, which goes afterwards. The journal is closed again: the process timed must find
// it free.
std::optional<JournalState> fillJournal(const fs::path& folder, const fs::path& scratch,
                                        std::uint64_t keptBytes) {
    const std::uint64_t fileBytes = keptBytes / kBatchesKept - kBatchesKept * kHeaderBytes;
    bool made = writeFile(scratch, fileBytes);
    std::optional<JournalState> state;
    if (made) {
        const std::unique_ptr<WriteJournal> journal = WriteJournal::open(folder);
        for (std::size_t i = 0; made && i < kBatchesKept && !interrupted(); ++i) {
            made = journal->usable() && growAtStart(*journal, scratch);
        }
        if (made && !interrupted()) {
            state = JournalState{journal->undoableBatches(), 0};
        }
    }
    return measured(state, folder, scratch);
}

// A journal that was written and then taken back: there, locked at every start, but empty.
std::optional<JournalState> emptyJournal(const fs::path& folder, const fs::path& scratch) {
    std::optional<JournalState> state;
    if (writeFile(scratch, kChunkBytes)) {
        const std::unique_ptr<WriteJournal> journal = WriteJournal::open(folder);
        if (journal->usable() && growAtStart(*journal, scratch) &&
            journal->undoLast().result == UndoReport::Result::Undone) {
            state = JournalState{journal->undoableBatches(), 0};
        }
    }
    return measured(state, folder, scratch);
}

struct OpenTimes {
    std::vector<double> full;
    std::vector<double> empty;
};

// The two bases take turns, each first in every other round, so a change in the machine's load
// falls on both. An untimed round first brings the program and both journals into the page cache.
std::optional<OpenTimes> timeOpens(const fs::path& fullBase, const fs::path& emptyBase, int runs) {
    const auto cli = [](const fs::path& base) {
        return std::vector<std::string>{TUNEX_CLI_PATH, "--base", base.string(), "collections"};
    };
    OpenTimes times;
    for (int round = 0; round <= runs; ++round) {
        const bool fullFirst = round % 2 == 0;
        const std::optional<double> first =
            timeCommand(cli(fullFirst ? fullBase : emptyBase), true);
        const std::optional<double> second =
            timeCommand(cli(fullFirst ? emptyBase : fullBase), true);
        if (!first || !second) {
            return std::nullopt;
        }
        if (round > 0) {
            times.full.push_back(fullFirst ? *first : *second);
            times.empty.push_back(fullFirst ? *second : *first);
        }
    }
    return times;
}

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string spreadNote(const std::vector<double>& seconds, const JournalState& journal) {
    const auto [least, most] = std::minmax_element(seconds.begin(), seconds.end());
    char text[128];
    std::snprintf(text, sizeof text, "%zu runs %.1f-%.1f ms; journal %zu batches, %.1f MiB",
                  seconds.size(), *least * 1000.0, *most * 1000.0, journal.batches,
                  static_cast<double>(journal.bytes) / kMiB);
    return text;
}

// Both bases and the scratch file go when the section ends: the full journal alone is a GiB.
struct Remover {
    std::vector<fs::path> paths;
    ~Remover() {
        for (const fs::path& path : paths) {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    }
};

}  // namespace

bool runJournalBenchmark(const BenchOptions& options) {
    const std::uint64_t keptBytes = options.quick ? kQuickKeptBytes : kFullKeptBytes;
    // A start takes milliseconds, so a busy machine's noise is large: many runs steady the median.
    const int runs = 10 * std::max(options.repeats, 1) + 1;
    std::printf(
        "\n== journal: tunex-cli --base B collections, the whole process, with a write journal "
        "keeping %zu batches, %.0f MiB together, beside an empty journal (median of %d, in "
        "turns)\n",
        kBatchesKept, static_cast<double>(keptBytes) / kMiB, runs);
    const Table table;
    table.printHeader();

    const StorePaths full(options.workRoot / "journal-full-base");
    const StorePaths empty(options.workRoot / "journal-empty-base");
    const fs::path scratch = options.workRoot / "journal-scratch.bin";
    const Remover remover{{full.basePath(), empty.basePath(), scratch}};
    if (!layDownBase(full.basePath()) || !layDownBase(empty.basePath())) {
        return false;
    }
    const std::optional<JournalState> fullJournal =
        fillJournal(full.journalFolder(), scratch, keptBytes);
    const std::optional<JournalState> emptyState = emptyJournal(empty.journalFolder(), scratch);
    if (interrupted()) {
        return false;
    }
    if (!fullJournal || fullJournal->batches != kBatchesKept || !emptyState ||
        emptyState->batches != 0) {
        std::fprintf(stderr, "tunex-bench: the write journals could not be made as planned\n");
        return false;
    }
    const std::optional<OpenTimes> times = timeOpens(full.basePath(), empty.basePath(), runs);
    if (!times || interrupted()) {
        table.printRow("tunex-cli collections", std::nullopt, std::nullopt, std::nullopt,
                       std::nullopt, "FAILED to run tunex-cli");
        return false;
    }
    const double fullSeconds = medianOf(times->full);
    const double emptySeconds = medianOf(times->empty);
    table.printRow("tunex-cli collections, empty journal", emptySeconds, std::nullopt, std::nullopt,
                   std::nullopt, spreadNote(times->empty, *emptyState));
    table.printRow("tunex-cli collections, full journal", fullSeconds, std::nullopt, std::nullopt,
                   std::nullopt, spreadNote(times->full, *fullJournal));
    const double ratio = fullSeconds / emptySeconds;
    const bool met = ratio <= kRatioLimit;
    table.printRatio("ratio full / empty journal", ratio,
                     std::string("target <= 1.2: ").append(met ? "PASS" : "FAIL"));
    table.printNote(
        "each kept batch is one change growing the start of a large file, so the journal holds "
        "the whole file; the base folders are the one an installation lays down");
    return met;
}

}  // namespace tunex::bench
