#pragma once

#include <string>

#include "core/common/unique_fd.h"
#include "core/journal/journal_group.h"

namespace tunex::journal {

enum class RestoreResult {
    Unchanged,  // it held the old bytes already
    Restored,
    ChangedSince,  // it is the file, and someone else changed it since: not ours to undo
    Unreachable,   // not there, or another file under its name: the record waits for it
    Failed,        // an I/O error, or another writer holds it; the record is still needed
};

// Opens a file to change or restore it; never blocks on a FIFO or becomes a terminal.
[[nodiscard]] UniqueFd openForWriting(const std::string& path);

// Puts a file back as the record says it was, touching only bytes that differ. The file is
// recognised by what it holds; its device and inode only tell whether a file that holds other
// bytes is the same file changed since or another file under the same name.
[[nodiscard]] RestoreResult restore(const Record& record, int journalFd);
// The same on a file the caller has open and locked.
[[nodiscard]] RestoreResult restoreOpen(const Record& record, int file, int journalFd);

}  // namespace tunex::journal
