#include "core/store/catalogue.h"

#include "core/common/line_reader.h"
#include "core/store/collection_writer.h"
#include "core/store/workspace.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace tunex {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string recordLine(const std::string& name, const std::string& lineEnd = "\n") {
    return "<?>" + name + "<|>/music<:>mp3</><\\>     1.0<*>2003-11-16" + lineEnd;
}

// A collection file as Add writes it: name line, `records` record lines, end marker without LF.
// Odd collections have CR LF line ends, as a rename leaves them.
void writeCollection(const StorePaths& paths, int index, const std::string& name, int records) {
    const std::string lineEnd = index % 2 == 0 ? "\n" : "\r\n";
    std::string text = "**" + name + lineEnd;
    text.reserve(static_cast<size_t>(records) * 48 + 16);
    for (int r = 0; r < records; ++r) {
        text += recordLine("c" + std::to_string(index) + "r" + std::to_string(r), lineEnd);
    }
    text += "@*EOF";
    writeFile(paths.collectionFileName(index), text);
}

std::vector<SongRecord> walked(const Catalogue& catalogue) {
    std::vector<SongRecord> records;
    catalogue.index().walk(
        [&records](const SongRecordView& r) { records.push_back(toSongRecord(r)); });
    return records;
}

// Every record of writeCollection has the same fields after its name.
bool hasWrittenFields(const SongRecordView& r) {
    return r.folder == "/music" && r.type == "mp3" && r.id3Info.empty() &&
           r.sizeText == "     1.0" && r.dateText == "2003-11-16";
}

std::vector<std::string> scannedNames(const Catalogue& catalogue, bool& ok,
                                      size_t stopAfter = SIZE_MAX) {
    std::vector<std::string> names;
    ok = catalogue.scanDiskCollections(
        [&names](const SongRecordView& r) {
            names.push_back(std::to_string(r.collectionIndex) + ":" + std::string(r.name) +
                            (hasWrittenFields(r) ? "" : " damaged"));
        },
        [&names, stopAfter] { return names.size() >= stopAfter; });
    return names;
}

struct ThresholdCase {
    std::vector<int> sizes;
    int firstDisk;
    int inMemory;
};

void PrintTo(const ThresholdCase& c, std::ostream* out) {
    for (const int size : c.sizes) {
        *out << size << " ";
    }
    *out << "records";
}

