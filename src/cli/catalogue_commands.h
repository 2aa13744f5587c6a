#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tunex {
class Workspace;
}

namespace tunex::cli {

// Commands that only read the open base folder: stats, settings.
[[nodiscard]] int runStats(const Workspace& workspace, std::ostream& out);
[[nodiscard]] int runSettings(const Workspace& workspace, std::ostream& out);

}  // namespace tunex::cli
