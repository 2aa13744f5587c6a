// The tag operations on a mutated file of a format other than mp3: the first byte picks the
// format (and so the file name's extension), the rest is the file. A refused write leaves the
// file exactly as it was; an accepted one reads back, and undo gives back every byte.
#include "core/journal/write_journal.h"
#include "core/tags/id3_tags.h"
#include "fuzz_support.h"

#include <array>

namespace {

namespace fs = std::filesystem;
using namespace tunex;

constexpr std::array<std::string_view, 9> kExtensions = {".flac", ".ogg", ".opus", ".m4a", ".wma",
                                                         ".ape",  ".wv",  ".aiff", ".wav"};

WriteJournal& journal() {
    static const auto journal = WriteJournal::open(fuzz::ScratchFolder::path() / "journal");
    return *journal;
}

// Runs one write on a fresh copy; checks the file after it and after taking it back.
template <typename Write>
bool checkWrite(const fs::path& file, std::string_view original, Write write) {
    fuzz::writeFile(file, original);
    const bool wrote = write() == TagWriteOutcome::Written;
    const std::string after = fuzz::readFile(file);
    if (!wrote || after == original) {
        TUNEX_FUZZ_CHECK(after == original);
        return false;
    }
    TagFields reread;
    TUNEX_FUZZ_CHECK(loadTagFields(file, reread).single);
    const UndoReport undo = journal().undoLast();
    TUNEX_FUZZ_CHECK(undo.result == UndoReport::Result::Undone);
    TUNEX_FUZZ_CHECK(fuzz::readFile(file) == original);
    fuzz::writeFile(file, after);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view extension = kExtensions[data[0] % kExtensions.size()];
    const std::string_view original(reinterpret_cast<const char*>(data) + 1, size - 1);
    const fs::path file = fuzz::ScratchFolder::path() / ("song" + std::string(extension));
    fuzz::writeFile(file, original);

    (void)readCatalogueId3(file);
    (void)readId3Summary(file);
    TagFields loaded;
    const LoadedGroups groups = loadTagFields(file, loaded);
    TUNEX_FUZZ_CHECK(groups.single && !groups.v1);
    TUNEX_FUZZ_CHECK(fuzz::readFile(file) == original);  // reading never writes

    // Saving what was loaded changes nothing.
    fuzz::writeFile(file, original);
    if (saveTagFields(journal(), file, loaded) == TagWriteOutcome::Written) {
        TUNEX_FUZZ_CHECK(fuzz::readFile(file) == original);
    }

    TagFields changed = loaded;
    changed.v2.title = "Fuzz \xe2\x82\xac title";
    changed.v2.comment.clear();
    changed.v2.year = "2001-02-03";
    changed.v2.track = "7/12";
    changed.v2.genre = 18;
    if (checkWrite(file, original, [&] { return saveTagFields(journal(), file, changed); })) {
        TagFields reread;
        (void)loadTagFields(file, reread);
        TUNEX_FUZZ_CHECK(reread.v2.title == changed.v2.title);
    }

    (void)checkWrite(file, original, [&] { return clearAllTags(journal(), file); });

    const std::array<NameValue, 2> values = {
        {{NameField::Artist, "Fuzz Artist"}, {NameField::TrackNumber, ""}}};
    if (checkWrite(file, original,
                   [&] { return writeNameFields(journal(), file, TagVersion::V1, values); })) {
        TUNEX_FUZZ_CHECK(readId3Summary(file).artist == "Fuzz Artist");
    }
    return 0;
}