class CatalogueThreshold : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(CatalogueThreshold, LoadsWholeCollectionsUntilTheLimitIsPassed) {
    const ThresholdCase& c = GetParam();
    const TempDir dir;
    const StorePaths paths(dir.path());
    for (size_t i = 0; i < c.sizes.size(); ++i) {
        writeCollection(paths, static_cast<int>(i), "Disc " + std::to_string(i), c.sizes[i]);
    }
    Catalogue catalogue;
    const int count = static_cast<int>(c.sizes.size());
    EXPECT_EQ(catalogue.load(paths, count), c.inMemory);
    EXPECT_EQ(catalogue.firstDiskCollection(), c.firstDisk);
    EXPECT_EQ(catalogue.index().size(), static_cast<size_t>(c.inMemory));
    int damaged = 0;
    catalogue.index().walk(
        [&damaged](const SongRecordView& r) { damaged += !hasWrittenFields(r); });
    EXPECT_EQ(damaged, 0);
    ASSERT_EQ(catalogue.collectionCount(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(catalogue.collectionNames()[static_cast<size_t>(i)], "Disc " + std::to_string(i));
    }
    // The disk pass reads exactly the collections that are not in memory.
    bool ok = false;
    const std::vector<std::string> onDisk = scannedNames(catalogue, ok);
    EXPECT_TRUE(ok);
    int diskRecords = 0;
    for (int i = c.firstDisk; i < count; ++i) {
        diskRecords += c.sizes[static_cast<size_t>(i)];
    }
    ASSERT_EQ(onDisk.size(), static_cast<size_t>(diskRecords));
    EXPECT_EQ(std::count_if(onDisk.begin(), onDisk.end(),
                            [](const std::string& n) { return n.ends_with(" damaged"); }),
              0);
    if (diskRecords > 0) {
        EXPECT_EQ(onDisk.front(),
                  std::to_string(c.firstDisk) + ":c" + std::to_string(c.firstDisk) + "r0");
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, CatalogueThreshold,
                         ::testing::Values(ThresholdCase{{30000, 10000, 5000}, 2, 40000},
                                           ThresholdCase{{39000, 5000}, 2, 44000},
                                           ThresholdCase{{20000, 19000, 100}, 3, 39100},
                                           ThresholdCase{{50000}, 1, 50000},
                                           ThresholdCase{{39001, 1, 1}, 1, 39001},
                                           ThresholdCase{{}, 0, 0}));

TEST(Catalogue, NamesAndRecordsFromEachFile) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    writeFile(paths.collectionFileName(0), "**Pop\n@*EOF");
    writeFile(paths.collectionFileName(1), "**Rock & Roll\n" + recordLine("Song") + "@*EOF");
    writeFile(paths.collectionFileName(2),
              "**Jazz\r\n" + recordLine("Take Five", "\r\n") + "@*EOF\r\n");
    // A name line without its line end gives an empty name.
    writeFile(paths.collectionFileName(3), "**Cut");
    Catalogue catalogue;
    EXPECT_EQ(catalogue.load(paths, 4), 2);
    EXPECT_EQ(catalogue.collectionNames(),
              (std::vector<std::string>{"Pop", "Rock & Roll", "Jazz", ""}));
    EXPECT_EQ(catalogue.firstDiskCollection(), 4);
    const std::vector<SongRecord> records = walked(catalogue);
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(records[0], (SongRecord{1, " Song", "/music", "mp3", "", "     1.0", "2003-11-16"}));
    EXPECT_EQ(records[1].collectionIndex, 2);
    EXPECT_EQ(records[1],
              (SongRecord{2, " Take Five", "/music", "mp3", "", "     1.0", "2003-11-16"}));
}

TEST(Catalogue, DamagedFilesLoadWhatIsReadable) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    // CR LF, blank lines, binary junk with NUL bytes, no end marker, a last line without LF.
    writeFile(paths.collectionFileName(0), "\xff\xfe\r\n**Mixed\r\n\r\n" + recordLine("A") +
                                               "\x00\x01junk<?\n\n"s +
                                               "<?>B<|>/m<:>ogg</><\\>     2.0<*>2002-02-02\r\n" +
                                               "<?>C<|>/m<:>mp3</><\\>  9.0<*>2001");
    // Lines after the end marker are not read; a line past the length cap keeps its first part.
    const std::string longFolder = "/" + std::string(3 << 20, 'd');
    writeFile(paths.collectionFileName(1), "**Long\n<?>L<|>" + longFolder +
                                               "<:>mp3</><\\>  3584.0<*>2003-11-16\n@*EOF\n" +
                                               recordLine("After"));
    Catalogue catalogue;
    EXPECT_EQ(catalogue.load(paths, 2), 4);
    EXPECT_EQ(catalogue.collectionNames(), (std::vector<std::string>{"Mixed", "Long"}));
    const std::vector<SongRecord> records = walked(catalogue);
    ASSERT_EQ(records.size(), 4U);
    EXPECT_EQ(records[0].name, " A");
    EXPECT_EQ(records[1], (SongRecord{0, " B", "/m", "ogg", "", "     2.0", "2002-02-02"}));
    EXPECT_EQ(records[2], (SongRecord{0, " C", "/m", "mp3", "", "  9.0", ""}));
    EXPECT_EQ(records[3].name, " L");
    EXPECT_LT(records[3].folder.size(), kMaxLineLength);
    ASSERT_EQ(catalogue.cutLines().size(), 1U);
    EXPECT_EQ(catalogue.cutLines()[0].file, paths.collectionFileName(1));
    EXPECT_EQ(catalogue.cutLines()[0].lines, 1);

