#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// Makes `levels` nested folders named `component` under `root`, each opened from its parent's
// descriptor so the depth may pass PATH_MAX, and writes `fileName` into the folders at the given
// depths (1 is the first nested folder). Gives the full paths of the files, shallowest first.
std::vector<std::string> writeDeepTree(const std::filesystem::path& root,
                                       const std::string& component, int levels,
                                       const std::vector<int>& fileDepths,
                                       const std::string& fileName);

// Removes `path` and everything in it, however deep, giving back owner rights where needed.
// False when something stayed.
bool removeTree(const std::filesystem::path& path);

}  // namespace tunex::test
