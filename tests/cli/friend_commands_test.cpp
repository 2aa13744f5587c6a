#include "support/base_folder.h"
#include "support/run_program.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::BaseFolder;
using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;

TEST(CliFriendCommands, ExportThenSearch) {
    BaseFolder base("<ts>3\n<tf>2\n<md>2\n@*EOF\n");
    base.addCollection(0, "Pop", 2);
    base.addCollection(1, "Rock Classics", 1);
    const std::string dir = base.path().string();
    const std::string file = dir + "/friend/Bob.txf";

    const auto exported = runProgram(kCli, {"--base", dir, "friend-export", "Bob", "bob@mail"});
    EXPECT_EQ(exported.exitCode, 0);
    EXPECT_EQ(exported.out, "");
    EXPECT_EQ(exported.err,
              "Tunex - Tunex Friend Exported: Operation completed.\nYour Tunex Friend file is "
              "exported to " +
                  file + "\n");

    const std::string header =
        "Friend\tFile Name\tFile Type\tCD Name\tPath\tFile Size(KB)\tCreate Date\tID3 Tag Info\n";
    const auto rock = runProgram(kCli, {"--base", dir, "friend-search", file, "ROCK"});
    EXPECT_EQ(rock.exitCode, 0);
    EXPECT_EQ(rock.out, header +
                            "Bob<bob@mail>\t Song 0\tmp3\tRock Classics\t/media/cd\t  "
                            "3584.0\t2003-11-16\t\n");
    EXPECT_EQ(rock.err, "status: 1 songs found with keyword <rock>.\n");

    // The settings' limit of 2, then a larger one from the command line.
    const auto limited = runProgram(kCli, {"--base", dir, "friend-search", file, "song"});
    EXPECT_EQ(limited.exitCode, 0);
    EXPECT_EQ(limited.err,
              "Tunex - Information: The search result reaches the maximum display limit (2).\n"
              "You can change it in <Setting> tab.\nstatus: 2 songs found with keyword <song>.\n");
    const auto all =
        runProgram(kCli, {"--base", dir, "friend-search", "--max", "10", file, "song"});
    EXPECT_EQ(all.err, "status: 3 songs found with keyword <song>.\n");
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 4);
}

TEST(CliFriendCommands, CellsWithTabsKeepTheirColumns) {
    BaseFolder base("<ts>1\n<tf>1\n@*EOF\n");
    base.addCollection(0, "Rock\tLive\\2", 1);
    const std::string dir = base.path().string();
    const std::string file = dir + "/friend/Bob.txf";
    ASSERT_EQ(runProgram(kCli, {"--base", dir, "friend-export", "Bob", "bob@mail"}).exitCode, 0);
    const auto found = runProgram(kCli, {"--base", dir, "friend-search", file, "song"});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(found.out.substr(found.out.find('\n') + 1),
              "Bob<bob@mail>\t Song 0\tmp3\t"
              R"(Rock\tLive\\2)"
              "\t/media/cd\t  3584.0\t2003-11-16\t\n");
}

TEST(CliFriendCommands, RefusalsAndFileErrorsHaveTheirExitCodes) {
    BaseFolder base("<ts>1\n<tf>1\n@*EOF\n");
    base.addCollection(0, "Pop", 1);
    const std::string dir = base.path().string();
    const auto run = [&dir](std::vector<std::string> words) {
        words.insert(words.begin(), {"--base", dir});
        return runProgram(kCli, words);
    };

    const auto badEmail = run({"friend-export", "Bob", "@mail"});
    EXPECT_EQ(badEmail.exitCode, 2);
    EXPECT_EQ(badEmail.err,
              "Tunex - Input Error: Please input a valid email address so that your friend can "
              "contact you.\n");
    const auto outside = run({"friend-export", "../Bob", "a@b"});
    EXPECT_EQ(outside.exitCode, 3);
    EXPECT_EQ(outside.err,
              "Tunex - File Error: File Error when creating Tunex Friend file. Operation "
              "Aborted.\n");
    EXPECT_FALSE(std::filesystem::exists(base.path() / "Bob.txf"));
    EXPECT_EQ(run({"friend-export", "Bob"}).exitCode, 2);

    const auto keyword = run({"friend-search", "/x.txf", "a<|>b"});
    EXPECT_EQ(keyword.exitCode, 2);
    EXPECT_EQ(keyword.out, "");
    const auto missing = run({"friend-search", dir + "/none.txf", "rock"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.err,
              "Tunex - File Error: The Tunex Friend file cannot be found. Check the file "
              "destination and try again.\n");

    const std::filesystem::path damaged = base.path() / "damaged.txf";
    constexpr char kJunk[] = "a@b\n**CD\n\0\xff binary\n@*EOF";
    test::writeFile(damaged, std::string(kJunk, sizeof kJunk - 1));
    const auto broken = run({"friend-search", damaged.string(), "rock"});
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_EQ(broken.out, "");
    EXPECT_EQ(broken.err,
              "Tunex - File Error: The Tunex Friend file is invalid or damaged. Check the file "
              "and try again.\nstatus: File error. No song found.\n");
    EXPECT_EQ(run({"friend-search", damaged.string(), "rock", "--max", "0"}).exitCode, 2);
}

}  // namespace
}  // namespace tunex
