#include "tags_beside_mutagen.h"

#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/xiphcomment.h>

#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/collections/file_type_list.h"
#include "core/journal/write_journal.h"
#include "core/tags/easy_tag.h"
#include "core/tags/tag_clearing.h"
#include "flac_files.h"
#include "tag_runs.h"

namespace tunex::bench {

namespace {

namespace fs = std::filesystem;

constexpr int kMovingFrames = 11'511;  // 4.8 MB of audio
constexpr std::size_t kFlacPadding = 8'192;
constexpr int kFlacPerFolder = 100;
constexpr double kMovingLimit = 2.0;
constexpr double kFlacLimit = 1.2;

// Walks the tree as EasyTag does and takes artist and title from each name, split at its first
// "-" and trimmed. Clear empties each FLAC comment and saves it with mutagen's default padding,
// as Clear All Tag does; FLAC.delete() would drop the padding as well and move the audio.
constexpr const char* kMutagenScript = R"(import os, sys
from mutagen.flac import FLAC
from mutagen.id3 import ID3, TIT2, TPE1
mode, root, expected = sys.argv[1], sys.argv[2], int(sys.argv[3])
done = 0
for folder, _, names in os.walk(root):
    for name in names:
        path = os.path.join(folder, name)
        stem, ext = os.path.splitext(name)
        artist, dash, title = stem.partition('-')
        if mode == 'clear':
            audio = FLAC(path)
            audio.tags.clear()
            audio.save()
        elif not dash or not artist:
            continue
        elif ext == '.mp3':
            tags = ID3(path)
            tags.setall('TPE1', [TPE1(encoding=0, text=artist.strip())])
            tags.setall('TIT2', [TIT2(encoding=0, text=title.strip())])
            tags.save(path, v2_version=3)
        else:
            audio = FLAC(path)
            audio['ARTIST'] = artist.strip()
            audio['TITLE'] = title.strip()
            audio.save()
        done += 1
sys.exit(0 if done == expected else 3)
)";

// The system's python3 first: a python3 earlier on the PATH (a pyenv shim) may lack mutagen.
std::optional<std::string> findMutagenPython() {
    static constexpr const char* kProbe =
        "import sys\ntry:\n    import mutagen.flac, mutagen.id3\nexcept ImportError:\n    "
        "sys.exit(1)\n";
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        if (timeCommand({python, "-c", kProbe}, false)) {
            return std::string(python);
        }
    }
    return std::nullopt;
}

using TreeFault = std::function<std::string()>;

// The first file of the tree that does not hold what it should, with what is wrong.
TreeFault firstFault(int files, std::function<fs::path(int)> pathOf,
                     std::function<std::string(const fs::path&, int)> fault) {
    return [files, pathOf = std::move(pathOf), fault = std::move(fault)] {
        for (int i = 0; i < files; ++i) {
            const fs::path path = pathOf(i);
            const std::string wrong = fault(path, i);
            if (!wrong.empty()) {
                return path.string() + ": " + wrong;
            }
        }
        return std::string();
    };
}

Writer easyTagWriter(WriteJournal& journal, const fs::path& root, TreeFault fault) {
    return {"EasyTag",
            [&journal, root] {
                const EasyTagResult result =
                    runEasyTag(journal, {root.string(), true, {}}, NameFormat(), kSettingsTypes);
                return writtenOrReport(result.written, result.failed, result.wrongContent);
            },
            std::move(fault)};
}

Writer clearAllWriter(WriteJournal& journal, const fs::path& root, TreeFault fault) {
    return {"Clear All Tag",
            [&journal, root] {
                FileTypeList types;
                types.add("flac");  // so that every file cleared is counted
                const ClearAllResult result =
                    clearAllTagsUnder(journal, {root.string(), true, {}}, types);
                return writtenOrReport(result.counted, result.failed, result.wrongContent);
            },
            std::move(fault)};
}

