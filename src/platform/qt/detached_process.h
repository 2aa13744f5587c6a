#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tunex {

// Starts `program` (a path) with the arguments as they are, byte for byte: QProcess passes
// arguments as QString, which cannot carry a file name that is not valid UTF-8. The program gets a
// session of its own and /dev/null as its input, like a program started from the desktop, so that
// it outlives us and a text-mode program cannot take over our terminal. Nothing when it could not
// be started.
[[nodiscard]] std::optional<pid_t> startDetached(const std::string& program,
                                                 const std::vector<std::string>& arguments);

// Collects the program's exit status on a thread of its own, so that it leaves no zombie.
void reapInBackground(pid_t pid);

// Waits up to `limit` for a program that hands its work on and ends (a launcher such as xdg-open).
// A launcher that is still running is taken as showing what it was given (it runs the browser
// itself); it is then reaped in the background.
enum class LauncherOutcome { Succeeded, Failed, StillRunning };
[[nodiscard]] LauncherOutcome waitForLauncher(pid_t pid, std::chrono::milliseconds limit);

}  // namespace tunex
