#pragma once

#include <ostream>
#include <span>
#include <string>

namespace tunex {

class WriteJournal;

// `tunex-cli tags tidy FOLDER --case title|lower|upper|first [--spaces] [--underscores]
// [--fields title,artist,album,albumartist] [--dry-run]`; `args` are the words after "tidy".
// Returns 0 done, 2 input refused, 3 some file could not be written.
int runTidyCommand(WriteJournal& journal, std::span<const std::string> args, std::ostream& out,
                   std::ostream& err);

}  // namespace tunex
