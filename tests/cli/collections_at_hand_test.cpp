#include "support/base_folder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::BaseFolder;
using test::runProgram;
using test::writeFile;

const fs::path kCli = TUNEX_CLI_PATH;

std::string listed(const std::string& base, bool onlyAtHand = false) {
    std::vector<std::string> arguments{"--base", base, "collections"};
    arguments.resize(onlyAtHand ? 4 : 3, "--at-hand");
    return runProgram(kCli, arguments).out;
}

TEST(CliCollectionsAtHand, ListsWhoseFolderIsThereAsAddedOrRescanned) {
    BaseFolder base("<ts>1\n<tf>1\n@*EOF");
    base.addCollection(0, "Old", 1);
    const std::string dir = base.path().string();
    const fs::path music = base.path() / "music";
    writeFile(music / "a.mp3", "x");
    ASSERT_EQ(runProgram(kCli, {"--base", dir, "add", "Disc", music.string()}).exitCode, 0);
    EXPECT_EQ(listed(dir), "Collection\tAt hand\nOld\tunknown\nDisc\tyes\n");
    EXPECT_EQ(listed(dir, true), "Collection\tAt hand\nDisc\tyes\n");

    // Another listing is another disc, whatever its label says.
    writeFile(music / "b.mp3", "x");
    EXPECT_EQ(listed(dir, true), "Collection\tAt hand\n");
    ASSERT_EQ(runProgram(kCli, {"--base", dir, "rescan", "Disc", music.string()}).exitCode, 0);
    ASSERT_EQ(runProgram(kCli, {"--base", dir, "rescan", "Old", music.string()}).exitCode, 0);
    EXPECT_EQ(listed(dir), "Collection\tAt hand\nOld\tyes\nDisc\tyes\n");
    EXPECT_EQ(runProgram(kCli, {"--base", dir, "collections", "--all"}).exitCode, 2);
}

// Mounts a small ext4 image where loop devices may be used (root, not in a locked-down
// container); the real UUID and label are read then.
TEST(CliCollectionsAtHand, FindsAStickMountedElsewhereButNotItsClone) {
    BaseFolder base;
    const fs::path work = base.path() / "work";
    fs::create_directories(work);
    const auto sh = [&work](const std::string& script) {
        return runProgram("/bin/sh", {"-c", "cd '" + work.string() + "' && " + script}).exitCode;
    };
    if (sh("mkdir m1 m2 && mkfs.ext4 -q -L STICK a.img 4M && mount -o loop a.img m1 && "
           "mkdir m1/Music && echo x >m1/Music/a.mp3") != 0) {
        sh("umount m1");
        GTEST_SKIP() << "no loop mounts here";
    }
    const std::string dir = base.path().string();
    EXPECT_EQ(
        runProgram(kCli, {"--base", dir, "add", "Stick", (work / "m1/Music").string()}).exitCode,
        0);
    EXPECT_EQ(sh("umount m1 && cp a.img clone.img"), 0);
    EXPECT_EQ(listed(dir), "Collection\tAt hand\nStick\tno\n");
    EXPECT_EQ(sh("mount -o loop a.img m2"), 0);
    EXPECT_EQ(listed(dir, true), "Collection\tAt hand\nStick\tyes\n");
    EXPECT_EQ(sh("umount m2 && mount -o loop clone.img m1 && echo y >m1/Music/b.mp3"), 0);
    EXPECT_EQ(listed(dir), "Collection\tAt hand\nStick\tno\n");
    EXPECT_EQ(sh("umount m1"), 0);
}

}  // namespace
}  // namespace tunex
