#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/unique_fd.h"
#include "core/common/user_message.h"

namespace tunex {

// Which file a change was planned on, and in what state.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of an open regular file; nothing for anything else.
[[nodiscard]] std::optional<FileIdentity> identityOf(int fd);

// One file to be given another name, possibly in a folder below its own (journal_renames.h).
struct FileRename {
    std::string from;  // absolute
    std::string to;    // absolute; folders missing on the way are made
    friend bool operator==(const FileRename&, const FileRename&) = default;
};

// Bytes [offset, offset + length) of a file are replaced by `bytes`.
struct Splice {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::string bytes;
};

// One file's change: splices sorted by offset, not overlapping, within the file as it was.
struct FileChange {
    std::string path;  // absolute
    FileIdentity before;
    std::vector<Splice> splices;

    [[nodiscard]] std::int64_t sizeAfter() const;
    // Whether the bytes behind the first splice keep their place (no audio moves).
    [[nodiscard]] bool inPlace() const;
};

enum class WriteOutcome {
    Written,
    Failed,  // the file is byte for byte as it was
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Failed;
    std::string reason;  // why it failed, when that is not the file's own fault
};

// A hash of what a change writes where: two names of one file asking the same hash ask the same.
[[nodiscard]] std::uint64_t changeHash(const FileChange& change);

// Why a second name of a file already in a batch is left alone.
[[nodiscard]] std::string sameFileReason(std::string_view firstPath);

// The path, with the reason in parentheses when there is one.
[[nodiscard]] std::string failureLine(const FileChange& change, const WriteResult& result);

// A file whose journal record is kept for a later start.
struct WaitingFile {
    enum class Why {
        Unreachable,    // not there, or another file under its name
        DamagedRecord,  // the record cannot be read whole: the file is left as it is
        NotWritten,     // an I/O error, or another program held it
    };
    std::string path;
    Why why = Why::Unreachable;
};

[[nodiscard]] std::string_view waitingReason(WaitingFile::Why why);

// What opening a journal found of a batch that was cut short.
struct RollbackReport {
    int restored = 0;                         // put back as they were before the write
    std::vector<std::string> leftAlonePaths;  // changed by someone else since: not touched
    std::vector<WaitingFile> waiting;         // kept for a start that reaches them
    std::vector<std::string> notApplied;      // journal folders, batches or groups not trusted
    std::vector<FileRename> renamedBack;      // files given their old names back, each as the
                                              // rename had been made
};

// "N files ... restored", with the files left alone; nothing when there was nothing to do.
[[nodiscard]] std::optional<UserMessage> rollbackMessage(const RollbackReport& report);

class WriteJournal;
// A failed write's message with what kept the journal from taking it (out of space, not made,
// not applied), when that is why.
[[nodiscard]] UserMessage withJournalProblem(UserMessage message, const WriteJournal& journal);

inline constexpr std::uint64_t kDefaultJournalCap = std::uint64_t{1} << 30;
// How many finished batches the journal keeps for undo, as long as they fit under its cap.
inline constexpr std::size_t kBatchesKept = 10;

// What taking back the newest batch did.
struct UndoReport {
    enum class Result {
        Undone,         // every file of the batch that was still as the batch left it is back
        NothingToUndo,  // no batch is kept
        NotKept,        // the newest batch was too large for the journal: it cannot be undone
        Failed,         // the journal or some file could not be written or reached; run it
                        // again
    };
    Result result = Result::NothingToUndo;
    std::vector<std::string> restoredPaths;   // put back to their bytes before the batch
    std::vector<std::string> leftAlonePaths;  // changed by someone else since
    std::vector<WaitingFile> waiting;         // not put back yet; the batch stays
    std::vector<FileRename> renamesUndone;    // files given their old names back, each as the
                                              // rename had been made
    std::string error;
};

// Changes files in place without ever leaving one half written. Before a group of files is
// touched, the bytes each change overwrites go into the journal and reach the disk; opening the
// journal puts back every file of a group that did not finish. The last finished batch stays in
// the journal (up to the cap) so that it can be taken back.
class WriteJournal final {
public:
    // Opens the journal kept in `folder`: when it exists, waits for its lock and rolls back what
    // an interrupted batch left; else the first write makes it. A journal that cannot be made or
    // locked still opens; every write through it then fails, and `error()` says why.
    [[nodiscard]] static std::unique_ptr<WriteJournal> open(std::filesystem::path folder,
                                                            std::uint64_t cap = kDefaultJournalCap);
    ~WriteJournal();
    WriteJournal(const WriteJournal&) = delete;
    WriteJournal& operator=(const WriteJournal&) = delete;
    WriteJournal(WriteJournal&&) = delete;
    WriteJournal& operator=(WriteJournal&&) = delete;

