#include <gtest/gtest.h>

#include <algorithm>

#include "core/tags/tag_test_support.h"
#include "support/audio_files.h"
#include "support/base_folder.h"
#include "support/child_process.h"
#include "support/run_program.h"

namespace tunex {
namespace {

using test::BaseFolder;
using test::hasLine;
using test::independentView;
using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;

class CliLocalCommands : public ::testing::Test {
protected:
    CliLocalCommands() : base_("<ts>0\n<tf>0\n<md>100\n<ft>mp3;mp2;wmv;wma;dat;\n@*EOF\n") {}

    std::filesystem::path make(const std::string& relative, const std::string& bytes) {
        const auto path = music_ / relative;
        std::filesystem::create_directories(path.parent_path());
        test::writeFile(path, bytes);
        return path;
    }
    test::ProgramResult run(std::vector<std::string> words) {
        words.insert(words.begin(), {"--base", base_.path().string()});
        return runProgram(kCli, words);
    }

    BaseFolder base_;
    test::TempDir dir_;
    const std::filesystem::path music_ = dir_ / "Music";
    const std::string m_ = music_.string();
    const std::string audio_ = test::mpegAudio(4);
};

TEST_F(CliLocalCommands, LocalListsFiltersAndCutsAtTheLimit) {
    make("b - Song.mp3", audio_);
    make("A.wma", audio_);
    make("sub/c.mp3", audio_);
    make("notes.txt", audio_);

    const auto listed = run({"local", m_});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    const auto rows = test::lines(listed.out);
    ASSERT_EQ(rows.size(), 4u) << listed.out;
    EXPECT_EQ(rows[0], "File Name\tPath\tFile Size (KB)\tFile Date");
    EXPECT_EQ(rows[1].substr(0, rows[1].find('\t', 6)), "A.wma\t" + m_);
    EXPECT_EQ(rows[3].substr(0, rows[3].find('\t', 6)), "c.mp3\t" + m_ + "/sub");
    EXPECT_NE(rows[2].find("\t     1.6\t"), std::string::npos) << rows[2];
    EXPECT_EQ(listed.err, "status: 3 files found under " + m_ + "\n");

    EXPECT_EQ(test::lines(run({"local", m_, "--no-subdirs"}).out).size(), 3u);

    const auto filtered = run({"local", m_, "--filter", "SONG"});
    EXPECT_EQ(filtered.exitCode, 0);
    EXPECT_EQ(test::lines(filtered.out).size(), 2u);
    EXPECT_NE(filtered.err.find("status: 1 files matched with keyword.\n"), std::string::npos);

    const auto refused = run({"local", m_, "--filter", "a*b"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("Tunex - Input Error: Input Keyword cannot contain"),
              std::string::npos);

    const auto limited = run({"local", m_, "--max", "2"});
    EXPECT_EQ(limited.exitCode, 0);
    EXPECT_EQ(test::lines(limited.out).size(), 3u);
    EXPECT_NE(limited.err.find("status: 2 of 3 files shown under " + m_ + "\n"), std::string::npos);
    EXPECT_NE(limited.err.find("Tunex - Information: The result reaches the maximum display "
                               "limit (2).\nYou can change it in <Setting> tab.\n"),
              std::string::npos);
    EXPECT_EQ(run({"local", m_, "--max", "0"}).exitCode, 2);
    EXPECT_EQ(run({"local"}).exitCode, 2);
    // An empty folder is no folder (the "My Computer" node): nothing is listed or said.
    const auto nothing = run({"local", ""});
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_EQ(nothing.out, "File Name\tPath\tFile Size (KB)\tFile Date\n");
    EXPECT_EQ(nothing.err, "");
    EXPECT_EQ(run({"clear-all", ""}).exitCode, 2);
    EXPECT_EQ(run({"easytag", ""}).exitCode, 2);
}

TEST_F(CliLocalCommands, NamesWithTabsAndLineBreaksStayInOneRowAndColumn) {
    const std::string folder = "we\\ird";
    for (const char* name : {"tab\there.mp3", "line\nbreak.mp3", "cr\rx.mp3", "back\\slash.mp3"}) {
        make(folder + "/" + name, audio_);
    }
    const auto listed = run({"local", m_});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    const auto rows = test::lines(listed.out);
    ASSERT_EQ(rows.size(), 5u) << listed.out;
    const std::string path = m_ + R"(/we\\ird)";
    for (const std::string escaped :
         {R"(tab\there.mp3)", R"(line\nbreak.mp3)", R"(cr\rx.mp3)", R"(back\\slash.mp3)"}) {
        EXPECT_TRUE(std::any_of(rows.begin() + 1, rows.end(),
                                [&](const std::string& row) {
                                    return row.starts_with(escaped + "\t" + path + "\t") &&
                                           std::count(row.begin(), row.end(), '\t') == 3;
                                }))
            << escaped << "\n"
            << listed.out;
    }
}

TEST_F(CliLocalCommands, EasyTagAndClearAllWriteTheTree) {
    const auto top = make("07 - Song.mp3", audio_);
    const auto inner = make("sub/Artist_Title.mp3", audio_);
    make("unfit.mp3", audio_);

    const auto tagged = run({"easytag", m_, "--pattern", "%track% - %title%", "--no-subdirs"});
    EXPECT_EQ(tagged.exitCode, 0) << tagged.err;
    EXPECT_EQ(tagged.err,
              "Tunex Easy Tag - Process Done: Tags written to 1 file under " + m_ + ".\n");
    const std::string view = independentView(top);
    EXPECT_TRUE(hasLine(view, "TRCK enc=0 07")) << view;
    EXPECT_TRUE(hasLine(view, "TIT2 enc=0 Song")) << view;
    EXPECT_EQ(test::readFile(inner), audio_);

    const auto v1 = run({"easytag", m_ + "/sub", "--delim1", "_", "--target", "v1"});
    EXPECT_EQ(v1.exitCode, 0) << v1.err;
    EXPECT_TRUE(hasLine(independentView(inner), "v1=Title|Artist||||0|255"))
        << independentView(inner);

    const auto none = run({"easytag", m_, "--slot1", "off", "--slot2", "off"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.err,
              "Tunex Easy Tag - No filename format: No filename format specified. Please enable "
              "one of the filename formats first.\n");
    EXPECT_EQ(run({"easytag", m_, "--pattern", "%title%", "--slot1", "title"}).exitCode, 2);
    EXPECT_EQ(run({"easytag", m_, "--pattern", "%nope%"}).err,
              "tunex-cli: --pattern: unknown field %nope% (the fields are %artist% %albumartist% "
              "%album% %title% %track% %disc% %year% %genre% %skip%)\n");
    EXPECT_EQ(run({"easytag", m_, "--slot2", "genre"}).exitCode, 2);

    const auto cleared = run({"clear-all", m_});
    EXPECT_EQ(cleared.exitCode, 0) << cleared.err;
    EXPECT_EQ(cleared.err, "Tunex - Tag Successfully Removed: All ID3 tags of 3 files under " + m_ +
                               " removed.\n");
    EXPECT_TRUE(hasLine(independentView(top), "v2=none"));
    EXPECT_TRUE(hasLine(independentView(inner), "v1=|||||0|255"));

    const auto empty = run({"clear-all", (dir_ / "nothing").string()});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_NE(empty.err.find("No media file under this directory."), std::string::npos);
}

TEST_F(CliLocalCommands, RenameFromTagsTheCatalogueFollowsAndUndoAcrossARestart) {
    const auto song = make("one.mp3", audio_);
    const auto twin = make("sub/two.mp3", audio_);
    make("untagged.mp3", audio_);
    for (const auto& file : {song, twin}) {
        ASSERT_EQ(run({"tags", "set", file.string(), "v2.artist=AC/DC", "v2.title=Hells Bells",
                       "v2.album=Back", "v2.track=1/10"})
                      .exitCode,
                  0);
    }
    ASSERT_EQ(run({"add", "Disc", m_}).exitCode, 0);
    const std::string pattern = "%album%/%track% %artist% - %title%";
    const auto dry = run({"rename-from-tags", m_, "--pattern", pattern, "--dry-run"});
    EXPECT_EQ(dry.out, "File\tNew name\n" + song.string() + "\t" + m_ +
                           "/Back/01 AC_DC - Hells Bells.mp3\n" + twin.string() + "\t" + m_ +
                           "/sub/Back/01 AC_DC - Hells Bells.mp3\n");
    EXPECT_NE(dry.err.find("left alone (its tag has no album): " + m_ + "/untagged.mp3"),
              std::string::npos)
        << dry.err;

    const auto renamed = run({"rename-from-tags", m_, "--pattern", pattern});
    EXPECT_EQ(renamed.exitCode, 0) << renamed.err;
    EXPECT_TRUE(std::filesystem::exists(music_ / "Back/01 AC_DC - Hells Bells.mp3"));
    const auto listed = run({"files-search", "--keyword", "Hells"});
    EXPECT_EQ(test::lines(listed.out).size(), 3u) << listed.out;

    const auto undone = run({"tags", "undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.err;
    EXPECT_EQ(test::readFile(song), test::readFile(twin));
    EXPECT_FALSE(std::filesystem::exists(music_ / "Back"));
    EXPECT_EQ(test::lines(run({"files-search", "--keyword", "one"}).out).size(), 2u);
}

TEST_F(CliLocalCommands, UndoTakesBackEachBatchByteForByte) {
    // One file whose tag grows (its audio moves), one with a tag that Clear All removes.
    const std::string tagged = test::v2Tag(3, test::v2Text(3, "TIT2", "Old title"), 0) + audio_ +
                               test::v1Tag("Old title", "Old artist", "", "1999", "", 1, 17);
    const auto grows = make("Artist - A rather longer title than before.mp3", audio_);
    const auto cleared = make("sub/Someone - Something.mp3", tagged);
    const std::string original = test::readFile(grows);

    ASSERT_EQ(run({"easytag", m_}).exitCode, 0);
    const std::string afterEasyTag = test::readFile(cleared);
    ASSERT_NE(test::readFile(grows), original);
    ASSERT_EQ(run({"clear-all", m_}).exitCode, 0);
    ASSERT_NE(test::readFile(cleared), afterEasyTag);

    // Each run of the program opens the journal afresh, as after a restart.
    const auto undoClear = run({"tags", "undo"});
    EXPECT_EQ(undoClear.exitCode, 0) << undoClear.err;
    EXPECT_EQ(test::readFile(cleared), afterEasyTag);
    EXPECT_EQ(test::lines(undoClear.out).size(), 2u) << undoClear.out;
    EXPECT_EQ(undoClear.err,
              "Tunex - Undo Tag Change: 2 files were put back as they were before the last tag "
              "change.\n");
    const auto undoEasyTag = run({"tags", "undo"});
    EXPECT_EQ(undoEasyTag.exitCode, 0) << undoEasyTag.err;
    EXPECT_EQ(test::readFile(grows), original);
    EXPECT_EQ(test::readFile(cleared), tagged);
    const auto nothing = run({"tags", "undo"});
    EXPECT_EQ(nothing.exitCode, 2);
    EXPECT_EQ(nothing.err, "Tunex - Undo Tag Change: There is no tag change to undo.\n");

    // A file another program changed after the batch is left as it is, and named.
    ASSERT_EQ(run({"easytag", m_}).exitCode, 0);
    test::writeFile(cleared, "changed by someone else");
    const auto partly = run({"tags", "undo"});
    EXPECT_EQ(partly.exitCode, 3);
    EXPECT_EQ(test::readFile(grows), original);
    EXPECT_EQ(test::readFile(cleared), "changed by someone else");
    EXPECT_NE(partly.err.find("left as they are:\n" + cleared.string()), std::string::npos)
        << partly.err;
}

TEST_F(CliLocalCommands, DryRunsListWhatTheRealRunThenWritesAndChangeNothing) {
    const auto waterloo = make("Abba - Waterloo.mp3",
                               test::v2Tag(3, test::v2Text(3, "TIT2", "Old") +
                                                  test::v2Frame(3, "PRIV", {"tunex.test\0x", 12})) +
                                   audio_);
    const auto kanji = make("sub/Sakamoto - \xe5\x9d\x82\xe6\x9c\xac song.mp3", audio_);
    const auto latin1 = make("Bj\xf6rk - J\xf3ga.mp3", audio_);
    const auto unfit = make("unfit.mp3", audio_);
    const auto fake = make("fake.mp3", "not audio at all");
    const std::string before = test::readFile(waterloo) + test::readFile(kanji);

    const auto v1 = run({"easytag", m_, "--target", "v1", "--dry-run"});
    EXPECT_EQ(v1.exitCode, 0) << v1.err;
    EXPECT_EQ(test::readFile(waterloo) + test::readFile(kanji), before);
    const auto rows = test::lines(v1.out);
    ASSERT_EQ(rows.size(), 7u) << v1.out;
    EXPECT_EQ(rows[0], "File\tVersion\tField\tOld\tNew");
    EXPECT_NE(std::find(rows.begin(), rows.end(), waterloo.string() + "\tV1\tTitle\t\tWaterloo"),
              rows.end())
        << v1.out;
    EXPECT_NE(
        v1.err.find("6 changes in 3 files; 2 files would be left alone; nothing was written."),
        std::string::npos)
        << v1.err;
    EXPECT_NE(std::find(rows.begin(), rows.end(), latin1.string() + "\tV1\tTitle\t\tJ\u00f3ga"),
              rows.end())
        << v1.out;
    EXPECT_NE(v1.err.find("left alone (name does not fit the format): " + unfit.string()),
              std::string::npos);

    // The real run writes exactly the values the dry run showed, V1 text as V1 holds it.
    std::string shownKanjiTitle;
    for (const std::string& row : rows) {
        if (row.starts_with(kanji.string() + "\tV1\tTitle\t\t")) {
            shownKanjiTitle = row.substr(row.rfind('\t') + 1);
        }
    }
    EXPECT_NE(shownKanjiTitle, "");
    ASSERT_EQ(run({"easytag", m_, "--target", "v1"}).exitCode, 0);
    const auto shown = runProgram(kCli, {"tags", "show", kanji.string()});
    EXPECT_NE(shown.out.find("v1.title=" + shownKanjiTitle + "\n"), std::string::npos) << shown.out;

    const std::string cleared = test::readFile(waterloo);
    const auto clear = run({"clear-all", m_, "--dry-run"});
    EXPECT_EQ(clear.exitCode, 0);
    EXPECT_EQ(test::readFile(waterloo), cleared);
    EXPECT_NE(clear.out.find(waterloo.string() + "\tV2\tTitle\tOld\t\n"), std::string::npos)
        << clear.out;
    // What the editor has no field for goes too, and is listed.
    EXPECT_NE(clear.out.find(waterloo.string() + "\tV2\tPrivate frame (tunex.test)\t\t\n"),
              std::string::npos)
        << clear.out;
    EXPECT_NE(clear.err.find("left alone (not MPEG audio): " + fake.string()), std::string::npos)
        << clear.err;
    EXPECT_EQ(run({"local", m_, "--dry-run"}).exitCode, 2);
    EXPECT_EQ(run({"easytag", m_, "--delim1", "\xb7", "--dry-run"}).exitCode, 2);
}

// Other formats have one tag: the dry runs name it "Tag", EasyTag's V1 target lands there too, and
// a file whose content is not its name's format is left alone and named.
TEST_F(CliLocalCommands, EasyTagAndClearAllTakeTheOneTagOfOtherFormats) {
    std::filesystem::create_directories(music_);
    const auto flac = music_ / "Abba - Waterloo.flac";
    ASSERT_TRUE(test::makeAudioFile("flac", flac, {{{"MOOD", {"calm"}}}, true, true}));
    const auto fake = make("Abba - Fake.flac", audio_);
    const std::vector<std::string> made = test::lines(test::audioView(flac));
    const std::string madeBytes = test::readFile(flac);

    const auto dry = run({"easytag", m_, "--target", "v1", "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_NE(dry.out.find(flac.string() + "\tTag\tTitle\t\tWaterloo\n"), std::string::npos)
        << dry.out;
    EXPECT_NE(dry.err.find("left alone (not FLAC audio): " + fake.string()), std::string::npos)
        << dry.err;
    EXPECT_EQ(test::readFile(flac), madeBytes);

    const auto tagged = run({"easytag", m_, "--target", "v1"});
    EXPECT_EQ(tagged.exitCode, 3) << tagged.err;
    EXPECT_NE(tagged.err.find("1 file left alone, not FLAC audio:\n" + fake.string()),
              std::string::npos)
        << tagged.err;
    std::vector<std::string> expected = made;
    expected.insert(expected.end(), {"ARTIST=Abba", "TITLE=Waterloo"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::lines(test::audioView(flac)), expected);
    const std::string taggedBytes = test::readFile(flac);

    // Listed only with its type; Clear All then takes it like an mp3.
    const auto clearDry = run({"--type", "flac", "clear-all", m_, "--dry-run"});
    EXPECT_NE(clearDry.out.find(flac.string() + "\tTag\tArtist\tAbba\t\n"), std::string::npos)
        << clearDry.out;
    EXPECT_EQ(run({"--type", "flac", "clear-all", m_}).exitCode, 3);
    EXPECT_EQ(test::lines(test::audioView(flac)), made);
    EXPECT_EQ(test::readFile(fake), audio_);

    ASSERT_EQ(run({"tags", "undo"}).exitCode, 0);
    EXPECT_EQ(test::readFile(flac), taggedBytes);

    // One file under a second name asking other values: the preview already leaves it alone.
    std::filesystem::remove(fake);
    std::filesystem::rename(flac, music_ / "Other - Name.flac");
    std::filesystem::create_hard_link(music_ / "Other - Name.flac", music_ / "Second - Name.flac");
    const auto linked = run({"easytag", m_, "--dry-run"});
    EXPECT_NE(linked.err.find("the same file as "), std::string::npos) << linked.err;
    EXPECT_NE(linked.err.find("1 file would be left alone"), std::string::npos) << linked.err;
}

TEST_F(CliLocalCommands, WalksNameTheFoldersTheyCannotRead) {
    make("Artist - Title.mp3", audio_);
    make("locked/b.mp3", audio_);
    // Run as a user the permissions stop: everything but "locked" open to everyone.
    for (const auto& root : {base_.path(), dir_.path()}) {
        std::filesystem::permissions(root, std::filesystem::perms::all);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
        }
    }
    std::filesystem::permissions(music_ / "locked", std::filesystem::perms::none);
    const auto errors = test::runUnprivileged([this] {
        std::string err;
        for (const auto& words : std::vector<std::vector<std::string>>{
                 {"local", m_}, {"clear-all", m_}, {"easytag", m_}, {"count", m_ + "/locked"}}) {
            const auto result = run(words);
            err += std::to_string(result.exitCode) + " " + result.err;
        }
        return err;
    });
    ASSERT_TRUE(errors);
    const std::string note = "1 folder could not be read and was skipped: " + m_ + "/locked";
    EXPECT_EQ(*errors, "0 status: 1 files found under " + m_ + ". " + note + "\n" +
                           "0 Tunex - Tags Partly Removed: All ID3 tags of 1 files under " + m_ +
                           " removed.\n" + note + "\n" +
                           "0 Tunex Easy Tag - Process Done: Tags written to 1 file under " + m_ +
                           ".\n" + note + "\n" +
                           "2 Tunex - Path Error: The folder cannot be read: " + m_ +
                           "/locked\nPermission denied\n");
}

TEST_F(CliLocalCommands, FilesThatCannotBeWrittenAreReported) {
    const std::string pastEnd = "ID3\x03" + std::string(2, '\0') + test::syncsafe(100000) +
                                test::v2Text(3, "TIT2", "t") + audio_;
    const auto bad = make("A - B.mp3", pastEnd);
    const auto cleared = run({"clear-all", m_});
    EXPECT_EQ(cleared.exitCode, 3);
    EXPECT_EQ(cleared.err, "Tunex - Tags Partly Removed: All ID3 tags of 0 files under " + m_ +
                               " removed.\n1 file left alone, not MPEG audio:\n" + bad.string() +
                               "\n");
    const auto tagged = run({"easytag", m_});
    EXPECT_EQ(tagged.exitCode, 3);
    EXPECT_NE(tagged.err.find("No tags written"), std::string::npos);
    EXPECT_EQ(test::readFile(bad), pastEnd);
}

}  // namespace
}  // namespace tunex
