#include "rename_benchmark.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <system_error>

#include "core/common/unique_fd.h"
#include "core/journal/write_journal.h"
#include "core/tags/rename_from_tags.h"
#include "tag_runs.h"

namespace tunex::bench {

namespace {

namespace fs = std::filesystem;

constexpr int kPerFolder = 100;
constexpr double kRatioLimit = 3.0;

bool generateTree(const fs::path& root, int files) {
    std::error_code error;
    for (int i = 0; i < files; ++i) {
        const fs::path path = root / ("CD " + std::to_string(i / kPerFolder)) /
                              ("track " + std::to_string(i) + ".mp3");
        if (i % kPerFolder == 0 && !fs::create_directories(path.parent_path(), error) && error) {
            return false;
        }
        const std::string tag = id3v23Tag(
            {{"TPE1", artistOf(i)}, {"TIT2", titleOf(i)}, {"TRCK", std::to_string(i)}}, 0);
        if (!writeWhole(path, tag + mpegAudio(i, 2))) {
            return false;
        }
    }
    return true;
}

// The renames as rename(2) alone makes them, then one fsync of each folder; -1 on a failure.
int bareRenames(const std::vector<FileRename>& renames) {
    std::set<std::string> folders;
    for (const FileRename& rename : renames) {
        if (::rename(rename.from.c_str(), rename.to.c_str()) != 0) {
            return -1;
        }
        folders.insert(fs::path(rename.to).parent_path().string());
    }
    for (const std::string& folder : folders) {
        if (!syncFolder(folder)) {
            return -1;
        }
    }
    return static_cast<int>(renames.size());
}

// Puts every file back under its old name, untimed, for the next run; false when one is not where
// the run should have put it.
bool renameBack(const std::vector<FileRename>& renames) {
    for (const FileRename& rename : renames) {
        if (::rename(rename.to.c_str(), rename.from.c_str()) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool runRenameBenchmark(const BenchOptions& options, const Table& table) {
    const int files = options.quick ? 1'000 : 10'000;
    const fs::path root = options.workRoot / "rename-tree";
    const fs::path journalFolder = options.workRoot / "rename-journal";
    table.printNote("");
    table.printNote("Name Files from Tags, \"%track:5% %artist% - %title%\", on " +
                    std::to_string(files) + " tagged mp3 files in " +
                    std::to_string(files / kPerFolder) + " folders");
    if (!generateTree(root, files)) {
        std::fprintf(stderr, "tunex-bench: could not generate the rename tree\n");
        return false;
    }
    const auto pattern =
        parseNamePattern("%track:5% %artist% - %title%", PatternUse::MakeNames).pattern;
    const Clock::time_point planStart = Clock::now();
    const RenamePlan plan = planRenames({root.string(), true, {}}, *pattern);
    const double planSeconds = secondsSince(planStart);
    const std::unique_ptr<WriteJournal> journal = WriteJournal::open(journalFolder);
    if (static_cast<int>(plan.renames.size()) != files || !journal->usable()) {
        std::fprintf(stderr, "tunex-bench: the rename plan holds %zu of %d files\n",
                     plan.renames.size(), files);
        return false;
    }
    std::optional<double> ours;
    std::optional<double> bare;
    bool oursFailed = false;
    bool bareFailed = false;
    for (int run = 0; run < options.repeats && !interrupted(); ++run) {
        Clock::time_point start = Clock::now();
        const RenameResult result = applyRenames(*journal, plan.renames);
        const double oursSeconds = secondsSince(start);
        const bool oursWhole =
            result.renamed.size() == plan.renames.size() && renameBack(plan.renames);
        keepBest(ours, oursFailed, oursWhole ? std::optional(oursSeconds) : std::nullopt);
        start = Clock::now();
        const int renamed = bareRenames(plan.renames);
        const double bareSeconds = secondsSince(start);
        const bool bareWhole = renamed == files && renameBack(plan.renames);
        keepBest(bare, bareFailed, bareWhole ? std::optional(bareSeconds) : std::nullopt);
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    table.printRow("  bare rename(2) loop, fsync of each folder", bare, files, std::nullopt,
                   std::nullopt, perFileNote(bare, files));
    table.printRow("Name Files from Tags, the renames", ours, files, std::nullopt, std::nullopt,
                   perFileNote(ours, files));
    table.printRow("  its plan: tags read, names made, checked", planSeconds, files, std::nullopt,
                   std::nullopt, perFileNote(planSeconds, files));
    table.printNote(
        "the renames go through the write journal: their records are synced first, "
        "each folder after, then the group's done mark");
    return printRatioTarget(table, "ratio renames / bare rename loop", ratioOf(ours, bare),
                            kRatioLimit);
}

}  // namespace tunex::bench