    // Random bytes with record and name prefixes sprinkled in: never a crash.
    std::mt19937 random(7);
    std::string junk;
    for (int i = 0; i < 200000; ++i) {
        const unsigned value = random() % 300;
        junk += value < 256   ? std::string(1, static_cast<char>(value))
                : value < 280 ? "\n<?>"s
                : value < 290 ? "<|>"s
                              : "\n**"s;
    }
    writeFile(paths.collectionFileName(0), junk);
    const std::optional<int> loaded = catalogue.load(paths, 1);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(catalogue.index().size(), static_cast<size_t>(*loaded));
}

TEST(Catalogue, MissingCollectionFileFailsTheWholeLoad) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    writeCollection(paths, 0, "One", 3);
    writeCollection(paths, 2, "Three", 3);
    Catalogue catalogue;
    ASSERT_EQ(catalogue.load(paths, 1), 3);
    EXPECT_EQ(catalogue.load(paths, 3), std::nullopt);
    EXPECT_TRUE(catalogue.collectionNames().empty());
    EXPECT_TRUE(catalogue.index().empty());
    const std::string missing = paths.collectionFileName(1).string();
    EXPECT_EQ(loadFailedMessage(catalogue.loadFailure()).text,
              "Songs Files could not be loaded: " + missing +
                  "\nNo such file or directory\nCheck system folder.");
    // A folder in place of the file is no better, nor a FIFO (which would hang the load) or a
    // link to a device without end; the message says what is wrong with it.
    std::filesystem::create_directories(paths.collectionFileName(1));
    EXPECT_EQ(catalogue.load(paths, 3), std::nullopt);
    std::filesystem::remove(paths.collectionFileName(1));
    ASSERT_EQ(::mkfifo(paths.collectionFileName(1).c_str(), 0600), 0);
    EXPECT_EQ(catalogue.load(paths, 3), std::nullopt);
    EXPECT_EQ(catalogue.loadFailure().reason, "It is not a regular file.");
    std::filesystem::remove(paths.collectionFileName(1));
    std::filesystem::create_symlink("/dev/zero", paths.collectionFileName(1));
    EXPECT_EQ(catalogue.load(paths, 3), std::nullopt);
    EXPECT_EQ(loadFailedMessage(catalogue.loadFailure()).text,
              "Songs Files could not be loaded: " + missing +
                  "\nIt is not a regular file.\nCheck system folder.");
    std::filesystem::remove(paths.collectionFileName(1));
    // A count far beyond the files present fails like any missing file.
    EXPECT_EQ(catalogue.load(paths, INT_MAX), std::nullopt);
    EXPECT_EQ(catalogue.load(paths, -1), 0);
    EXPECT_EQ(loadFailedMessage(),
              (UserMessage{"Songs Files could not be loaded.\nCheck system folder.",
                           "Tunex - File Error", MessageIcon::Error}));
}

class DiskScan : public ::testing::Test {
protected:
    // One collection just over the limit, then three small ones left on disk.
    void SetUp() override {
        writeCollection(paths, 0, "Big", Catalogue::kMemoryRecordLimit + 1);
        for (int i = 1; i <= 3; ++i) {
            writeCollection(paths, i, "Small " + std::to_string(i), 2);
        }
        ASSERT_TRUE(catalogue.load(paths, 4).has_value());
        ASSERT_EQ(catalogue.firstDiskCollection(), 1);
    }
    TempDir dir;
    StorePaths paths{dir.path()};
    Catalogue catalogue;
};

TEST_F(DiskScan, VisitsInIndexAndFileOrderAndStops) {
    bool ok = false;
    EXPECT_EQ(
        scannedNames(catalogue, ok),
        (std::vector<std::string>{"1:c1r0", "1:c1r1", "2:c2r0", "2:c2r1", "3:c3r0", "3:c3r1"}));
    EXPECT_TRUE(ok);
    // The stop test is asked after every line and ends the whole scan.
    EXPECT_EQ(scannedNames(catalogue, ok, 3),
              (std::vector<std::string>{"1:c1r0", "1:c1r1", "2:c2r0"}));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(scannedNames(catalogue, ok, 0).empty());
    EXPECT_TRUE(ok);
}

