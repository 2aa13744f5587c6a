#include "core/collections/search_pattern.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace tunex {

namespace {

constexpr std::string_view kEveryName = "*.*";

std::string currentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1U << 20)) {
            return "/";
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// Resolves "." and ".." by the text alone, as typed paths always were; the result has no
// trailing "/" and is empty for the root.
std::string normaliseAbsolute(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        const std::string_view part = path.substr(pos, slash - pos);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = slash + 1;
    }
    std::string folder;
    for (const std::string_view part : parts) {
        folder.append("/").append(part);
    }
    return folder;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

SearchPattern completePattern(std::string_view pathText) {
    SearchPattern pattern;
    pattern.text = std::string(pathText);
    if (pathText.find(kEveryName) == std::string_view::npos) {
        pattern.text += (!pathText.empty() && pathText.back() == '/') ? "*.*" : "/*.*";
    }
    const size_t slash = pattern.text.rfind('/');
    std::string folderText;
    if (slash == std::string::npos) {
        pattern.namePattern = pattern.text;
    } else {
        folderText = pattern.text.substr(0, slash);
        pattern.namePattern = pattern.text.substr(slash + 1);
    }
    if (slash != 0 && (folderText.empty() || folderText.front() != '/')) {
        folderText = currentDirectory() + "/" + folderText;
    }
    pattern.folder = normaliseAbsolute(folderText);
    return pattern;
}

std::string openableFolder(const SearchPattern& pattern) {
    return pattern.folder.empty() ? std::string("/") : pattern.folder;
}

bool nameMatchesPattern(const SearchPattern& pattern, const char* name) {
    if (pattern.namePattern == kEveryName || pattern.namePattern == "*") {
        return true;
    }
    return ::fnmatch(pattern.namePattern.c_str(), name, 0) == 0;
}

bool patternFindsEntries(const SearchPattern& pattern) {
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(openableFolder(pattern).c_str()));
    if (!dir) {
        return false;
    }
    if (pattern.namePattern == kEveryName) {
        return true;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const auto* const entryName = static_cast<const char*>(entry->d_name);
        const std::string_view name = entryName;
        if (name != "." && name != ".." && nameMatchesPattern(pattern, entryName)) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> folderReadFailure(const SearchPattern& pattern) {
    const std::string folder = openableFolder(pattern);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (dir) {
        return std::nullopt;
    }
    return std::string(std::strerror(errno));
}

}  // namespace tunex
