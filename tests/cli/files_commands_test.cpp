#include "support/base_folder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tunex {
namespace {

using test::BaseFolder;
using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;
// A row limit of 2 in the settings file.
const std::string kSettings = "<ts>5\n<tf>2\n<md>2\n<mh>15\n<as>03110111111;\n@*EOF\n";
const std::string kCaptions =
    "File Name\tFile Type\tDisc Name\tPath\tFile Size(KB)\tCreate Date\tID3 Tag Info\n";

class CliFilesSearch : public testing::Test {
protected:
    void SetUp() override {
        test::writeFile(
            base_.path() / "system" / "save0001.ifo",
            "**Pop\n"
            "<?>Love Me Do<|>/m/beatles<:>mp3</>Love Me Do;Beatles;<\\>  3584.0<*>2003-11-16\n"
            "<?>glove<|>/m/x<:>wma</><\\>   512.0<*>2003-11-17\n"
            "<?>Video<|>/m/v<:>avi</><\\>2097152.0<*>\n"
            "@*EOF\n");
        test::writeFile(base_.path() / "system" / "save0002.ifo",
                        "**Rock, \"Live\"\n"
                        "<?>Help<|>/m/y<:>mp3</>Help;Beatles;<\\>  4096.5<*>2004-02-29\n"
                        "<?>Tab\there<|>/m/z<:>ogg</><\\>     1.0<*>2004-03-01\n"
                        "@*EOF\n");
    }

    test::ProgramResult run(std::vector<std::string> words) {
        words.insert(words.begin(), {"--base", base_.path().string(), "files-search"});
        return runProgram(kCli, words);
    }

    BaseFolder base_{kSettings};
};

const std::string kLimitNotice =
    "Tunex - Information: The search result reaches the maximum display limit (2).\nYou can "
    "change it in <Setting> tab.\n";

TEST_F(CliFilesSearch, PrintsTheRowsTheFilesPageShows) {
    const auto beatles = run({"--keyword", "BEATLES", "--type", "MP3"});
    EXPECT_EQ(beatles.exitCode, 0) << beatles.err;
    EXPECT_EQ(beatles.out, kCaptions +
                               "Help\tmp3\tRock, \"Live\"\t/m/y\t  4096.5\t2004-02-29\tHelp;"
                               "Beatles;\n"
                               "Love Me Do\tmp3\tPop\t/m/beatles\t  3584.0\t2003-11-16\tLove Me "
                               "Do;Beatles;\n");
    EXPECT_EQ(beatles.err, "status: 2 songs found.\n" + kLimitNotice);

    // Several --type words add up and every other field narrows.
    const auto ranged = run({"--type", "wma", "--type", ".ogg,avi", "--min", "1", "--max-size",
                             "600", "--from", "2003-01-01", "--to", "2004-12-31", "--max", "0"});
    EXPECT_EQ(ranged.out, kCaptions +
                              "glove\twma\tPop\t/m/x\t   512.0\t2003-11-17\t\n"
                              "Tab\\there\togg\tRock, \"Live\"\t/m/z\t     1.0\t2004-03-01\t\n");
    EXPECT_EQ(ranged.err, "status: 2 songs found.\n");

    // A CD, with the run's own row limit: 0 prints every row and no notice.
    const auto rock = run({"--cd", "Rock, \"Live\""});
    EXPECT_EQ(rock.err, "status: 2 songs found on CD <Rock, \"Live\">.\n" + kLimitNotice);
    const auto pop = run({"--cd", "Pop", "--max", "0"});
    EXPECT_EQ(pop.err, "status: 3 songs found on CD <Pop>.\n");
    EXPECT_EQ(pop.out.substr(kCaptions.size()),
              "glove\twma\tPop\t/m/x\t   512.0\t2003-11-17\t\n"
              "Love Me Do\tmp3\tPop\t/m/beatles\t  3584.0\t2003-11-16\tLove Me Do;Beatles;\n"
              "Video\tavi\tPop\t/m/v\t2097152.0\t\t\n");
    EXPECT_EQ(run({"--cd", "Pop", "--keyword", "zz"}).out,
              kCaptions + "No File Found.\t\t\t\t\t\t\n");
    EXPECT_EQ(base_.settingsText(), kSettings);
}

TEST_F(CliFilesSearch, RefusesBadInputAndBadWords) {
    const std::string maxRange = "tunex-cli: --max takes a number from 0 (no limit) to 3000\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{},
         "Tunex - Input Error: Please input a file type, a keyword, a file date range or a file "
         "size range.\n"},
        {{"--from", "2003-02-30"},
         "Tunex - Input Error: File Date from: \"2003-02-30\" is not a date.\nType a date as "
         "YYYY-MM-DD, such as 2003-11-16.\n"},
        {{"--cd", "Jazz"}, "Tunex - Input Error: There is no CD named <Jazz> in the database.\n"},
        {{"--max", "-1", "--type", "mp3"}, maxRange},
        {{"--max", "3001", "--type", "mp3"}, maxRange},
        {{"--type"}, "tunex-cli: --type needs a value\n"},
        {{"mp3"}, "tunex-cli: unexpected argument mp3\n"},
        {{"--title", "love"}, "tunex-cli: unexpected argument --title\n"},
    };
    for (const auto& [words, err] : refused) {
        const auto result = run(words);
        EXPECT_EQ(result.exitCode, 2) << err;
        EXPECT_EQ(result.err, err);
        EXPECT_EQ(result.out, "");
    }
}

}  // namespace
}  // namespace tunex
