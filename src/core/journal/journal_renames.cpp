#include "core/journal/journal_renames.h"

#include "core/journal/journal_folder.h"
#include "core/journal/journal_group.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

// Renames through the write journal. A group file holds, after its header, one record a file:
//   "TXRN" u32 length, old name; u32 length, new name; u64 inode i64 size i64 mtimeNs (of the
//   file, which a rename keeps); u32 count and, per folder the rename makes, u32 length and path;
//   u64 FNV-1a of everything from "TXRN" on
// and ends in the done trailer of journal_group.h once every rename of it is on disk.
namespace tunex {

namespace fs = std::filesystem;

namespace journal {

namespace {
constexpr std::string_view kRecordMark = "TXRN";
}  // namespace
// Renames are small records; a group bounds what a kill takes back, not memory.
constexpr std::size_t kGroupRenames = 4096;

struct RenameRecord {
    FileRename rename;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::vector<std::string> madeFolders;  // in the order they are made
};

namespace {

template <class T>
void putInt(std::string& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF));
    }
}

void putText(std::string& out, std::string_view text) {
    putInt(out, static_cast<std::uint32_t>(text.size()));
    out.append(text);
}

// Reads from `bytes` at `at`, moving on; false once the bytes run out.
class Reader {
public:
    explicit Reader(std::string_view bytes, std::size_t at) : bytes_(bytes), at_(at) {}
    template <class T>
    bool get(T& value) {
        if (bytes_.size() - at_ < sizeof(T)) {
            return false;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[at_ + i])) << (8 * i);
        }
        value = static_cast<T>(v);
        at_ += sizeof(T);
        return true;
    }
    bool text(std::string& out) {
        std::uint32_t length = 0;
        if (!get(length) || bytes_.size() - at_ < length) {
            return false;
        }
        out.assign(bytes_.substr(at_, length));
        at_ += length;
        return true;
    }
    [[nodiscard]] std::size_t at() const { return at_; }

private:
    std::string_view bytes_;
    std::size_t at_;
};

}  // namespace

std::string recordBytes(const RenameRecord& record) {
    std::string out(kRecordMark);
    putText(out, record.rename.from);
    putText(out, record.rename.to);
    putInt(out, record.inode);
    putInt(out, record.size);
    putInt(out, record.mtimeNs);
    putInt(out, static_cast<std::uint32_t>(record.madeFolders.size()));
    for (const std::string& folder : record.madeFolders) {
        putText(out, folder);
    }
    putInt(out, fnv(kFnvOffset, out));
    return out;
}

namespace {

struct ReadRecords {
    std::vector<RenameRecord> records;
    std::vector<std::string> damaged;  // the old names, as far as they could be read
    bool done = false;
};

ReadRecords readRecords(int fd) {
    ReadRecords result;
    struct stat info {};
    std::string bytes;
    if (::fstat(fd, &info) != 0 ||
        !readJournal(fd, 0, static_cast<std::size_t>(info.st_size), bytes) ||
        !bytes.starts_with(kRenameHeader)) {
        return result;
    }
    result.done = groupDone(fd);
    const std::size_t end = bytes.size() - (result.done ? kDoneTrailerSize : 0);
    Reader reader(std::string_view(bytes).substr(0, end), kRenameHeader.size());
    while (reader.at() + kRecordMark.size() <= end &&
           std::string_view(bytes).substr(reader.at(), kRecordMark.size()) == kRecordMark) {
        const std::size_t start = reader.at();
        Reader fields(std::string_view(bytes).substr(0, end), start + kRecordMark.size());
        RenameRecord record;
        std::uint32_t made = 0;
        bool whole = fields.text(record.rename.from) && fields.text(record.rename.to) &&
                     fields.get(record.inode) && fields.get(record.size) &&
                     fields.get(record.mtimeNs) && fields.get(made);
        for (std::uint32_t i = 0; whole && i < made; ++i) {
            whole = fields.text(record.madeFolders.emplace_back());
        }
        const std::size_t summed = fields.at();
        std::uint64_t sum = 0;
        if (!whole || !fields.get(sum)) {
            break;  // cut off: journaling stopped there, so nothing of it was renamed
        }
        if (sum != fnv(kFnvOffset, std::string_view(bytes).substr(start, summed - start))) {
            result.damaged.push_back(record.rename.from);
        } else {
            result.records.push_back(std::move(record));
        }
        reader = fields;
    }
    return result;
}

bool sameFile(const struct stat& info, const RenameRecord& record) {
    return static_cast<std::uint64_t>(info.st_ino) == record.inode && info.st_size == record.size &&
           static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec ==
               record.mtimeNs;
}

}  // namespace