TEST_F(DiskScan, FileDeletedAfterLoadingFailsTheScan) {
    std::filesystem::remove(paths.collectionFileName(2));
    bool ok = true;
    EXPECT_EQ(scannedNames(catalogue, ok), (std::vector<std::string>{"1:c1r0", "1:c1r1"}));
    EXPECT_FALSE(ok);
    // A scan that is full before it reaches the missing file succeeds.
    EXPECT_EQ(scannedNames(catalogue, ok, 2).size(), 2U);
    EXPECT_TRUE(ok);
}

TEST(Catalogue, ReadsWhatCollectionWriterWrote) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    std::filesystem::create_directories(paths.systemFolder());
    CollectionWriter writer(paths.collectionFileName(0));
    ASSERT_TRUE(writer.begin("New CD"));
    ASSERT_TRUE(
        writer.addRecordLine(makeSongRecordLine({"Zed.MP3", "/cd", 3670016, std::nullopt}, "T;")));
    ASSERT_TRUE(writer.addRecordLine(makeSongRecordLine({"abc", "", 100, std::nullopt}, "")));
    ASSERT_TRUE(writer.finish());
    Catalogue catalogue;
    EXPECT_EQ(catalogue.load(paths, 1), 2);
    EXPECT_EQ(catalogue.collectionNames(), std::vector<std::string>{"New CD"});
    const std::vector<SongRecord> records = walked(catalogue);
    ASSERT_EQ(records.size(), 2U);
    EXPECT_EQ(records[0], (SongRecord{0, " Zed", "/cd", "mp3", "T;", "  3584.0", ""}));
    EXPECT_EQ(records[1], (SongRecord{0, " abc", "", "", "", "     0.1", ""}));
}

TEST(Workspace, OpenReportsWhatStoppedIt) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    UserMessage failure;
    EXPECT_EQ(Workspace::open(dir.path(), failure), nullptr);
    EXPECT_EQ(failure,
              (UserMessage{"System file could not be opened: " + paths.settingsFile().string() +
                               "\nNo such file or directory",
                           "Tunex - File Error", MessageIcon::Error}));

    // Settings that are not a regular file: named, and no word of a second copy running.
    std::filesystem::create_directories(paths.systemFolder());
    for (const bool fifo : {true, false}) {
        std::filesystem::remove(paths.settingsFile());
        if (fifo) {
            ASSERT_EQ(::mkfifo(paths.settingsFile().c_str(), 0600), 0);
        } else {
            std::filesystem::create_symlink("/dev/zero", paths.settingsFile());
        }
        failure = {};
        EXPECT_EQ(Workspace::open(dir.path(), failure), nullptr);
        EXPECT_EQ(failure.text, "System file could not be opened: " +
                                    paths.settingsFile().string() + "\nIt is not a regular file.");
    }
    std::filesystem::remove(paths.settingsFile());

    writeFile(paths.settingsFile(), "<ts>3\n<tf>2\n<md>20\n@*EOF");
    writeCollection(paths, 0, "Only", 3);
    failure = {};
    EXPECT_EQ(Workspace::open(dir.path(), failure), nullptr);
    EXPECT_EQ(failure,
              loadFailedMessage({paths.collectionFileName(1), "No such file or directory"}));

    // A damaged count must not exhaust memory before the missing file is noticed.
    writeFile(paths.settingsFile(), "<ts>3\n<tf>2000000000\n@*EOF");
    failure = {};
    EXPECT_EQ(Workspace::open(dir.path(), failure), nullptr);
    EXPECT_EQ(failure,
              loadFailedMessage({paths.collectionFileName(1), "No such file or directory"}));

    writeFile(paths.settingsFile(), "<ts>3\n<tf>1\n<md>20\n@*EOF");
    failure = {};
    const std::unique_ptr<Workspace> workspace = Workspace::open(dir.path(), failure);
    ASSERT_NE(workspace, nullptr);
    EXPECT_EQ(failure, UserMessage());
    EXPECT_EQ(workspace->settings().maxResults, 20);
    EXPECT_EQ(workspace->catalogue().collectionNames(), std::vector<std::string>{"Only"});
    EXPECT_EQ(workspace->catalogue().index().size(), 3U);
    EXPECT_FALSE(workspace->cutLinesMessage());
}

