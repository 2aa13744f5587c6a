#include "collection_test_support.h"
#include "support/audio_files.h"
#include "support/child_process.h"

#include "core/collections/collection_builder.h"
#include "core/store/song_record.h"

#include <unistd.h>

#include "core/common/text.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::mp3WithTag;
using test::openEmptyBase;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A Workspace on a fresh base folder plus the update hooks and what they reported.
struct Fixture {
    TempDir dir;
    std::unique_ptr<Workspace> workspace = openEmptyBase(dir);
    std::vector<HistoryRow> history{{"t", "a", "1", "Pop"}};
    std::vector<UserMessage> told;
    CatalogueUpdate update =
        directUpdate(*workspace, history, [this](const UserMessage& m) { told.push_back(m); });

    AddOutcome add(std::string name, const fs::path& path, bool id3 = false,
                   const FileTypeList& types = FileTypeList()) {
        return addCollection(*workspace, types, AddRequest{std::move(name), path.string(), id3},
                             AddProgress(), update);
    }
};

TEST(CountCollection, ChecksThePathAndReportsTheCount) {
    TempDir dir;
    for (const char* name : {"a.mp3", "b.MP3", "sub/c.mp3", "x.txt", "y.txt", "bad\nname.mp3"}) {
        writeFile(dir / "Music" / name, "x");
    }
    const std::string music = (dir / "Music").string();

    const CountOutcome empty = countCollection("", FileTypeList());
    EXPECT_EQ(empty.message, (UserMessage{"Please input the CD Source Path for Count.",
                                          "Tunex - Input Error", MessageIcon::Warning}));
    const CountOutcome missing = countCollection(music + "/none", FileTypeList());
    EXPECT_EQ(missing.message,
              (UserMessage{"Invalid path: " + music +
                               "/none\nIf it is a floppy or CD drive, make sure the disk is "
                               "inserted.",
                           "Tunex - Path Error", MessageIcon::Error}));
    EXPECT_TRUE(missing.statusText.empty());

    const CountOutcome counted = countCollection(music, FileTypeList());
    EXPECT_FALSE(counted.message);
    EXPECT_EQ(counted.count, 3);
    EXPECT_EQ(counted.statusText,
              "Total Number of Songs in " + music +
                  "/*.* : 3 \n1 media file was left out: its name holds a line break or a "
                  "record marker.");

    FileTypeList onlyText;
    onlyText.replaceAll({"txt"});
    EXPECT_EQ(countCollection(music + "/", onlyText).statusText,
              "Total Number of Songs in " + music + "/*.* : 2 ");
}

TEST(CountCollection, CountAndAddNameTheFoldersTheyCannotRead) {
    TempDir dir;
    writeFile(dir / "Music/a.mp3", "x");
    writeFile(dir / "Music/locked/b.mp3", "x");
    fs::permissions(dir / "Music/locked", fs::perms::none);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
    const std::string music = (dir / "Music").string();
    const auto texts = test::runUnprivileged([&music] {
        const auto text = [](const std::optional<UserMessage>& m) {
            return m ? m->caption + ": " + m->text : "none";
        };
        Fixture fixture;  // a base folder this user may write
        return text(countCollection(music + "/locked", FileTypeList()).message) + "|" +
               countCollection(music, FileTypeList()).statusText + "|" +
               text(checkAdd(AddRequest{"L", music + "/locked/", false}, {}, FileTypeList())
                        .refusal) +
               "|" + text(fixture.add("M", music).message);
    });
    ASSERT_TRUE(texts);
    const std::string note = "1 folder could not be read and was skipped: " + music + "/locked";
    const std::string cannotRead =
        "Tunex - Path Error: The folder cannot be read: " + music + "/locked\nPermission denied";
    EXPECT_EQ(*texts, cannotRead + "|Total Number of Songs in " + music + "/*.* : 1 \n" + note +
                          "|" + cannotRead +
                          "|Tunex - Files added to the database: 1 songs from <M> added to the "
                          "database.\n" +
                          note);
}

