#pragma once

#include <cstddef>
#include <utility>

namespace tunex {

// A read-only, private mapping of the first `size` bytes of an open file, unmapped when it goes.
// Touching a page past the file's end raises SIGBUS, so a reader must check the file's size
// before it reads further (see LineReader).
class FileMapping final {
public:
    FileMapping() = default;
    ~FileMapping() { reset(); }
    FileMapping(FileMapping&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    FileMapping& operator=(FileMapping&& other) noexcept {
        if (this != &other) {
            reset();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // False when the file cannot be mapped (then nothing is held).
    [[nodiscard]] bool map(int fd, std::size_t size);
    void reset();

    [[nodiscard]] bool mapped() const { return data_ != nullptr; }
    [[nodiscard]] const char* data() const { return static_cast<const char*>(data_); }
    [[nodiscard]] std::size_t size() const { return size_; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace tunex