// Renames without ever taking a name another file holds. A name that differs only in case, on a
// file system that folds case, is the file's own.
int renameFree(const std::string& from, const std::string& to) {
    struct stat source {};
    struct stat target {};
    if (::lstat(to.c_str(), &target) == 0 && ::lstat(from.c_str(), &source) == 0 &&
        source.st_ino == target.st_ino && source.st_dev == target.st_dev) {
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // Some FUSE file systems take no flags.
    if (::lstat(to.c_str(), &target) == 0) {
        return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void removeMadeFoldersOf(const RenameRecord& record) {
    for (auto folder = record.madeFolders.rbegin(); folder != record.madeFolders.rend(); ++folder) {
        if (::rmdir(folder->c_str()) == 0) {
            (void)syncFolder(fs::path(*folder).parent_path());
        }
    }
}

namespace {

enum class Back { Restored, Unchanged, LeftAlone, Unreachable, Failed };

Back renameBack(const RenameRecord& record) {
    const FileRename& r = record.rename;
    struct stat now {};
    struct stat old {};
    const bool atNew = ::lstat(r.to.c_str(), &now) == 0;
    const bool atOld = ::lstat(r.from.c_str(), &old) == 0;
    if (atNew && sameFile(now, record)) {
        if (atOld && (old.st_ino != now.st_ino || old.st_dev != now.st_dev)) {
            return Back::LeftAlone;  // another file took the old name meanwhile
        }
        std::error_code ignored;
        fs::create_directories(fs::path(r.from).parent_path(), ignored);
        if (renameFree(r.to, r.from) != 0) {
            return Back::Failed;
        }
        (void)syncFolder(fs::path(r.from).parent_path());
        (void)syncFolder(fs::path(r.to).parent_path());
        removeMadeFoldersOf(record);
        return Back::Restored;
    }
    if (atOld && sameFile(old, record)) {
        removeMadeFoldersOf(record);
        return Back::Unchanged;
    }
    return atNew || atOld ? Back::LeftAlone : Back::Unreachable;
}

// Replaces the group file with one holding only `kept`, unfinished; removes it when none is.
bool keepOnly(const fs::path& group, const std::vector<RenameRecord>& kept) {
    std::error_code error;
    if (kept.empty()) {
        fs::remove(group, error);
        return !error && syncFolder(group.parent_path());
    }
    const std::string fresh = group.string() + ".new";
    UniqueFd fd(::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    std::string bytes(kRenameHeader);
    for (const RenameRecord& record : kept) {
        bytes += recordBytes(record);
    }
    return fd && writeAll(fd.get(), bytes) && ::fdatasync(fd.get()) == 0 && fd.close() &&
           ::rename(fresh.c_str(), group.c_str()) == 0 && syncFolder(group.parent_path());
}

}  // namespace

bool restoreRenameGroup(const fs::path& group, bool all, RenamesBack& into) {
    const UniqueFd fd(::open(group.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    (void)::unlink((group.string() + ".new").c_str());
    ReadRecords read = readRecords(fd.get());
    if (read.done && !all) {
        return true;
    }
    for (const std::string& path : read.damaged) {
        into.waiting.push_back({path, WaitingFile::Why::DamagedRecord});
    }
    std::vector<RenameRecord> kept;
    for (auto record = read.records.rbegin(); record != read.records.rend(); ++record) {
        switch (renameBack(*record)) {
            case Back::Restored:
                into.restored.push_back(record->rename.from);
                into.undone.push_back(record->rename);
                break;
            case Back::Unchanged:
                break;
            case Back::LeftAlone:
                into.leftAlone.insert(record->rename.to);
                break;
            case Back::Unreachable:
                into.waiting.push_back({record->rename.from, WaitingFile::Why::Unreachable});
                kept.push_back(*record);
                break;
            case Back::Failed:
                into.waiting.push_back({record->rename.from, WaitingFile::Why::NotWritten});
                kept.push_back(*record);
                break;
        }
    }
    std::reverse(kept.begin(), kept.end());
    return keepOnly(group, kept) && kept.empty() && read.damaged.empty();
}

std::vector<FileRename> finishedRenames(const fs::path& batch) {
    std::vector<FileRename> renames;
    for (const fs::path& group : numberedEntries(batch, kRenamePrefix)) {
        const UniqueFd fd(::open(group.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            continue;
        }
        const ReadRecords read = readRecords(fd.get());
        if (read.done) {
            for (const RenameRecord& record : read.records) {
                renames.push_back(record.rename);
            }
        }
    }
    return renames;
}

}  // namespace journal

namespace {

using journal::RenameRecord;

WriteResult renameFailed(std::string reason) {
    return {WriteOutcome::Failed, std::move(reason)};
}

// The folders above `to` that do not exist yet, outermost first.
std::vector<std::string> missingFolders(const std::string& to) {
    std::vector<std::string> missing;
    for (fs::path folder = fs::path(to).parent_path(); !folder.empty();
         folder = folder.parent_path()) {
        struct stat info {};
        if (::lstat(folder.c_str(), &info) == 0 || folder == folder.parent_path()) {
            break;
        }
        missing.push_back(folder.string());
    }
    std::reverse(missing.begin(), missing.end());
    return missing;
}

// What the record of a rename holds, or why it cannot be made.
std::optional<RenameRecord> recordFor(const FileRename& rename, WriteResult& refusal) {
    struct stat source {};
    if (::lstat(rename.from.c_str(), &source) != 0 || !S_ISREG(source.st_mode)) {
        refusal = renameFailed("it is no longer there");
        return std::nullopt;
    }
    struct stat target {};
    if (::lstat(rename.to.c_str(), &target) == 0 &&
        (target.st_ino != source.st_ino || target.st_dev != source.st_dev)) {
        refusal = renameFailed("a file named " + rename.to + " exists");
        return std::nullopt;
    }
    return RenameRecord{
        rename, static_cast<std::uint64_t>(source.st_ino), source.st_size,
        static_cast<std::int64_t>(source.st_mtim.tv_sec) * 1000000000 + source.st_mtim.tv_nsec,
        missingFolders(rename.to)};
}

}  // namespace

namespace {

// Makes the group's names durable: the folders both names live in, and those above made
// folders. False when one could not be synced.
bool syncTouchedFolders(const std::vector<RenameRecord>& records,
                        const std::vector<WriteResult>& results) {
    std::set<std::string> folders;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (results[i].outcome != WriteOutcome::Written) {
            continue;
        }
        folders.insert(fs::path(records[i].rename.from).parent_path().string());
        folders.insert(fs::path(records[i].rename.to).parent_path().string());
        for (const std::string& made : records[i].madeFolders) {
            folders.insert(fs::path(made).parent_path().string());
        }
    }
    return std::all_of(folders.begin(), folders.end(),
                       [](const std::string& folder) { return syncFolder(folder); });
}

// Makes the folders and renames the file; the reason when it failed, with nothing left of it.
std::optional<std::string> renameWithFolders(const RenameRecord& record) {
    for (const std::string& folder : record.madeFolders) {
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            const std::string reason = std::strerror(errno);
            journal::removeMadeFoldersOf(record);
            return "its folder could not be made: " + reason;
        }
    }
    if (const int error = journal::renameFree(record.rename.from, record.rename.to); error != 0) {
        journal::removeMadeFoldersOf(record);
        return error == EEXIST ? "a file named " + record.rename.to + " exists"
                               : std::string(std::strerror(error));
    }
    return std::nullopt;
}

}  // namespace

void JournaledRenames::writeGroup() {
    std::vector<FileRename> queued;
    queued.swap(queued_);
    if (queued.empty()) {
        return;
    }
    std::vector<WriteResult> results(queued.size(), WriteResult{WriteOutcome::Written, {}});
    const auto tell = [&] {
        for (std::size_t i = 0; i < queued.size(); ++i) {
            done_(queued[i], results[i]);
        }
    };
    if (folder_.empty()) {
        folder_ = journal_.startBatch();
        const UniqueFd mark(folder_.empty()
                                ? -1
                                : ::open((folder_ / std::string(journal::kFollowMark)).c_str(),
                                         O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        if (!mark) {
            if (!folder_.empty()) {
                journal_.noteJournalFailure(errno);
                std::error_code ignored;
                fs::remove_all(std::exchange(folder_, {}), ignored);
            }
            std::fill(results.begin(), results.end(), renameFailed(journal_.problem()));
            tell();
            return;
        }
    }
    std::vector<RenameRecord> records(queued.size());
    std::string bytes(journal::kRenameHeader);
    for (std::size_t i = 0; i < queued.size(); ++i) {
        if (auto record = recordFor(queued[i], results[i])) {
            records[i] = std::move(*record);
            bytes += journal::recordBytes(records[i]);
        }
    }
    const fs::path groupPath =
        folder_ /
        journal::numbered(journal::kRenamePrefix, static_cast<std::uint64_t>(groups_) + 1, 6);
    UniqueFd fd(::open(groupPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd || !writeAll(fd.get(), bytes) || ::fdatasync(fd.get()) != 0 || !syncFolder(folder_)) {
        journal_.noteJournalFailure(errno);
        std::error_code ignored;
        fs::remove(groupPath, ignored);
        for (WriteResult& result : results) {
            if (result.outcome == WriteOutcome::Written) {
                result = renameFailed(journal_.problem());
            }
        }
        tell();
        return;
    }
    ++groups_;
    for (std::size_t i = 0; i < queued.size(); ++i) {
        if (results[i].outcome == WriteOutcome::Written) {
            if (auto reason = renameWithFolders(records[i])) {
                results[i] = renameFailed(std::move(*reason));
            }
        }
    }
    const bool done =
        syncTouchedFolders(records, results) &&
        journal::appendDoneTrailer(fd.get(), static_cast<std::int64_t>(bytes.size())) &&
        ::fdatasync(fd.get()) == 0;
    if (!done) {
        // Unfinished, the group would be taken back at the next open: take it back now, so that
        // no file is reported renamed and later found under its old name.
        journal_.noteJournalFailure(errno);
        journal::RenamesBack back;
        (void)journal::restoreRenameGroup(groupPath, true, back);
        for (WriteResult& result : results) {
            if (result.outcome == WriteOutcome::Written) {
                result = renameFailed(journal_.problem());
            }
        }
    }
    tell();
}

JournaledRenames::JournaledRenames(WriteJournal& journal, Done done)
    : journal_(journal), done_(std::move(done)) {}

JournaledRenames::~JournaledRenames() {
    finish();
}

void JournaledRenames::add(FileRename rename) {
    if (finished_) {
        done_(rename, renameFailed({}));
        return;
    }
    queued_.push_back(std::move(rename));
    if (queued_.size() >= journal::kGroupRenames) {
        writeGroup();
    }
}

void JournaledRenames::finish() {
    if (finished_) {
        return;
    }
    writeGroup();
    finished_ = true;
    journal_.closeBatch(folder_, groups_ > 0);
}

}  // namespace tunex