TEST(AddCollection, RefusesBadInputInOrderBeforeWritingAnything) {
    Fixture f;
    writeFile(f.dir / "music/a.mp3", "x");
    writeFile(f.dir / "text/a.txt", "x");
    ASSERT_EQ(f.add("Pop", f.dir / "music").result, AddResult::Added);
    const std::string settingsBefore = readFile(f.dir / "system/system.ifo");
    const auto filesBefore = folderEntries(f.dir / "system");

    const UserMessage both{"Please input BOTH CD Collection Name and Source Path.",
                           "Tunex - Input Error", MessageIcon::Warning};
    EXPECT_EQ(f.add("", f.dir / "music").message, both);
    EXPECT_EQ(f.add("Rock", "").message, both);
    EXPECT_EQ(f.add("Two\nlines", f.dir / "music").message,
              (UserMessage{"The CD Collection Name cannot contain a line break.",
                           "Tunex - Input Error", MessageIcon::Warning}));
    // The duplicate test comes before the path is looked at.
    EXPECT_EQ(
        f.add("Pop", f.dir / "none").message,
        (UserMessage{"You have already used the input CD name before. Please enter a new one.",
                     "Tunex - Duplicate CD Name", MessageIcon::Warning}));
    const auto invalid = [](const fs::path& path) {
        return UserMessage{"Invalid path: " + path.string(), "Tunex - Path Error",
                           MessageIcon::Error};
    };
    EXPECT_EQ(f.add("Rock", f.dir / "none").message, invalid(f.dir / "none"));
    EXPECT_EQ(f.add("Rock", f.dir / "music/a.mp3").message, invalid(f.dir / "music/a.mp3"));
    const AddOutcome noSongs = f.add("Rock", f.dir / "text");
    EXPECT_EQ(noSongs.result, AddResult::Refused);
    EXPECT_EQ(noSongs.message,
              (UserMessage{"No songs found under the source path " + (f.dir / "text").string() +
                               "/*.* .\nPlease specify a file type in Setting Tab or enter another "
                               "source path.",
                           "Tunex - Information", MessageIcon::Warning}));

    EXPECT_EQ(readFile(f.dir / "system/system.ifo"), settingsBefore);
    EXPECT_EQ(folderEntries(f.dir / "system"), filesBefore);
    EXPECT_EQ(f.workspace->settings().collectionCount, 1);

    // Names compare byte for byte: another case is a new name, and the same folder may come twice.
    EXPECT_EQ(f.add("pop", f.dir / "music").result, AddResult::Added);
    EXPECT_EQ(f.workspace->catalogue().collectionNames(), (std::vector<std::string>{"Pop", "pop"}));
}

