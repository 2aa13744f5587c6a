#include "core/store/collection_file_moves.h"

#include "core/common/atomic_file.h"
#include "core/common/line_reader.h"
#include "core/common/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

namespace tunex {

namespace {

namespace fs = std::filesystem;

// Written before anything moves: "<index> <count before> <songs of the deleted collection>".
fs::path intentPath(const StorePaths& paths) {
    return paths.systemFolder() / "deleting.ifo";
}
// The deleted collection's file until the delete is complete.
fs::path removedPath(const StorePaths& paths) {
    return paths.systemFolder() / "deleted.ifo";
}

bool isThere(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

bool renameFile(const fs::path& from, const fs::path& to, std::string* error = nullptr) {
    if (::rename(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    if (error != nullptr) {
        *error = std::strerror(errno);
    }
    return false;
}

struct Intent {
    int index = 0;
    int count = 0;
    std::int64_t songs = 0;
};

std::optional<Intent> readIntent(const StorePaths& paths) {
    LineReader reader;
    TextLine line;
    if (!reader.open(intentPath(paths)) || !reader.next(line)) {
        return std::nullopt;
    }
    Intent intent;
    const char* at = line.text.data();
    const char* end = at + line.text.size();
    for (auto* field : {&intent.index, &intent.count}) {
        const auto parsed = std::from_chars(at, end, *field);
        if (parsed.ec != std::errc() || parsed.ptr == end || *parsed.ptr != ' ') {
            return std::nullopt;
        }
        at = parsed.ptr + 1;
    }
    if (std::from_chars(at, end, intent.songs).ec != std::errc() || intent.index < 0 ||
        intent.index >= intent.count) {
        return std::nullopt;
    }
    return intent;
}

void removeFile(const fs::path& path) {
    std::error_code error;
    fs::remove(path, error);
}

}  // namespace

std::string removeCollectionFile(const StorePaths& paths, int index, int count,
                                 std::int64_t songs) {
    if (isThere(intentPath(paths)) || isThere(removedPath(paths))) {
        return removedPath(paths).string() + ": a file of that name is already there.";
    }
    std::string error;
    if (!writeFileAtomically(intentPath(paths),
                             std::to_string(index) + " " + std::to_string(count) + " " +
                                 std::to_string(songs) + "\n",
                             &error)) {
        return intentPath(paths).string() + ": " + error;
    }
    if (!renameFile(paths.collectionFileName(index), removedPath(paths), &error)) {
        removeFile(intentPath(paths));
        return paths.collectionFileName(index).string() + ": " + error;
    }
    for (int i = index + 1; i < count; ++i) {
        if (!renameFile(paths.collectionFileName(i), paths.collectionFileName(i - 1), &error)) {
            putBackRemovedCollection(paths, index, i);
            return paths.collectionFileName(i).string() + ": " + error;
        }
    }
    (void)syncFolder(paths.systemFolder());
    return {};
}

void putBackRemovedCollection(const StorePaths& paths, int index, int count) {
    for (int i = count - 1; i > index; --i) {
        (void)renameFile(paths.collectionFileName(i - 1), paths.collectionFileName(i));
    }
    (void)renameFile(removedPath(paths), paths.collectionFileName(index));
    (void)syncFolder(paths.systemFolder());
    removeFile(intentPath(paths));
}

void lowerTotalsForRemoval(Settings& settings, int count, std::int64_t songs) {
    settings.collectionCount = count - 1;
    if (settings.totalSongs >= 0) {
        settings.totalSongs =
            static_cast<int>(std::clamp<std::int64_t>(settings.totalSongs - songs, 0, INT_MAX));
    }
}

InterruptedDelete finishInterruptedDelete(const StorePaths& paths, Settings& settings) {
    if (!isThere(intentPath(paths))) {
        return InterruptedDelete::None;
    }
    const std::optional<Intent> intent = readIntent(paths);
    if (!intent || !isThere(removedPath(paths))) {
        // Cut short before the collection's file was moved away: nothing has changed.
        removeFile(intentPath(paths));
        return intent ? InterruptedDelete::Undone : InterruptedDelete::None;
    }
    // The moves go one at a time from the deleted place up, so one place is empty: continue above
    // it.
    int empty = intent->index;
    while (empty < intent->count && isThere(paths.collectionFileName(empty))) {
        ++empty;
    }
    if (empty == intent->count) {
        // Every place is filled (the settings had been stored and a later Add used the last):
        // only the leftovers are to go.
        clearDeleteIntent(paths);
        return InterruptedDelete::Undone;
    }
    for (int i = empty + 1; i < intent->count; ++i) {
        if (!renameFile(paths.collectionFileName(i), paths.collectionFileName(i - 1))) {
            // The settings must not count the collections past a gap: the next start goes on.
            (void)syncFolder(paths.systemFolder());
            return InterruptedDelete::Pending;
        }
    }
    (void)syncFolder(paths.systemFolder());
    if (settings.collectionCount == intent->count) {
        lowerTotalsForRemoval(settings, intent->count, intent->songs);
    }
    return InterruptedDelete::Finished;
}

void clearDeleteIntent(const StorePaths& paths) {
    removeFile(removedPath(paths));
    (void)syncFolder(paths.systemFolder());
    removeFile(intentPath(paths));
}

namespace {

// "<index> <new total>", written once the replacement is complete.
fs::path replaceIntentPath(const StorePaths& paths) {
    return paths.systemFolder() / "replacing.ifo";
}

std::optional<std::pair<int, int>> readReplaceIntent(const StorePaths& paths) {
    LineReader reader;
    TextLine line;
    if (!reader.open(replaceIntentPath(paths)) || !reader.next(line)) {
        return std::nullopt;
    }
    int index = 0;
    int total = 0;
    const char* end = line.text.data() + line.text.size();
    const auto first = std::from_chars(line.text.data(), end, index);
    if (first.ec != std::errc() || first.ptr == end || *first.ptr != ' ' ||
        std::from_chars(first.ptr + 1, end, total).ec != std::errc() || index < 0 || total < 0) {
        return std::nullopt;
    }
    return std::pair{index, total};
}

}  // namespace

fs::path replacementPath(const StorePaths& paths) {
    return paths.systemFolder() / "replacement.ifo";
}

std::string replaceCollectionFile(const StorePaths& paths, int index, int newTotal) {
    if (isThere(replaceIntentPath(paths))) {
        return replaceIntentPath(paths).string() + ": a file of that name is already there.";
    }
    std::string error;
    if (!writeFileAtomically(replaceIntentPath(paths),
                             std::to_string(index) + " " + std::to_string(newTotal) + "\n",
                             &error)) {
        return replaceIntentPath(paths).string() + ": " + error;
    }
    if (!renameFile(replacementPath(paths), paths.collectionFileName(index), &error)) {
        removeFile(replaceIntentPath(paths));
        return paths.collectionFileName(index).string() + ": " + error;
    }
    (void)syncFolder(paths.systemFolder());
    return {};
}

bool finishInterruptedReplace(const StorePaths& paths, Settings& settings) {
    const bool intent = isThere(replaceIntentPath(paths));
    const auto parsed = intent ? readReplaceIntent(paths) : std::nullopt;
    if (!parsed) {
        // Not begun: a replacement written without its intent is not to be used.
        removeFile(replacementPath(paths));
        removeFile(replaceIntentPath(paths));
        return false;
    }
    if (isThere(replacementPath(paths))) {
        (void)renameFile(replacementPath(paths), paths.collectionFileName(parsed->first));
        (void)syncFolder(paths.systemFolder());
    }
    settings.totalSongs = parsed->second;
    return true;
}

void clearReplaceIntent(const StorePaths& paths) {
    removeFile(replaceIntentPath(paths));
}

}  // namespace tunex
