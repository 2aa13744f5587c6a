#include "core/store/settings_file.h"

#include "core/common/atomic_file.h"
#include "core/common/line_reader.h"
#include "core/common/unique_fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tunex {

std::optional<SettingsFile> SettingsFile::open(const StorePaths& paths, OpenFailure* failure,
                                               std::string* reason) {
    const auto fail = [failure, reason](OpenFailure kind, std::string why) {
        if (failure != nullptr) {
            *failure = kind;
        }
        if (reason != nullptr) {
            *reason = std::move(why);
        }
        return std::nullopt;
    };
    const std::filesystem::path file = paths.settingsFile();
    // The program reads and writes the file, so it must exist and be both, and be a regular file:
    // a FIFO would hang every read, a device never end.
    const UniqueFd probe(::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!probe) {
        return fail(OpenFailure::Unopenable, std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(probe.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return fail(OpenFailure::NotRegularFile, "It is not a regular file.");
    }
    const int lockFd = ::open(paths.systemFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockFd < 0) {
        return fail(OpenFailure::Unopenable, std::strerror(errno));
    }
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(lockFd);
        return fail(error == EWOULDBLOCK ? OpenFailure::Locked : OpenFailure::Unopenable,
                    std::strerror(error));
    }
    if (failure != nullptr) {
        *failure = OpenFailure::None;
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
    // Line by line, so that a damaged file without line ends is cut, not read whole.
    std::string text;
    LineReader reader;
    TextLine line;
    if (reader.open(path_)) {
        while (reader.next(line)) {
            text.append(line.text);
            if (line.hasLineEnd) {
                text += '\n';
            }
        }
    }
    return text;
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
