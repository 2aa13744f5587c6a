#pragma once

#include "cli/command_table.h"

#include <string>
#include <vector>

namespace tunex::cli {

// The Database page's Count, Add and Change: count PATH, add NAME PATH [--id3], rename OLD NEW.
[[nodiscard]] int runCount(const std::vector<std::string>& arguments, CliRun& run);
[[nodiscard]] int runAdd(Workspace& workspace, const std::vector<std::string>& arguments,
                         CliRun& run);
[[nodiscard]] int runRename(Workspace& workspace, const std::vector<std::string>& arguments,
                            CliRun& run);

void addCollectionCommands(CommandTable& table);

}  // namespace tunex::cli
