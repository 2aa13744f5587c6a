#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// The files of a Local listing by name only, in the order the walk met them: every file under the
// folder, not only the rows the display limit lets the list show, so that the filter and the batch
// tools reach them all. Names share one buffer and a folder whose files come together is kept
// once: a hundred thousand files take a few megabytes.
class LocalFileSet {
public:
    void add(std::string_view folder, std::string_view name);

    [[nodiscard]] std::size_t size() const { return entries_.size(); }
    [[nodiscard]] bool empty() const { return entries_.empty(); }
    [[nodiscard]] std::string_view name(std::size_t file) const;
    // Without a trailing "/", as the Path cells show it.
    [[nodiscard]] std::string_view folder(std::size_t file) const {
        return folders_[entries_[file].folder];
    }
    [[nodiscard]] std::string path(std::size_t file) const;
    // The kept folder of a file, below folderCount(), so that a rule on folders runs once a folder.
    [[nodiscard]] std::size_t folderIndex(std::size_t file) const { return entries_[file].folder; }
    [[nodiscard]] std::size_t folderCount() const { return folders_.size(); }

    // 0 when the walk met every file; else the most files it kept, there being more under the
    // folder. A filter's files keep it: they are out of the first that many.
    [[nodiscard]] std::size_t cutAt() const { return cutAt_; }
    void setCutAt(std::size_t mostFiles) { cutAt_ = mostFiles; }

private:
    struct Entry {
        std::size_t folder = 0;
        std::size_t nameEnd = 0;  // in names_; the name starts where the previous one ends
    };
    std::vector<std::string> folders_;
    std::string names_;
    std::vector<Entry> entries_;
    std::size_t cutAt_ = 0;
};

}  // namespace tunex
