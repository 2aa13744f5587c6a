#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
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

// What opening a journal found of a batch that was cut short.
struct RollbackReport {
    int restored = 0;                         // put back as they were before the write
    std::vector<std::string> leftAlonePaths;  // changed by someone else since, or gone: not touched
};

// "N files ... restored", with the files left alone; nothing when there was nothing to do.
[[nodiscard]] std::optional<UserMessage> rollbackMessage(const RollbackReport& report);

inline constexpr std::uint64_t kDefaultJournalCap = std::uint64_t{1} << 30;
// How many finished batches the journal keeps for undo, as long as they fit under its cap.
inline constexpr std::size_t kBatchesKept = 10;

// What taking back the newest batch did.
struct UndoReport {
    enum class Result {
        Undone,         // every file of the batch that was still as the batch left it is back
        NothingToUndo,  // no batch is kept
        NotKept,        // the newest batch was too large for the journal: it cannot be undone
        Failed,         // the journal or some file could not be written; run it again
    };
    Result result = Result::NothingToUndo;
    std::vector<std::string> restoredPaths;   // put back to their bytes before the batch
    std::vector<std::string> leftAlonePaths;  // changed by someone else since, or gone
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

    // False once making or locking the journal failed.
    [[nodiscard]] bool usable() const { return error_.empty(); }
    [[nodiscard]] const std::string& error() const { return error_; }
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

    // Only `open` makes one.
    class Key {
        friend class WriteJournal;
        Key() = default;
    };
    WriteJournal(Key key, std::filesystem::path folder, std::uint64_t cap);

private:
    friend class JournaledBatch;
    [[nodiscard]] bool lock();
    void rollBackUnfinished();
    // Restores every record of the batch's groups, newest first; false when some file could not
    // be written (the batch must stay).
    static bool restoreBatch(const std::filesystem::path& batch, bool onlyUnfinished,
                             std::vector<std::string>& restored, std::set<std::string>& leftAlone);
    [[nodiscard]] std::filesystem::path startBatch();
    void pruneBatches(const std::filesystem::path& keep);

    std::filesystem::path folder_;
    std::uint64_t cap_;
    UniqueFd lock_;
    std::string error_;
    RollbackReport rollback_;
};

// One batch of changes. Changes are written in groups: one journal sync for the group, the
// in-place writes, one sync of their data, then the group is marked done. A change whose file
// no longer matches its identity, or that cannot be written completely, fails and leaves the
// file as it was.
class JournaledBatch final {
public:
    using Done = std::function<void(const FileChange&, WriteOutcome)>;

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
    void writeGroup();

    WriteJournal& journal_;
    Done done_;
    std::filesystem::path folder_;
    std::vector<FileChange> queued_;
    std::uint64_t queuedBytes_ = 0;
    std::uint64_t keptBytes_ = 0;
    int groups_ = 0;
    bool undoable_ = true;
    bool finished_ = false;
};

}  // namespace tunex
