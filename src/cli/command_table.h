#pragma once

#include "cli/cli_options.h"
#include "core/collections/file_type_list.h"

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace tunex {
class Workspace;
}

namespace tunex::cli {

// What a command gets besides its arguments: the run's media file types and the two streams.
struct CliRun {
    FileTypeList& fileTypes;
    std::ostream& out;
    std::ostream& err;
};

// A command that works on the open, locked base folder; returns the exit code.
using WorkspaceCommand =
    std::function<int(Workspace&, const std::vector<std::string>& arguments, CliRun& run)>;
using CommandTable = std::map<std::string, WorkspaceCommand>;

// Each group of commands adds itself to the table.
void addCatalogueCommands(CommandTable& table);

}  // namespace tunex::cli
