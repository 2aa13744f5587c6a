#pragma once

#include "cli/command_table.h"

#include <string>
#include <vector>

namespace tunex::cli {

// friend-export NAME EMAIL: the Friend page's Export.
[[nodiscard]] int runFriendExport(const Workspace& workspace,
                                  const std::vector<std::string>& arguments, CliRun& run);
// friend-search FILE KEYWORD [--max N]: the Friend page's Search Friend, printing its list.
[[nodiscard]] int runFriendSearch(const Workspace& workspace,
                                  const std::vector<std::string>& arguments, CliRun& run);

void addFriendCommands(CommandTable& table);

}  // namespace tunex::cli
