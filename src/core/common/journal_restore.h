#pragma once

#include <string>

#include "core/common/journal_group.h"
#include "core/common/unique_fd.h"

namespace tunex::journal {

enum class RestoreResult {
    Unchanged,  // it held the old bytes already
    Restored,
    LeftAlone,  // gone, replaced, or changed by someone else since: not ours to undo
    Failed,     // an I/O error; the record is still needed
};

// Opens a file to change or restore it; never blocks on a FIFO or becomes a terminal.
[[nodiscard]] UniqueFd openForWriting(const std::string& path);

// Puts a file back as the record says it was, touching only bytes that differ.
[[nodiscard]] RestoreResult restore(const Record& record, int journalFd);

}  // namespace tunex::journal
