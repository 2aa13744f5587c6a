#include "core/tags/tag_test_support.h"
#include "support/audio_files.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tunex {
namespace {

using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;

// The dry run prints what the run then writes, read back by mutagen; bad options change nothing.
TEST(CliTidyCommand, DryRunThenRunAndRefusals) {
    test::TempDir dir;
    const auto mp3 = dir / "a.mp3";
    test::writeFile(mp3, test::v2Tag(3, test::v2Text(3, "TIT2", "the_end") +
                                            test::v2Text(3, "TPE2", "the  band")) +
                             test::mpegAudio(4));
    const auto ogg = dir / "b.ogg";
    ASSERT_TRUE(test::makeAudioFile("ogg", ogg, {{{"ALBUMARTIST", {"ABBA  and friends"}}}}));
    const std::string folder = dir.path().string();
    const std::string before = test::readFile(mp3) + test::readFile(ogg);

    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"tags", "tidy", folder},
          {"tags", "tidy", folder, "--case", "proper"},
          {"tags", "tidy", folder, "--spaces", "--fields", "title,year"},
          {"tags", "tidy", "--spaces"}}) {
        const auto run = runProgram(kCli, refused);
        EXPECT_EQ(run.exitCode, 2) << refused.back();
        EXPECT_NE(run.err.find("tunex-cli: "), std::string::npos) << run.err;
    }
    const std::vector<std::string> options = {"--case",        "upper",    "--spaces",
                                              "--underscores", "--fields", "title,albumartist"};
    std::vector<std::string> dry = {"tags", "tidy", folder, "--dry-run"};
    dry.insert(dry.end(), options.begin(), options.end());
    const auto plan = runProgram(kCli, dry);
    EXPECT_EQ(plan.exitCode, 0) << plan.err;
    EXPECT_EQ(test::readFile(mp3) + test::readFile(ogg), before);
    const std::vector<std::string> rows = test::lines(plan.out);
    for (const std::string& row :
         {mp3.string() + "\tV2\tTitle\tthe_end\tTHE END",
          mp3.string() + "\tV2\tAlbum Artist\tthe  band\tTHE BAND",
          ogg.string() + "\tTag\tAlbum Artist\tABBA  and friends\tABBA AND FRIENDS"}) {
        EXPECT_NE(std::find(rows.begin(), rows.end(), row), rows.end()) << plan.out;
    }
    EXPECT_NE(plan.err.find("3 changes in 2 files; nothing was written."), std::string::npos);

    std::vector<std::string> real = {"tags", "tidy", folder};
    real.insert(real.end(), options.begin(), options.end());
    const auto run = runProgram(kCli, real);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Tags tidied in 2 files under " + folder + "."), std::string::npos);
    EXPECT_EQ(test::framesExcept(test::independentView(mp3), {}),
              (std::vector<std::string>{"TIT2 THE END", "TPE2 THE BAND"}));
    EXPECT_EQ(test::audioViewMap(ogg).at("ALBUMARTIST"),
              std::vector<std::string>{"ABBA AND FRIENDS"});
}

}  // namespace
}  // namespace tunex
