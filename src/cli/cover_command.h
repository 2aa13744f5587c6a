#pragma once

#include <ostream>
#include <span>
#include <string>

namespace tunex {

class WriteJournal;

// tags cover FILE --set IMAGE | --remove | --export OUT: the front cover of one file; tags cover
// FOLDER --set IMAGE | --folder-images: of every music file under it, in one undoable batch.
// Exit codes as the other tags subcommands give them.
[[nodiscard]] int runCoverCommand(WriteJournal& journal, const std::string& file,
                                  std::span<const std::string> options, std::ostream& err);

// "cover=JPEG 600×600, 48 KB (2 pictures in all)" for tags show; nothing without pictures.
void printCoverLines(const std::string& file, std::ostream& out);

}  // namespace tunex
