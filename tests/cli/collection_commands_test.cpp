#include "support/audio_files.h"
#include "support/base_folder.h"
#include "support/run_program.h"

#include "core/store/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::BaseFolder;
using test::readFile;
using test::runProgram;
using test::writeFile;

const fs::path kCli = TUNEX_CLI_PATH;

TEST(CliCollectionCommands, CountChecksThePathAndUsesTheRunsTypes) {
    BaseFolder base;
    const fs::path music = base.path() / "music";
    for (const char* name : {"a.mp3", "b.wma", "sub/c.flac", "d.txt"}) {
        writeFile(music / name, "x");
    }
    const std::string dir = base.path().string();

    const auto counted = runProgram(kCli, {"--base", dir, "count", music.string()});
    EXPECT_EQ(counted.exitCode, 0);
    EXPECT_EQ(counted.err, "status: Total Number of Songs in " + music.string() + "/*.* : 2 \n");
    EXPECT_EQ(counted.out, "");

    const auto withFlac =
        runProgram(kCli, {"--base", dir, "--type", "FLAC", "count", music.string()});
    EXPECT_EQ(withFlac.err, "status: Total Number of Songs in " + music.string() + "/*.* : 3 \n");
    const auto onlyText =
        runProgram(kCli, {"--base", dir, "--only-types", "txt", "count", music.string() + "/"});
    EXPECT_EQ(onlyText.err, "status: Total Number of Songs in " + music.string() + "/*.* : 1 \n");

    // Those held for their run only; the list the File Type page stored holds for every run.
    const fs::path stored = base.path() / "system/filetypes.ifo";
    EXPECT_FALSE(fs::exists(stored));
    writeFile(stored, "flac\nmp3\n");
    const auto fromStore = runProgram(kCli, {"--base", dir, "count", music.string()});
    EXPECT_EQ(fromStore.err, "status: Total Number of Songs in " + music.string() + "/*.* : 2 \n");
    const auto storeAndTxt =
        runProgram(kCli, {"--base", dir, "--type", "txt", "count", music.string()});
    EXPECT_EQ(storeAndTxt.err,
              "status: Total Number of Songs in " + music.string() + "/*.* : 3 \n");
    EXPECT_EQ(readFile(stored), "flac\nmp3\n");
    writeFile(stored, "flac\nmp");
    const auto damaged = runProgram(kCli, {"--base", dir, "count", music.string()});
    EXPECT_EQ(damaged.exitCode, 0);
    EXPECT_EQ(damaged.err,
              "Tunex - File Types: The file types could not be read from " + stored.string() +
                  ":\nIt ends in the middle of a line.\nThe list starts from mp3, wma and wmv; "
                  "the file is kept as it is until the list is changed.\n"
                  "status: Total Number of Songs in " +
                  music.string() + "/*.* : 2 \n");
    EXPECT_EQ(readFile(stored), "flac\nmp");
    fs::remove(stored);

    const auto empty = runProgram(kCli, {"--base", dir, "count", ""});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_EQ(empty.err, "Tunex - Input Error: Please input the CD Source Path for Count.\n");
    const auto missing = runProgram(kCli, {"--base", dir, "count", (music / "a.mp3").string()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err,
              "Tunex - Path Error: Invalid path: " + (music / "a.mp3").string() +
                  "\nIf it is a floppy or CD drive, make sure the disk is inserted.\n");
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "count"}).exitCode, 2);
}

