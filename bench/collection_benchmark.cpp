#include "collection_benchmark.h"

#include "tag_runs.h"

#include "core/collections/collection_builder.h"
#include "core/store/workspace.h"
#include "flac_files.h"

#include <fcntl.h>
#include <taglib/flacfile.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unordered_set>

namespace tunex::bench {

namespace {

namespace fs = std::filesystem;

constexpr double kCountRatioLimit = 2.0;
constexpr double kFlacRatioLimit = 2.0;

// A folder tree laid down for this section and removed after it.
class GeneratedTree final {
public:
    explicit GeneratedTree(fs::path root) : root_(std::move(root)) {}
    GeneratedTree(const GeneratedTree&) = delete;
    GeneratedTree& operator=(const GeneratedTree&) = delete;
    ~GeneratedTree() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    [[nodiscard]] const fs::path& root() const { return root_; }

private:
    fs::path root_;
};

bool writeWhole(const fs::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = bytes.empty() || ::write(fd, bytes.data(), bytes.size()) ==
                                              static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && written;
}

// `folders` album folders under folders/50 artist folders, `perFolder` files each; one in five
// is a media file (mp3 or wma), the rest pictures, playlists and notes. Files are empty: the
// walk never reads them.
bool generateMixedTree(const fs::path& root, int folders, int perFolder) {
    static constexpr const char* kOther[] = {".jpg", ".txt", ".m3u", ".nfo"};
    std::error_code error;
    for (int f = 0; f < folders; ++f) {
        const fs::path folder =
            root / ("Artist " + std::to_string(f / 50)) / ("Album " + std::to_string(f % 50));
        if (!fs::create_directories(folder, error) && error) {
            return false;
        }
        for (int i = 0; i < perFolder; ++i) {
            std::string name = "Track " + std::to_string(i);
            if (i % 5 == 0) {
                name += (i % 10 == 0) ? ".mp3" : ".WMA";
            } else {
                name += kOther[i % 4];
            }
            if (!writeWhole(folder / name, {})) {
                return false;
            }
        }
    }
    return true;
}

// A small valid mp3: an ID3v2.3 tag with title, artist and album, then four MPEG-1 Layer III
// frames of silence (128 kbit/s, 44.1 kHz).
std::string taggedMp3(int number) {
    std::string file = id3v23Tag({{"TIT2", "Song number " + std::to_string(number)},
                                  {"TPE1", "Artist " + std::to_string(number % 97)},
                                  {"TALB", "Album " + std::to_string(number % 13)}},
                                 0);
    for (int frame = 0; frame < 4; ++frame) {
        std::string audio(417, '\0');
        audio[0] = '\xFF';
        audio[1] = '\xFB';
        audio[2] = '\x90';
        file += audio;
    }
    return file;
}

bool generateMp3Tree(const fs::path& root, int files, int perFolder) {
    std::error_code error;
    for (int i = 0; i < files; ++i) {
        const fs::path folder = root / ("Album " + std::to_string(i / perFolder));
        if (i % perFolder == 0 && !fs::create_directories(folder, error) && error) {
            return false;
        }
        if (!writeWhole(folder / ("Song " + std::to_string(i) + ".mp3"), taggedMp3(i))) {
            return false;
        }
    }
    return true;
}

std::string flacTitle(int number) {
    return "Song number " + std::to_string(number);
}

std::string flacArtist(int number) {
    return "Artist " + std::to_string(number % 97);
}

std::string flacAlbum(int number) {
    return "Album " + std::to_string(number % 13);
}

bool generateFlacTree(const fs::path& root, int files, int perFolder) {
    std::error_code error;
    for (int i = 0; i < files; ++i) {
        const fs::path folder = root / ("Album " + std::to_string(i / perFolder));
        if (i % perFolder == 0 && !fs::create_directories(folder, error) && error) {
            return false;
        }
        const std::string bytes = flacFile(flacTitle(i), flacArtist(i), flacAlbum(i), i);
        if (!writeWhole(folder / ("Song " + std::to_string(i) + ".flac"), bytes)) {
            return false;
        }
    }
    return true;
}

// The tag texts of the records in a collection file, between "</>" and "<\>".
std::unordered_set<std::string> recordTagTexts(const fs::path& collectionFile) {
    std::unordered_set<std::string> texts;
    std::ifstream in(collectionFile, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const auto begin = line.find("</>");
        const auto end = line.rfind("<\\>");
        if (begin != std::string::npos && end != std::string::npos && end >= begin + 3) {
            texts.insert(line.substr(begin + 3, end - begin - 3));
        }
    }
    return texts;
}

// Empty when every FLAC file's title, artist and album made it into the catalogue.
std::string missingFlacText(const fs::path& collectionFile, int files) {
    const std::unordered_set<std::string> texts = recordTagTexts(collectionFile);
    for (int i = 0; i < files; ++i) {
        const std::string text = flacTitle(i) + ";" + flacArtist(i) + ";" + flacAlbum(i) + ";";
        if (texts.count(text) == 0) {
            return text;
        }
    }
    return {};
}

std::optional<double> timeFind(const fs::path& tree, int repeats) {
    const std::vector<std::string> command = {"find", tree.string()};
    return bestOf(repeats, [&command] { return timeCommand(command, true); });
}

std::optional<double> timeCount(const fs::path& tree, std::int64_t expected, int repeats) {
    return bestOf(repeats, [&tree, expected]() -> std::optional<double> {
        const Clock::time_point start = Clock::now();
        const CountOutcome outcome = countCollection(tree.string(), FileTypeList());
        const double seconds = secondsSince(start);
        if (outcome.message || outcome.count != expected) {
            std::fprintf(stderr, "tunex-bench: Count found %lld media files, not %lld\n",
                         static_cast<long long>(outcome.count), static_cast<long long>(expected));
            return std::nullopt;
        }
        return seconds;
    });
}

// One Add into a fresh base folder, in a child: checks, walks, the file written and renamed
// into place, the catalogue reloaded and the totals stored.
std::optional<double> timeAdd(const fs::path& work, const fs::path& tree, bool id3,
                              std::int64_t expected, int repeats,
                              const FileTypeList& types = FileTypeList(), int flacFiles = 0) {
    return bestOf(repeats, [&]() -> std::optional<double> {
        const GeneratedTree base(work / "add-base");
        const auto values = runInChild([&]() -> std::vector<double> {
            fs::create_directories(base.root() / "system");
            if (!writeWhole(base.root() / "system/system.ifo", "<ts>0\n<tf>0\n@*EOF")) {
                throw std::runtime_error("cannot write the settings file");
            }
            UserMessage failure;
            const auto workspace = Workspace::open(base.root(), failure);
            if (!workspace) {
                throw std::runtime_error(failure.text);
            }
            const Clock::time_point start = Clock::now();
            const AddOutcome outcome =
                addCollection(*workspace, types, AddRequest{"Bench", tree.string(), id3},
                              AddProgress(), directUpdate(*workspace, {}, {}));
            const double seconds = secondsSince(start);
            if (outcome.result != AddResult::Added || outcome.added != expected ||
                !outcome.catalogueReloaded || !outcome.settingsStored) {
                throw std::runtime_error("Add did not complete");
            }
            if (flacFiles > 0) {
                const std::string missing =
                    missingFlacText(base.root() / "system/save0001.ifo", flacFiles);
                if (!missing.empty()) {
                    throw std::runtime_error("Add did not catalogue \"" + missing + "\"");
                }
            }
            return {seconds};
        });
        if (!values || values->size() != 1) {
            return std::nullopt;
        }
        return values->front();
    });
}

// The bare reader: every .flac under the tree opened by TagLib without audio properties, and the
// title, artist and album of its Vorbis comment joined as a catalogue record holds them. Files
// that gave all three; -1 when one could not be read.
std::int64_t bareFlacRead(const fs::path& tree) {
    std::int64_t read = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".flac") {
            continue;
        }
        TagLib::FLAC::File file(entry.path().c_str(), false);
        TagLib::Ogg::XiphComment* comment = file.isValid() ? file.xiphComment() : nullptr;
        if (comment == nullptr) {
            return -1;
        }
        const std::string title = comment->title().to8Bit(true);
        const std::string artist = comment->artist().to8Bit(true);
        const std::string album = comment->album().to8Bit(true);
        const std::string text = title + ";" + artist + ";" + album + ";";
        if (!title.empty() && !artist.empty() && !album.empty() && text.size() > 3) {
            ++read;
        }
    }
    return read;
}

