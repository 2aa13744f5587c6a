#include "core/store/catalogue.h"

#include "core/common/line_reader.h"
#include "core/common/text.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace tunex {

UserMessage loadFailedMessage(const CollectionReadFailure& failure) {
    std::string text = "Songs Files could not be loaded.\n";
    if (!failure.file.empty()) {
        text = "Songs Files could not be loaded: " + failure.file.string() + "\n";
        if (!failure.reason.empty()) {
            text.append(failure.reason).append("\n");
        }
    }
    return {text + "Check system folder.", captionFor("File Error"), MessageIcon::Error};
}

std::optional<int> Catalogue::load(const StorePaths& paths, int count) {
    paths_ = paths;
    // Grown file by file: a damaged count must fail at the first missing file, not exhaust memory.
    names_.clear();
    index_ = SongIndex();
    loadFailure_ = {};
    cutLines_.clear();
    std::optional<int> firstDisk;
    int inMemory = 0;
    LineReader reader;
    TextLine line;
    for (int i = 0; i < count; ++i) {
        // Beyond the limit only the name line is read: a small read, not a mapping.
        if (!reader.open(paths.collectionFileName(i),
                         firstDisk ? ReadMode::Copied : ReadMode::Mapped)) {
            loadFailure_ = {paths.collectionFileName(i), reader.openError()};
            names_.clear();
            index_ = SongIndex();
            firstDiskCollection_ = 0;
            return std::nullopt;
        }
        names_.emplace_back();
        while (reader.next(line)) {
            if (startsWith(line.text, kEndMarker)) {
                break;
            }
            if (startsWith(line.text, kCollectionNamePrefix)) {
                // Without its line end the name line gives an empty name.
                names_.back() = line.hasLineEnd
                                    ? std::string(line.text.substr(kCollectionNamePrefix.size()))
                                    : std::string();
                if (firstDisk) {
                    break;  // beyond the limit only the name is needed
                }
            } else if (startsWith(line.text, kRecordPrefix)) {
                SongRecordView record = parseSongRecordLine(line.text, line.hasLineEnd);
                record.collectionIndex = i;
                index_.insert(record);
                ++inMemory;
            }
        }
        if (reader.overlongLines() > 0) {
            cutLines_.push_back({paths.collectionFileName(i), reader.overlongLines()});
        }
        reader.close();
        if (!firstDisk && inMemory > kMemoryRecordLimit) {
            firstDisk = i + 1;
        }
    }
    firstDiskCollection_ = firstDisk.value_or(std::max(count, 0));
    return inMemory;
}

bool Catalogue::scanDiskCollections(const DiskVisitor& visit, const StopTest& stop,
                                    const LineFilter& mayMatch) const {
    return scanDiskCollections(firstDiskCollection_, collectionCount(), visit, stop, mayMatch);
}

std::vector<std::pair<int, int>> Catalogue::diskParts(int parts) const {
    // Below this a thread's start costs about what it saves.
    constexpr std::uintmax_t kLeastPart = 8 << 20;
    const int first = firstDiskCollection_;
    const int last = collectionCount();
    std::vector<std::uintmax_t> sizes;
    std::uintmax_t total = 0;
    for (int i = first; paths_ && parts > 1 && i < last; ++i) {
        std::error_code error;
        const std::uintmax_t size =
            std::filesystem::file_size(paths_->collectionFileName(i), error);
        sizes.push_back(error ? 0 : size);
        total += sizes.back();
    }
    const auto count = static_cast<std::uintmax_t>(std::clamp<std::uintmax_t>(
        total / kLeastPart, 1, static_cast<std::uintmax_t>(std::max(parts, 1))));
    std::vector<std::pair<int, int>> runs;
    int start = first;
    std::uintmax_t done = 0;
    for (int i = first; i < last && count > 1; ++i) {
        done += sizes[static_cast<std::size_t>(i - first)];
        if (done * count >= total * (runs.size() + 1) && i + 1 < last) {
            runs.emplace_back(start, i + 1);
            start = i + 1;
        }
    }
    runs.emplace_back(start, last);
    return runs;
}

bool Catalogue::scanDiskCollections(int first, int last, const DiskVisitor& visit,
                                    const StopTest& stop, const LineFilter& mayMatch) const {
    if (!paths_) {
        return true;
    }
    LineReader reader;
    TextLine line;
    std::string_view block;
    for (int i = first; i < last; ++i) {
        // Read, not mapped: with the scan on several threads, each mapping let go would stop
        // every other thread to flush its address translations.
        if (!reader.open(paths_->collectionFileName(i), ReadMode::Copied)) {
            return false;
        }
        bool stopped = false;
        bool ended = false;
        while (!stopped && !ended && reader.nextBlock(block)) {
            // Asked per stretch too: a search whose filter rules out every stretch still stops.
            if (stop && stop()) {
                stopped = true;
                break;
            }
            // A stretch the filter rules out as a whole is never split into lines, unless the end
            // marker may stand in it. The filter reads the stretch first: whatever reads it first
            // waits for memory, and the filter has the more work to hide that behind.
            if (mayMatch && !mayMatch(block) && block.find(kEndMarker) == std::string_view::npos) {
                continue;
            }
            while (!stopped && nextLineOf(block, line)) {
                if (startsWith(line.text, kEndMarker)) {
                    ended = true;
                    break;
                }
                if (startsWith(line.text, kRecordPrefix) && (!mayMatch || mayMatch(line.text))) {
                    SongRecordView record = parseSongRecordLine(line.text, line.hasLineEnd);
                    record.collectionIndex = i;
                    visit(record);
                }
                stopped = stop && stop();
            }
        }
        reader.close();
        if (stopped) {
            return true;
        }
    }
    return true;
}

}  // namespace tunex
