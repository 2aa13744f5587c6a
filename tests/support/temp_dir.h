#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tunex::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir final {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(std::string_view leaf) const {
        return path_ / leaf;
    }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
[[nodiscard]] std::string readFile(const std::filesystem::path& path);

}  // namespace tunex::test
