#include "core/journal/write_journal.h"

#include "core/journal/journal_folder.h"
#include "core/journal/journal_group.h"
#include "core/journal/journal_renames.h"
#include "core/journal/journal_restore.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

// Taking back what the journal keeps: groups cut short at open, kept batches on undo.
namespace tunex {

namespace fs = std::filesystem;

using journal::Entry;
using journal::kBatchPrefix;
using journal::kGroupPrefix;
using journal::kPartialMark;
using journal::kUndoingMark;
using journal::numberedEntries;
using journal::RestoreResult;

void WriteJournal::Restoring::into(RollbackReport& report) const {
    report.restored += static_cast<int>(restored.size());
    std::set<std::string> leftAlonePaths(report.leftAlonePaths.begin(),
                                         report.leftAlonePaths.end());
    leftAlonePaths.insert(leftAlone.begin(), leftAlone.end());
    report.leftAlonePaths.assign(leftAlonePaths.begin(), leftAlonePaths.end());
    report.waiting.insert(report.waiting.end(), waiting.begin(), waiting.end());
    report.renamedBack.insert(report.renamedBack.end(), undone.begin(), undone.end());
}

namespace {

// Whether a batch holds a group of changes or of renames to take back.
bool holdsChanges(const fs::path& batch) {
    return !numberedEntries(batch, kGroupPrefix).empty() ||
           !numberedEntries(batch, journal::kRenamePrefix).empty();
}

// Restores the group's records, newest first; the entries that must stay, in their order.
// A damaged record of an unfinished group stays, as the only copy of what its file lost; that of
// a finished group only loses the way back for a file that is whole.
std::vector<Entry> restoreEntries(const journal::GroupContents& group, int journalFd,
                                  std::vector<std::string>& restored,
                                  std::set<std::string>& leftAlone,
                                  std::vector<WaitingFile>& waiting) {
    std::vector<Entry> kept;
    const std::vector<Entry>& entries = group.entries;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (!entry->record) {
            waiting.push_back({entry->path, WaitingFile::Why::DamagedRecord});
            if (!group.done) {
                kept.push_back(*entry);
            }
            continue;
        }
        switch (journal::restore(*entry->record, journalFd)) {
            case RestoreResult::Restored:
                restored.push_back(entry->path);
                break;
            case RestoreResult::Unchanged:
                break;
            case RestoreResult::ChangedSince:
                leftAlone.insert(entry->path);
                break;
            case RestoreResult::Unreachable:
                waiting.push_back({entry->path, WaitingFile::Why::Unreachable});
                kept.push_back(*entry);
                break;
            case RestoreResult::Failed:
                waiting.push_back({entry->path, WaitingFile::Why::NotWritten});
                kept.push_back(*entry);
                break;
        }
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

}  // namespace

bool WriteJournal::restoreBatch(const fs::path& batch, bool all, Restoring& into) {
    bool intact = true;
    // A batch renames or rewrites, never both; renames are taken back newest first too.
    const std::vector<fs::path> renames = trustedGroups(batch, intact, journal::kRenamePrefix);
    for (auto group = renames.rbegin(); group != renames.rend(); ++group) {
        journal::RenamesBack back;
        intact = journal::restoreRenameGroup(*group, all, back) && intact;
        into.restored.insert(into.restored.end(), back.restored.begin(), back.restored.end());
        into.leftAlone.insert(back.leftAlone.begin(), back.leftAlone.end());
        into.waiting.insert(into.waiting.end(), back.waiting.begin(), back.waiting.end());
        into.undone.insert(into.undone.end(), back.undone.begin(), back.undone.end());
    }
    const std::vector<fs::path> groups = trustedGroups(batch, intact, kGroupPrefix);
    // Newest first, so that a file changed twice ends as it was before both.
    for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
        const UniqueFd fd(::open(group->c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            intact = false;
            continue;
        }
        // Finished groups are told by their trailer alone: a start reads no more of them.
        if (!all && journal::groupDone(fd.get())) {
            continue;
        }
        // What a rewrite of this group cut short left beside it.
        (void)::unlink((group->string() + ".new").c_str());
        const journal::GroupContents contents = journal::readGroup(fd.get());
        const std::vector<Entry> kept =
            restoreEntries(contents, fd.get(), into.restored, into.leftAlone, into.waiting);
        if (kept.size() != contents.entries.size() || kept.empty()) {
            intact = journal::rewriteGroup(group->string(), fd.get(), kept) && intact;
        }
        intact = intact && kept.empty();
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
    while (!batches.empty() && !holdsChanges(batches.back()) &&
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
    Restoring restoring;
    const bool intact = restoreBatch(batch, true, restoring);
    report.restoredPaths = std::move(restoring.restored);
    report.leftAlonePaths.assign(restoring.leftAlone.begin(), restoring.leftAlone.end());
    report.waiting = std::move(restoring.waiting);
    report.renamesUndone = std::move(restoring.undone);
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
        count += holdsChanges(*batch) ? 1 : 0;
    }
    return count;
}

}  // namespace tunex
