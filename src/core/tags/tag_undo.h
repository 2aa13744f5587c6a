#pragma once

#include "core/common/user_message.h"
#include "core/journal/write_journal.h"

namespace tunex {

// What the user is told after "Undo last tag change": how many files are back, which were left
// alone, or why nothing could be undone. Warning or error icons whenever some file was missed.
[[nodiscard]] UserMessage undoResultMessage(const UndoReport& report);

}  // namespace tunex
