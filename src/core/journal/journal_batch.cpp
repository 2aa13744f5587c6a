#include "core/journal/file_guard.h"
#include "core/journal/journal_folder.h"
#include "core/journal/journal_group.h"
#include "core/journal/journal_restore.h"
#include "core/journal/write_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

// Writing a batch of changes through the journal.
namespace tunex {

namespace {

namespace fs = std::filesystem;

using journal::kChunk;
using journal::kGroupHeader;
using journal::kGroupPrefix;
using journal::kPartialMark;
using journal::numbered;
using journal::numberedEntries;
using journal::openForWriting;
using journal::Record;
using journal::Region;
using journal::RestoreResult;

// A group is written when it holds this many files or this many original bytes: few syncs,
// bounded memory, and a kill loses the work of one group at most.
constexpr std::size_t kGroupFiles = 128;
constexpr std::uint64_t kGroupBytes = std::uint64_t{128} << 20;

WriteResult failed(std::string reason = {}) {
    return {WriteOutcome::Failed, std::move(reason)};
}

}  // namespace

std::uint64_t changeHash(const FileChange& change) {
    // Eight bytes a step: a cover's 32 KB were summed byte by byte for every file of a batch.
    journal::RecordHash hash(true);
    for (const Splice& s : change.splices) {
        hash.add(std::to_string(s.offset) + ':' + std::to_string(s.length) + ':');
        hash.add(s.bytes);
    }
    return hash.value();
}

std::string sameFileReason(std::string_view firstPath) {
    return "the same file as " + std::string(firstPath);
}

std::string failureLine(const FileChange& change, const WriteResult& result) {
    return result.reason.empty() ? change.path : change.path + " (" + result.reason + ")";
}

JournaledBatch::JournaledBatch(WriteJournal& journal, Done done)
    : journal_(journal), done_(std::move(done)) {}

JournaledBatch::~JournaledBatch() {
    finish();
}

void JournaledBatch::report(const FileChange& change, const WriteResult& result) {
    done_(change, result);
    const auto seen = seen_.find({change.before.device, change.before.inode});
    if (seen == seen_.end() || seen->second.path != change.path) {
        return;
    }
    seen->second.result = result;
    for (const FileChange& other : seen->second.sameChange) {
        done_(other, result);
    }
    seen->second.sameChange.clear();
}

void JournaledBatch::add(FileChange change) {
    if (finished_) {
        done_(change, failed());
        return;
    }
    if (change.splices.empty()) {
        done_(change, {WriteOutcome::Written, {}});
        return;
    }
    for (const Splice& s : change.splices) {
        if (s.bytes.size() > journal::kMaxSpliceBytes) {
            done_(change, failed("its tag is larger than the write journal takes"));
            return;
        }
    }
    // One file under two names: written once, through the first name met.
    const std::uint64_t plan = changeHash(change);
    const auto [seen, isNew] = seen_.try_emplace({change.before.device, change.before.inode});
    if (!isNew) {
        FileSeen& first = seen->second;
        if (first.plan != plan) {
            done_(change, failed(sameFileReason(first.path)));
        } else if (first.result) {
            done_(change, *first.result);
        } else {
            first.sameChange.push_back(std::move(change));
        }
        return;
    }
    seen->second.path = change.path;
    seen->second.plan = plan;
    for (const auto& [offset, length] : journal::regionsOf(change)) {
        (void)offset;
        queuedBytes_ += static_cast<std::uint64_t>(length);
    }
    queued_.push_back(std::move(change));
    if (queued_.size() >= kGroupFiles || queuedBytes_ >= kGroupBytes) {
        writeGroup();
    }
}

void JournaledBatch::finish() {
    if (finished_) {
        return;
    }
    writeGroup();
    finished_ = true;
    journal_.closeBatch(folder_, groups_ > 0);
}

void WriteJournal::closeBatch(const fs::path& batch, bool wroteAny) {
    if (batch.empty()) {
        return;
    }
    std::error_code error;
    // A batch that wrote nothing takes no place among those undo can take back.
    if (!wroteAny && !fs::exists(batch / std::string(kPartialMark), error)) {
        fs::remove_all(batch, error);
        (void)syncFolder(folder_);
        return;
    }
    pruneBatches(batch);
}

namespace {

// Writes a change over the open file; the original bytes of its regions are in the journal.
bool applyChange(const FileChange& change, int file, int journalFd,
                 const std::vector<Region>& regions) {
    if (change.inPlace()) {
        return std::ranges::all_of(change.splices, [file](const Splice& s) {
            return writeAllAt(file, s.bytes, s.offset);
        });
    }
    // The moving part is rebuilt from the journal's copy, so overwriting the file as we go
    // cannot destroy bytes still to be copied.
    const Region& moving = regions.back();
    std::int64_t out = moving.offset;
    std::int64_t position = moving.offset;
    std::string buffer;
    auto copyOriginal = [&](std::int64_t to) {
        while (position < to) {
            const auto want = static_cast<std::size_t>(
                std::min<std::int64_t>(to - position, static_cast<std::int64_t>(kChunk)));
            buffer.resize(want);
            if (readFullyAt(journalFd, buffer.data(), want,
                            moving.journalOffset + (position - moving.offset)) !=
                    static_cast<ssize_t>(want) ||
                !writeAllAt(file, buffer, out)) {
                return false;
            }
            position += static_cast<std::int64_t>(want);
            out += static_cast<std::int64_t>(want);
        }
        return true;
    };
    for (const Splice& s : change.splices) {
        if (s.offset < moving.offset) {
            if (!writeAllAt(file, s.bytes, s.offset)) {
                return false;
            }
            continue;
        }
        if (!copyOriginal(s.offset) || !writeAllAt(file, s.bytes, out)) {
            return false;
        }
        out += static_cast<std::int64_t>(s.bytes.size());
        position = s.offset + s.length;
    }
    return copyOriginal(change.before.size) &&
           (out >= change.before.size || ::ftruncate(file, out) == 0);
}

// Makes the group's written data durable. Where a syncfs reaches the device, one for each file
// system when several files changed (a sync can cost milliseconds on a USB stick), else the one
// file's; elsewhere (FUSE, vfat) each file and its folder. Returns the files whose data may not
// have reached the disk.
std::vector<std::size_t> unsyncedFiles(const std::vector<UniqueFd>& files,
                                       const std::vector<WriteResult>& results,
                                       const std::vector<FileChange>& group) {
    std::vector<std::size_t> written;
    std::vector<std::size_t> unsynced;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!files[i] || results[i].outcome != WriteOutcome::Written) {
            continue;
        }
        if (journal::syncfsReachesDevice(files[i].get())) {
            written.push_back(i);
        } else if (!journal::syncFileAndFolder(files[i].get(), group[i].path)) {
            unsynced.push_back(i);
        }
    }
    if (written.size() == 1) {
        if (::fdatasync(files[written.front()].get()) != 0) {
            unsynced.push_back(written.front());
        }
        return unsynced;
    }
    std::vector<std::pair<std::uint64_t, bool>> devices;  // device, synced
    for (const std::size_t i : written) {
        const std::uint64_t device = group[i].before.device;
        auto known = std::find_if(devices.begin(), devices.end(),
                                  [device](const auto& d) { return d.first == device; });
        if (known == devices.end()) {
            devices.emplace_back(device, ::syncfs(files[i].get()) == 0);
            known = devices.end() - 1;
        }
        if (!known->second) {
            unsynced.push_back(i);
        }
    }
    return unsynced;
}

