#include "core/search/duplicates.h"

#include "core/common/search_fold.h"
#include "core/common/text.h"
#include "core/store/catalogue.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <thread>
#include <tuple>
#include <utility>

namespace tunex {

std::optional<DuplicateKey> duplicateKeyNamed(std::string_view word) {
    constexpr std::array<std::pair<std::string_view, DuplicateKey>, 3> kNames = {
        {{"name", DuplicateKey::Name}, {"tags", DuplicateKey::Tags}, {"size", DuplicateKey::Size}}};
    for (const auto& [name, key] : kNames) {
        if (word == name) {
            return key;
        }
    }
    return std::nullopt;
}

namespace {

// Builds the key text of a record into buffers reused from record to record, so the million
// records of a large catalogue cost no allocation once the buffers have grown.
class KeyMaker final {
public:
    explicit KeyMaker(DuplicateKey key) : key_(key) {}

    // The key, or empty when the record lacks its parts.
    [[nodiscard]] std::string_view of(const SongRecordView& record) {
        keyText_.clear();
        if (key_ == DuplicateKey::Tags) {
            return tagsKey(record.id3Info);
        }
        if (record.sizeText.find_first_not_of(' ') == std::string_view::npos) {
            return {};
        }
        if (key_ == DuplicateKey::Name) {
            appendFileName(keyText_, record);
            keyText_ += '\t';
        }
        keyText_.append(record.sizeText);
        return keyText_;
    }

    static void appendFileName(std::string& out, const SongRecordView& record) {
        out.append(record.name);
        if (!record.type.empty()) {
            out.append(".").append(record.type);
        }
    }

private:
    // The ID3 info is "title;artist;album;" with absent parts left out, so only its first two
    // parts can be taken for title and artist. A field of several values is joined by "; ",
    // which is no part's end.
    std::string_view tagsKey(std::string_view info) {
        std::array<std::string_view, 2> parts;
        std::size_t from = 0;
        for (std::string_view& part : parts) {
            std::size_t end = info.find(';', from);
            while (end != std::string_view::npos && end + 1 < info.size() && info[end + 1] == ' ') {
                end = info.find(';', end + 1);
            }
            if (end == std::string_view::npos || end == from) {
                return {};
            }
            part = info.substr(from, end - from);
            from = end + 1;
        }
        keyText_.append(foldInto(parts[0], AccentRule::Fold, folded_)).append(";");
        keyText_.append(foldInto(parts[1], AccentRule::Fold, folded_));
        return keyText_;
    }

    DuplicateKey key_;
    std::string keyText_;
    std::string folded_;
};

// A record seen by the first pass: its key's hash and where to find it again. `number` is the
// insertion index for a record in memory, its place in the collection file for one on disk.
struct Seen {
    std::uint64_t hash = 0;
    std::int32_t collection = 0;
    std::uint32_t number = 0;
};

// A copy found again by the second pass, with its whole key.
struct Found {
    std::string key;
    DuplicateCopy copy;
};

constexpr std::size_t kStopCheckEvery = 4096;

int readerThreads() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1U, 4U));
}

// Runs `read(run, part)` for each run of on-disk collections on a thread of its own; false when
// any run could not be read.
template <typename Part, typename Read>
bool readRuns(const std::vector<std::pair<int, int>>& runs, std::vector<Part>& parts,
              const Read& read) {
    parts.resize(runs.size());
    std::vector<char> ok(runs.size(), 1);
    {
        std::vector<std::jthread> others;
        for (std::size_t i = 1; i < runs.size(); ++i) {
            others.emplace_back([&, i] { ok[i] = read(runs[i], parts[i]) ? 1 : 0; });
        }
        ok[0] = read(runs[0], parts[0]) ? 1 : 0;
    }
    return std::ranges::all_of(ok, [](char each) { return each != 0; });
}

// Calls `visit(record, number)` for every on-disk record of the run, numbered within its file.
template <typename Visit>
bool scanNumbered(const Catalogue& catalogue, std::pair<int, int> run, const std::stop_token& stop,
                  const Visit& visit) {
    int collection = -1;
    std::uint32_t number = 0;
    return catalogue.scanDiskCollections(
        run.first, run.second,
        [&](const SongRecordView& record) {
            if (record.collectionIndex != collection) {
                collection = record.collectionIndex;
                number = 0;
            }
            visit(record, number++);
        },
        [&] { return stop.stop_requested(); }, {});
}

// The first pass: the hash of every record's key.
bool hashAll(const Catalogue& catalogue, DuplicateKey key, const std::stop_token& stop,
             std::vector<Seen>& seen) {
    const SongIndex& index = catalogue.index();
    KeyMaker maker(key);
    const std::hash<std::string_view> hash;
    for (std::uint32_t i = 0; i < index.size(); ++i) {
        if (i % kStopCheckEvery == 0 && stop.stop_requested()) {
            return true;
        }
        const SongRecordView record = index.record(i);
        if (const std::string_view text = maker.of(record); !text.empty()) {
            seen.push_back({hash(text), record.collectionIndex, i});
        }
    }
    if (catalogue.firstDiskCollection() >= catalogue.collectionCount()) {
        return true;
    }
    std::vector<std::vector<Seen>> parts;
    const bool read = readRuns(
        catalogue.diskParts(readerThreads()), parts,
        [&](std::pair<int, int> run, std::vector<Seen>& part) {
            KeyMaker partMaker(key);
            return scanNumbered(
                catalogue, run, stop, [&](const SongRecordView& record, std::uint32_t number) {
                    const std::string_view text = partMaker.of(record);
                    if (!text.empty()) {
                        part.push_back({hash(text), record.collectionIndex, number});
                    }
                });
        });
    for (const std::vector<Seen>& part : parts) {
        seen.insert(seen.end(), part.begin(), part.end());
    }
    return read;
}

