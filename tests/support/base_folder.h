#pragma once

#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace tunex::test {

// A base folder in a temporary folder: a settings file and collection files made from
// (name, record count) pairs.
class BaseFolder final {
public:
    explicit BaseFolder(std::string settingsText = "<ts>0\n<tf>0\n@*EOF\n");

    // Writes collection file `index` with `records` record lines, and returns its path.
    std::filesystem::path addCollection(int index, const std::string& name, int records);
    void writeSettings(const std::string& text) const;
    [[nodiscard]] std::string settingsText() const;

    [[nodiscard]] const std::filesystem::path& path() const { return dir_.path(); }

private:
    TempDir dir_;
};

}  // namespace tunex::test