TEST(Workspace, OpenNamesTheFilesWhoseLinesWereCut) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    const std::string overlong(kMaxLineLength + 10, 'x');
    writeFile(paths.settingsFile(),
              "<ts>1\n" + overlong + "\n<tf>1\n" + overlong + "\n<md>20\n@*EOF");
    writeFile(paths.collectionFileName(0),
              "**One\n" + recordLine("A") + "<?>" + overlong + "\n" + recordLine("B") + "@*EOF");
    UserMessage failure;
    const std::unique_ptr<Workspace> workspace = Workspace::open(dir.path(), failure);
    ASSERT_NE(workspace, nullptr) << failure.text;
    // The lines around the cut ones still count.
    EXPECT_EQ(workspace->settings().maxResults, 20);
    EXPECT_EQ(workspace->catalogue().index().size(), 3U);
    EXPECT_EQ(workspace->cutLinesMessage(),
              (UserMessage{"Lines longer than 1 MiB were found and cut short; the rest of each "
                           "was skipped:\n" +
                               paths.settingsFile().string() + ": 2 lines\n" +
                               paths.collectionFileName(0).string() + ": 1 line",
                           "Tunex - Damaged Lines", MessageIcon::Warning}));
}

struct UnlistedCase {
    const char* label;
    std::string settings;
    int takenBack;
    bool keepsMaxResults;  // the settings that were readable survive the rewrite
};

std::ostream& operator<<(std::ostream& out, const UnlistedCase& c) {
    return out << c.label;
}

class WorkspaceTakeBack : public ::testing::TestWithParam<UnlistedCase> {};

// Two whole collections (3 and 4 songs) under settings that do not list them all.
TEST_P(WorkspaceTakeBack, CountsAndStoresTheCollectionsFound) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    const std::string history = "<ht>love@?@@%|%3^*^Pop\n";
    writeFile(paths.settingsFile(), GetParam().settings);
    writeCollection(paths, 0, "One", 3);
    writeCollection(paths, 1, "Two", 4);

    UserMessage failure;
    std::unique_ptr<Workspace> workspace = Workspace::open(dir.path(), failure);
    ASSERT_NE(workspace, nullptr) << failure.text;
    const std::string expected =
        GetParam().takenBack == 1
            ? "1 collection was found that the settings file did not list; it is back in the "
              "catalogue."
            : "2 collections were found that the settings file did not list; they are back in "
              "the catalogue.";
    EXPECT_EQ(workspace->takenBackMessage(),
              (UserMessage{expected, "Tunex - Collections Restored", MessageIcon::Information}));
    EXPECT_EQ(workspace->catalogue().collectionNames(), (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(workspace->catalogue().index().size(), 7U);
    EXPECT_EQ(workspace->settings().collectionCount, 2);
    EXPECT_EQ(workspace->settings().totalSongs, 7);

    const std::string text = readFile(paths.settingsFile());
    EXPECT_TRUE(text.starts_with("<ts>7\n<tf>2\n")) << text;
    if (GetParam().keepsMaxResults) {
        EXPECT_NE(text.find("<md>20\n"), std::string::npos) << text;
        EXPECT_NE(text.find(history), std::string::npos) << text;
    }

    // Corrected once: the next start has nothing to say.
    workspace.reset();
    const std::unique_ptr<Workspace> again = Workspace::open(dir.path(), failure);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->takenBackMessage());
    EXPECT_EQ(again->catalogue().collectionNames(), (std::vector<std::string>{"One", "Two"}));
}

