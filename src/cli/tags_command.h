#pragma once

#include <filesystem>
#include <ostream>
#include <span>
#include <string>

namespace tunex {

class WriteJournal;

// `tunex-cli tags catalogue|summary|show|set|clear FILE ...`; `args` are the words after "tags".
// Writes go through `journal`. Returns the exit code: 0 done, 2 input refused, 3 the file could
// not be written (it is then as it was).
int runTagsCommand(WriteJournal& journal, std::span<const std::string> args, std::ostream& out,
                   std::ostream& err);

// Where `tags` keeps its journal without a base folder: $XDG_STATE_HOME/tunex/journal, or
// ~/.local/state/tunex/journal.
[[nodiscard]] std::filesystem::path userJournalFolder();

}  // namespace tunex