// In a child, as Add runs, so that neither starts with the other's heap.
std::optional<double> timeBareFlacRead(const fs::path& tree, std::int64_t expected) {
    const auto values = runInChild([&tree, expected]() -> std::vector<double> {
        const Clock::time_point start = Clock::now();
        const std::int64_t read = bareFlacRead(tree);
        const double seconds = secondsSince(start);
        if (read != expected) {
            throw std::runtime_error("the bare reader read " + std::to_string(read) + " of " +
                                     std::to_string(expected) + " FLAC files");
        }
        return {seconds};
    });
    if (!values || values->size() != 1) {
        return std::nullopt;
    }
    return values->front();
}

struct FlacTimes {
    std::optional<double> add;
    std::optional<double> bare;
};

// Add and the bare reader take turns, so a change in the machine's load falls on both. The best
// run of each counts; any failed run fails that one.
FlacTimes timeFlacAdd(const fs::path& work, const fs::path& tree, int files, int repeats) {
    FileTypeList types;
    types.add("flac");
    FlacTimes best;
    bool addFailed = false;
    bool bareFailed = false;
    for (int i = 0; i < std::max(repeats, 1) && !interrupted(); ++i) {
        keepBest(best.add, addFailed, timeAdd(work, tree, true, files, 1, types, files));
        keepBest(best.bare, bareFailed, timeBareFlacRead(tree, files));
    }
    return best;
}

