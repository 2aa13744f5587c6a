#include "core/collections/collection_rescan.h"

#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/store/collection_file_moves.h"
#include "core/store/collection_writer.h"
#include "core/store/song_record.h"
#include "core/store/workspace.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <unordered_map>

namespace tunex {

namespace {

constexpr std::string_view kNotRescanned = "The collection was not changed.";

// Each record by the file it stands for (name, folder, type), with the rest of its line, and
// how many record lines the file holds (what the catalogue loads, duplicates included).
struct FileRecords {
    std::unordered_map<std::string, std::string> byFile;
    std::int64_t lines = 0;
};

FileRecords recordsByFile(const std::filesystem::path& file) {
    FileRecords records;
    LineReader reader;
    TextLine line;
    if (!reader.open(file)) {
        return records;
    }
    while (reader.next(line) && !startsWith(line.text, kEndMarker)) {
        if (!startsWith(line.text, kRecordPrefix)) {
            continue;
        }
        const SongRecordView record = parseSongRecordLine(line.text, line.hasLineEnd);
        std::string key(record.name);
        key.append("\n").append(record.folder).append("\n").append(record.type);
        std::string rest(record.id3Info);
        rest.append("\n").append(record.sizeText).append("\n").append(record.dateText);
        records.byFile.emplace(std::move(key), std::move(rest));
        ++records.lines;
    }
    return records;
}

// Cuts `common` back to the whole folders it shares with `folder` ("/m/cd" and "/m/cd2" share
// "/m").
void keepSharedFolders(std::string& common, std::string_view folder) {
    std::size_t same = 0;
    while (same < common.size() && same < folder.size() && common[same] == folder[same]) {
        ++same;
    }
    const bool wholeNames = (same == common.size() || common[same] == '/') &&
                            (same == folder.size() || folder[same] == '/');
    if (!wholeNames) {
        const auto slash = same == 0 ? std::string::npos : common.rfind('/', same - 1);
        same = slash == std::string::npos ? 0 : std::max<std::size_t>(slash, 1);
    }
    common.resize(same);
}

std::string countText(int n) {
    return std::to_string(n) + (n == 1 ? " song" : " songs");
}

}  // namespace

RescanOutcome rescanCollection(Workspace& workspace, const FileTypeList& types,
                               const AddRequest& request, const AddProgress& progress,
                               const CatalogueUpdate& update) {
    RescanOutcome outcome;
    const StorePaths& paths = workspace.paths();
    const std::vector<std::string>& names = workspace.catalogue().collectionNames();
    const auto found = std::find(names.begin(), names.end(), request.name);
    Settings& settings = workspace.settings();
    const auto index = static_cast<int>(found - names.begin());
    if (found == names.end() || index >= std::max(settings.collectionCount, 0)) {
        outcome.message = UserMessage{"There is no collection named <" + request.name + ">.",
                                      captionFor("Rescan Error"), MessageIcon::Error};
        return outcome;
    }
    // The collection's own name is no duplicate here.
    const AddCheck check = checkAdd(request, {}, types);
    if (check.refusal) {
        outcome.message = check.refusal;
        return outcome;
    }
    const std::filesystem::path replacement = replacementPath(paths);
    CollectionWriter writer(replacement);
    if (!writer.begin(request.name)) {
        outcome.fileError = true;
        outcome.message =
            fileWriteFailedMessage(replacement.string(), writer.error(), kNotRescanned);
        return outcome;
    }
    if (!writeRecords(writer, check, types, request, progress) || !writer.finish()) {
        const std::string reason = writer.error();
        writer.discard();
        outcome.fileError = true;
        outcome.message = fileWriteFailedMessage(replacement.string(), reason, kNotRescanned);
        return outcome;
    }

    const std::filesystem::path file = paths.collectionFileName(index);
    const FileRecords held = recordsByFile(file);
    const auto& before = held.byFile;
    const auto after = recordsByFile(replacement).byFile;
    for (const auto& [key, rest] : after) {
        const auto old = before.find(key);
        if (old == before.end()) {
            ++outcome.added;
        } else if (old->second != rest) {
            ++outcome.changed;
        }
    }
    outcome.removed =
        static_cast<int>(std::count_if(before.begin(), before.end(), [&after](const auto& entry) {
            return !after.contains(entry.first);
        }));
    const Settings previous = settings;
    if (settings.totalSongs >= 0) {
        settings.totalSongs = static_cast<int>(std::clamp<std::int64_t>(
            settings.totalSongs - held.lines + writer.recordCount(), 0, INT_MAX));
    }
    if (const std::string error =
            replaceCollectionFile(paths, index, std::max(settings.totalSongs, 0));
        !error.empty()) {
        settings = previous;
        std::error_code ignored;
        std::filesystem::remove(replacement, ignored);
        outcome.fileError = true;
        outcome.message = UserMessage{
            "The collection could not be rescanned.\n" + error + "\n" + std::string(kNotRescanned),
            captionFor("File Error"), MessageIcon::Error};
        return outcome;
    }
    outcome.rescanned = true;
    recordVolume(workspace, request.name, check, update);
    outcome.settingsStored = !update.storeSettings || update.storeSettings();
    // Unstored, the intent stays: the next start sets the same total.
    if (outcome.settingsStored) {
        clearReplaceIntent(paths);
    }
    outcome.catalogueReloaded = !update.reloadCatalogue || update.reloadCatalogue();
    outcome.statusText =
        "Collection <" + request.name + "> rescanned: " + countText(outcome.added) + " added, " +
        countText(outcome.removed) + " removed, " + countText(outcome.changed) + " changed.";
    return outcome;
}

UserMessage rescanQuestion(const AddRequest& request) {
    return {"Rescan the collection <" + request.name + "> from " + request.pathText +
                "?\nIts songs are replaced by the media files found there now" +
                (request.includeId3 ? ", with their ID3 tag info." : ", without ID3 tag info."),
            captionFor("Confirm Rescan"), MessageIcon::Question};
}

std::string proposedRescanFolder(const std::filesystem::path& collectionFile) {
    std::optional<std::string> common;
    LineReader reader;
    TextLine line;
    if (reader.open(collectionFile)) {
        while (reader.next(line) && !startsWith(line.text, kEndMarker)) {
            if (startsWith(line.text, kRecordPrefix)) {
                const std::string_view folder =
                    parseSongRecordLine(line.text, line.hasLineEnd).folder;
                if (common) {
                    keepSharedFolders(*common, folder);
                } else {
                    common = std::string(folder);
                }
            }
        }
    }
    return common.value_or(std::string());
}

}  // namespace tunex
