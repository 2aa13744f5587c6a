#pragma once

#include "core/store/store_paths.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tunex::test {

// A base folder with a system folder and collection files written as given, byte for byte.
class FriendBase final {
public:
    FriendBase() { std::filesystem::create_directories(dir_.path() / "system"); }

    void addCollectionFile(int index, const std::string& bytes) const {
        writeFile(paths().collectionFileName(index), bytes);
    }
    [[nodiscard]] StorePaths paths() const { return StorePaths(dir_.path()); }
    [[nodiscard]] std::filesystem::path friendFile(const std::string& name) const {
        return dir_.path() / "friend" / (name + ".txf");
    }
    // Every file name in the friend folder, hidden ones included.
    [[nodiscard]] std::vector<std::string> friendFolderEntries() const {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry :
             std::filesystem::directory_iterator(dir_.path() / "friend", ignored)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    [[nodiscard]] const std::filesystem::path& path() const { return dir_.path(); }

private:
    TempDir dir_;
};

inline std::string recordLine(const std::string& name, const std::string& folder,
                              const std::string& id3 = "", const std::string& size = "  3584.0",
                              const std::string& date = "2003-11-16") {
    return "<?>" + name + "<|>" + folder + "<:>mp3</>" + id3 + "<\\>" + size + "<*>" + date;
}

}  // namespace tunex::test
