#include "support/base_folder.h"
#include "support/run_program.h"

#include "core/store/settings_file.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::BaseFolder;
using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;

TEST(CliCatalogueCommands, PrintTheOpenBaseFolder) {
    BaseFolder base("<ts>10\n<tf>3\n<md>250\n<as>12110101010;\n<ft>mp3;ogg;\n@*EOF\n");
    base.addCollection(0, "Pop", 4);
    base.addCollection(1, "Rock & Roll", 3);
    base.addCollection(2, "", 3);
    const std::string dir = base.path().string();

    const auto names = runProgram(kCli, {"--base", dir, "collections"});
    EXPECT_EQ(names.exitCode, 0);
    EXPECT_EQ(names.out, "Collection\tAt hand\nPop\tunknown\nRock & Roll\tunknown\n\tunknown\n");
    EXPECT_EQ(names.err, "");

    const auto stats = runProgram(kCli, {"--base", dir, "stats"});
    EXPECT_EQ(stats.exitCode, 0);
    EXPECT_EQ(stats.out, "Total Files: 10\nTotal CDs: 3\nSongs per CD:  3.33\n");

    const auto settings = runProgram(kCli, {"--base", dir, "settings"});
    EXPECT_EQ(settings.exitCode, 0);
    EXPECT_EQ(settings.out,
              "totalSongs=10\ncollectionCount=3\nmaxResults=250\nmaxHistory=15\ndefaultTab=1\n"
              "startMaximized=1\nsearchSensitivity=2\nsortColumn=0\nshowColumns=101010\n"
              "fileTypes=mp3;ogg;\nmatchAccentsExactly=0\n");
    // Reading commands leave the settings file as it was.
    EXPECT_EQ(base.settingsText(),
              "<ts>10\n<tf>3\n<md>250\n<as>12110101010;\n<ft>mp3;ogg;\n@*EOF\n");
}

TEST(CliCatalogueCommands, StartUpFailuresExitWithOne) {
    const std::string settingsFailure =
        "Tunex - File Error: System file could not be opened.\nCheck if duplicate program is "
        "running.\n";
    test::TempDir empty;
    const auto missing = runProgram(kCli, {"--base", empty.path().string(), "collections"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "Tunex - File Error: System file could not be opened: " +
                               (empty / "system/system.ifo").string() +
                               "\nNo such file or directory\n");
    EXPECT_EQ(missing.out, "");

    BaseFolder held;
    const auto holder = SettingsFile::open(StorePaths(held.path()));
    ASSERT_TRUE(holder.has_value());
    const auto locked = runProgram(kCli, {"--base", held.path().string(), "stats"});
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_EQ(locked.err, settingsFailure);

    BaseFolder broken("<ts>1\n<tf>2\n@*EOF\n");
    broken.addCollection(0, "Pop", 1);
    const auto unloadable = runProgram(kCli, {"--base", broken.path().string(), "collections"});
    EXPECT_EQ(unloadable.exitCode, 1);
    EXPECT_EQ(unloadable.err, "Tunex - File Error: Songs Files could not be loaded: " +
                                  (broken.path() / "system/save0002.ifo").string() +
                                  "\nNo such file or directory\nCheck system folder.\n");
}

TEST(CliCatalogueCommands, RefusesABadCommandLine) {
    BaseFolder base;
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{}, {"--base"}, {"--bogus", "stats"}, {"frobnicate"}}) {
        std::vector<std::string> args = words;
        const auto result = runProgram(kCli, args);
        EXPECT_EQ(result.exitCode, 2) << (words.empty() ? "" : words[0]);
        EXPECT_NE(result.err.find("usage: tunex-cli"), std::string::npos);
    }
    const auto statsEmpty = runProgram(kCli, {"--base", base.path().string(), "stats"});
    EXPECT_EQ(statsEmpty.out, "Total Files: 0\nTotal CDs: 0\nSongs per CD: 0.00\n");
}

}  // namespace
}  // namespace tunex
