#include "core/store/settings_file.h"

#include "core/common/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <utility>

namespace tunex {

std::optional<SettingsFile> SettingsFile::open(const StorePaths& paths) {
    const std::filesystem::path file = paths.settingsFile();
    // The program reads and writes the file, so it must exist and be both.
    const int probe = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (probe < 0) {
        return std::nullopt;
    }
    ::close(probe);
    const int lockFd = ::open(paths.systemFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockFd < 0) {
        return std::nullopt;
    }
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd);
        return std::nullopt;
    }
    return SettingsFile(file, lockFd);
}

SettingsFile::SettingsFile(SettingsFile&& other) noexcept
    : path_(std::move(other.path_)), lockFd_(std::exchange(other.lockFd_, -1)) {}

SettingsFile& SettingsFile::operator=(SettingsFile&& other) noexcept {
    if (this != &other) {
        if (lockFd_ >= 0) {
            ::close(lockFd_);
        }
        path_ = std::move(other.path_);
        lockFd_ = std::exchange(other.lockFd_, -1);
    }
    return *this;
}

SettingsFile::~SettingsFile() {
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // releases the lock
    }
}

std::string SettingsFile::readText() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Settings SettingsFile::readSettings() const {
    Settings settings;
    tunex::readSettings(readText(), settings);
    return settings;
}

std::vector<HistoryRow> SettingsFile::readHistoryRows() const {
    return tunex::readHistoryRows(readText());
}

bool SettingsFile::write(const Settings& settings, const std::vector<HistoryRow>& historyRows,
                         std::string* error) {
    return writeFileAtomically(path_, renderSettingsFile(settings, historyRows), error);
}

}  // namespace tunex
