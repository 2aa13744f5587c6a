#include "tags_benchmark.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/collections/file_type_list.h"
#include "core/journal/write_journal.h"
#include "core/tags/easy_tag.h"
#include "core/tags/tag_clearing.h"
#include "cover_benchmark.h"
#include "rename_benchmark.h"
#include "tag_runs.h"
#include "tags_beside_mutagen.h"

namespace tunex::bench {

namespace {

namespace fs = std::filesystem;

constexpr int kPerFolder = 100;
constexpr int kAudioFrames = 24;
constexpr std::size_t kV1Size = 128;
constexpr double kRatioLimit = 3.0;

fs::path fileOf(const fs::path& root, int number) {
    return root / ("Album " + std::to_string(number / kPerFolder)) /
           (artistOf(number) + " - " + titleOf(number) + ".mp3");
}

std::string audioOf(int number) {
    return mpegAudio(number, kAudioFrames);
}

std::string oldV1() {
    std::string v1 = "TAG" + std::string(kV1Size - 3, '\0');
    v1.replace(3, 9, "Old title");
    v1[kV1Size - 1] = 17;
    return v1;
}

// An ID3v2.3 tag (title, artist, album, composer), the audio and an ID3v1 tag. The new tag fits
// the old one's padding in every other file; in the rest it grows and the audio has to move.
std::string taggedMp3(int number) {
    return id3v23Tag({{"TIT2", "Old title " + std::to_string(number)},
                      {"TPE1", "Old artist"},
                      {"TALB", albumOf(number)},
                      {"TCOM", "Composer"}},
                     number % 2 == 0 ? 128 : 0) +
           audioOf(number) + oldV1();
}

bool generateTree(const fs::path& root, int files) {
    std::error_code error;
    fs::remove_all(root, error);
    for (int i = 0; i < files; ++i) {
        const fs::path path = fileOf(root, i);
        if (i % kPerFolder == 0 && !fs::create_directories(path.parent_path(), error) && error) {
            return false;
        }
        if (!writeWhole(path, taggedMp3(i))) {
            return false;
        }
    }
    return true;
}

// Empty when file `number` holds what EasyTag should have made of it; else what is wrong.
std::string easyTagFault(const fs::path& path, int number) {
    if (std::string fault = easyTagFramesFault(path, number); !fault.empty()) {
        return fault;
    }
    const std::optional<std::string> bytes = readWhole(path);
    const std::string audio = audioOf(number);
    if (!bytes || bytes->size() < audio.size() + kV1Size) {
        return "cut short";
    }
    const std::size_t v1At = bytes->size() - kV1Size;
    if (bytes->compare(v1At - audio.size(), audio.size(), audio) != 0) {
        return "audio damaged";
    }
    if (bytes->compare(v1At, kV1Size, oldV1()) != 0) {
        return "ID3v1 tag changed";
    }
    return {};
}

std::string blankV1() {
    const TagLib::ByteVector bytes = TagLib::ID3v1::Tag().render();
    return std::string(bytes.data(), bytes.size());
}

// Clear All Tag leaves the audio and a blanked ID3v1 tag, nothing else.
std::string clearFault(const fs::path& path, int number) {
    const std::optional<std::string> bytes = readWhole(path);
    if (!bytes) {
        return "unreadable";
    }
    return *bytes == audioOf(number) + blankV1() ? std::string() : "not exactly audio + blank V1";
}

using FaultCheck = std::string (*)(const fs::path&, int);

// The first file that does not hold what it should, with what is wrong; empty when all do.
std::string treeFault(const fs::path& root, int files, FaultCheck fault) {
    for (int i = 0; i < files; ++i) {
        const fs::path path = fileOf(root, i);
        const std::string wrong = fault(path, i);
        if (!wrong.empty()) {
            return path.string() + ": " + wrong;
        }
    }
    return {};
}

// The bare writer: what a careful simple tool does without a journal. TagLib writes each file in
// place; after the last one, one syncfs makes the whole run durable: the least syncing any
// writer that promises durability can do.

std::vector<std::string> mp3FilesUnder(const fs::path& root) {
    std::vector<std::string> paths;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().extension() == ".mp3") {
            paths.push_back(entry.path().string());
        }
    }
    return paths;
}

bool syncFileSystem(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return true;
    }
    const int fd = ::open(paths.front().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::syncfs(fd) == 0;
    return ::close(fd) == 0 && synced;
}

std::string trimmed(std::string_view text) {
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(begin, text.find_last_not_of(' ') - begin + 1));
}

void setText(TagLib::ID3v2::Tag& tag, const char* id, const std::string& value) {
    tag.removeFrames(id);
    auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(TagLib::ByteVector(id),
                                                                          TagLib::String::Latin1);
    frame->setText(TagLib::String(value, TagLib::String::UTF8));
    tag.addFrame(frame.release());  // the tag owns its frames
}

// Files written; -1 when one could not be.
int bareEasyTag(const fs::path& root) {
    std::vector<std::string> written;
    for (const std::string& path : mp3FilesUnder(root)) {
        // "artist - title": the format EasyTag is run with below.
        const std::string stem = fs::path(path).stem().string();
        const auto dash = stem.find('-');
        if (dash == std::string::npos || dash == 0) {
            continue;
        }
        TagLib::MPEG::File file(path.c_str(), false);
        if (!file.isValid() || file.readOnly()) {
            return -1;
        }
        TagLib::ID3v2::Tag& tag = *file.ID3v2Tag(true);
        setText(tag, "TPE1", trimmed(std::string_view(stem).substr(0, dash)));
        setText(tag, "TIT2", trimmed(std::string_view(stem).substr(dash + 1)));
        if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3,
                       TagLib::File::DoNotDuplicate)) {
            return -1;
        }
        written.push_back(path);
    }
    return syncFileSystem(written) ? static_cast<int>(written.size()) : -1;
}

