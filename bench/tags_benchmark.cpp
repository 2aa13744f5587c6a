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
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/collections/file_type_list.h"
#include "core/journal/write_journal.h"
#include "core/tags/easy_tag.h"
#include "core/tags/tag_clearing.h"

namespace tunex::bench {

namespace {

namespace fs = std::filesystem;

constexpr int kPerFolder = 100;
constexpr int kAudioFrames = 24;
constexpr std::size_t kAudioFrameSize = 417;
constexpr std::size_t kV1Size = 128;
constexpr double kRatioLimit = 3.0;
constexpr std::string_view kSettingsTypes = "mp3;mp2;wmv;wma;dat;";

std::string artistOf(int number) {
    return "Singer " + std::to_string(number % 97);
}

std::string titleOf(int number) {
    return "Song number " + std::to_string(number);
}

std::string albumOf(int number) {
    return "Album " + std::to_string(number % 13);
}

fs::path fileOf(const fs::path& root, int number) {
    return root / ("Album " + std::to_string(number / kPerFolder)) /
           (artistOf(number) + " - " + titleOf(number) + ".mp3");
}

bool writeWhole(const fs::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written =
        ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && written;
}

std::optional<std::string> readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

void appendV2Frame(std::string& frames, std::string_view id, const std::string& text) {
    const auto size = static_cast<std::uint32_t>(text.size() + 1);
    frames.append(id);
    for (int shift = 24; shift >= 0; shift -= 8) {
        frames.push_back(static_cast<char>((size >> shift) & 0xFF));
    }
    frames.append(3, '\0');  // flags, then Latin-1
    frames.append(text);
}

// 24 MPEG frames; each file's differ, so audio that lands in the wrong place shows.
std::string audioOf(int number) {
    std::string audio;
    for (int frame = 0; frame < kAudioFrames; ++frame) {
        std::string bytes(kAudioFrameSize, static_cast<char>('a' + (frame + number) % 20));
        bytes[0] = '\xFF';
        bytes[1] = '\xFB';
        bytes[2] = '\x90';
        bytes[3] = '\x64';
        audio += bytes;
    }
    return audio;
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
    std::string frames;
    appendV2Frame(frames, "TIT2", "Old title " + std::to_string(number));
    appendV2Frame(frames, "TPE1", "Old artist");
    appendV2Frame(frames, "TALB", albumOf(number));
    appendV2Frame(frames, "TCOM", "Composer");
    frames.append(number % 2 == 0 ? 128 : 0, '\0');
    std::string file("ID3\x03\0\0", 6);
    const auto size = static_cast<std::uint32_t>(frames.size());
    for (int shift = 21; shift >= 0; shift -= 7) {
        file.push_back(static_cast<char>((size >> shift) & 0x7F));
    }
    return file + frames + audioOf(number) + oldV1();
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

std::string firstText(TagLib::ID3v2::Tag& tag, const char* id) {
    const TagLib::ID3v2::FrameList frames = tag.frameList(id);
    return frames.isEmpty() ? std::string() : frames.front()->toString().to8Bit(true);
}

// Empty when file `number` holds what EasyTag should have made of it; else what is wrong.
std::string easyTagFault(const fs::path& path, int number) {
    {
        TagLib::MPEG::File file(path.c_str(), false);
        if (!file.isValid() || !file.hasID3v2Tag()) {
            return "no ID3v2 tag";
        }
        TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
        if (firstText(tag, "TIT2") != titleOf(number) ||
            firstText(tag, "TPE1") != artistOf(number)) {
            return "wrong title or artist";
        }
        if (firstText(tag, "TALB") != albumOf(number) || firstText(tag, "TCOM") != "Composer") {
            return "other frames lost";
        }
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

bool treeHolds(const fs::path& root, int files, FaultCheck fault, std::string_view who) {
    for (int i = 0; i < files; ++i) {
        const fs::path path = fileOf(root, i);
        const std::string wrong = fault(path, i);
        if (!wrong.empty()) {
            std::fprintf(stderr, "tunex-bench: after %.*s, %s: %s\n", static_cast<int>(who.size()),
                         who.data(), path.c_str(), wrong.c_str());
            return false;
        }
    }
    return true;
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

struct Pair {
    std::optional<double> ours;
    std::optional<double> bare;
};

// One run of a writer on a fresh copy of the tree. The copy is synced before the clock starts so
// that neither writer pays for flushing it.
std::optional<double> timeOneRun(const fs::path& pristine, const fs::path& root, int files,
                                 const std::function<int()>& run, FaultCheck fault,
                                 std::string_view who) {
    if (interrupted()) {
        return std::nullopt;
    }
    std::error_code error;
    fs::remove_all(root, error);
    fs::copy(pristine, root, fs::copy_options::recursive, error);
    if (error) {
        std::fprintf(stderr, "tunex-bench: could not copy the mp3 tree: %s\n",
                     error.message().c_str());
        return std::nullopt;
    }
    ::sync();
    const Clock::time_point start = Clock::now();
    const int done = run();
    const double seconds = secondsSince(start);
    if (done != files) {
        std::fprintf(stderr, "tunex-bench: %.*s wrote %d of %d files\n",
                     static_cast<int>(who.size()), who.data(), done, files);
        return std::nullopt;
    }
    if (!treeHolds(root, files, fault, who)) {
        return std::nullopt;
    }
    return seconds;
}

// The two writers take turns, so a change in the machine's load falls on both. The best run of
// each counts; any failed run fails that writer.
Pair timePair(const fs::path& pristine, const fs::path& root, int files, int repeats,
              const std::function<int()>& ours, const std::function<int()>& bare, FaultCheck fault,
              std::string_view name) {
    Pair best;
    bool oursFailed = false;
    bool bareFailed = false;
    const auto keep = [](std::optional<double>& kept, bool& failed, std::optional<double> run) {
        if (!run) {
            failed = true;
            kept.reset();
        } else if (!failed && (!kept || *run < *kept)) {
            kept = run;
        }
    };
    const std::string bareName = "the bare writer's " + std::string(name);
    for (int i = 0; i < std::max(repeats, 1); ++i) {
        keep(best.ours, oursFailed, timeOneRun(pristine, root, files, ours, fault, name));
        keep(best.bare, bareFailed, timeOneRun(pristine, root, files, bare, fault, bareName));
    }
    return best;
}

// Files written, or -1 after saying which were not.
int writtenOrReport(int written, const WriteFailures& failed, const WriteFailures& wrongContent) {
    for (const auto& [what, failures] :
         {std::pair{"could not be written", &failed},
          std::pair{"were taken for other content", &wrongContent}}) {
        if (failures->count > 0) {
            std::fprintf(stderr, "tunex-bench: %d files %s, first %s\n", failures->count, what,
                         failures->firstPaths.front().c_str());
        }
    }
    return failed.count == 0 && wrongContent.count == 0 ? written : -1;
}

std::string perFileNote(std::optional<double> seconds, int files) {
    if (!seconds || files == 0) {
        return "FAILED";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.1f us a file", *seconds * 1e6 / files);
    return text;
}

std::optional<double> ratioOf(std::optional<double> a, std::optional<double> b) {
    if (!a || !b || *b <= 0) {
        return std::nullopt;
    }
    return *a / *b;
}

bool printRatio(const Table& table, std::string_view what, std::optional<double> ratio) {
    const bool met = ratio && *ratio <= kRatioLimit;
    char note[64];
    std::snprintf(note, sizeof note, "target <= %.0f: %s", kRatioLimit, met ? "PASS" : "FAIL");
    table.printRatio(what, ratio, note);
    return met;
}

}  // namespace

bool runTagsBenchmark(const BenchOptions& options) {
    const int files = options.quick ? 500 : 5'000;
    const fs::path pristine = options.workRoot / "tag-tree-original";
    const fs::path root = options.workRoot / "tag-tree";
    const fs::path journalFolder = options.workRoot / "tag-journal";
    std::printf(
        "\n== tags: EasyTag and Clear All Tag on %d tagged mp3 files in %d folders, beside a bare "
        "TagLib writer (best of %d)\n",
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
    // One untimed batch first: every timed one then finds a finished batch in the journal to
    // replace, as it does in daily use, and TagLib and the caches are warm for both writers.
    (void)timeOneRun(pristine, root, files, easyTag, &easyTagFault, "EasyTag");

    const Pair easy = timePair(
        pristine, root, files, options.repeats, easyTag, [&root] { return bareEasyTag(root); },
        &easyTagFault, "EasyTag");
    const Pair clear = timePair(
        pristine, root, files, options.repeats, clearAll, [&root] { return bareClearAll(root); },
        &clearFault, "Clear All Tag");
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::remove_all(pristine, ignored);
    if (interrupted()) {
        return false;
    }
    table.printRow("  bare TagLib: save, then one syncfs", easy.bare, files, std::nullopt,
                   std::nullopt, perFileNote(easy.bare, files));
    table.printRow("EasyTag, V2 from names", easy.ours, files, std::nullopt, std::nullopt,
                   perFileNote(easy.ours, files));
    table.printRow("  bare TagLib: strip V2, blank V1, syncfs", clear.bare, files, std::nullopt,
                   std::nullopt, perFileNote(clear.bare, files));
    table.printRow("Clear All Tag", clear.ours, files, std::nullopt, std::nullopt,
                   perFileNote(clear.ours, files));
    const bool easyMet =
        printRatio(table, "ratio EasyTag / bare TagLib", ratioOf(easy.ours, easy.bare));
    const bool clearMet =
        printRatio(table, "ratio Clear All Tag / bare TagLib", ratioOf(clear.ours, clear.bare));
    table.printNote(
        "each run on a fresh copy of the tree; the new tag fits the old one's padding in half the "
        "files, in the rest it grows and the audio moves; Clear All moves the audio in all");
    table.printNote(
        "tunex syncs through its write journal (same file system); the bare writer syncs the "
        "file system once after its last save; every file is checked after every run");
    return easyMet && clearMet;
}

}  // namespace tunex::bench
