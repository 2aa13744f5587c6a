#pragma once

#include <filesystem>

namespace tunex {

class Platform;

// Opens the base folder, shows the main window and runs until it closes; the process exit code.
[[nodiscard]] int runTunex(Platform& platform, const std::filesystem::path& baseFolder);

}  // namespace tunex
