#include "core/store/collection_renames.h"

#include <unordered_map>

#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/store/collection_file_moves.h"
#include "core/store/collection_writer.h"
#include "core/store/song_record.h"

namespace tunex {

namespace {

struct RecordPlace {
    std::string folder;
    std::string name;  // without the extension
};

// Where a path's record keys it: folder, name and lower-cased type.
std::string keyOf(std::string_view path, RecordPlace* place = nullptr) {
    const std::size_t slash = path.rfind('/');
    const std::string_view folder = path.substr(0, slash == std::string_view::npos ? 0 : slash);
    const std::string_view file = path.substr(slash + 1);
    const std::size_t dot = file.rfind('.');
    const std::string_view name = file.substr(0, dot);
    const std::string type =
        dot == std::string_view::npos ? std::string() : toLowerUtf8(file.substr(dot + 1));
    if (place != nullptr) {
        *place = {std::string(folder), std::string(name)};
    }
    return std::string(folder) + '\n' + std::string(name) + '\n' + type;
}

// The record line with another folder and name; the rest as it was.
std::string movedLine(std::string_view line, const SongRecordView& record,
                      const RecordPlace& place) {
    const auto offset = [line](std::string_view part) {
        return static_cast<std::size_t>(part.data() - line.data());
    };
    std::string moved(kRecordPrefix);
    moved.append(place.name).append("<|>").append(place.folder).append("<:>");
    moved.append(line.substr(offset(record.type)));
    return moved;
}

// Rewrites one collection file when it lists a moved file; how many records moved, or -1 (with
// `error`) when the rewrite failed.
int rewriteCollection(const StorePaths& paths, const Settings& settings, int index,
                      const std::unordered_map<std::string, RecordPlace>& moves,
                      std::string& error) {
    const std::filesystem::path file = paths.collectionFileName(index);
    std::vector<std::string> lines;
    int moved = 0;
    LineReader reader;
    TextLine line;
    if (!reader.open(file)) {
        return 0;
    }
    while (reader.next(line) && !startsWith(line.text, kEndMarker)) {
        std::string text(line.text);
        if (startsWith(line.text, kRecordPrefix)) {
            const SongRecordView record = parseSongRecordLine(line.text, line.hasLineEnd);
            const auto found =
                moves.find(std::string(record.folder) + '\n' + std::string(record.name) + '\n' +
                           std::string(record.type));
            if (found != moves.end() && !record.type.empty()) {
                text = movedLine(line.text, record, found->second);
                ++moved;
            }
        }
        lines.push_back(std::move(text));
    }
    if (moved == 0 || lines.empty() || !startsWith(lines.front(), kCollectionNamePrefix)) {
        return 0;
    }
    CollectionWriter writer(replacementPath(paths));
    bool written =
        writer.begin(std::string_view(lines.front()).substr(kCollectionNamePrefix.size()));
    for (std::size_t i = 1; written && i < lines.size(); ++i) {
        written = writer.addRecordLine(lines[i] + "\n");
    }
    if (!written || !writer.finish()) {
        error = writer.target().string() + ": " + writer.error();
        writer.discard();
        return -1;
    }
    if (std::string failed = replaceCollectionFile(paths, index, std::max(settings.totalSongs, 0));
        !failed.empty()) {
        error = std::move(failed);
        return -1;
    }
    clearReplaceIntent(paths);
    return moved;
}

}  // namespace

FollowedRenames followRenames(const StorePaths& paths, const Settings& settings,
                              std::span<const FileRename> renames, bool backwards) {
    FollowedRenames result;
    std::unordered_map<std::string, RecordPlace> moves;
    for (const FileRename& rename : renames) {
        RecordPlace place;
        const std::string key = keyOf(backwards ? rename.to : rename.from);
        (void)keyOf(backwards ? rename.from : rename.to, &place);
        moves.insert_or_assign(key, std::move(place));
    }
    if (moves.empty()) {
        return result;
    }
    for (int index = 0; index < std::max(settings.collectionCount, 0); ++index) {
        const int moved = rewriteCollection(paths, settings, index, moves, result.error);
        if (moved < 0) {
            return result;
        }
        result.records += moved;
        result.collections += moved > 0 ? 1 : 0;
    }
    return result;
}

}  // namespace tunex
