#include "core/tags/tag_test_support.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::framesExcept;
using test::independentView;
using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;

TEST(CliTagsCommand, ShowSetAndClearWithoutABaseFolder) {
    test::TempDir dir;
    const auto song = dir / "song.mp3";
    test::writeFile(song, test::v2Tag(3, test::v2Text(3, "TIT2", "Yesterday") +
                                             test::v2Text(3, "TPE1", "The Beatles")) +
                              test::mpegAudio(4));
    const std::string file = song.string();

    const auto catalogue = runProgram(kCli, {"tags", "catalogue", file});
    EXPECT_EQ(catalogue.exitCode, 0);
    EXPECT_EQ(catalogue.out, "Yesterday;The Beatles;\n");

    const auto set = runProgram(
        kCli, {"tags", "set", file, "v2.album=Help!", "v2.genre=17", "v1.title=Yesterday"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    const auto shown = runProgram(kCli, {"tags", "show", file});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find("v1.title=Yesterday\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("v2.album=Help!\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("v2.genre=17\n"), std::string::npos) << shown.out;

    // The V1 editor cannot take 31 characters: refused, the file untouched.
    const std::string before = test::readFile(song);
    const auto refused =
        runProgram(kCli, {"tags", "set", file, "v1.title=" + std::string(31, 'x')});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(test::readFile(song), before);

    const auto cleared = runProgram(kCli, {"tags", "clear", file});
    EXPECT_EQ(cleared.exitCode, 0);
    const auto summary = runProgram(kCli, {"tags", "summary", file});
    EXPECT_EQ(summary.out.find("Yesterday"), std::string::npos) << summary.out;

    const auto missing =
        runProgram(kCli, {"tags", "set", (dir / "gone.mp3").string(), "v2.title=x"});
    EXPECT_EQ(missing.exitCode, 3);
}

// Every key reaches its own field: set all at once with distinct values, `show` prints each back in
// order, and an independent reader finds each in the frame or V1 slot the key names.
TEST(CliTagsCommand, EveryKeySetsItsOwnFieldAndShowsInOrder) {
    test::TempDir dir;
    const auto song = dir / "song.mp3";
    test::writeFile(song, test::mpegAudio(4));
    const std::string file = song.string();
    const std::string shown =
        "v1.title=T1\n"
        "v1.artist=A1\n"
        "v1.album=L1\n"
        "v1.comment=C1\n"
        "v1.year=1999\n"
        "v1.track=7\n"
        "v1.genre=9\n"
        "v2.title=A V2 title runs past thirty characters\n"
        "v2.artist=A2\n"
        "v2.album=L2\n"
        "v2.comment=C2\n"
        "v2.year=2001\n"
        "v2.track=3\n"
        "v2.genre=17\n"
        "v2.composer=Co\n"
        "v2.publisher=Pu\n"
        "v2.url=http://u.example/\n"
        "v2.copyright=Cr\n";
    std::vector<std::string> args = {"tags", "set", file};
    for (const std::string& line : test::lines(shown)) {
        args.push_back(line);
    }
    const auto set = runProgram(kCli, args);
    ASSERT_EQ(set.exitCode, 0) << set.err;

    const auto show = runProgram(kCli, {"tags", "show", file});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_EQ(show.out, shown);

    const std::string view = independentView(song);
    EXPECT_TRUE(test::hasLine(view, "v1=T1|A1|L1|1999|C1|7|9")) << view;
    const std::vector<std::string> frames = {"COMM XXX||C2",
                                             "TALB L2",
                                             "TCOM Co",
                                             "TCON Rock",
                                             "TCOP Cr",
                                             "TDRC 2001",
                                             "TIT2 A V2 title runs past thirty characters",
                                             "TPE1 A2",
                                             "TPUB Pu",
                                             "TRCK 3",
                                             "WOAF http://u.example/"};
    EXPECT_EQ(framesExcept(view, {}), frames) << view;  // the reader names genre 17: Rock

    // One past each V1 typing limit is refused, the file untouched.
    const std::vector<std::pair<std::string, int>> limits = {{"v1.title", 30}, {"v1.artist", 30},
                                                             {"v1.album", 30}, {"v1.comment", 30},
                                                             {"v1.year", 4},   {"v1.track", 3}};
    const std::string before = test::readFile(song);
    for (const auto& [key, limit] : limits) {
        const auto refused =
            runProgram(kCli, {"tags", "set", file, key + "=" + std::string(limit + 1, '1')});
        EXPECT_EQ(refused.exitCode, 2) << key;
    }
    EXPECT_EQ(test::readFile(song), before);
}

}  // namespace
}  // namespace tunex
