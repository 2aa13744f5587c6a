#pragma once

#include "cli/command_table.h"

namespace tunex::cli {

// duplicates [--by name|tags|size]
void addDuplicatesCommand(CommandTable& table);

}  // namespace tunex::cli