bool blankV1At(const std::string& path, const std::string& blank) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    const bool written =
        ::fstat(fd, &status) == 0 && status.st_size >= static_cast<off_t>(kV1Size) &&
        ::pwrite(fd, blank.data(), blank.size(), status.st_size - static_cast<off_t>(kV1Size)) ==
            static_cast<ssize_t>(blank.size());
    return ::close(fd) == 0 && written;
}

// The same work as Clear All Tag: the ID3v2 tag removed, the ID3v1 tag blanked where it is.
int bareClearAll(const fs::path& root) {
    const std::string blank = blankV1();
    std::vector<std::string> written;
    for (const std::string& path : mp3FilesUnder(root)) {
        bool hasV1 = false;
        {
            TagLib::MPEG::File file(path.c_str(), false);
            if (!file.isValid() || file.readOnly()) {
                return -1;
            }
            hasV1 = file.hasID3v1Tag();
            if (file.hasID3v2Tag() && !file.strip(TagLib::MPEG::File::ID3v2)) {
                return -1;
            }
        }
        // TagLib's save would rebuild the V1 tag rather than blank it: a plain write of the
        // 128 bytes, after TagLib has let the file go.
        if (hasV1 && !blankV1At(path, blank)) {
            return -1;
        }
        written.push_back(path);
    }
    return syncFileSystem(written) ? static_cast<int>(written.size()) : -1;
}

}  // namespace

bool runTagsBenchmark(const BenchOptions& options) {
    const int files = options.quick ? 500 : 5'000;
    const fs::path pristine = options.workRoot / "tag-tree-original";
    const fs::path root = options.workRoot / "tag-tree";
    const fs::path journalFolder = options.workRoot / "tag-journal";
    std::printf(
        "\n== tags: EasyTag and Clear All Tag on %d tagged mp3 files in %d folders, beside a bare "
        "TagLib writer; then on large mp3 and on FLAC files, beside mutagen (best of %d)\n",
        files, files / kPerFolder, options.repeats);
    const Table table;
    table.printHeader();
    if (!generateTree(pristine, files)) {
        std::fprintf(stderr, "tunex-bench: could not generate the mp3 tree\n");
        return false;
    }
    // Opened once, as the program keeps it, on the same file system as the tree.
    const std::unique_ptr<WriteJournal> journal = WriteJournal::open(journalFolder);
    if (!journal->usable()) {
        std::fprintf(stderr, "tunex-bench: no write journal in %s: %s\n", journalFolder.c_str(),
                     journal->error().c_str());
        return false;
    }
    const auto easyTag = [&journal, &root] {
        const EasyTagResult result =
            runEasyTag(*journal, {root.string(), true, {}}, NameFormat(), kSettingsTypes);
        return writtenOrReport(result.written, result.failed, result.wrongContent);
    };
    const auto clearAll = [&journal, &root] {
        const ClearAllResult result =
            clearAllTagsUnder(*journal, {root.string(), true, {}}, FileTypeList());
        return writtenOrReport(result.counted, result.failed, result.wrongContent);
    };
    const TreeRun tree{pristine, root, files};
    const auto faultOf = [&root, files](FaultCheck fault) {
        return [&root, files, fault] { return treeFault(root, files, fault); };
    };
    const Writer ours{"EasyTag", easyTag, faultOf(&easyTagFault)};
    // One untimed batch first: every timed one then finds a finished batch in the journal to
    // replace, as it does in daily use, and TagLib and the caches are warm for both writers.
    (void)timeOneRun(tree, ours);

    const Pair easy =
        timePair(tree, options.repeats, ours,
                 {"the bare writer's EasyTag", [&root] { return bareEasyTag(root); }, ours.fault});
    const Pair clear =
        timePair(tree, options.repeats, {"Clear All Tag", clearAll, faultOf(&clearFault)},
                 {"the bare writer's Clear All Tag", [&root] { return bareClearAll(root); },
                  faultOf(&clearFault)});
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::remove_all(pristine, ignored);
    if (interrupted()) {
        return false;
    }
    table.printRow("  bare TagLib: save, then one syncfs", easy.peer, files, std::nullopt,
                   std::nullopt, perFileNote(easy.peer, files));
    table.printRow("EasyTag, V2 from names", easy.ours, files, std::nullopt, std::nullopt,
                   perFileNote(easy.ours, files));
    table.printRow("  bare TagLib: strip V2, blank V1, syncfs", clear.peer, files, std::nullopt,
                   std::nullopt, perFileNote(clear.peer, files));
    table.printRow("Clear All Tag", clear.ours, files, std::nullopt, std::nullopt,
                   perFileNote(clear.ours, files));
    const bool easyMet = printRatioTarget(table, "ratio EasyTag / bare TagLib",
                                          ratioOf(easy.ours, easy.peer), kRatioLimit);
    const bool clearMet = printRatioTarget(table, "ratio Clear All Tag / bare TagLib",
                                           ratioOf(clear.ours, clear.peer), kRatioLimit);
    table.printNote(
        "each run on a fresh copy of the tree; the new tag fits the old one's padding in half the "
        "files, in the rest it grows and the audio moves; Clear All moves the audio in all");
    table.printNote(
        "tunex syncs through its write journal (same file system); the bare writer syncs the "
        "file system once after its last save; every file is checked after every run");
    const bool coverMet = runCoverBenchmark(options, *journal, table);
    const bool besideMutagen = runTagsBesideMutagen(options, *journal, table);
    const bool renameMet = runRenameBenchmark(options, table);
    return easyMet && clearMet && coverMet && besideMutagen && renameMet;
}

}  // namespace tunex::bench
