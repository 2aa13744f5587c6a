#pragma once

#include "cli/command_table.h"

#include <string>
#include <vector>

namespace tunex::cli {

// The Database page's Count, Add, Change, Rescan and Delete: count PATH, add NAME PATH [--id3],
// rename OLD NEW, rescan NAME PATH [--id3], delete NAME; and collections [--at-hand], the
// collections with whether their volume is plugged in.
[[nodiscard]] int runCollections(const Workspace& workspace,
                                 const std::vector<std::string>& arguments, CliRun& run);
[[nodiscard]] int runCount(const std::vector<std::string>& arguments, CliRun& run);
[[nodiscard]] int runAdd(Workspace& workspace, const std::vector<std::string>& arguments,
                         CliRun& run);
[[nodiscard]] int runRename(Workspace& workspace, const std::vector<std::string>& arguments,
                            CliRun& run);

[[nodiscard]] int runRescan(Workspace& workspace, const std::vector<std::string>& arguments,
                            CliRun& run);
[[nodiscard]] int runDelete(Workspace& workspace, const std::vector<std::string>& arguments,
                            CliRun& run);

void addCollectionCommands(CommandTable& table);

}  // namespace tunex::cli