// The journal's record of one change, with where the group file keeps its original bytes.
Record recordOf(const FileChange& change, const std::vector<Region>& regions) {
    return Record{change.path, change.before, change.sizeAfter(), regions, change.splices, {}};
}

// Opens the group's files and locks them against other Tunex processes, whichever journal they
// use: all the free ones at once, backing off while some are held so that two writers never
// wait on each other. A file still held after the wait, or no longer what the plan was made
// from, stays closed and is not written.
std::vector<UniqueFd> openAndLock(const std::vector<FileChange>& group,
                                  std::vector<WriteResult>& results) {
    std::vector<UniqueFd> files(group.size());
    for (std::size_t i = 0; i < group.size(); ++i) {
        files[i] = openForWriting(group[i].path);
    }
    const auto deadline = std::chrono::steady_clock::now() + journal::kLockWait;
    std::vector<std::size_t> held;
    for (;;) {
        held.clear();
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i] && !journal::lockFile(files[i].get(), true, {})) {
                held.push_back(i);
            }
        }
        if (held.empty() || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        for (UniqueFd& file : files) {
            if (file) {
                journal::unlockFile(file.get());
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 5 * (held.size() % 7)));
    }
    for (const std::size_t i : held) {
        files[i].reset();
        results[i] = failed("another program is writing it");
    }
    // Checked under the lock, right before the first byte is written.
    for (std::size_t i = 0; i < group.size(); ++i) {
        const auto identity = files[i] ? identityOf(files[i].get()) : std::nullopt;
        if (files[i] && (!identity || *identity != group[i].before)) {
            files[i].reset();
            results[i] = failed("changed since it was read");
        }
    }
    return files;
}

}  // namespace

void WriteJournal::noteJournalFailure(int error) {
    problem_ = error == ENOSPC || error == EDQUOT || error == EFBIG
                   ? "The write journal " + folder_.string() + " is out of space."
                   : "The write journal " + folder_.string() +
                         " could not be written: " + std::strerror(error);
}

