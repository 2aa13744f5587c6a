#include "core/tags/tag_test_support.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

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

}  // namespace
}  // namespace tunex