TEST(AddCollection, WritesTheRecordsRaisesTheTotalsAndReloads) {
    Fixture f;
    const fs::path music = f.dir / "My Music";
    writeFile(music / "full.mp3", mp3WithTag("Title", "Artist", "Album"));
    writeFile(music / "sub/albumonly.MP3", mp3WithTag("", "", "Just Album"));
    writeFile(music / "sub/tagged.wma", mp3WithTag("Not", "For", "Wma"));  // no ASF inside
    ASSERT_TRUE(test::makeAudioFile(
        "wma", music / "sub/real.wma",
        {{{"Title", {"Real"}}, {"Author", {"Singer"}}, {"WM/AlbumTitle", {"Disc"}}}}));
    writeFile(music / "sub/untagged.mp3", std::string(1536, '\0'));
    writeFile(music / "notes.txt", "x");

    std::vector<std::string> events;
    AddProgress progress;
    progress.begin = [&events](const std::string& status) {
        events.push_back("begin " + status);
        return true;
    };
    progress.setRange = [&events](std::int64_t total) {
        events.push_back("range " + std::to_string(total));
    };
    progress.step = [&events](std::int64_t done, const std::string& path) {
        events.push_back("step " + std::to_string(done) + " " + fs::path(path).filename().string());
    };
    const AddOutcome outcome = addCollection(
        *f.workspace, FileTypeList(), AddRequest{"Rock", music.string(), true}, progress, f.update);

    ASSERT_EQ(outcome.result, AddResult::Added);
    EXPECT_EQ(outcome.added, 5);
    EXPECT_TRUE(outcome.catalogueReloaded);
    EXPECT_TRUE(outcome.settingsStored);
    EXPECT_TRUE(f.told.empty());
    EXPECT_EQ(outcome.message,
              (UserMessage{"5 songs from <Rock> added to the database.",
                           "Tunex - Files added to the database", MessageIcon::Information}));
    EXPECT_EQ(outcome.statusText,
              "Total number of songs added to the database from " + music.string() + "/*.* : 5 ");
    ASSERT_EQ(events.size(), 7U);
    EXPECT_EQ(events[0], "begin Adding files to database......a moment please......");
    EXPECT_EQ(events[1], "range 5");
    EXPECT_EQ(events[6].substr(0, 7), "step 5 ");

    // The file, line by line.
    const std::string text = readFile(f.dir / "system/save0001.ifo");
    ASSERT_TRUE(text.ends_with("\n@*EOF"));
    ASSERT_TRUE(text.starts_with("**Rock\n"));
    std::map<std::string, SongRecord> records;
    LineSplitter lines(text);
    std::string_view line;
    int recordLines = 0;
    while (lines.next(line)) {
        if (line.starts_with("<?>")) {
            ++recordLines;
            const SongRecord record = toSongRecord(parseSongRecordLine(line));
            records[std::string(record.displayName())] = record;
            EXPECT_EQ(record.dateText.size(), 10U) << line;
        }
    }
    EXPECT_EQ(recordLines, 5);
    EXPECT_EQ(records["full"].id3Info, "Title;Artist;Album;");
    EXPECT_EQ(records["full"].folder, music.string());
    EXPECT_EQ(records["albumonly"].id3Info, "Just Album;");
    EXPECT_EQ(records["albumonly"].type, "mp3");
    EXPECT_EQ(records["albumonly"].folder, (music / "sub").string());
    EXPECT_EQ(records["tagged"].id3Info, "");
    EXPECT_EQ(records["tagged"].type, "wma");
    EXPECT_EQ(records["real"].id3Info, "Real;Singer;Disc;");
    EXPECT_EQ(records["untagged"].id3Info, "");
    EXPECT_EQ(records["untagged"].sizeText, "     1.5");

    // Totals in memory and on disk; every other setting and the history rows kept.
    EXPECT_EQ(f.workspace->settings().totalSongs, 5);
    EXPECT_EQ(f.workspace->settings().collectionCount, 1);
    const std::string settings = readFile(f.dir / "system/system.ifo");
    EXPECT_TRUE(settings.starts_with("<ts>5\n<tf>1\n<md>1\n")) << settings;
    EXPECT_NE(settings.find("Pop"), std::string::npos) << settings;
    EXPECT_EQ(f.workspace->catalogue().collectionNames(), (std::vector<std::string>{"Rock"}));
    EXPECT_EQ(f.workspace->catalogue().index().size(), 5U);
    EXPECT_EQ(folderEntries(f.dir / "system"),
              (std::vector<std::string>{"save0001.ifo", "system.ifo"}));

    // Without the box no tag is read; the second collection is number 0002 and the totals add up.
    ASSERT_EQ(f.add("Rock again", music).result, AddResult::Added);
    EXPECT_EQ(readFile(f.dir / "system/save0002.ifo").find("Title;"), std::string::npos);
    EXPECT_EQ(f.workspace->settings().totalSongs, 10);
    EXPECT_EQ(f.workspace->settings().collectionCount, 2);
}

