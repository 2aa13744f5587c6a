#include "platform/qt/detached_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

namespace tunex {

namespace {

// posix_spawn's attributes and file actions, released on every path out.
class SpawnSetup final {
public:
    SpawnSetup() {
        ready_ = posix_spawnattr_init(&attributes_) == 0;
        if (ready_ && posix_spawn_file_actions_init(&actions_) != 0) {
            posix_spawnattr_destroy(&attributes_);
            ready_ = false;
        }
    }
    ~SpawnSetup() {
        if (ready_) {
            posix_spawn_file_actions_destroy(&actions_);
            posix_spawnattr_destroy(&attributes_);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    SpawnSetup(SpawnSetup&&) = delete;
    SpawnSetup& operator=(SpawnSetup&&) = delete;

    [[nodiscard]] bool ready() const { return ready_; }
    posix_spawnattr_t* attributes() { return &attributes_; }
    posix_spawn_file_actions_t* actions() { return &actions_; }

private:
    posix_spawnattr_t attributes_{};
    posix_spawn_file_actions_t actions_{};
    bool ready_ = false;
};

}  // namespace

std::optional<pid_t> startDetached(const std::string& program,
                                   const std::vector<std::string>& arguments) {
    SpawnSetup setup;
    if (!setup.ready()) {
        return std::nullopt;
    }
    // Qt blocks and handles signals of its own; the child starts with the defaults.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(setup.attributes(), &none);
    posix_spawnattr_setsigdefault(setup.attributes(), &all);
    posix_spawnattr_setflags(setup.attributes(),
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_addopen(setup.actions(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), setup.actions(), setup.attributes(), argv.data(),
                    environ) != 0) {
        return std::nullopt;
    }
    return pid;
}

void reapInBackground(pid_t pid) {
    try {
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // The program runs all the same; only its exit status waits to be collected.
    }
}

LauncherOutcome waitForLauncher(pid_t pid, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? LauncherOutcome::Succeeded
                                                                 : LauncherOutcome::Failed;
        }
        if (done < 0 && errno != EINTR) {
            // Its status went elsewhere: it was started, and nothing says it failed.
            return LauncherOutcome::StillRunning;
        }
        if (Clock::now() >= end) {
            reapInBackground(pid);
            return LauncherOutcome::StillRunning;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace tunex