TEST(CliCollectionCommands, AddWritesTheCollectionAndTheTotals) {
    const std::string history = "<ht>" + joinHistoryRow({"love", "", "3", "Pop"}) + "\n";
    BaseFolder base("<ts>2\n<tf>1\n<md>50\n" + history + "@*EOF");
    base.addCollection(0, "Pop", 2);
    const fs::path music = base.path() / "music";
    writeFile(music / "a.mp3", std::string(1536, 'x'));
    writeFile(music / "sub/b.WMA", "x");
    const std::string dir = base.path().string();

    const auto added = runProgram(kCli, {"--base", dir, "add", "Rock", music.string(), "--id3"});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.err,
              "status: Adding files to database......a moment please......\n"
              "status: Total number of songs added to the database from " +
                  music.string() +
                  "/*.* : 2 \n"
                  "Tunex - Files added to the database: 2 songs from <Rock> added to the "
                  "database.\n");
    const std::string settings = base.settingsText();
    EXPECT_TRUE(settings.starts_with("<ts>4\n<tf>2\n<md>50\n")) << settings;
    EXPECT_NE(settings.find(history), std::string::npos) << settings;
    const std::string file = readFile(base.path() / "system/save0002.ifo");
    EXPECT_TRUE(file.starts_with("**Rock\n<?>")) << file;
    EXPECT_TRUE(file.ends_with("\n@*EOF"));
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "collections"}).out,
              "Collection\tAt hand\nPop\tunknown\nRock\tyes\n");

    const auto duplicate = runProgram(kCli, {"--base", dir, "add", "Pop", music.string()});
    EXPECT_EQ(duplicate.exitCode, 2);
    EXPECT_EQ(duplicate.err,
              "Tunex - Duplicate CD Name: You have already used the input CD name before. Please "
              "enter a new one.\n");
    const auto noSongs =
        runProgram(kCli, {"--base", dir, "--only-types", "ogg", "add", "Jazz", music.string()});
    EXPECT_EQ(noSongs.exitCode, 2);
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "add", "Jazz"}).exitCode, 2);

    // A folder where the new collection file must go.
    fs::create_directory(base.path() / "system/save0003.ifo");
    const auto blocked = runProgram(kCli, {"--base", dir, "add", "Jazz", music.string()});
    EXPECT_EQ(blocked.exitCode, 3);
    EXPECT_NE(blocked.err.find("Tunex - File Error: File could not be written: " +
                               (base.path() / "system/save0003.ifo").string()),
              std::string::npos)
        << blocked.err;
    EXPECT_EQ(base.settingsText(), settings);
}

TEST(CliCollectionCommands, CountAndAddReachFilesBeyondPathMax) {
    BaseFolder base;
    const fs::path music = base.path() / "music";
    fs::create_directory(music);
    // 2 000 levels of "deep/": only the first file's path is shorter than PATH_MAX.
    const std::vector<std::string> files =
        test::writeDeepTree(music, "deep", 2000, {499, 999, 1499, 1999}, "song.mp3");
    ASSERT_EQ(files.size(), 4U);
    const std::string dir = base.path().string();

    const auto counted = runProgram(kCli, {"--base", dir, "count", music.string()});
    EXPECT_EQ(counted.exitCode, 0);
    EXPECT_EQ(counted.err, "status: Total Number of Songs in " + music.string() + "/*.* : 4 \n");

    const auto added = runProgram(kCli, {"--base", dir, "add", "Deep", music.string()});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_NE(added.err.find("songs added to the database from " + music.string() + "/*.* : 4 \n"),
              std::string::npos)
        << added.err;
    const std::string collection = readFile(base.path() / "system/save0001.ifo");
    for (const std::string& file : files) {
        const std::string folder = file.substr(0, file.rfind('/'));
        EXPECT_NE(collection.find("<?>song<|>" + folder + "<:>mp3</>"), std::string::npos)
            << folder.size();
    }
}

// An emptied settings file must not let the next Add write over collection 0001.
TEST(CliCollectionCommands, AddAfterTheSettingsWereEmptiedKeepsEveryCollection) {
    BaseFolder base;
    const fs::path music = base.path() / "music";
    writeFile(music / "a.mp3", "x");
    const std::string dir = base.path().string();
    ASSERT_EQ(runProgram(kCli, {"--base", dir, "add", "One", music.string()}).exitCode, 0);
    const std::string one = readFile(base.path() / "system/save0001.ifo");
    base.writeSettings("");

    const auto added = runProgram(kCli, {"--base", dir, "add", "Two", music.string()});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_TRUE(added.err.starts_with(
        "Tunex - Collections Restored: 1 collection was found that the settings file did not "
        "list; it is back in the catalogue.\n"))
        << added.err;
    EXPECT_EQ(readFile(base.path() / "system/save0001.ifo"), one);
    EXPECT_TRUE(readFile(base.path() / "system/save0002.ifo").starts_with("**Two\n"));
    EXPECT_TRUE(base.settingsText().starts_with("<ts>2\n<tf>2\n")) << base.settingsText();
    const auto listed = runProgram(kCli, {"--base", dir, "collections"});
    EXPECT_EQ(listed.out, "Collection\tAt hand\nOne\tyes\nTwo\tyes\n");
    EXPECT_EQ(listed.err, "");
}

