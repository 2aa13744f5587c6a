// The six tag operations on a mutated mp3 file. Each write starts from a fresh copy of the input
// and must leave the audio untouched, whether it reports success or not.
#include "core/journal/write_journal.h"
#include "core/tags/id3_tags.h"
#include "fuzz_support.h"

#include <array>

namespace {

namespace fs = std::filesystem;
using namespace tunex;

// End of an ID3v2 tag standing at `at`, footer included; `at` without a complete one.
std::size_t tagEnd(std::string_view bytes, std::size_t at) {
    if (bytes.size() < at + 10 || bytes.substr(at, 3) != "ID3") {
        return at;
    }
    std::size_t size = 0;
    for (std::size_t i = at + 6; i < at + 10; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x80) {
            return at + 10;  // TagLib reads a size it cannot parse as an empty tag
        }
        size = (size << 7) | b;
    }
    const bool footer = (static_cast<unsigned char>(bytes[at + 5]) & 0x10) != 0;
    const std::size_t end = at + 10 + size + (footer ? 10 : 0);
    return end <= bytes.size() ? end : at;
}

// TagLib takes tags right behind the first for duplicates of it, and writers drop them with it.
std::size_t tagsEnd(std::string_view bytes, std::size_t at) {
    std::size_t end = at;
    for (std::size_t next = tagEnd(bytes, at); next != end; next = tagEnd(bytes, end)) {
        end = next;
    }
    return end;
}

std::string_view withoutV1(std::string_view bytes) {
    if (bytes.size() >= 128 && bytes.substr(bytes.size() - 128, 3) == "TAG") {
        bytes.remove_suffix(128);
    }
    return bytes;
}

// `kept` is `before`, then nothing or whole tags, then `after`.
bool keptAround(std::string_view kept, std::string_view before, std::string_view after) {
    if (kept.size() < before.size() + after.size() || kept.substr(0, before.size()) != before ||
        kept.substr(kept.size() - after.size()) != after) {
        return false;
    }
    const std::string_view middle =
        kept.substr(before.size(), kept.size() - before.size() - after.size());
    return tagsEnd(middle, 0) == middle.size();
}

// After a write the file holds everything but its tags as it was: a V2 tag may have been put at
// the start, or replaced or removed where it stood (TagLib looks for it up to the first audio
// frame, so junk may stand before it), and a V1 tag may have been added or changed at the end.
void checkAudioKept(std::string_view before, std::string_view after) {
    const std::string_view body = withoutV1(before);
    const std::string_view kept = withoutV1(after);
    if (keptAround(kept, {}, body)) {
        return;
    }
    const std::size_t tag = body.find("ID3");
    const std::size_t end = tag == std::string_view::npos ? tag : tagsEnd(body, tag);
    TUNEX_FUZZ_CHECK(end != tag && keptAround(kept, body.substr(0, tag), body.substr(end)));
}

template <typename Write>
bool checkWrite(const fs::path& file, std::string_view original, Write write) {
    fuzz::writeFile(file, original);
    const bool wrote = write();
    const std::string after = fuzz::readFile(file);
    if (!wrote) {
        TUNEX_FUZZ_CHECK(after == original);  // a refused write leaves the file exactly as it was
    } else {
        checkAudioKept(original, after);
    }
    return wrote;
}

WriteJournal& journal() {
    static const auto journal = WriteJournal::open(fuzz::ScratchFolder::path() / "journal");
    return *journal;
}

bool written(TagWriteOutcome outcome) {
    return outcome == TagWriteOutcome::Written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view original(reinterpret_cast<const char*>(data), size);
    const fs::path file = fuzz::ScratchFolder::path() / "song.mp3";
    fuzz::writeFile(file, original);

    (void)readCatalogueId3(file);
    (void)readId3Summary(file);
    TagFields loaded;
    (void)loadTagFields(file, loaded);
    TUNEX_FUZZ_CHECK(fuzz::readFile(file) == original);  // reading never writes

    // Saving what was loaded, and saving changed fields.
    if (checkWrite(file, original,
                   [&] { return written(saveTagFields(journal(), file, loaded)); })) {
        TagFields reread;
        TUNEX_FUZZ_CHECK(loadTagFields(file, reread).v1);
    }
    TagFields changed = loaded;
    changed.v1.title = "Fuzz V1 \xc3\xa9";
    changed.v2.title = "Fuzz V2 \xe2\x82\xac";
    changed.v2.comment.clear();
    changed.v2.year = "2001-02-03";
    changed.v2.genre = 18;
    if (checkWrite(file, original,
                   [&] { return written(saveTagFields(journal(), file, changed)); })) {
        TagFields reread;
        const LoadedGroups groups = loadTagFields(file, reread);
        TUNEX_FUZZ_CHECK(groups.v1 && groups.v2 && reread.v2.title == changed.v2.title);
    }

    (void)checkWrite(file, original, [&] { return written(clearAllTags(journal(), file)); });

    const std::array<NameValue, 3> values = {{{NameField::Artist, "Fuzz Artist"},
                                              {NameField::SongTitle, "Fuzz Title"},
                                              {NameField::TrackNumber, "7"}}};
    for (const TagVersion target : {TagVersion::V1, TagVersion::V2}) {
        if (checkWrite(file, original,
                       [&] { return written(writeNameFields(journal(), file, target, values)); })) {
            const Id3Summary summary = readId3Summary(file);
            TUNEX_FUZZ_CHECK(target == TagVersion::V1 || summary.title == "Fuzz Title");
        }
    }
    return 0;
}
