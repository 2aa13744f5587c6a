#pragma once

#include "cli/command_table.h"

namespace tunex::cli {

// The Local page and EasyTag: `local`, `clear-all`, `easytag`.
void addLocalCommands(CommandTable& table);

}  // namespace tunex::cli
