#pragma once

#include <ostream>
#include <string>

namespace tunex {

class WriteJournal;

// `tags waiting`: the files whose journal records wait for a later start, one a line with the
// reason (`PATH<TAB>unreachable`, `damaged record` or `could not be written`).
int listWaiting(const WriteJournal& journal, std::ostream& out);

// `tags forget FILE`: gives up the kept records of FILE, which will then not be put back.
int forgetWaiting(WriteJournal& journal, const std::string& file, std::ostream& out,
                  std::ostream& err);

}  // namespace tunex