std::string perFileNote(std::optional<double> seconds, std::int64_t files) {
    if (!seconds || files == 0) {
        return "FAILED";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.1f us a media file",
                  *seconds * 1e6 / static_cast<double>(files));
    return text;
}

}  // namespace

bool runCollectionBenchmark(const BenchOptions& options) {
    const int folders = options.quick ? 200 : 2'000;
    const int perFolder = 50;
    const std::int64_t media = static_cast<std::int64_t>(folders) * perFolder / 5;
    const int mp3Files = options.quick ? 1'000 : 10'000;
    const int flacFiles = options.quick ? 1'000 : 10'000;
    const Table table;
    std::printf(
        "\n== collections: Count and Add on %d files in %d folders (%lld media files), "
        "Add with ID3 on %d tagged mp3 files, Add with tag info on %d FLAC files (best of %d)\n",
        folders * perFolder, folders, static_cast<long long>(media), mp3Files, flacFiles,
        options.repeats);
    table.printHeader();

    const GeneratedTree mixed(options.workRoot / "mixed-tree");
    const GeneratedTree tagged(options.workRoot / "mp3-tree");
    const GeneratedTree flac(options.workRoot / "flac-tree");
    if (!generateMixedTree(mixed.root(), folders, perFolder) ||
        !generateMp3Tree(tagged.root(), mp3Files, 100) ||
        !generateFlacTree(flac.root(), flacFiles, 100)) {
        std::fprintf(stderr, "tunex-bench: could not generate the folder trees\n");
        return false;
    }
    // One walk first, so every measurement finds the same warm caches.
    (void)timeFind(mixed.root(), 1);
    (void)timeFind(tagged.root(), 1);
    (void)timeBareFlacRead(flac.root(), flacFiles);

    const std::optional<double> find = timeFind(mixed.root(), options.repeats);
    const std::optional<double> count = timeCount(mixed.root(), media, options.repeats);
    const std::optional<double> add =
        timeAdd(options.workRoot, mixed.root(), false, media, options.repeats);
    const std::optional<double> findMp3 = timeFind(tagged.root(), options.repeats);
    const std::optional<double> addPlain =
        timeAdd(options.workRoot, tagged.root(), false, mp3Files, options.repeats);
    const std::optional<double> addId3 =
        timeAdd(options.workRoot, tagged.root(), true, mp3Files, options.repeats);
    const FlacTimes flacAdd =
        timeFlacAdd(options.workRoot, flac.root(), flacFiles, options.repeats);
    if (interrupted()) {
        return false;
    }

    table.printRow("  find, mixed tree", find, std::nullopt, std::nullopt, std::nullopt,
                   find ? "find TREE > /dev/null" : "FAILED to run find");
    table.printRow("Count, mixed tree", count, media, std::nullopt, std::nullopt,
                   count ? "" : "FAILED");
    table.printRow("Add, mixed tree", add, media, std::nullopt, std::nullopt,
                   perFileNote(add, media));
    table.printRow("  find, mp3 tree", findMp3, std::nullopt, std::nullopt, std::nullopt,
                   findMp3 ? "find TREE > /dev/null" : "FAILED to run find");
    table.printRow("Add, mp3 tree, no ID3", addPlain, mp3Files, std::nullopt, std::nullopt,
                   perFileNote(addPlain, mp3Files));
    table.printRow("Add, mp3 tree, with ID3", addId3, mp3Files, std::nullopt, std::nullopt,
                   perFileNote(addId3, mp3Files));
    table.printRow("  bare TagLib: FLAC::File + xiphComment", flacAdd.bare, flacFiles, std::nullopt,
                   std::nullopt, perFileNote(flacAdd.bare, flacFiles));
    table.printRow("Add with tag info, FLAC tree", flacAdd.add, flacFiles, std::nullopt,
                   std::nullopt, perFileNote(flacAdd.add, flacFiles));

    const std::optional<double> countRatio = ratioOf(count, find);
    const bool countMet = countRatio && *countRatio <= kCountRatioLimit;
    table.printRatio("ratio Count / find", countRatio,
                     countMet ? "target <= 2: PASS" : "target <= 2: FAIL");
    table.printRatio("ratio Add / find", ratioOf(add, find), "reference");
    table.printRatio("ratio Add with ID3 / find, mp3 tree", ratioOf(addId3, findMp3), "reference");
    table.printRatio("ratio Add with ID3 / without, mp3 tree", ratioOf(addId3, addPlain),
                     "reference");
    const std::optional<double> flacRatio = ratioOf(flacAdd.add, flacAdd.bare);
    const bool flacMet = flacRatio && *flacRatio <= kFlacRatioLimit;
    table.printRatio("ratio Add with tag info / bare TagLib, FLAC", flacRatio,
                     flacMet ? "target <= 2: PASS" : "target <= 2: FAIL");
    table.printNote(
        "the bare reader walks the FLAC tree and reads each file's title, artist and album;");
    table.printNote(
        "Add with tag info also writes the collection, then checked for every file's text");
    return countMet && flacMet && add && addPlain && addId3;
}

}  // namespace tunex::bench
