#pragma once

#include <ostream>
#include <span>
#include <string>

namespace tunex {

// `tunex-cli tags catalogue|summary|show|set|clear FILE ...`; `args` are the words after "tags".
// Returns the exit code: 0 done, 2 input refused, 3 the file could not be written.
int runTagsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace tunex
