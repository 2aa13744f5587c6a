#include "core/store/unfinished_writes.h"

#include "core/common/text.h"

#include <string_view>
#include <system_error>

namespace tunex {

namespace {

constexpr size_t kSuffixLength = 7;  // "." and the six characters mkstemp chooses

// ".NAME.XXXXXX" as the atomic writer names its temporary file; the NAME it was writing.
std::string_view targetOf(std::string_view leaf) {
    if (leaf.size() <= kSuffixLength + 1 || leaf.front() != '.' ||
        leaf[leaf.size() - kSuffixLength] != '.') {
        return {};
    }
    for (const char c : leaf.substr(leaf.size() - kSuffixLength + 1)) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) {
            return {};
        }
    }
    return leaf.substr(1, leaf.size() - kSuffixLength - 1);
}

bool isCollectionLeaf(std::string_view name) {
    if (!startsWith(name, "save") || name.size() < 12 || name.substr(name.size() - 4) != ".ifo") {
        return false;
    }
    for (const char c : name.substr(4, name.size() - 8)) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

int removeMatching(const std::filesystem::path& folder, bool (*wrote)(std::string_view)) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string leaf = it->path().filename().native();
        const std::string_view target = targetOf(leaf);
        std::error_code kindError;
        if (!target.empty() && wrote(target) && it->is_regular_file(kindError) &&
            std::filesystem::remove(it->path(), kindError)) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace

int removeUnfinishedWrites(const StorePaths& paths) {
    const int fromSystem = removeMatching(paths.systemFolder(), [](std::string_view name) {
        return name == "system.ifo" || name == "tmp.ifo" || isCollectionLeaf(name);
    });
    const int fromFriend = removeMatching(paths.friendFolder(), [](std::string_view name) {
        return name.size() > 4 && name.substr(name.size() - 4) == ".txf";
    });
    return fromSystem + fromFriend;
}

}  // namespace tunex
