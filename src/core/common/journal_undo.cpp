#include "core/common/write_journal.h"

#include "core/common/journal_folder.h"
#include "core/common/journal_group.h"
#include "core/common/journal_restore.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <system_error>

// Taking back kept batches: the journal's other half, apart from writing them.
namespace tunex {

namespace fs = std::filesystem;

using journal::kBatchPrefix;
using journal::kGroupPrefix;
using journal::kPartialMark;
using journal::kUndoingMark;
using journal::numberedEntries;
using journal::Record;
using journal::restore;
using journal::RestoreResult;
using journal::syncFolder;

bool WriteJournal::restoreBatch(const fs::path& batch, bool onlyUnfinished,
                                std::vector<std::string>& restored,
                                std::set<std::string>& leftAlone) {
    bool intact = true;
    const std::vector<fs::path> groups = numberedEntries(batch, kGroupPrefix);
    // Newest first, so that a file changed twice ends as it was before both.
    for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
        const UniqueFd fd(::open(group->c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            continue;
        }
        const journal::GroupContents contents = journal::readGroup(fd.get());
        if (onlyUnfinished && contents.done) {
            continue;
        }
        bool keep = false;
        const std::vector<Record>& records = contents.records;
        for (auto record = records.rbegin(); record != records.rend(); ++record) {
            switch (restore(*record, fd.get())) {
                case RestoreResult::Restored:
                    restored.push_back(record->path);
                    break;
                case RestoreResult::Unchanged:
                    break;
                case RestoreResult::LeftAlone:
                    leftAlone.insert(record->path);
                    break;
                case RestoreResult::Failed:
                    // Kept for the next open: the original bytes are nowhere else.
                    leftAlone.insert(record->path);
                    keep = true;
                    break;
            }
        }
        intact = intact && !keep;
        if (!keep) {
            std::error_code error;
            fs::remove(*group, error);
            (void)syncFolder(batch);
        }
    }
    return intact;
}

UndoReport WriteJournal::undoLast() {
    UndoReport report;
    std::error_code error;
    if (!fs::exists(folder_, error)) {
        return report;
    }
    if (!lock()) {
        report.result = UndoReport::Result::Failed;
        report.error = error_;
        return report;
    }
    std::vector<fs::path> batches = numberedEntries(folder_, kBatchPrefix);
    // Batches whose every group was rolled back hold nothing to take back.
    while (!batches.empty() && numberedEntries(batches.back(), kGroupPrefix).empty() &&
           !fs::exists(batches.back() / std::string(kPartialMark), error)) {
        fs::remove_all(batches.back(), error);
        batches.pop_back();
    }
    if (batches.empty()) {
        return report;
    }
    const fs::path& batch = batches.back();
    if (fs::exists(batch / std::string(kPartialMark), error)) {
        report.result = UndoReport::Result::NotKept;
        return report;
    }
    const UniqueFd mark(
        ::open((batch / std::string(kUndoingMark)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    if (!mark || !syncFolder(batch)) {
        report.result = UndoReport::Result::Failed;
        report.error = "The write journal " + folder_.string() +
                       " could not be written: " + std::strerror(errno);
        return report;
    }
    std::set<std::string> leftAlone;
    const bool intact = restoreBatch(batch, false, report.restoredPaths, leftAlone);
    report.leftAlonePaths.assign(leftAlone.begin(), leftAlone.end());
    if (!intact) {
        report.result = UndoReport::Result::Failed;
        return report;
    }
    fs::remove_all(batch, error);
    (void)syncFolder(folder_);
    report.result = UndoReport::Result::Undone;
    return report;
}

std::size_t WriteJournal::undoableBatches() {
    std::error_code error;
    if (!fs::exists(folder_, error) || !lock()) {
        return 0;
    }
    std::size_t count = 0;
    const std::vector<fs::path> batches = numberedEntries(folder_, kBatchPrefix);
    for (auto batch = batches.rbegin(); batch != batches.rend(); ++batch) {
        if (fs::exists(*batch / std::string(kPartialMark), error)) {
            break;
        }
        count += numberedEntries(*batch, kGroupPrefix).empty() ? 0 : 1;
    }
    return count;
}

}  // namespace tunex
