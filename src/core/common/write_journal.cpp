#include "core/common/write_journal.h"

#include "core/common/journal_folder.h"
#include "core/common/journal_group.h"
#include "core/common/journal_restore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>
#include <system_error>

namespace tunex {

namespace {

namespace fs = std::filesystem;

using journal::kBatchPrefix;
using journal::kChunk;
using journal::kDoneTrailer;
using journal::kGroupHeader;
using journal::kGroupPrefix;
using journal::kPartialMark;
using journal::kUndoingMark;
using journal::numbered;
using journal::numberedEntries;
using journal::numberOf;
using journal::openForWriting;
using journal::Record;
using journal::Region;
using journal::restore;
using journal::RestoreResult;
using journal::syncFolder;

// A group is written when it holds this many files or this many original bytes: few syncs,
// bounded memory, and a kill loses the work of one group at most.
constexpr std::size_t kGroupFiles = 128;
constexpr std::uint64_t kGroupBytes = std::uint64_t{32} << 20;

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

std::optional<UserMessage> rollbackMessage(const RollbackReport& report) {
    if (report.restored == 0 && report.leftAlonePaths.empty()) {
        return std::nullopt;
    }
    std::string text;
    if (report.restored > 0) {
        text = std::to_string(report.restored) +
               (report.restored == 1 ? " file was" : " files were") +
               " put back as it was before a tag write that was cut short.";
    }
    if (!report.leftAlonePaths.empty()) {
        if (!text.empty()) {
            text += '\n';
        }
        text +=
            "These files were changed or removed since a tag write that was cut short, or "
            "could not be written, and were left as they are:";
        for (const std::string& path : report.leftAlonePaths) {
            text += '\n' + path;
        }
    }
    return UserMessage{
        std::move(text), captionFor("Files Restored"),
        report.leftAlonePaths.empty() ? MessageIcon::Information : MessageIcon::Warning};
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
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) {
        error_ = "The write journal " + folder_.string() + " could not be made: " + error.message();
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

void WriteJournal::rollBackUnfinished() {
    std::set<std::string> leftAlone(rollback_.leftAlonePaths.begin(),
                                    rollback_.leftAlonePaths.end());
    std::vector<std::string> restored;
    for (const fs::path& batch : numberedEntries(folder_, kBatchPrefix)) {
        std::error_code error;
        // An undo cut short goes on where it stopped; every other batch loses only the groups
        // that did not finish.
        const bool undoing = fs::exists(batch / std::string(kUndoingMark), error);
        if (restoreBatch(batch, !undoing, restored, leftAlone) && undoing) {
            fs::remove_all(batch, error);
            (void)syncFolder(folder_);
        }
    }
    rollback_.restored += static_cast<int>(restored.size());
    rollback_.leftAlonePaths.assign(leftAlone.begin(), leftAlone.end());
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
    std::error_code error;
    if (!fs::create_directory(batch, error) || error || !syncFolder(folder_)) {
        error_ = "The write journal " + folder_.string() + " could not be written: " +
                 (error ? error.message() : std::string(std::strerror(errno)));
        return {};
    }
    return batch;
}

void WriteJournal::pruneBatches(const fs::path& keep) {
    const std::vector<fs::path> batches = numberedEntries(folder_, kBatchPrefix);
    // The newest batches stay, as many as are kept for undo and fit under the cap together.
    std::uint64_t kept = 0;
    std::size_t keptBatches = 0;
    for (auto batch = batches.rbegin(); batch != batches.rend(); ++batch) {
        std::uint64_t size = 0;
        bool unfinished = false;
        for (const fs::path& group : numberedEntries(*batch, kGroupPrefix)) {
            const UniqueFd fd(::open(group.c_str(), O_RDONLY | O_CLOEXEC));
            struct stat info {};
            if (fd && ::fstat(fd.get(), &info) == 0) {
                size += static_cast<std::uint64_t>(info.st_size);
            }
            // Its trailer is enough to tell: reading every record back would cost a batch's size.
            std::string tail;
            unfinished =
                unfinished || !fd || info.st_size < static_cast<off_t>(kDoneTrailer.size()) ||
                !journal::readJournal(fd.get(),
                                      info.st_size - static_cast<std::int64_t>(kDoneTrailer.size()),
                                      kDoneTrailer.size(), tail) ||
                tail != kDoneTrailer;
        }
        const bool fits = keptBatches < kBatchesKept && kept + size <= cap_;
        // A batch with an unfinished group holds the only copy of some file's old bytes.
        if (*batch == keep || fits || unfinished) {
            kept += size;
            ++keptBatches;
            continue;
        }
        std::error_code error;
        fs::remove_all(*batch, error);
    }
    (void)syncFolder(folder_);
}

JournaledBatch::JournaledBatch(WriteJournal& journal, Done done)
    : journal_(journal), done_(std::move(done)) {}

JournaledBatch::~JournaledBatch() {
    finish();
}

void JournaledBatch::add(FileChange change) {
    if (finished_) {
        done_(change, WriteOutcome::Failed);
        return;
    }
    if (change.splices.empty()) {
        done_(change, WriteOutcome::Written);
        return;
    }
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
    if (!folder_.empty()) {
        journal_.pruneBatches(folder_);
    }
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

// Makes the group's written data durable: one sync of each file system when several files
// changed (a sync can cost milliseconds on a USB stick), else the one file's. Returns the
// files whose data may not have reached the disk.
std::vector<std::size_t> unsyncedFiles(const std::vector<UniqueFd>& files,
                                       const std::vector<WriteOutcome>& outcomes,
                                       const std::vector<FileChange>& group) {
    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i] && outcomes[i] == WriteOutcome::Written) {
            written.push_back(i);
        }
    }
    std::vector<std::size_t> unsynced;
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
    return Record{change.path, change.before, change.sizeAfter(), regions, change.splices};
}

// The group's files that are still what the plan was made from, open for writing; the others
// stay closed and are not written.
std::vector<UniqueFd> openUnchanged(const std::vector<FileChange>& group) {
    std::vector<UniqueFd> files(group.size());
    for (std::size_t i = 0; i < group.size(); ++i) {
        UniqueFd fd = openForWriting(group[i].path);
        const auto identity = fd ? identityOf(fd.get()) : std::nullopt;
        if (identity && *identity == group[i].before) {
            files[i] = std::move(fd);
        }
    }
    return files;
}

// Writes the bytes each open file's change overwrites to a new group file and syncs it and its
// folder; `regions` gets where they went. Closed, and the group file gone, when that failed:
// then nothing may be touched.
UniqueFd journalGroup(const fs::path& folder, const fs::path& groupPath,
                      const std::vector<FileChange>& group, const std::vector<UniqueFd>& files,
                      std::vector<std::vector<Region>>& regions) {
    UniqueFd journalFd(::open(groupPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    bool journaled = journalFd.valid() && writeAll(journalFd.get(), kGroupHeader);
    auto position = static_cast<std::int64_t>(kGroupHeader.size());
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
    journaled = journaled && ::fdatasync(journalFd.get()) == 0 && syncFolder(folder);
    if (!journaled) {
        journalFd.reset();
        std::error_code error;
        fs::remove(groupPath, error);
    }
    return journalFd;
}

// Writes each open file's change and closes the files. A file that could not be written whole,
// or whose data may not have reached the disk, is put back at once; false when one of those
// could not be put back.
bool applyGroup(const std::vector<FileChange>& group, std::vector<UniqueFd>& files, int journalFd,
                const std::vector<std::vector<Region>>& regions,
                std::vector<WriteOutcome>& outcomes) {
    bool intact = true;
    const auto putBack = [&](std::size_t i) {
        // A full disk or an I/O error half way: put the file back at once.
        const RestoreResult restored = restore(recordOf(group[i], regions[i]), journalFd);
        intact =
            intact && restored != RestoreResult::Failed && restored != RestoreResult::LeftAlone;
        outcomes[i] = WriteOutcome::Failed;
    };
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (!files[i]) {
            continue;
        }
        if (applyChange(group[i], files[i].get(), journalFd, regions[i])) {
            outcomes[i] = WriteOutcome::Written;
        } else {
            putBack(i);
        }
    }
    for (std::size_t i : unsyncedFiles(files, outcomes, group)) {
        putBack(i);
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
    std::vector<WriteOutcome> outcomes(group.size(), WriteOutcome::Failed);
    const auto report = [&] {
        for (std::size_t i = 0; i < group.size(); ++i) {
            done_(group[i], outcomes[i]);
        }
    };
    if (folder_.empty()) {
        folder_ = journal_.startBatch();
        if (folder_.empty()) {
            report();
            return;
        }
    }
    // Only files that are still what the plan was made from are written.
    std::vector<UniqueFd> files = openUnchanged(group);
    const fs::path groupPath =
        folder_ / numbered(kGroupPrefix, static_cast<std::uint64_t>(++groups_), 6);
    std::vector<std::vector<Region>> regions(group.size());
    const UniqueFd journalFd = journalGroup(folder_, groupPath, group, files, regions);
    if (!journalFd) {
        // Nothing was touched yet.
        report();
        return;
    }
    if (!applyGroup(group, files, journalFd.get(), regions, outcomes)) {
        // The next open of the journal tries again.
        report();
        return;
    }
    struct stat info {};
    const bool done = writeAll(journalFd.get(), kDoneTrailer) &&
                      ::fdatasync(journalFd.get()) == 0 && ::fstat(journalFd.get(), &info) == 0;
    if (!done) {
        // Without its trailer the group would be rolled back at the next open: take it back
        // now, so that no file is reported written and later found old.
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (outcomes[i] == WriteOutcome::Written) {
                (void)restore(recordOf(group[i], regions[i]), journalFd.get());
                outcomes[i] = WriteOutcome::Failed;
            }
        }
        report();
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
    report();
}

}  // namespace tunex
