#include "core/journal/journal_folder.h"

#include "core/common/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <system_error>
#include <utility>

namespace tunex::journal {

namespace fs = std::filesystem;

std::optional<std::uint64_t> numberOf(std::string_view name, std::string_view prefix) {
    if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size() ||
        name.size() > prefix.size() + 18) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return number;
}

std::string numbered(std::string_view prefix, std::uint64_t number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    }
    return std::string(prefix) + digits;
}

std::vector<fs::path> numberedEntries(const fs::path& folder, std::string_view prefix) {
    std::vector<std::pair<std::uint64_t, fs::path>> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (const auto number = numberOf(it->path().filename().native(), prefix)) {
            found.emplace_back(*number, it->path());
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> paths;
    paths.reserve(found.size());
    for (auto& entry : found) {
        paths.push_back(std::move(entry.second));
    }
    return paths;
}

}  // namespace tunex::journal
