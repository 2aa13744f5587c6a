#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// Folders a walk could not read and skipped: how many, and the first few by path, so that a
// closing message can say what the walk missed instead of leaving it out without a word.
struct UnreadableFolders {
    static constexpr std::size_t kNamed = 3;

    std::int64_t count = 0;
    std::vector<std::string> firstPaths;

    // `folder` as the walk holds it: without a trailing "/", empty for the root.
    void add(std::string_view folder);
    [[nodiscard]] bool empty() const { return count == 0; }
};

// "" when every folder was read; else a line such as
// "2 folders could not be read and were skipped: /a, /b".
[[nodiscard]] std::string unreadableFoldersNote(const UnreadableFolders& folders);

// `text`, with the note on a line of its own after it when there is one.
[[nodiscard]] std::string withUnreadableFoldersNote(std::string text,
                                                    const UnreadableFolders& folders);

}  // namespace tunex