// One python3 process for the whole tree, then one syncfs (sync -f): the least syncing a writer
// that promises durability can do.
Writer mutagenWriter(std::string name, const std::string& python, std::string mode,
                     const TreeRun& tree, TreeFault fault) {
    return {std::move(name),
            [python, mode = std::move(mode), root = tree.root.string(), files = tree.files] {
                const bool done =
                    timeCommand({python, "-c", kMutagenScript, mode, root, std::to_string(files)},
                                false) &&
                    timeCommand({"sync", "-f", root}, false);
                return done ? files : -1;
            },
            std::move(fault)};
}

fs::path movingMp3Of(const fs::path& root, int number) {
    return root / (artistOf(number) + " - " + titleOf(number) + ".mp3");
}

// Short values and no padding: the tag EasyTag writes cannot fit, so the audio moves. No ID3v1
// tag, which mutagen would rewrite from the new ID3v2 values.
std::string oldMovingTag(int number) {
    return id3v23Tag(
        {{"TIT2", "T"}, {"TPE1", "A"}, {"TALB", albumOf(number)}, {"TCOM", "Composer"}}, 0);
}

bool generateMovingTree(const fs::path& root, int files) {
    std::error_code error;
    fs::remove_all(root, error);
    if (!fs::create_directories(root, error)) {
        return false;
    }
    for (int i = 0; i < files; ++i) {
        if (!writeWhole(movingMp3Of(root, i), oldMovingTag(i) + mpegAudio(i, kMovingFrames))) {
            return false;
        }
    }
    return true;
}

std::string movingMp3Fault(const fs::path& path, int number) {
    if (std::string fault = easyTagFramesFault(path, number); !fault.empty()) {
        return fault;
    }
    const std::optional<std::string> bytes = readWhole(path);
    const std::string audio = mpegAudio(number, kMovingFrames);
    if (!bytes || bytes->size() < audio.size()) {
        return "cut short";
    }
    const std::size_t audioAt = bytes->size() - audio.size();
    if (bytes->compare(audioAt, audio.size(), audio) != 0) {
        return "audio damaged";
    }
    return audioAt > oldMovingTag(number).size() ? std::string() : "the audio did not move";
}

fs::path flacOf(const fs::path& root, int number) {
    return root / ("Album " + std::to_string(number / kFlacPerFolder)) /
           (artistOf(number) + " - " + titleOf(number) + ".flac");
}

// Short values, so that EasyTag's comment grows and takes its room from the padding.
std::string pristineFlac(int number) {
    return flacFile("T", "A", albumOf(number), number, kFlacPadding);
}

bool generateFlacTree(const fs::path& root, int files) {
    std::error_code error;
    fs::remove_all(root, error);
    for (int i = 0; i < files; ++i) {
        const fs::path path = flacOf(root, i);
        if (i % kFlacPerFolder == 0 && !fs::create_directories(path.parent_path(), error)) {
            return false;
        }
        if (!writeWhole(path, pristineFlac(i))) {
            return false;
        }
    }
    return true;
}

std::string flacTagFault(const fs::path& path, int number, bool cleared) {
    TagLib::FLAC::File file(path.c_str(), false);
    if (!file.isValid()) {
        return "no FLAC stream for TagLib";
    }
    const TagLib::Ogg::XiphComment* comment = file.xiphComment(false);
    if (cleared) {
        return comment == nullptr || comment->fieldCount() == 0 ? std::string() : "fields left";
    }
    if (comment == nullptr) {
        return "no Vorbis comment";
    }
    const auto field = [&fields = comment->fieldListMap()](const char* key) {
        const auto found = fields.find(key);
        return found == fields.end() || found->second.isEmpty()
                   ? std::string()
                   : found->second.front().to8Bit(true);
    };
    if (field("TITLE") != titleOf(number) || field("ARTIST") != artistOf(number)) {
        return "wrong title or artist";
    }
    if (field("ALBUM") != albumOf(number) || field("DATE") != "2001" ||
        field("TRACKNUMBER") != std::to_string(number % 20 + 1)) {
        return "other fields lost";
    }
    return {};
}

// The padding the FLAC files held after a writer's runs.
struct PaddingSeen {
    std::size_t least = std::numeric_limits<std::size_t>::max();
    std::size_t most = 0;
    int files = 0;
    bool kept = true;  // where it had to be: the comment's change taken from it, nothing else
};

