// One collection line, checked against the plain reading of its format: each field runs between
// the first occurrences of its two markers.
#include "core/store/song_record.h"
#include "fuzz_support.h"

namespace {

constexpr std::size_t kMissing = std::string_view::npos;

std::string_view between(std::string_view line, std::string_view open, std::string_view close) {
    const std::size_t start = line.find(open);
    const std::size_t end = line.find(close);
    if (start == kMissing || end == kMissing || end < start + open.size()) {
        return {};
    }
    return line.substr(start + open.size(), end - start - open.size());
}

bool inside(std::string_view part, std::string_view whole) {
    return part.empty() || (part.data() >= whole.data() &&
                            part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tunex;
    if (size == 0) {
        return 0;
    }
    const bool hasLineEnd = (data[0] & 1) != 0;
    // A copy of exactly the line's length, so ASan sees any read past its end.
    const std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);
    const SongRecordView record = parseSongRecordLine(line, hasLineEnd);

    for (const std::string_view field : {record.name, record.folder, record.type, record.id3Info,
                                         record.sizeText, record.dateText}) {
        TUNEX_FUZZ_CHECK(inside(field, line));
    }
    const std::size_t nameEnd = line.find("<|>");
    const std::string_view name = nameEnd == kMissing || nameEnd < 3
                                      ? std::string_view()
                                      : std::string_view(line).substr(3, nameEnd - 3);
    TUNEX_FUZZ_CHECK(record.name == name);
    TUNEX_FUZZ_CHECK(record.folder == between(line, "<|>", "<:>"));
    TUNEX_FUZZ_CHECK(record.type == between(line, "<:>", "</>"));
    TUNEX_FUZZ_CHECK(record.id3Info == between(line, "</>", "<\\>"));
    TUNEX_FUZZ_CHECK(record.sizeText == between(line, "<\\>", "<*>"));
    const std::size_t sizeEnd = line.find("<*>");
    const std::string_view date = !hasLineEnd || sizeEnd == kMissing
                                      ? std::string_view()
                                      : std::string_view(line).substr(sizeEnd + 3);
    TUNEX_FUZZ_CHECK(record.dateText == date);

    const SongRecord owned = toSongRecord(record);
    TUNEX_FUZZ_CHECK(owned.displayName() == record.name);
    return 0;
}
