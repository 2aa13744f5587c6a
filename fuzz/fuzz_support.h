#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tunex::fuzz {

// One mkdtemp folder per process, made on first use and removed when the process ends normally.
// A crashing input leaves it behind, which is what one wants when reproducing.
class ScratchFolder final {
public:
    static const std::filesystem::path& path() {
        static const ScratchFolder folder;
        return folder.path_;
    }

private:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tunex-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        std::abort();  // the harness itself failed, not the code under test
    }
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Hands out the fuzz input piece by piece: control bytes first, the rest as text.
class InputReader final {
public:
    InputReader(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    [[nodiscard]] std::uint8_t byte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto value = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return value;
    }
    // Up to `count` bytes, or up to and including a 0 byte, whichever comes first.
    [[nodiscard]] std::string_view piece(std::size_t count) {
        const std::size_t zero = rest_.substr(0, count).find('\0');
        const std::size_t length =
            zero == std::string_view::npos ? std::min(count, rest_.size()) : zero + 1;
        const std::string_view taken = rest_.substr(0, length);
        rest_.remove_prefix(length);
        return taken.substr(0, zero == std::string_view::npos ? taken.size() : zero);
    }
    [[nodiscard]] std::string_view rest() const { return rest_; }

private:
    std::string_view rest_;
};

// An invariant broken by the code under test: libFuzzer keeps the input as a crash.
#define TUNEX_FUZZ_CHECK(condition)                                                            \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

}  // namespace tunex::fuzz
