#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/journal/write_journal.h"

namespace tunex {

// Renames files through the write journal. Before a group of files is renamed, their old and new
// names (and the folders to be made) reach the journal's disk; opening the journal gives every
// file of a group that did not finish its old name back, and undo does so for a whole batch. A
// name is never taken from another file: a rename whose target exists fails.
class JournaledRenames final {
public:
    using Done = std::function<void(const FileRename&, const WriteResult&)>;

    JournaledRenames(WriteJournal& journal, Done done);
    ~JournaledRenames();
    JournaledRenames(const JournaledRenames&) = delete;
    JournaledRenames& operator=(const JournaledRenames&) = delete;
    JournaledRenames(JournaledRenames&&) = delete;
    JournaledRenames& operator=(JournaledRenames&&) = delete;

    void add(FileRename rename);
    // Renames what is queued and closes the batch; `done` has heard of every rename afterwards.
    void finish();
    // The batch's folder in the journal; empty until something was renamed.
    [[nodiscard]] const std::filesystem::path& batchFolder() const { return folder_; }

private:
    void writeGroup();

    WriteJournal& journal_;
    Done done_;
    std::filesystem::path folder_;
    std::vector<FileRename> queued_;
    int groups_ = 0;
    bool finished_ = false;
};

}  // namespace tunex

namespace tunex::journal {

inline constexpr std::string_view kRenamePrefix = "rename-";
inline constexpr std::string_view kRenameHeader = "TUNEXR1\n";
// Left in a batch of renames until the collections list the new names, so that a start after a
// kill in between makes them follow.
inline constexpr std::string_view kFollowMark = "collections-follow";

// What giving files their old names back found.
struct RenamesBack {
    std::vector<std::string> restored;  // old names given back
    std::set<std::string> leftAlone;    // the new name now holds another file, or the old one does
    std::vector<WaitingFile> waiting;
    std::vector<FileRename> undone;  // each as it had been made (from the old name to the new)
};

// Gives the files of one rename group their old names back, newest first: every record of it, or
// only when the group did not finish. Records that must stay (a file not reachable now) are kept
// in the group file; true when none had to.
[[nodiscard]] bool restoreRenameGroup(const std::filesystem::path& group, bool all,
                                      RenamesBack& into);

// The renames the finished groups of a batch made.
[[nodiscard]] std::vector<FileRename> finishedRenames(const std::filesystem::path& batch);

}  // namespace tunex::journal