namespace {

// Writes the bytes each open file's change overwrites to a new group file and syncs it and its
// folder; `regions` gets where they went and `position` the group file's size. Closed, and the
// group file gone, when that failed (errno says why): then nothing may be touched.
UniqueFd journalGroup(const fs::path& groupPath, const std::vector<FileChange>& group,
                      const std::vector<UniqueFd>& files, std::vector<std::vector<Region>>& regions,
                      std::int64_t& position) {
    UniqueFd journalFd(::open(groupPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    bool journaled = journalFd.valid() && writeAll(journalFd.get(), kGroupHeader);
    position = static_cast<std::int64_t>(kGroupHeader.size());
    for (std::size_t i = 0; journaled && i < group.size(); ++i) {
        if (!files[i]) {
            continue;
        }
        auto written = journal::appendRecord(journalFd.get(), position, group[i], files[i].get());
        journaled = written.has_value();
        if (journaled) {
            regions[i] = std::move(*written);
        }
    }
    journaled =
        journaled && ::fdatasync(journalFd.get()) == 0 && syncFolder(groupPath.parent_path());
    if (!journaled) {
        const int error = errno;
        journalFd.reset();
        std::error_code ignored;
        fs::remove(groupPath, ignored);
        errno = error;
    }
    return journalFd;
}

// Writes each open file's change and closes the files. A file that could not be written whole,
// or whose data may not have reached the disk, is put back at once; when one of those cannot be
// put back, every file of the group is (the group stays unfinished, so the next start would
// put them back anyway) and false comes back.
bool applyGroup(const std::vector<FileChange>& group, std::vector<UniqueFd>& files, int journalFd,
                const std::vector<std::vector<Region>>& regions,
                std::vector<WriteResult>& results) {
    bool intact = true;
    const auto putBack = [&](std::size_t i) {
        const RestoreResult restored =
            journal::restoreOpen(recordOf(group[i], regions[i]), files[i].get(), journalFd);
        intact =
            intact && (restored == RestoreResult::Restored || restored == RestoreResult::Unchanged);
        results[i] = failed();
    };
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (!files[i]) {
            continue;
        }
        if (applyChange(group[i], files[i].get(), journalFd, regions[i])) {
            results[i] = {WriteOutcome::Written, {}};
        } else {
            putBack(i);
        }
    }
    for (std::size_t i : unsyncedFiles(files, results, group)) {
        putBack(i);
    }
    if (!intact) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (files[i] && results[i].outcome == WriteOutcome::Written) {
                putBack(i);
            }
        }
    }
    for (UniqueFd& file : files) {
        file.reset();
    }
    return intact;
}

}  // namespace

void JournaledBatch::writeGroup() {
    std::vector<FileChange> group;
    group.swap(queued_);
    queuedBytes_ = 0;
    if (group.empty()) {
        return;
    }
    journal_.problem_.clear();
    std::vector<WriteResult> results(group.size());
    const auto tell = [&] {
        for (std::size_t i = 0; i < group.size(); ++i) {
            report(group[i], results[i]);
        }
    };
    if (folder_.empty()) {
        folder_ = journal_.startBatch();
        if (folder_.empty()) {
            std::fill(results.begin(), results.end(), failed(journal_.problem()));
            tell();
            return;
        }
    }
    std::vector<UniqueFd> files = openAndLock(group, results);
    if (std::ranges::none_of(files, [](const UniqueFd& f) { return f.valid(); })) {
        tell();
        return;
    }
    const fs::path groupPath =
        folder_ / numbered(kGroupPrefix, static_cast<std::uint64_t>(groups_) + 1, 6);
    std::vector<std::vector<Region>> regions(group.size());
    std::int64_t position = 0;
    const UniqueFd journalFd = journalGroup(groupPath, group, files, regions, position);
    if (!journalFd) {
        // Nothing was touched yet.
        journal_.noteJournalFailure(errno);
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (files[i]) {
                results[i] = failed(journal_.problem());
            }
        }
        tell();
        return;
    }
    ++groups_;
    if (!applyGroup(group, files, journalFd.get(), regions, results)) {
        // What could not be put back now, the next open of the journal puts back.
        tell();
        return;
    }
    struct stat info {};
    const bool done = journal::appendDoneTrailer(journalFd.get(), position) &&
                      ::fdatasync(journalFd.get()) == 0 && ::fstat(journalFd.get(), &info) == 0;
    if (!done) {
        journal_.noteJournalFailure(errno);
        // Without its trailer the group would be rolled back at the next open: take it back
        // now, so that no file is reported written and later found old.
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (results[i].outcome == WriteOutcome::Written) {
                (void)journal::restore(recordOf(group[i], regions[i]), journalFd.get());
                results[i] = failed(journal_.problem());
            }
        }
        tell();
        return;
    }
    keptBytes_ += static_cast<std::uint64_t>(info.st_size);
    if (keptBytes_ > journal_.cap()) {
        // Past the cap: the finished groups go, and with them the way back.
        undoable_ = false;
        for (const fs::path& old : numberedEntries(folder_, kGroupPrefix)) {
            std::error_code error;
            fs::remove(old, error);
        }
        const UniqueFd mark(::open((folder_ / std::string(kPartialMark)).c_str(),
                                   O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        (void)syncFolder(folder_);
    }
    tell();
}

}  // namespace tunex
