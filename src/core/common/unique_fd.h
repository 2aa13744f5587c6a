#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>
#include <utility>

namespace tunex {

// Owns one file descriptor and closes it when it goes.
class UniqueFd final {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }
    [[nodiscard]] int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1);
    // Closes now and says whether the close succeeded (a late write error shows up here).
    [[nodiscard]] bool close();

private:
    int fd_ = -1;
};

// Writes every byte, at the file offset or at `offset`, going on after interruptions. False on
// any error, with errno set.
[[nodiscard]] bool writeAll(int fd, std::string_view bytes);
[[nodiscard]] bool writeAllAt(int fd, std::string_view bytes, off_t offset);

// Reads up to `size` bytes at `offset`, going on after interruptions and short reads; fewer only
// at the end of the file. -1 on error.
[[nodiscard]] ssize_t readFullyAt(int fd, char* buffer, size_t size, off_t offset);

// Syncs a folder's entries (names made, renamed or removed in it); false, with errno, when that
// failed. An empty path is the current folder.
[[nodiscard]] bool syncFolder(const std::filesystem::path& folder);

// One read() that is retried when interrupted.
[[nodiscard]] ssize_t readSome(int fd, char* buffer, size_t size);

}  // namespace tunex