// Keeps only the records whose hash more than one collection holds, ordered by collection and
// number for the second pass.
void keepShared(std::vector<Seen>& seen) {
    std::ranges::sort(seen, [](const Seen& a, const Seen& b) {
        return std::tie(a.hash, a.collection) < std::tie(b.hash, b.collection);
    });
    std::size_t kept = 0;
    for (std::size_t start = 0; start < seen.size();) {
        std::size_t end = start + 1;
        while (end < seen.size() && seen[end].hash == seen[start].hash) {
            ++end;
        }
        if (seen[start].collection != seen[end - 1].collection) {
            for (std::size_t i = start; i < end; ++i) {
                seen[kept++] = seen[i];
            }
        }
        start = end;
    }
    seen.resize(kept);
    std::ranges::sort(seen, [](const Seen& a, const Seen& b) {
        return std::tie(a.collection, a.number) < std::tie(b.collection, b.number);
    });
}

Found foundOf(const SongRecordView& record, std::string_view key) {
    Found found{std::string(key),
                {record.collectionIndex,
                 std::string(record.folder),
                 {},
                 std::string(record.sizeText),
                 std::string(record.id3Info)}};
    KeyMaker::appendFileName(found.copy.fileName, record);
    return found;
}

// The second pass: the kept records read again, with their whole keys.
bool readKept(const Catalogue& catalogue, DuplicateKey key, const std::vector<Seen>& kept,
              const std::stop_token& stop, std::vector<Found>& found) {
    const SongIndex& index = catalogue.index();
    const int firstDisk = catalogue.firstDiskCollection();
    KeyMaker maker(key);
    auto next = kept.begin();
    for (; next != kept.end() && next->collection < firstDisk; ++next) {
        const SongRecordView record = index.record(next->number);
        found.push_back(foundOf(record, maker.of(record)));
    }
    if (next == kept.end()) {
        return true;
    }
    // Only the collections holding kept records are read again. One that cannot be read is
    // passed over, so the others still give their copies.
    const std::vector<Seen> onDisk(next, kept.end());
    KeyMaker diskMaker(key);
    bool readAll = true;
    auto wanted = onDisk.begin();
    while (wanted != onDisk.end() && !stop.stop_requested()) {
        const int collection = wanted->collection;
        readAll = scanNumbered(catalogue, {collection, collection + 1}, stop,
                               [&](const SongRecordView& record, std::uint32_t number) {
                                   if (wanted != onDisk.end() && wanted->number == number &&
                                       wanted->collection == collection) {
                                       found.push_back(foundOf(record, diskMaker.of(record)));
                                       ++wanted;
                                   }
                               }) &&
                  readAll;
        // A file that changed since the first pass may hold fewer records.
        while (wanted != onDisk.end() && wanted->collection == collection) {
            ++wanted;
        }
    }
    return readAll;
}

bool copyBefore(const Found& a, const Found& b) {
    return std::tie(a.key, a.copy.collectionIndex, a.copy.folder, a.copy.fileName) <
           std::tie(b.key, b.copy.collectionIndex, b.copy.folder, b.copy.fileName);
}

// Groups the copies of equal keys held by more than one collection: equal hashes of unequal keys
// were let through the first pass.
std::vector<DuplicateGroup> groupFound(std::vector<Found>& found) {
    std::ranges::sort(found, copyBefore);
    std::vector<DuplicateGroup> groups;
    for (std::size_t start = 0; start < found.size();) {
        std::size_t end = start + 1;
        while (end < found.size() && found[end].key == found[start].key) {
            ++end;
        }
        if (found[start].copy.collectionIndex != found[end - 1].copy.collectionIndex) {
            DuplicateGroup& group = groups.emplace_back();
            group.key = std::move(found[start].key);
            for (std::size_t i = start; i < end; ++i) {
                group.copies.push_back(std::move(found[i].copy));
            }
        }
        start = end;
    }
    std::ranges::stable_sort(groups, [](const DuplicateGroup& a, const DuplicateGroup& b) {
        return a.copies.size() > b.copies.size();
    });
    return groups;
}

}  // namespace

DuplicateReport findDuplicates(const Catalogue& catalogue, DuplicateKey key,
                               const std::stop_token& stop) {
    DuplicateReport report;
    std::vector<Seen> seen;
    seen.reserve(catalogue.index().size());
    report.read = hashAll(catalogue, key, stop, seen);
    keepShared(seen);
    std::vector<Found> found;
    found.reserve(seen.size());
    if (!stop.stop_requested()) {
        report.read = readKept(catalogue, key, seen, stop, found) && report.read;
    }
    if (stop.stop_requested()) {
        report.stopped = true;
        return report;
    }
    report.groups = groupFound(found);
    for (const DuplicateGroup& group : report.groups) {
        report.copies += group.copies.size();
    }
    return report;
}

std::string duplicatesStatus(const DuplicateReport& report) {
    return groupedNumber(report.groups.size()) +
           (report.groups.size() == 1 ? " group" : " groups") + " of duplicate songs (" +
           groupedNumber(report.copies) + " copies)";
}

UserMessage duplicatesReadFailedMessage() {
    return {"A collection file could not be read: the duplicates shown may be incomplete.",
            captionFor("File Error"), MessageIcon::Error};
}

}  // namespace tunex
