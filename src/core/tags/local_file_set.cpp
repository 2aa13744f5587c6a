#include "core/tags/local_file_set.h"

namespace tunex {

void LocalFileSet::add(std::string_view folder, std::string_view name) {
    // The walk meets a folder's files together, up to each subfolder: comparing with the last
    // folder keeps nearly every folder once without a lookup.
    if (folders_.empty() || folders_.back() != folder) {
        folders_.emplace_back(folder);
    }
    names_.append(name);
    entries_.push_back({folders_.size() - 1, names_.size()});
}

std::string_view LocalFileSet::name(std::size_t file) const {
    const std::size_t start = file == 0 ? 0 : entries_[file - 1].nameEnd;
    return std::string_view(names_).substr(start, entries_[file].nameEnd - start);
}

std::string LocalFileSet::path(std::size_t file) const {
    std::string path(folder(file));
    path.append("/").append(name(file));
    return path;
}

}  // namespace tunex
