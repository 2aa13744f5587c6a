#pragma once

#include "core/store/settings.h"
#include "core/store/store_paths.h"

#include <optional>
#include <string>
#include <vector>

namespace tunex {

// The open settings file, held for the whole run. Holding it is what keeps a second copy of the
// program (or a tunex-cli run) away: the lock is taken on the system folder, because the file
// itself is replaced by a rename on every write and a lock on it would stay with the old copy.
class SettingsFile final {
public:
    // Why a settings file could not be opened.
    enum class OpenFailure { None, Unopenable, NotRegularFile, Locked };

    // Empty when the file is missing or not writable, not a regular file, or another process
    // holds the lock; then `failure` and `reason` say which and why.
    [[nodiscard]] static std::optional<SettingsFile> open(const StorePaths& paths,
                                                          OpenFailure* failure = nullptr,
                                                          std::string* reason = nullptr);

    SettingsFile(SettingsFile&& other) noexcept;
    SettingsFile& operator=(SettingsFile&& other) noexcept;
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;
    ~SettingsFile();

    // The file's current text; empty when it cannot be read.
    [[nodiscard]] std::string readText() const;
    [[nodiscard]] Settings readSettings() const;
    [[nodiscard]] std::vector<HistoryRow> readHistoryRows() const;
    // Replaces the whole file at once; on failure the old file stays and `error` says why.
    [[nodiscard]] bool write(const Settings& settings, const std::vector<HistoryRow>& historyRows,
                             std::string* error = nullptr);

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    SettingsFile(std::filesystem::path path, int lockFd)
        : path_(std::move(path)), lockFd_(lockFd) {}

    std::filesystem::path path_;
    int lockFd_ = -1;
};

}  // namespace tunex