    // False once making, locking or trusting the journal failed.
    [[nodiscard]] bool usable() const { return error_.empty(); }
    [[nodiscard]] const std::string& error() const { return error_; }
    // Why the last group could not be journaled (a full disk...), or why the journal is not
    // usable; empty when nothing went wrong.
    [[nodiscard]] const std::string& problem() const { return error_.empty() ? problem_ : error_; }
    [[nodiscard]] const std::filesystem::path& folder() const { return folder_; }
    [[nodiscard]] const RollbackReport& rollback() const { return rollback_; }
    [[nodiscard]] std::uint64_t cap() const { return cap_; }

    // Puts every file of the newest kept batch back to its bytes before the batch, newest group
    // first, and drops the batch, so the next undo takes the batch before it. A file changed by
    // someone else since is left alone and named. An undo cut short is finished by the next open.
    [[nodiscard]] UndoReport undoLast();
    // How many batches undo could take back, one after the other (a batch too large to keep ends
    // the count).
    [[nodiscard]] std::size_t undoableBatches();

    // The renames of finished batches whose collections may not list the new names yet (a kill
    // came in between); the caller makes them follow, then calls renamesFollowed().
    [[nodiscard]] std::vector<FileRename> renamesToFollow();
    // The collections list the new names of every batch of renames so far.
    void renamesFollowed();

    // Gives up the kept records of the file at `path`: it will not be put back. How many there
    // were.
    [[nodiscard]] int forget(const std::string& path);

    // Only `open` makes one.
    class Key {
        friend class WriteJournal;
        Key() = default;
    };
    WriteJournal(Key key, std::filesystem::path folder, std::uint64_t cap);

private:
    friend class JournaledBatch;
    friend class JournaledRenames;
    // What restoring found, gathered over the batches.
    struct Restoring {
        std::vector<std::string> restored;
        std::set<std::string> leftAlone;
        std::vector<WaitingFile> waiting;
        std::vector<FileRename> undone;
        void into(RollbackReport& report) const;
    };
    [[nodiscard]] bool lock();
    void rollBackUnfinished();
    // Restores every record of the batch's groups (only the unfinished ones unless `all`),
    // newest first; false when some record must stay.
    [[nodiscard]] bool restoreBatch(const std::filesystem::path& batch, bool all, Restoring& into);
    // The batch's groups that may be applied; the others are named in the report, and
    // `allTrusted` says whether there were any.
    [[nodiscard]] std::vector<std::filesystem::path> trustedGroups(
        const std::filesystem::path& batch, bool& allTrusted, std::string_view prefix);
    [[nodiscard]] std::filesystem::path startBatch();
    void pruneBatches(const std::filesystem::path& keep);
    // Ends a batch: one that wrote nothing goes, else the batches past what is kept go.
    void closeBatch(const std::filesystem::path& batch, bool wroteAny);
    void noteJournalFailure(int error);

    std::filesystem::path folder_;
    std::uint64_t cap_;
    UniqueFd lock_;
    std::string error_;
    std::string problem_;
    RollbackReport rollback_;
};

// One batch of changes. Changes are written in groups: one journal sync for the group, the
// in-place writes, one sync of their data, then the group is marked done. A change whose file
// no longer matches its identity, that another program holds, or that cannot be written
// completely, fails and leaves the file as it was. Each file is written once: a second name of a
// file already in the batch is left alone, unless it asks the very same change.
class JournaledBatch final {
public:
    using Done = std::function<void(const FileChange&, const WriteResult&)>;

    JournaledBatch(WriteJournal& journal, Done done);
    ~JournaledBatch();
    JournaledBatch(const JournaledBatch&) = delete;
    JournaledBatch& operator=(const JournaledBatch&) = delete;
    JournaledBatch(JournaledBatch&&) = delete;
    JournaledBatch& operator=(JournaledBatch&&) = delete;

    // Queues a change; `done` hears its outcome when its group is written.
    void add(FileChange change);
    // Writes what is queued and closes the batch; `done` has heard of every change afterwards.
    void finish();
    // Every change of the batch is kept in the journal (false once the cap was passed).
    [[nodiscard]] bool undoable() const { return undoable_; }

private:
    struct FileSeen {
        std::string path;
        std::uint64_t plan = 0;  // hash of the splices
        std::optional<WriteResult> result;
        std::vector<FileChange> sameChange;  // other names asking the same, told with it
    };
    void writeGroup();
    void report(const FileChange& change, const WriteResult& result);

    WriteJournal& journal_;
    Done done_;
    std::map<std::pair<std::uint64_t, std::uint64_t>, FileSeen> seen_;
    std::filesystem::path folder_;
    std::vector<FileChange> queued_;
    std::uint64_t queuedBytes_ = 0;
    std::uint64_t keptBytes_ = 0;
    int groups_ = 0;
    bool undoable_ = true;
    bool finished_ = false;
};

}  // namespace tunex
