#include "core/store/unfinished_writes.h"

#include "core/common/atomic_file.h"
#include "core/common/text.h"

#include <algorithm>
#include <string_view>
#include <system_error>

namespace tunex {

namespace {

constexpr size_t kRandomLength = 6;  // the characters mkstemp chooses

// ".NAME.tunex-tmp.XXXXXX" as the atomic writer names its temporary file; the NAME it was
// writing. Without the mark it is someone else's file, whatever it looks like.
std::string_view targetOf(std::string_view leaf) {
    const size_t tail = kTemporaryMark.size() + kRandomLength;
    if (leaf.size() <= tail + 1 || leaf.front() != '.' ||
        leaf.substr(leaf.size() - tail, kTemporaryMark.size()) != kTemporaryMark) {
        return {};
    }
    for (const char c : leaf.substr(leaf.size() - kRandomLength)) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) {
            return {};
        }
    }
    return leaf.substr(1, leaf.size() - tail - 1);
}

bool isCollectionLeaf(std::string_view name) {
    if (!startsWith(name, "save") || name.size() < 12 || name.substr(name.size() - 4) != ".ifo") {
        return false;
    }
    return std::ranges::all_of(name.substr(4, name.size() - 8),
                               [](char c) { return c >= '0' && c <= '9'; });
}

int removeMatching(const std::filesystem::path& folder, bool (*wrote)(std::string_view)) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string leaf = it->path().filename().native();
        const std::string_view target = targetOf(leaf);
        std::error_code kindError;
        // mkstemp makes plain files only; a link of that name is not ours to remove.
        if (!target.empty() && wrote(target) &&
            it->symlink_status(kindError).type() == std::filesystem::file_type::regular &&
            std::filesystem::remove(it->path(), kindError)) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace

int removeUnfinishedWrites(const StorePaths& paths) {
    const int fromSystem = removeMatching(paths.systemFolder(), [](std::string_view name) {
        return name == "system.ifo" || name == "tmp.ifo" || name == "filetypes.ifo" ||
               isCollectionLeaf(name);
    });
    const int fromFriend = removeMatching(paths.friendFolder(), [](std::string_view name) {
        return name.size() > 4 && name.substr(name.size() - 4) == ".txf";
    });
    return fromSystem + fromFriend;
}

}  // namespace tunex
