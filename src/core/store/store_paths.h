#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tunex {

// Where the files of one base folder live. The base folder is fixed once at start-up (the current
// directory of the program, or --base of the CLI); every other path is derived from it.
class StorePaths final {
public:
    explicit StorePaths(std::filesystem::path base) : base_(std::move(base)) {}

    [[nodiscard]] const std::filesystem::path& basePath() const { return base_; }
    [[nodiscard]] std::filesystem::path systemFolder() const { return base_ / "system"; }
    [[nodiscard]] std::filesystem::path settingsFile() const {
        return systemFolder() / "system.ifo";
    }
    [[nodiscard]] std::filesystem::path scratchPath() const { return systemFolder() / "tmp.ifo"; }
    [[nodiscard]] std::filesystem::path tipsPath() const { return systemFolder() / "tpall.ifo"; }
    // The write journal of the tag tools.
    [[nodiscard]] std::filesystem::path journalFolder() const { return systemFolder() / "journal"; }
    [[nodiscard]] std::filesystem::path helpPath() const { return base_ / "hlp"; }
    [[nodiscard]] std::filesystem::path helpPage(std::string_view name) const {
        return helpPath() / std::string(name);
    }
    [[nodiscard]] std::filesystem::path friendFolder() const { return base_ / "friend"; }
    [[nodiscard]] std::filesystem::path collectionFileName(int index) const;

private:
    std::filesystem::path base_;
};

// "save" + the 1-based collection number padded to four digits + ".ifo".
[[nodiscard]] std::string collectionFileLeaf(int index);

}  // namespace tunex