TEST(AddCollection, KeepsUnusualNamesWhole) {
    Fixture f;
    writeFile(f.dir / "m/a.mp3", "x");
    const std::string longName(10000, 'n');
    const std::string oddBytes = "caf\xc3\xa9 \xff\xfe <x> **";
    ASSERT_EQ(f.add(longName, f.dir / "m").result, AddResult::Added);
    ASSERT_EQ(f.add(oddBytes, f.dir / "m").result, AddResult::Added);
    EXPECT_EQ(f.workspace->catalogue().collectionNames(),
              (std::vector<std::string>{longName, oddBytes}));
    // A fresh start reads the same.
    const std::string settings = readFile(f.dir / "system/system.ifo");
    f.workspace.reset();
    UserMessage failure;
    const auto reopened = Workspace::open(f.dir.path(), failure);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->catalogue().collectionNames(),
              (std::vector<std::string>{longName, oddBytes}));
    EXPECT_EQ(reopened->settings().totalSongs, 2);
}

TEST(AddCollection, StartsFromZeroWhenTheSettingsLackTheTotals) {
    TempDir dir;
    auto workspace = openEmptyBase(dir, "<md>5\n@*EOF");
    writeFile(dir / "m/a.mp3", "x");
    const AddOutcome outcome =
        addCollection(*workspace, FileTypeList(), AddRequest{"First", (dir / "m").string(), false},
                      AddProgress(), directUpdate(*workspace, {}, {}));
    ASSERT_EQ(outcome.result, AddResult::Added);
    EXPECT_TRUE(fs::exists(dir / "system/save0001.ifo"));
    EXPECT_EQ(workspace->settings().totalSongs, 1);
    EXPECT_EQ(workspace->catalogue().collectionNames(), (std::vector<std::string>{"First"}));
}

TEST(AddCollection, FileErrorsLeaveNoFileAndNoTotals) {
    Fixture f;
    writeFile(f.dir / "m/a.mp3", "x");
    const std::string settingsBefore = readFile(f.dir / "system/system.ifo");

    // A folder where the collection file must go: it is not replaced.
    fs::create_directory(f.dir / "system/save0001.ifo");
    const AddOutcome blocked = f.add("Pop", f.dir / "m");
    EXPECT_EQ(blocked.result, AddResult::FileError);
    ASSERT_TRUE(blocked.message);
    EXPECT_EQ(blocked.message->caption, "Tunex - File Error");
    EXPECT_EQ(blocked.message->icon, MessageIcon::Error);
    EXPECT_NE(blocked.message->text.find((f.dir / "system/save0001.ifo").string()),
              std::string::npos);
    EXPECT_EQ(folderEntries(f.dir / "system"),
              (std::vector<std::string>{"save0001.ifo", "system.ifo"}));
    fs::remove(f.dir / "system/save0001.ifo");

    // The system folder gone: the file cannot even be created.
    fs::rename(f.dir / "system", f.dir / "moved");
    EXPECT_EQ(f.add("Pop", f.dir / "m").message,
              (UserMessage{"File could not be opened.", "Tunex - File Error", MessageIcon::Error}));
    fs::rename(f.dir / "moved", f.dir / "system");

    EXPECT_EQ(f.workspace->settings().totalSongs, 0);
    EXPECT_EQ(f.workspace->settings().collectionCount, 0);
    EXPECT_EQ(readFile(f.dir / "system/system.ifo"), settingsBefore);
}

