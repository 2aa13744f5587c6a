// Collection files as the catalogue loads them: the first collections into memory and the rest
// scanned from disk by each search.
#include "core/store/catalogue.h"
#include "core/store/song_record.h"
#include "fuzz_support.h"

#include <vector>

namespace {

namespace fs = std::filesystem;
using tunex::Catalogue;
using tunex::SongRecordView;
using tunex::StorePaths;

// A base folder whose first collection is just over the memory limit, so that collections 2 and 3
// (rewritten by each input) are read from disk.
struct DiskBase {
    StorePaths paths{tunex::fuzz::ScratchFolder::path() / "disk"};
    Catalogue catalogue;

    DiskBase() {
        fs::create_directories(paths.systemFolder());
        std::string big = "**filler\n";
        for (int i = 0; i <= Catalogue::kMemoryRecordLimit; ++i) {
            big += "<?> f" + std::to_string(i) + "<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n";
        }
        big += "@*EOF\n";
        tunex::fuzz::writeFile(paths.collectionFileName(0), big);
        tunex::fuzz::writeFile(paths.collectionFileName(1), "");
        tunex::fuzz::writeFile(paths.collectionFileName(2), "");
        if (catalogue.load(paths, 3) != Catalogue::kMemoryRecordLimit + 1 ||
            catalogue.firstDiskCollection() != 1) {
            std::abort();
        }
    }
};

struct Fields {
    int collection;
    std::string name, folder, type, id3Info, sizeText, dateText;
    bool operator==(const Fields&) const = default;
};

Fields fieldsOf(const SongRecordView& r) {
    return {r.collectionIndex,      std::string(r.name),    std::string(r.folder),
            std::string(r.type),    std::string(r.id3Info), std::string(r.sizeText),
            std::string(r.dateText)};
}

bool holds(const Fields& f, std::string_view word) {
    for (const std::string* text :
         {&f.name, &f.folder, &f.type, &f.id3Info, &f.sizeText, &f.dateText}) {
        if (text->find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tunex::fuzz::InputReader input(data, size);
    const int count = 1 + input.byte() % 3;
    std::string word(input.piece(4));
    for (char& c : word) {
        c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);  // never part of a marker
    }
    const std::string_view text = input.rest();
    std::vector<std::string_view> parts;
    for (int i = 0; i < count; ++i) {
        const std::size_t begin = text.size() * static_cast<std::size_t>(i) / count;
        const std::size_t end = text.size() * static_cast<std::size_t>(i + 1) / count;
        parts.push_back(text.substr(begin, end - begin));
    }

    // In memory: load, walk in order, read every search field.
    const StorePaths memory(tunex::fuzz::ScratchFolder::path() / "memory");
    fs::create_directories(memory.systemFolder());
    for (int i = 0; i < count; ++i) {
        tunex::fuzz::writeFile(memory.collectionFileName(i), parts[static_cast<std::size_t>(i)]);
    }
    Catalogue loaded;
    const std::optional<int> records = loaded.load(memory, count);
    TUNEX_FUZZ_CHECK(records.has_value());
    TUNEX_FUZZ_CHECK(loaded.collectionCount() == count);
    TUNEX_FUZZ_CHECK(static_cast<std::size_t>(*records) == loaded.index().size());
    std::size_t walked = 0;
    loaded.index().walk([&](const SongRecordView& record) {
        TUNEX_FUZZ_CHECK(record.collectionIndex >= 0 && record.collectionIndex < count);
        ++walked;
    });
    TUNEX_FUZZ_CHECK(walked == loaded.index().size());
    std::vector<bool> seen(loaded.index().size());
    for (const std::uint32_t i : loaded.index().visitOrder()) {
        TUNEX_FUZZ_CHECK(i < seen.size() && !seen[i]);
        seen[i] = true;
    }
    for (std::size_t position = 0; position < seen.size(); ++position) {
        (void)loaded.index().searchFields(position);
    }

    // On disk: the same text as collections 2 and 3 behind the full first one.
    static DiskBase disk;
    const std::string_view first = parts[0];
    const std::string_view second = count > 1 ? parts[1] : std::string_view();
    tunex::fuzz::writeFile(disk.paths.collectionFileName(1), first);
    tunex::fuzz::writeFile(disk.paths.collectionFileName(2), second);
    std::vector<Fields> all;
    TUNEX_FUZZ_CHECK(disk.catalogue.scanDiskCollections(
        [&](const SongRecordView& record) { all.push_back(fieldsOf(record)); }));

    // A line filter may only skip text that holds no match: every record whose fields hold the
    // word must still be visited, and nothing that was not visited without the filter.
    std::vector<Fields> filtered;
    TUNEX_FUZZ_CHECK(disk.catalogue.scanDiskCollections(
        [&](const SongRecordView& record) { filtered.push_back(fieldsOf(record)); }, {},
        [&](std::string_view stretch) { return stretch.find(word) != std::string_view::npos; }));
    std::size_t next = 0;
    for (const Fields& record : all) {
        if (next < filtered.size() && filtered[next] == record) {
            ++next;
        } else {
            TUNEX_FUZZ_CHECK(word.empty() || !holds(record, word));
        }
    }
    TUNEX_FUZZ_CHECK(next == filtered.size());

    // Stopping after the first record visits exactly one when there is any.
    std::size_t visits = 0;
    TUNEX_FUZZ_CHECK(disk.catalogue.scanDiskCollections([&](const SongRecordView&) { ++visits; },
                                                        [&] { return visits > 0; }));
    TUNEX_FUZZ_CHECK(visits == std::min<std::size_t>(all.size(), 1));
    return 0;
}
