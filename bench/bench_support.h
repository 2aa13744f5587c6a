#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex::bench {

struct BenchOptions {
    bool quick = false;
    int repeats = 3;
    std::filesystem::path workRoot;  // a fresh temporary folder, removed at exit
};

// A folder made with mkdtemp and removed with everything in it when the owner goes.
class TempFolder final {
public:
    [[nodiscard]] static std::optional<TempFolder> create(std::string_view prefix);
    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&&) = delete;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    explicit TempFolder(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path path_;
};

// Interrupts (Ctrl-C, a closed output pipe, SIGTERM, SIGHUP) only set a flag: children and tools
// already started end or finish, nothing new is started, and the temporary folder still goes.
void installInterruptHandlers();
[[nodiscard]] bool interrupted();

using Clock = std::chrono::steady_clock;

// a / b, when both were measured.
[[nodiscard]] inline std::optional<double> ratioOf(std::optional<double> a,
                                                   std::optional<double> b) {
    if (!a || !b || *b <= 0) {
        return std::nullopt;
    }
    return *a / *b;
}

// Keeps the best of runs in turns: a failed run fails its side for good.
inline void keepBest(std::optional<double>& kept, bool& failed, std::optional<double> run) {
    if (!run) {
        failed = true;
        kept.reset();
    } else if (!failed && (!kept || *run < *kept)) {
        kept = run;
    }
}

[[nodiscard]] inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// VmRSS and VmHWM of this process in bytes; -1 when /proc cannot be read.
struct MemoryStatus {
    std::int64_t rssBytes = -1;
    std::int64_t peakBytes = -1;
};
[[nodiscard]] MemoryStatus readMemoryStatus();

// Lowers VmHWM to the current RSS (Linux 4.0 on), so a peak can be taken for one step only.
bool resetPeakMemory();

// Runs `work` in a forked child and hands back what it returned. A child starts with the parent's
// RSS as its peak and leaves the parent's heap untouched, so every measurement starts clean. Empty
// when the child failed or died, or after an interrupt.
[[nodiscard]] std::optional<std::vector<double>> runInChild(
    const std::function<std::vector<double>()>& work);

// Wall time of an external program started without a shell, its output sent to /dev/null. Empty
// when it could not be started or did not exit with 0, or after an interrupt.
[[nodiscard]] std::optional<double> timeCommand(const std::vector<std::string>& argv, bool cLocale);

// The smallest of up to `repeats` runs; empty when any run failed.
[[nodiscard]] std::optional<double> bestOf(int repeats,
                                           const std::function<std::optional<double>()>& run);

// One line per measurement, in fixed columns; absent values print as "-".
class Table final {
public:
    void printHeader() const;
    void printRow(std::string_view what, std::optional<double> seconds,
                  std::optional<std::int64_t> records, std::optional<double> peakBytes,
                  std::optional<double> heldBytes, std::string_view note = {}) const;
    void printRatio(std::string_view what, std::optional<double> ratio,
                    std::string_view note) const;
    void printNote(std::string_view text) const;
};

}  // namespace tunex::bench