struct FlacSpaces {
    std::size_t audioAt = 0;
    std::size_t comment = 0;
    std::optional<std::size_t> padding;
};

FlacSpaces spacesOf(const std::vector<FlacBlock>& blocks) {
    FlacSpaces spaces;
    spaces.audioAt = blocks.back().offset + blocks.back().size;
    for (const FlacBlock& block : blocks) {
        if (block.type == kFlacPaddingBlock) {
            spaces.padding = spaces.padding.value_or(0) + block.size;
        } else if (block.type == 4) {
            spaces.comment += block.size;
        }
    }
    return spaces;
}

// The tags, the frames, and the padding read from the block headers. With `inPlace`, the
// comment must have taken its room from the padding (or given it back) and left the frames put.
std::string flacFault(const fs::path& path, int number, bool cleared, bool inPlace,
                      PaddingSeen& seen) {
    if (std::string wrong = flacTagFault(path, number, cleared); !wrong.empty()) {
        return wrong;
    }
    const std::optional<std::string> bytes = readWhole(path);
    const auto blocks = bytes ? flacBlocks(*bytes) : std::nullopt;
    const std::string pristine = pristineFlac(number);
    if (!blocks) {
        return "metadata blocks unreadable";
    }
    const FlacSpaces was = spacesOf(*flacBlocks(pristine));
    const FlacSpaces now = spacesOf(*blocks);
    if (bytes->compare(now.audioAt, std::string::npos, pristine, was.audioAt) != 0) {
        return "frames damaged";
    }
    const std::size_t padding = now.padding.value_or(0);
    seen.least = std::min(seen.least, padding);
    seen.most = std::max(seen.most, padding);
    ++seen.files;
    const std::size_t expected = kFlacPadding + was.comment - now.comment;
    if (inPlace && (!now.padding || padding != expected || now.audioAt != was.audioAt)) {
        seen.kept = false;
        return now.padding ? "padding of " + std::to_string(padding) + " bytes, " +
                                 std::to_string(expected) + " expected"
                           : "no padding block left";
    }
    return {};
}

TreeFault flacTreeFault(const fs::path& root, int files, bool cleared, bool inPlace,
                        PaddingSeen& seen) {
    return firstFault(
        files, [root](int i) { return flacOf(root, i); },
        [cleared, inPlace, &seen](const fs::path& path, int i) {
            return flacFault(path, i, cleared, inPlace, seen);
        });
}

struct Labels {
    std::string_view peer;
    std::string_view ours;
    std::string_view ratio;
};

bool printComparison(const Table& table, const Pair& pair, int files, const Labels& labels,
                     double limit, bool quick) {
    table.printRow(labels.peer, pair.peer, files, std::nullopt, std::nullopt,
                   perFileNote(pair.peer, files));
    table.printRow(labels.ours, pair.ours, files, std::nullopt, std::nullopt,
                   perFileNote(pair.ours, files));
    const std::optional<double> ratio = ratioOf(pair.ours, pair.peer);
    if (quick && ratio) {
        table.printRatio(labels.ratio, ratio, "no target on a quick run");
        return true;
    }
    return printRatioTarget(table, labels.ratio, ratio, limit);
}

void removeTree(const TreeRun& tree) {
    std::error_code ignored;
    fs::remove_all(tree.root, ignored);
    fs::remove_all(tree.pristine, ignored);
}

bool compareMovingMp3(const BenchOptions& options, WriteJournal& journal, const Table& table,
                      const std::string& python) {
    const TreeRun tree{options.workRoot / "moving-mp3-original", options.workRoot / "moving-mp3",
                       options.quick ? 6 : 60};
    if (!generateMovingTree(tree.pristine, tree.files)) {
        std::fprintf(stderr, "tunex-bench: could not generate the large mp3 files\n");
        return false;
    }
    const TreeFault fault = firstFault(
        tree.files, [root = tree.root](int i) { return movingMp3Of(root, i); }, &movingMp3Fault);
    const Pair pair = timePair(tree, options.repeats, easyTagWriter(journal, tree.root, fault),
                               mutagenWriter("mutagen's EasyTag", python, "easytag", tree, fault));
    removeTree(tree);
    return !interrupted() &&
           printComparison(table, pair, tree.files,
                           {"  mutagen: TIT2, TPE1 from names; sync -f",
                            "EasyTag, 4.8 MB mp3 whose tags grow", "ratio EasyTag / mutagen+sync"},
                           kMovingLimit, options.quick);
}