TEST(CliCollectionCommands, RenameAsksAndRewrites) {
    BaseFolder base("<ts>3\n<tf>2\n@*EOF");
    base.addCollection(0, "Rock", 2);
    base.addCollection(1, "Pop", 1);
    const std::string dir = base.path().string();

    const auto renamed = runProgram(kCli, {"--base", dir, "rename", "Rock", "Jazz"});
    EXPECT_EQ(renamed.exitCode, 0);
    EXPECT_EQ(renamed.err,
              "Tunex - Confirm Change: Are you sure you want to change the collection name as "
              "follows?\n\nFrom:\tRock\nTo:\tJazz\n"
              "status: Collection Name of <Rock> is changed to <Jazz>.\n");
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "collections"}).out,
              "Collection\tAt hand\nJazz\tunknown\nPop\tunknown\n");

    const auto duplicate = runProgram(kCli, {"--base", dir, "rename", "Jazz", "Pop"});
    EXPECT_EQ(duplicate.exitCode, 2);
    EXPECT_EQ(duplicate.err,
              "Tunex - Duplicate Collection Name: You have already used the input name in another "
              "collection. Please enter a new name.\n");
    const auto unknown = runProgram(kCli, {"--base", dir, "rename", "Blues", "Soul"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(
        unknown.err.ends_with("Tunex - Change Collection Name Error: Error Occurs.\n "
                              "Change collection name aborted.\n"))
        << unknown.err;

    fs::remove(base.path() / "system/tmp.ifo");
    fs::create_directory(base.path() / "system/tmp.ifo");
    const auto noScratch = runProgram(kCli, {"--base", dir, "rename", "Pop", "Soul"});
    EXPECT_EQ(noScratch.exitCode, 3);
    EXPECT_TRUE(noScratch.err.ends_with(
        "Tunex - File Error: Songs Files Error.\n Change collection name aborted.\n"));
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "collections"}).out,
              "Collection\tAt hand\nJazz\tunknown\nPop\tunknown\n");
}

TEST(CliCollectionCommands, DeleteTakesOutOneCollectionAndItsSongs) {
    BaseFolder base("<ts>4\n<tf>3\n@*EOF");
    base.addCollection(0, "Rock", 2);
    base.addCollection(1, "Pop", 1);
    base.addCollection(2, "Jazz", 1);
    const std::string dir = base.path().string();

    const auto deleted = runProgram(kCli, {"--base", dir, "delete", "Rock"});
    EXPECT_EQ(deleted.exitCode, 0);
    EXPECT_EQ(deleted.err,
              "status: Collection <Rock> with 2 songs is deleted from the database.\n");
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "collections"}).out,
              "Collection\tAt hand\nPop\tunknown\nJazz\tunknown\n");
    EXPECT_TRUE(runProgram(kCli, {"--base", dir, "stats"})
                    .out.starts_with("Total Files: 2\nTotal CDs: 2\n"));
    EXPECT_EQ(readFile(base.path() / "system/save0001.ifo").substr(0, 6), "**Pop\n");
    EXPECT_FALSE(fs::exists(base.path() / "system/save0003.ifo"));

    const auto unknown = runProgram(kCli, {"--base", dir, "delete", "Blues"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err, "Tunex - Delete Error: There is no collection named <Blues>.\n");
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "delete"}).exitCode, 2);
}

TEST(CliCollectionCommands, RescanReplacesTheRecordsAndSaysWhatChanged) {
    BaseFolder base("<ts>2\n<tf>1\n@*EOF");
    base.addCollection(0, "Rock", 2);
    const std::string dir = base.path().string();
    fs::create_directories(base.path() / "music");
    ASSERT_TRUE(test::makeAudioFile("flac", base.path() / "music/one.flac",
                                    {{{"ARTIST", {"piman", "jzig"}}}}));
    const std::string music = (base.path() / "music").string();

    const auto rescanned =
        runProgram(kCli, {"--base", dir, "--type", "flac", "rescan", "Rock", music, "--id3"});
    EXPECT_EQ(rescanned.exitCode, 0);
    EXPECT_EQ(rescanned.err,
              "status: Collection <Rock> rescanned: 1 song added, 2 songs removed, 0 songs "
              "changed.\n");
    EXPECT_TRUE(runProgram(kCli, {"--base", dir, "stats"}).out.starts_with("Total Files: 1\n"));
    EXPECT_NE(runProgram(kCli, {"--base", dir, "list-all"}).out.find("\none\t"), std::string::npos);
    // Every value of a field is catalogued, and so found.
    EXPECT_NE(runProgram(kCli, {"--base", dir, "search", "--artist", "jzig"}).out.find("\none\t"),
              std::string::npos);
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "rescan", "Pop", music}).exitCode, 2);
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "rescan", "Rock"}).exitCode, 2);
}

}  // namespace
}  // namespace tunex
