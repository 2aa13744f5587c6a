#include "core/tags/tag_test_support.h"
#include "support/audio_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;

// A JPEG's markers up to its frame header, 2×1 pixels.
const std::string kJpeg =
    std::string("\xFF\xD8\xFF\xC0\0\x11\x08\0\x01\0\x02", 11) + std::string(12, '\1') + "\xFF\xD9";

TEST(CliCoverCommand, SetExportRemoveAndUndo) {
    const test::TempDir dir;
    const test::TempDir state;  // a journal of the test's own for undo
    const auto tags = [&](std::vector<std::string> words) {
        words.insert(words.begin(), "tags");
        return runProgram(kCli, words, {"XDG_STATE_HOME=" + state.path().string()});
    };
    const auto song = dir / "song.flac";
    ASSERT_TRUE(test::makeAudioFile("flac", song, {.fields = {}, .picture = true}));
    const std::string file = song.string();
    const std::string original = test::readFile(song);
    const auto shown = tags({"show", file});
    EXPECT_NE(shown.out.find("cover=PNG 4\u00D74, "), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find(" (1 picture in all)\n"), std::string::npos) << shown.out;

    test::writeFile(dir / "a.gif", "GIF89a");
    const auto refused = tags({"cover", file, "--set", (dir / "a.gif").string()});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find((dir / "a.gif").string() + " is not a JPEG or PNG image"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(test::readFile(song), original);

    test::writeFile(dir / "new.jpg", kJpeg);
    const auto set = tags({"cover", file, "--set", (dir / "new.jpg").string()});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_NE(set.err.find("is now JPEG 2\u00D71, 25 bytes."), std::string::npos) << set.err;
    const auto view = test::audioViewMap(song);
    EXPECT_EQ(view.at("pictures"), std::vector<std::string>{"1"});
    EXPECT_TRUE(view.at("picture")[0].ends_with(" image/jpeg"));

    const auto exported = tags({"cover", file, "--export", (dir / "out").string()});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(test::readFile(dir / "out"), kJpeg);

    EXPECT_EQ(tags({"cover", file, "--remove"}).exitCode, 0);
    EXPECT_EQ(test::audioViewMap(song).at("pictures"), std::vector<std::string>{"0"});
    const auto none = tags({"cover", file, "--export", (dir / "x").string()});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));

    EXPECT_EQ(tags({"undo"}).exitCode, 0);
    EXPECT_EQ(tags({"undo"}).exitCode, 0);
    EXPECT_EQ(test::readFile(song), original);
}

}  // namespace
}  // namespace tunex
