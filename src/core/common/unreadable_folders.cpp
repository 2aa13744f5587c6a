#include "core/common/unreadable_folders.h"

namespace tunex {

void UnreadableFolders::add(std::string_view folder) {
    ++count;
    if (firstPaths.size() < kNamed) {
        firstPaths.emplace_back(folder.empty() ? std::string_view("/") : folder);
    }
}

std::string unreadableFoldersNote(const UnreadableFolders& folders) {
    if (folders.count == 0) {
        return {};
    }
    std::string note =
        folders.count == 1
            ? std::string("1 folder could not be read and was skipped: ")
            : std::to_string(folders.count) + " folders could not be read and were skipped: ";
    for (std::size_t i = 0; i < folders.firstPaths.size(); ++i) {
        note.append(i == 0 ? "" : ", ").append(folders.firstPaths[i]);
    }
    const auto named = static_cast<std::int64_t>(folders.firstPaths.size());
    if (folders.count > named) {
        note.append(" and ").append(std::to_string(folders.count - named)).append(" more");
    }
    return note;
}

std::string withUnreadableFoldersNote(std::string text, const UnreadableFolders& folders) {
    const std::string note = unreadableFoldersNote(folders);
    if (!note.empty()) {
        if (!text.empty() && text.back() != '\n') {
            text.push_back('\n');
        }
        text.append(note);
    }
    return text;
}

}  // namespace tunex