TEST(AddCollection, AFullDiskPartWayLeavesTheCatalogueAsItWas) {
    TempDir dir;
    writeFile(dir / "system/system.ifo", "<ts>0\n<tf>0\n@*EOF");
    for (int i = 0; i < 300; ++i) {
        writeFile(dir / "m" / (std::string(120, 'a') + std::to_string(i) + ".mp3"), "x");
    }
    // The limit stands for a full disk: writes beyond 16 KiB fail with EFBIG.
    const int code = test::runWithFileSizeLimit(16384, [&] {
        UserMessage failure;
        auto workspace = Workspace::open(dir.path(), failure);
        if (!workspace) {
            return 10;
        }
        const AddOutcome outcome = addCollection(*workspace, FileTypeList(),
                                                 AddRequest{"Big", (dir / "m").string(), false},
                                                 AddProgress(), directUpdate(*workspace, {}, {}));
        const bool named = outcome.message && outcome.message->caption == "Tunex - File Error" &&
                           outcome.message->text.find("save0001.ifo") != std::string::npos;
        const bool unchanged =
            workspace->settings().totalSongs == 0 && workspace->settings().collectionCount == 0;
        return outcome.result == AddResult::FileError && named && unchanged ? 0 : 11;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(folderEntries(dir / "system"), (std::vector<std::string>{"system.ifo"}));
    EXPECT_EQ(readFile(dir / "system/system.ifo"), "<ts>0\n<tf>0\n@*EOF");
}

// Whatever holds the next collection file's name (here files the workspace did not take back,
// as they are not whole) stays byte for byte, and the totals do not count a collection.
TEST(AddCollection, NeverReplacesAnExistingCollectionFile) {
    Fixture f;
    writeFile(f.dir / "m/a.mp3", "x");
    const fs::path next = f.dir / "system/save0001.ifo";
    const std::string settingsBefore = readFile(f.dir / "system/system.ifo");
    for (const std::string& held :
         {"**Old\n<?>a<|>/m<:>mp3</><\\>     1.0<*>2003-11-16\n"s, "**Old\n@*EOF\n"s, ""s}) {
        writeFile(next, held);
        const AddOutcome outcome = f.add("New", f.dir / "m");
        EXPECT_EQ(outcome.result, AddResult::FileError);
        ASSERT_TRUE(outcome.message);
        EXPECT_EQ(outcome.message->caption, "Tunex - File Error");
        EXPECT_NE(outcome.message->text.find(next.string()), std::string::npos);
        EXPECT_EQ(readFile(next), held);
        EXPECT_EQ(f.workspace->settings().collectionCount, 0);
        EXPECT_EQ(readFile(f.dir / "system/system.ifo"), settingsBefore);
        EXPECT_EQ(folderEntries(f.dir / "system"),
                  (std::vector<std::string>{"save0001.ifo", "system.ifo"}));
    }
}

// The settings cannot be saved (the disk fills after the collection file): the collection must
// not stay behind to come back at the next start, and no success is reported.
TEST(AddCollection, SettingsThatCannotBeSavedUndoTheAdd) {
    TempDir dir;
    std::string settings = "<ts>1\n<tf>1\n";
    for (int i = 0; i < 2000; ++i) {
        settings +=
            "<ht>" + joinHistoryRow({"title" + std::to_string(i), "artist", "1", "Old"}) + "\n";
    }
    settings += "@*EOF";
    writeFile(dir / "system/system.ifo", settings);
    writeFile(dir / "system/save0001.ifo",
              "**Old\n<?>a<|>/m<:>mp3</><\\>     1.0<*>2003-11-16\n@*EOF");
    writeFile(dir / "m/a.mp3", "x");
    ASSERT_GT(settings.size(), 16384U);
    // Room for the small collection file, none for the settings file.
    const int code = test::runWithFileSizeLimit(16384, [&] {
        UserMessage failure;
        auto workspace = Workspace::open(dir.path(), failure);
        if (!workspace) {
            return 10;
        }
        std::vector<UserMessage> told;
        const AddOutcome outcome =
            addCollection(*workspace, FileTypeList(),
                          AddRequest{"New", (dir / "m").string(), false}, AddProgress(),
                          directUpdate(*workspace, workspace->settingsFile().readHistoryRows(),
                                       [&told](const UserMessage& m) { told.push_back(m); }));
        if (outcome.result != AddResult::FileError || outcome.message ||
            outcome.statusText != "No files were added to the database.") {
            return 11;
        }
        if (told.size() != 1 || !told[0].text.starts_with("Settings could not be saved")) {
            return 12;
        }
        if (workspace->settings().collectionCount != 1 || workspace->settings().totalSongs != 1 ||
            workspace->catalogue().collectionNames() != std::vector<std::string>{"Old"}) {
            return 13;
        }
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(folderEntries(dir / "system"),
              (std::vector<std::string>{"save0001.ifo", "system.ifo"}));
    EXPECT_EQ(readFile(dir / "system/system.ifo"), settings);
    UserMessage failure;
    const auto reopened = Workspace::open(dir.path(), failure);
    ASSERT_TRUE(reopened);
    EXPECT_FALSE(reopened->takenBackMessage());
    EXPECT_EQ(reopened->catalogue().collectionNames(), std::vector<std::string>{"Old"});
}

TEST(AddCollection, ACollectionFileDeletedBehindTheProgramsBack) {
    Fixture f;
    writeFile(f.dir / "m/a.mp3", "x");
    ASSERT_EQ(f.add("One", f.dir / "m").result, AddResult::Added);
    fs::remove(f.dir / "system/save0001.ifo");

    const AddOutcome outcome = f.add("Two", f.dir / "m");
    // The new collection is written and counted, but the catalogue cannot be loaded any more:
    // the user is told, and no success notice follows.
    EXPECT_EQ(outcome.result, AddResult::Added);
    EXPECT_FALSE(outcome.catalogueReloaded);
    EXPECT_FALSE(outcome.message);
    ASSERT_EQ(f.told.size(), 1U);
    EXPECT_EQ(f.told[0].text,
              "Songs Files could not be loaded: " + (f.dir / "system/save0001.ifo").string() +
                  "\nNo such file or directory\nCheck system folder.");
    EXPECT_TRUE(fs::exists(f.dir / "system/save0002.ifo"));
    EXPECT_TRUE(readFile(f.dir / "system/system.ifo").starts_with("<ts>2\n<tf>2\n"));
}

TEST(DatabasePageTexts, LabelsAndGreeting) {
    const UserMessage noSelection{"Please select a drive or directory in the list first.",
                                  "Tunex - Input Error", MessageIcon::Information};
    const UserMessage noLabel{"Selected drive has no label. Please enter one.",
                              "Tunex - Input Error", MessageIcon::Information};
    EXPECT_EQ(proposeLabel(LabelSource::Nothing, "x").message, noSelection);
    EXPECT_EQ(proposeLabel(LabelSource::Drive, "MyCD (/media/cd)").name, "MyCD");
    EXPECT_FALSE(proposeLabel(LabelSource::Drive, "MyCD (/media/cd)").message);
    EXPECT_EQ(proposeLabel(LabelSource::Drive, "File System (/)").name, "File System");
    EXPECT_EQ(proposeLabel(LabelSource::Drive, "A(b)").message, noLabel);
    EXPECT_EQ(proposeLabel(LabelSource::Drive, "(/media/x)").message, noLabel);
    EXPECT_EQ(proposeLabel(LabelSource::Drive, "no parenthesis").message, noLabel);
    EXPECT_EQ(proposeLabel(LabelSource::OtherNode, "My Computer").name, "My Computer");

    EXPECT_EQ(welcomeQuestion(),
              (UserMessage{"Thank you for using Tunex.\nYour database is currently empty. Please "
                           "use <Database> to add files to database.\n\nDo you need help?",
                           "Tunex - Welcome", MessageIcon::Information}));
    EXPECT_EQ(databaseTipsText(),
              "Tips: Enter the CD path or select the folder from the list, type the CD name and "
              "then press Add.\nThe media files under the path will be added to the database.\n\n"
              "Press Count to count the total number of media files under the path.\n");
}

}  // namespace
}  // namespace tunex