INSTANTIATE_TEST_SUITE_P(
    DamagedSettings, WorkspaceTakeBack,
    ::testing::Values(
        UnlistedCase{"empty", "", 2, false},
        UnlistedCase{"binary",
                     "\x7f"
                     "ELF\x02\x01\x01\0\0\xff\xfe"s,
                     2, false},
        UnlistedCase{"no_tf", "<ts>7\n<md>20\n<ht>love@?@@%|%3^*^Pop\n@*EOF", 2, true},
        UnlistedCase{"negative_tf", "<ts>7\n<tf>-7\n<md>20\n<ht>love@?@@%|%3^*^Pop\n@*EOF", 2,
                     true},
        // An Add cut short after renaming its file into place.
        UnlistedCase{"one_short", "<ts>3\n<tf>1\n<md>20\n<ht>love@?@@%|%3^*^Pop\n@*EOF", 1, true}),
    [](const ::testing::TestParamInfo<UnlistedCase>& info) { return info.param.label; });

// Only whole collection files right after the listed ones come back; anything else is left alone
// (and left unlisted) and the settings file is not touched.
TEST(Workspace, TakesBackOnlyWholeCollectionFiles) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    const std::string settings = "<ts>3\n<tf>1\n@*EOF";
    const fs::path next = paths.collectionFileName(1);
    struct Case {
        const char* label;
        std::function<void()> make;
    };
    const std::vector<Case> cases = {
        {"cut short", [&] { writeFile(next, "**Two\n" + recordLine("a")); }},
        {"marker with a line end",
         [&] { writeFile(next, "**Two\n" + recordLine("a") + "@*EOF\n"); }},
        {"no name line", [&] { writeFile(next, recordLine("a") + "@*EOF"); }},
        {"folder", [&] { fs::create_directory(next); }},
        {"link to a whole file",
         [&] {
             writeCollection(paths, 5, "Elsewhere", 1);
             fs::create_symlink(paths.collectionFileName(5), next);
         }},
        {"after a gap", [&] { writeCollection(paths, 2, "Three", 2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(paths.systemFolder());
        writeFile(paths.settingsFile(), settings);
        writeCollection(paths, 0, "One", 3);
        c.make();
        UserMessage failure;
        const std::unique_ptr<Workspace> workspace = Workspace::open(dir.path(), failure);
        ASSERT_NE(workspace, nullptr) << failure.text;
        EXPECT_FALSE(workspace->takenBackMessage());
        EXPECT_EQ(workspace->settings().collectionCount, 1);
        EXPECT_EQ(workspace->catalogue().collectionNames(), std::vector<std::string>{"One"});
        EXPECT_EQ(readFile(paths.settingsFile()), settings);
    }
}

}  // namespace
}  // namespace tunex

namespace tunex {
namespace {

TEST_F(DiskScan, FilterSkipsTextButNeverTheEndMarker) {
    // Records after the end marker, CR LF and a last line without its line end.
    writeFile(paths.collectionFileName(2),
              "**Small 2\r\n<?>keep<|>/m<:>mp3</><\\>     1.0<*>2003-01-02\r\n@*EOF\r\n"
              "<?>after<|>/m<:>mp3</><\\>     1.0<*>2003-01-02\n");
    writeFile(paths.collectionFileName(3), "**Small 3\n<?>tail<|>/m<:>mp3</><\\>     1.0<*>2003");
    std::vector<std::string> seen;
    std::vector<std::string> asked;
    const bool ok = catalogue.scanDiskCollections(
        [&](const SongRecordView& r) {
            seen.push_back(std::string(r.name) + "|" + std::string(r.dateText));
        },
        {},
        [&](std::string_view text) {
            asked.emplace_back(text);
            return text.find("c1r") == std::string_view::npos;  // rules out the first file
        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(seen, (std::vector<std::string>{"keep|2003-01-02", "tail|"}));
    // The first file was ruled out as a whole; its lines were never offered one by one.
    ASSERT_FALSE(asked.empty());
    EXPECT_NE(asked.front().find("c1r1"), std::string::npos);
    // Text past the end marker may be asked about within its stretch, never as a line.
    for (const std::string& text : asked) {
        EXPECT_TRUE(text.find('\n') != std::string::npos || text.find("after") == std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace tunex
