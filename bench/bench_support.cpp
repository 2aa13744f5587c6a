#include "bench_support.h"

#include "core/common/unique_fd.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

extern char** environ;

namespace tunex::bench {

namespace {
volatile std::sig_atomic_t interruptSeen = 0;

extern "C" void noteInterrupt(int) {
    interruptSeen = 1;
}
}  // namespace

void installInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        ::sigaction(signal, &action, nullptr);
    }
}

bool interrupted() {
    return interruptSeen != 0;
}

std::optional<TempFolder> TempFolder::create(std::string_view prefix) {
    std::string pattern = "/tmp/";
    pattern.append(prefix).append("-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        return std::nullopt;
    }
    return TempFolder(pattern);
}

TempFolder::TempFolder(TempFolder&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
}

TempFolder::~TempFolder() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

MemoryStatus readMemoryStatus() {
    MemoryStatus status;
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        // Lines read "VmRSS:     1234 kB".
        const auto valueOf = [&line](std::string_view key) -> std::int64_t {
            return std::strtoll(line.c_str() + key.size(), nullptr, 10) * 1024;
        };
        if (line.starts_with("VmRSS:")) {
            status.rssBytes = valueOf("VmRSS:");
        } else if (line.starts_with("VmHWM:")) {
            status.peakBytes = valueOf("VmHWM:");
        }
    }
    return status;
}

bool resetPeakMemory() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

namespace {

bool writeBytes(int fd, const void* data, size_t size) {
    return writeAll(fd, std::string_view(static_cast<const char*>(data), size));
}

bool readAll(int fd, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t done = readSome(fd, bytes, size);
        if (done <= 0) {
            return false;
        }
        bytes += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

bool waitForSuccess(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::optional<std::vector<double>> runInChild(const std::function<std::vector<double>()>& work) {
    if (interrupted()) {
        return std::nullopt;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);
    std::fflush(nullptr);  // or the child's exit would print pending output twice
    const pid_t pid = ::fork();
    if (pid < 0) {
        return std::nullopt;
    }
    if (pid == 0) {
        readEnd.reset();
        int status = 1;
        try {
            const std::vector<double> values = work();
            const std::uint64_t count = values.size();
            if (writeBytes(writeEnd.get(), &count, sizeof count) &&
                writeBytes(writeEnd.get(), values.data(), values.size() * sizeof(double))) {
                status = 0;
            }
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tunex-bench: %s\n", error.what());
        }
        std::fflush(nullptr);
        ::_exit(status);
    }
    writeEnd.reset();  // or the read would never see the end of a child that died
    std::uint64_t count = 0;
    std::vector<double> values;
    bool complete = readAll(readEnd.get(), &count, sizeof count) && count < (1U << 20);
    if (complete) {
        values.resize(count);
        complete = readAll(readEnd.get(), values.data(), count * sizeof(double));
    }
    readEnd.reset();  // a child still writing gets EPIPE instead of blocking the wait
    const bool succeeded = waitForSuccess(pid);
    if (!complete || !succeeded) {
        return std::nullopt;
    }
    return values;
}

std::optional<double> timeCommand(const std::vector<std::string>& argv, bool cLocale) {
    if (interrupted()) {
        return std::nullopt;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    std::vector<std::string> envText;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        if (!cLocale || !text.starts_with("LC_ALL=")) {
            envText.emplace_back(text);
        }
    }
    if (cLocale) {
        envText.emplace_back("LC_ALL=C");
    }
    std::vector<char*> env;
    for (std::string& text : envText) {
        env.push_back(text.data());
    }
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    const int failed = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return std::nullopt;
    }
    const bool succeeded = waitForSuccess(pid);
    const double seconds = secondsSince(start);
    if (!succeeded) {
        return std::nullopt;
    }
    return seconds;
}

std::optional<double> bestOf(int repeats, const std::function<std::optional<double>()>& run) {
    std::optional<double> best;
    for (int i = 0; i < std::max(repeats, 1); ++i) {
        const std::optional<double> seconds = run();
        if (!seconds) {
            return std::nullopt;
        }
        if (!best || *seconds < *best) {
            best = seconds;
        }
    }
    return best;
}

namespace {
constexpr double kMiB = 1024.0 * 1024.0;
}

void Table::printHeader() const {
    std::printf("%-46s %11s %10s %10s %10s  %s\n", "measurement", "time ms", "in memory",
                "peak MiB", "held MiB", "note");
}

void Table::printRow(std::string_view what, std::optional<double> seconds,
                     std::optional<std::int64_t> records, std::optional<double> peakBytes,
                     std::optional<double> heldBytes, std::string_view note) const {
    char time[32] = "-";
    char count[32] = "-";
    char peak[32] = "-";
    char held[32] = "-";
    if (seconds) {
        std::snprintf(time, sizeof time, "%.1f", *seconds * 1000.0);
    }
    if (records) {
        std::snprintf(count, sizeof count, "%lld", static_cast<long long>(*records));
    }
    if (peakBytes) {
        std::snprintf(peak, sizeof peak, "%.1f", *peakBytes / kMiB);
    }
    if (heldBytes) {
        std::snprintf(held, sizeof held, "%.1f", *heldBytes / kMiB);
    }
    std::printf("%-46.*s %11s %10s %10s %10s  %.*s\n", static_cast<int>(what.size()), what.data(),
                time, count, peak, held, static_cast<int>(note.size()), note.data());
}

void Table::printRatio(std::string_view what, std::optional<double> ratio,
                       std::string_view note) const {
    char value[32] = "n/a";
    if (ratio) {
        std::snprintf(value, sizeof value, "x %.2f", *ratio);
    }
    std::printf("%-46.*s %11s %10s %10s %10s  %.*s\n", static_cast<int>(what.size()), what.data(),
                value, "", "", "", static_cast<int>(note.size()), note.data());
}

void Table::printNote(std::string_view text) const {
    std::printf("  %.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace tunex::bench
