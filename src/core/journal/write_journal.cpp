#include "core/journal/write_journal.h"

#include "core/journal/file_guard.h"
#include "core/journal/journal_folder.h"
#include "core/journal/journal_group.h"
#include "core/journal/journal_renames.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace tunex {

namespace {

namespace fs = std::filesystem;

using journal::kBatchPrefix;
using journal::kGroupPrefix;
using journal::kPartialMark;
using journal::kUndoingMark;
using journal::numbered;
using journal::numberedEntries;
using journal::numberOf;

bool isUndoing(const fs::path& batch) {
    std::error_code error;
    return fs::exists(batch / std::string(kUndoingMark), error);
}

}  // namespace

std::optional<FileIdentity> identityOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{
        static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        info.st_size,
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::int64_t FileChange::sizeAfter() const {
    std::int64_t size = before.size;
    for (const Splice& s : splices) {
        size += static_cast<std::int64_t>(s.bytes.size()) - s.length;
    }
    return size;
}

bool FileChange::inPlace() const {
    int appends = 0;
    for (const Splice& s : splices) {
        if (s.offset == before.size && s.length == 0) {
            ++appends;
        } else if (static_cast<std::int64_t>(s.bytes.size()) != s.length) {
            return false;
        }
    }
    return appends <= 1;
}

WriteJournal::WriteJournal(Key /*key*/, fs::path folder, std::uint64_t cap)
    : folder_(std::move(folder)), cap_(cap) {}

WriteJournal::~WriteJournal() = default;

std::unique_ptr<WriteJournal> WriteJournal::open(fs::path folder, std::uint64_t cap) {
    auto journal = std::make_unique<WriteJournal>(Key(), std::move(folder), cap);
    // A journal that was never written holds nothing to roll back; it is made by the first write.
    std::error_code error;
    if (fs::exists(journal->folder_, error)) {
        (void)journal->lock();
    }
    return journal;
}

bool WriteJournal::lock() {
    if (lock_) {
        return true;
    }
    if (folder_.empty() || folder_.is_relative()) {
        error_ = "The write journal has no place: set HOME or XDG_STATE_HOME to a folder.";
        return false;
    }
    std::error_code error;
    fs::create_directories(folder_.parent_path(), error);
    if (!error && ::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) {
        error = std::error_code(errno, std::generic_category());
    }
    if (error) {
        error_ = "The write journal " + folder_.string() + " could not be made: " + error.message();
        return false;
    }
    // As ssh with its keys: a journal someone else could write may name any file to "put back".
    if (const auto distrust = journal::distrustOf(folder_)) {
        error_ = "The write journal " + folder_.string() + " was not applied: " + *distrust + '.';
        rollback_.notApplied.push_back(error_);
        return false;
    }
    UniqueFd lock(::open((folder_ / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    int locked = -1;
    while (lock && (locked = ::flock(lock.get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (!lock || locked != 0) {
        error_ = "The write journal " + folder_.string() +
                 " could not be opened: " + std::strerror(errno);
        return false;
    }
    lock_ = std::move(lock);
    error_.clear();
    rollBackUnfinished();
    return true;
}

std::vector<fs::path> WriteJournal::trustedGroups(const fs::path& batch, bool& allTrusted,
                                                  std::string_view prefix) {
    std::vector<fs::path> trusted;
    allTrusted = true;
    if (const auto distrust = journal::distrustOf(batch)) {
        rollback_.notApplied.push_back("The write journal's batch " + batch.string() +
                                       " was not applied: " + *distrust + '.');
        allTrusted = false;
        return trusted;
    }
    for (fs::path& group : numberedEntries(batch, prefix)) {
        if (const auto distrust = journal::distrustOf(group)) {
            rollback_.notApplied.push_back("The write journal's group " + group.string() +
                                           " was not applied: " + *distrust + '.');
            allTrusted = false;
        } else {
            trusted.push_back(std::move(group));
        }
    }
    return trusted;
}

void WriteJournal::rollBackUnfinished() {
    Restoring restoring;
    for (const fs::path& batch : numberedEntries(folder_, kBatchPrefix)) {
        // An undo cut short goes on where it stopped; every other batch loses only the groups
        // that did not finish.
        const bool undoing = isUndoing(batch);
        if (restoreBatch(batch, undoing, restoring) && undoing) {
            std::error_code error;
            fs::remove_all(batch, error);
            (void)syncFolder(folder_);
        }
    }
    restoring.into(rollback_);
}

fs::path WriteJournal::startBatch() {
    if (!lock()) {
        return {};
    }
    const std::vector<fs::path> batches = numberedEntries(folder_, kBatchPrefix);
    std::uint64_t next = 1;
    if (!batches.empty()) {
        next = numberOf(batches.back().filename().native(), kBatchPrefix).value_or(0) + 1;
    }
    fs::path batch = folder_ / numbered(kBatchPrefix, next, 12);
    if (::mkdir(batch.c_str(), 0700) != 0 || !syncFolder(folder_)) {
        noteJournalFailure(errno);
        return {};
    }
    return batch;
}

namespace {

// The size of a batch's groups, and whether one of them is unfinished: read from their ends.
std::pair<std::uint64_t, bool> batchSize(const fs::path& batch) {
    std::uint64_t size = 0;
    bool unfinished = false;
    std::vector<fs::path> groups = numberedEntries(batch, kGroupPrefix);
    for (fs::path& renames : numberedEntries(batch, journal::kRenamePrefix)) {
        groups.push_back(std::move(renames));
    }
    for (const fs::path& group : groups) {
        const UniqueFd fd(::open(group.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info {};
        if (fd && ::fstat(fd.get(), &info) == 0) {
            size += static_cast<std::uint64_t>(info.st_size);
        }
        unfinished = unfinished || !fd || !journal::groupDone(fd.get());
    }
    return {size, unfinished};
}

}  // namespace

void WriteJournal::pruneBatches(const fs::path& keep) {
    const std::vector<fs::path> batches = numberedEntries(folder_, kBatchPrefix);
    // The newest batches stay, as many as are kept for undo and fit under the cap together;
    // once one does not, no older one stays either, so that undo never skips a batch.
    std::uint64_t kept = 0;
    std::size_t keptBatches = 0;
    bool full = false;
    for (auto batch = batches.rbegin(); batch != batches.rend(); ++batch) {
        const auto [size, unfinished] = batchSize(*batch);
        std::error_code error;
        const bool empty = size == 0 && !fs::exists(*batch / std::string(kPartialMark), error);
        full = full || keptBatches >= kBatchesKept || kept + size > cap_;
        // A batch with an unfinished group holds the only copy of some file's old bytes.
        if (*batch == keep || unfinished || isUndoing(*batch) || (!full && !empty)) {
            kept += size;
            keptBatches += empty ? 0 : 1;
            continue;
        }
        fs::remove_all(*batch, error);
    }
    (void)syncFolder(folder_);
}

std::vector<FileRename> WriteJournal::renamesToFollow() {
    std::vector<FileRename> renames;
    std::error_code error;
    if (!fs::exists(folder_, error) || !lock()) {
        return renames;
    }
    for (const fs::path& batch : numberedEntries(folder_, kBatchPrefix)) {
        if (fs::exists(batch / std::string(journal::kFollowMark), error)) {
            for (FileRename& rename : journal::finishedRenames(batch)) {
                renames.push_back(std::move(rename));
            }
        }
    }
    return renames;
}

void WriteJournal::renamesFollowed() {
    std::error_code error;
    if (!fs::exists(folder_, error) || !lock()) {
        return;
    }
    for (const fs::path& batch : numberedEntries(folder_, kBatchPrefix)) {
        if (fs::remove(batch / std::string(journal::kFollowMark), error)) {
            (void)syncFolder(batch);
        }
    }
}

int WriteJournal::forget(const std::string& path) {
    if (!lock()) {
        return 0;
    }
    int forgotten = 0;
    for (const fs::path& batch : numberedEntries(folder_, kBatchPrefix)) {
        const bool undoing = isUndoing(batch);
        bool allTrusted = true;
        for (const fs::path& group : trustedGroups(batch, allTrusted, kGroupPrefix)) {
            const UniqueFd fd(::open(group.c_str(), O_RDONLY | O_CLOEXEC));
            if (!fd || (!undoing && journal::groupDone(fd.get()))) {
                continue;
            }
            journal::GroupContents contents = journal::readGroup(fd.get());
            const auto before = contents.entries.size();
            std::erase_if(contents.entries,
                          [&](const journal::Entry& entry) { return entry.path == path; });
            const auto dropped = static_cast<int>(before - contents.entries.size());
            if (dropped > 0 && journal::rewriteGroup(group.string(), fd.get(), contents.entries)) {
                forgotten += dropped;
            }
        }
    }
    std::erase_if(rollback_.waiting, [&](const WaitingFile& file) { return file.path == path; });
    return forgotten;
}

}  // namespace tunex
