#pragma once

#include "core/common/line_reader.h"
#include "core/common/user_message.h"
#include "core/store/song_index.h"
#include "core/store/store_paths.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tunex {

// A collection file that could not be read, and why.
struct CollectionReadFailure {
    std::filesystem::path file;
    std::string reason;
};

// All collections: every name in memory, the records of the first collections in the SongIndex
// and the rest on disk, read again by each search.
class Catalogue final {
public:
    // Collections are loaded whole until more than this many records are in memory.
    static constexpr int kMemoryRecordLimit = 39000;

    using DiskVisitor = std::function<void(const SongRecordView&)>;
    using StopTest = std::function<bool()>;
    // Asked with raw text before it is parsed: a stretch of whole lines (which may run past the end
    // marker; nothing past it is visited), then each record line of a stretch it let through;
    // false skips the text. Lets a search pass over text that cannot match without splitting it
    // into lines and fields, so it must hold for text holding any match.
    using LineFilter = std::function<bool(std::string_view)>;

    // Loads `count` collections; the number of records put into memory, or empty when a
    // collection file cannot be opened (then `loadFailedMessage()` is what the user is told).
    [[nodiscard]] std::optional<int> load(const StorePaths& paths, int count);

    // Reads the on-disk collections in index order; false when a file cannot be opened.
    [[nodiscard]] bool scanDiskCollections(const DiskVisitor& visit, const StopTest& stop = {},
                                           const LineFilter& mayMatch = {}) const;
    // The same over the collections [first, last).
    [[nodiscard]] bool scanDiskCollections(int first, int last, const DiskVisitor& visit,
                                           const StopTest& stop, const LineFilter& mayMatch) const;
    // The on-disk collections cut into at most `parts` runs [first, last) of about the same size
    // in bytes, in index order, for scanning side by side; one run when there is too little to
    // share out.
    [[nodiscard]] std::vector<std::pair<int, int>> diskParts(int parts) const;

    [[nodiscard]] const std::vector<std::string>& collectionNames() const { return names_; }
    [[nodiscard]] int collectionCount() const { return static_cast<int>(names_.size()); }
    [[nodiscard]] int firstDiskCollection() const { return firstDiskCollection_; }
    [[nodiscard]] const SongIndex& index() const { return index_; }
    // Why the last `load` failed.
    [[nodiscard]] const CollectionReadFailure& loadFailure() const { return loadFailure_; }
    // The collection files the last `load` found lines longer than kMaxLineLength in, each with
    // how many: the rest of such a line was skipped.
    [[nodiscard]] const std::vector<CutLines>& cutLines() const { return cutLines_; }

private:
    std::optional<StorePaths> paths_;
    std::vector<std::string> names_;
    SongIndex index_;
    int firstDiskCollection_ = 0;
    CollectionReadFailure loadFailure_;
    std::vector<CutLines> cutLines_;
};

// Names the file and why when they are known.
[[nodiscard]] UserMessage loadFailedMessage(const CollectionReadFailure& failure = {});

}  // namespace tunex
