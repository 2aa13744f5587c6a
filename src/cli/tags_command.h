#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <span>
#include <string>

namespace tunex {

class WriteJournal;
struct UndoReport;

// `tunex-cli tags catalogue|summary|show|set|clear FILE ...`; `args` are the words after "tags".
// Writes go through `journal`. Returns the exit code: 0 done, 2 input refused, 3 the file could
// not be written (it is then as it was).
// `afterUndo` hears what an undo did, so that the base folder's collections follow files given
// their old names back.
int runTagsCommand(WriteJournal& journal, std::span<const std::string> args, std::ostream& out,
                   std::ostream& err, const std::function<void(const UndoReport&)>& afterUndo = {});

// Where `tags` keeps its journal without a base folder: $XDG_STATE_HOME/tunex/journal, or
// ~/.local/state/tunex/journal.
[[nodiscard]] std::filesystem::path userJournalFolder();

}  // namespace tunex