std::string paddingRange(const PaddingSeen& seen) {
    if (seen.files == 0) {
        return "not checked";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%zu..%zu bytes", seen.least, seen.most);
    return text;
}

// The padding check is no timing target: it holds on a quick run too.
bool printPadding(const Table& table, int files, const PaddingSeen& easy, const PaddingSeen& clear,
                  const PaddingSeen& mutagenEasy, const PaddingSeen& mutagenClear) {
    const bool kept = easy.kept && clear.kept && easy.files > 0 && clear.files > 0;
    const std::string note = std::string(kept ? "PASS" : "FAIL") + ": after EasyTag " +
                             paddingRange(easy) + ", after Clear All " + paddingRange(clear);
    table.printRow("FLAC padding kept by tunex", std::nullopt, files, std::nullopt, std::nullopt,
                   note);
    table.printNote("FLAC padding: " + std::to_string(kFlacPadding) +
                    " bytes before; mutagen left " + paddingRange(mutagenEasy) +
                    " after EasyTag, " + paddingRange(mutagenClear) + " after clearing");
    return kept;
}

bool compareFlac(const BenchOptions& options, WriteJournal& journal, const Table& table,
                 const std::string& python) {
    const TreeRun tree{options.workRoot / "flac-tree-original", options.workRoot / "flac-tree",
                       options.quick ? 50 : 500};
    if (!generateFlacTree(tree.pristine, tree.files)) {
        std::fprintf(stderr, "tunex-bench: could not generate the FLAC tree\n");
        return false;
    }
    PaddingSeen easy;
    PaddingSeen clear;
    PaddingSeen mutagenEasy;
    PaddingSeen mutagenClear;
    const fs::path& root = tree.root;
    const Pair easyPair =
        timePair(tree, options.repeats,
                 easyTagWriter(journal, root, flacTreeFault(root, tree.files, false, true, easy)),
                 mutagenWriter("mutagen's FLAC EasyTag", python, "easytag", tree,
                               flacTreeFault(root, tree.files, false, false, mutagenEasy)));
    const Pair clearPair =
        timePair(tree, options.repeats,
                 clearAllWriter(journal, root, flacTreeFault(root, tree.files, true, true, clear)),
                 mutagenWriter("mutagen's FLAC clear", python, "clear", tree,
                               flacTreeFault(root, tree.files, true, false, mutagenClear)));
    removeTree(tree);
    if (interrupted()) {
        return false;
    }
    bool met = printComparison(table, easyPair, tree.files,
                               {"  mutagen: FLAC TITLE, ARTIST; sync -f",
                                "EasyTag, FLAC with 8 KiB padding", "ratio EasyTag / mutagen+sync"},
                               kFlacLimit, options.quick);
    met = printComparison(
              table, clearPair, tree.files,
              {"  mutagen: FLAC tags.clear(), save; sync -f",
               "Clear All Tag, FLAC with 8 KiB padding", "ratio Clear All Tag / mutagen+sync"},
              kFlacLimit, options.quick) &&
          met;
    return printPadding(table, tree.files, easy, clear, mutagenEasy, mutagenClear) && met;
}

}  // namespace

bool runTagsBesideMutagen(const BenchOptions& options, WriteJournal& journal, const Table& table) {
    const std::optional<std::string> python = findMutagenPython();
    if (!python) {
        table.printNote(
            "mutagen not found: neither /usr/bin/python3 nor python3 on the PATH imports mutagen "
            "(python3-mutagen); EasyTag and Clear All beside it are not measured: FAIL");
        return false;
    }
    table.printNote("beside mutagen (" + *python +
                    "): one process walks the tree, saves every file, then sync -f syncs the file "
                    "system once; tunex syncs through its write journal");
    const bool moving = compareMovingMp3(options, journal, table, *python);
    const bool flac = compareFlac(options, journal, table, *python);
    return moving && flac;
}

}  // namespace tunex::bench
