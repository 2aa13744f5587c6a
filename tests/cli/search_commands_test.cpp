#include "support/base_folder.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace tunex {
namespace {

using test::BaseFolder;
using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;
const std::string kSettings = "<ts>4\n<tf>2\n<md>100\n<mh>15\n<as>03110111111;\n@*EOF\n";

class CliSearchCommands : public testing::Test {
protected:
    void SetUp() override {
        test::writeFile(
            base_.path() / "system" / "save0001.ifo",
            "**Pop\n"
            "<?>Love Me Do<|>/m/beatles<:>mp3</>Love Me Do;Beatles;<\\>  3584.0<*>2003-11-16\n"
            "<?>glove<|>/m/x<:>mp3</><\\>   512.0<*>2003-11-17\n"
            "@*EOF\n");
        test::writeFile(base_.path() / "system" / "save0002.ifo",
                        "**Rock, \"Live\"\n"
                        "<?>01<|>/m/y<:>wma</>Yesterday;Beatles;Help;<\\>  4096.5<*>2003-11-18\n"
                        "<?><script><|>/m/z<:>mp3</><\\>     1.0<*>2003-11-19\n"
                        "@*EOF\n");
    }

    test::ProgramResult run(std::vector<std::string> words) {
        words.insert(words.begin(), {"--base", base_.path().string()});
        return runProgram(kCli, words);
    }

    BaseFolder base_{kSettings};
};

TEST_F(CliSearchCommands, SearchPrintsTheSortedListAndTheStatus) {
    const auto found = run({"search", "--title", "LOVE"});
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.out,
              "File Name\tFile Type\tDisc Name\tPath\tFile Size(KB)\tCreate Date\tID3 Tag Info\n"
              "glove\tmp3\tPop\t/m/x\t   512.0\t2003-11-17\t\n"
              "Love Me Do\tmp3\tPop\t/m/beatles\t  3584.0\t2003-11-16\tLove Me Do;Beatles;\n");
    EXPECT_EQ(found.err, "status: 2 songs found for song <LOVE>.\n");
    // A search leaves the settings file, and so the history, alone.
    EXPECT_EQ(base_.settingsText(), kSettings);

    // Overrides for one run: Low looks at file names only; one column; sort by size.
    const auto low = run({"search", "--artist", "beatles", "--sensitivity", "1", "--columns",
                          "000100", "--sort", "4"});
    EXPECT_EQ(low.out, "File Name\tFile Size(KB)\nNo File Found.\t\n");
    const auto medium = run({"search", "--artist", "beatles", "--sensitivity", "2", "--columns",
                             "000100", "--sort", "4"});
    EXPECT_EQ(medium.out, "File Name\tFile Size(KB)\nLove Me Do\t  3584.0\n01\t  4096.5\n");

    const auto none = run({"search", "--title", "zz"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out.substr(none.out.find('\n') + 1), "No File Found.\t\t\t\t\t\t\n");
    EXPECT_EQ(none.err, "status: 0 song found for song <zz>.\n");

    const auto limited = run({"search", "--artist", "beatles", "--max", "1"});
    EXPECT_EQ(limited.exitCode, 0);
    EXPECT_EQ(
        limited.err,
        "status: 1 of 2 songs shown for artist <beatles>.\nTunex - Information: The search result "
        "reaches the maximum display limit (1).\nYou can change it in <Setting> tab.\n");
}

TEST_F(CliSearchCommands, CellsWithTabsOrBackslashesKeepTheirColumns) {
    test::writeFile(base_.path() / "system" / "save0002.ifo",
                    "**Tab\tDisc\n"
                    "<?>tab\there\\x<|>/m/a\\b<:>mp3</>t\tg;<\\>     2.0<*>2003-11-20\n"
                    "@*EOF\n");
    const std::string expected =
        "File Name\tDisc Name\tPath\tID3 Tag Info\n"
        R"(tab\there\\x)"
        "\t"
        R"(Tab\tDisc)"
        "\t"
        R"(/m/a\\b)"
        "\t"
        R"(t\tg;)"
        "\n";
    const auto found = run({"search", "--title", "here", "--columns", "011001"});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(found.out, expected);
    const auto all = run({"list-all", "--columns", "011001"});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_NE(all.out.find("\n" + expected.substr(expected.find('\n') + 1)), std::string::npos)
        << all.out;
}

TEST_F(CliSearchCommands, SensitivityOutsideItsRangeInTheSettingsFileStillFinds) {
    // 0 reads as Low, 9 as High: the nearest levels there are.
    for (const auto& [digit, level] : {std::pair{'0', "1"}, std::pair{'9', "3"}}) {
        base_.writeSettings("<ts>4\n<tf>2\n<md>100\n<mh>15\n<as>0" + std::string(1, digit) +
                            "110111111;\n@*EOF\n");
        const auto found = run({"search", "--title", "love"});
        EXPECT_EQ(found.exitCode, 0) << digit;
        EXPECT_NE(found.out.find("\nLove Me Do\t"), std::string::npos) << digit << found.out;
        EXPECT_EQ(found.out, run({"search", "--title", "love", "--sensitivity", level}).out);
        EXPECT_NE(run({"settings"}).out.find(std::string("\nsearchSensitivity=") + level + "\n"),
                  std::string::npos);
    }
}

TEST_F(CliSearchCommands, RefusalsAndFileErrors) {
    const auto empty = run({"search"});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_EQ(empty.err, "Tunex - Input Error: Please input a song title OR artist name.\n");
    const auto illegal = run({"search", "--title", "a@?@b"});
    EXPECT_EQ(illegal.exitCode, 2);
    EXPECT_EQ(illegal.out, "");
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"search", "--max", "-1", "--title", "a"},
          {"search", "--max", "3001", "--title", "a"},
          {"search", "--sensitivity", "4", "--title", "a"},
          {"search", "--sort", "7", "--title", "a"},
          {"search", "--columns", "11111", "--title", "a"},
          {"search", "--title"},
          {"search", "stray"},
          {"list-all", "--title", "a"},
          {"export", "--all"},
          {"export", "x.htm", "--all", "--title", "a"},
          {"export", "x.htm"}}) {
        const auto refused = run(words);
        EXPECT_EQ(refused.exitCode, 2) << words[1];
    }
}

TEST_F(CliSearchCommands, MaxZeroListsEveryRowPastTheSettingsLimit) {
    base_.writeSettings("<ts>4\n<tf>2\n<md>1\n<mh>15\n<as>03110111111;\n@*EOF\n");
    const std::string notice =
        "Tunex - Information: The search result reaches the maximum "
        "display limit (1).\nYou can change it in <Setting> tab.\n";
    const std::filesystem::path csv = base_.path() / "all.csv";
    struct Case {
        std::vector<std::string> words;
        std::string limitedStatus;
        std::string everyStatus;
        long everyRow;
    };
    const std::string entire = " found in the entire database.\n";
    const std::string shown = "status: 1 of 4 songs shown from the entire database.\n";
    const std::vector<Case> cases = {
        {{"search", "--artist", "beatles"},
         "status: 1 of 2 songs shown for artist <beatles>.\n",
         "status: 2 songs found for artist <beatles>.\n",
         2},
        {{"list-all"}, shown, "status: 4 songs" + entire, 4},
        {{"export", csv.string(), "--all"}, shown, "status: 4 songs" + entire, 4},
    };
    // Rows below the caption line, on standard output or in the exported file.
    const auto rowsOf = [&](const Case& c, const test::ProgramResult& result) {
        const std::string text = c.words[0] == "export" ? test::readFile(csv) : result.out;
        return static_cast<long>(std::count(text.begin(), text.end(), '\n')) - 1;
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = c.words;
        words.insert(words.end(), {"--columns", "010000"});
        const auto limited = run(words);
        EXPECT_EQ(limited.exitCode, 0) << limited.err;
        EXPECT_TRUE(limited.err.starts_with(c.limitedStatus + notice)) << limited.err;
        EXPECT_EQ(rowsOf(c, limited), 1) << c.words[0];

        words.insert(words.end(), {"--max", "0"});
        const auto every = run(words);
        EXPECT_EQ(every.exitCode, 0) << every.err;
        EXPECT_TRUE(every.err.starts_with(c.everyStatus)) << every.err;
        EXPECT_EQ(every.err.find("maximum display limit"), std::string::npos) << every.err;
        EXPECT_EQ(rowsOf(c, every), c.everyRow) << c.words[0];
    }
    // The limit of one run is never saved.
    EXPECT_NE(base_.settingsText().find("<md>1\n"), std::string::npos);
}

TEST_F(CliSearchCommands, ListAllAndExport) {
    const auto all = run({"list-all", "--columns", "010000"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.err, "status: 4 songs found in the entire database.\n");
    EXPECT_EQ(all.out.substr(0, all.out.find('\n')), "File Name\tDisc Name");
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 5);

    const std::filesystem::path csv = base_.path() / "friend.csv";
    const auto exported = run({"export", csv.string(), "--all", "--columns", "010000"});
    EXPECT_EQ(exported.exitCode, 0);
    EXPECT_EQ(exported.err,
              "status: 4 songs found in the entire database.\nTunex - Export: Search "
              "Result exported to " +
                  csv.string() + ".\n");
    const std::string text = test::readFile(csv);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), "File Name,Disc Name\r\n");
    EXPECT_NE(text.find("<script>,\"Rock, \"\"Live\"\"\"\r\n"), std::string::npos);

    const auto nothing = run({"export", (base_.path() / "x.htm").string(), "--title", "zz"});
    EXPECT_EQ(nothing.exitCode, 2);
    EXPECT_EQ(nothing.err,
              "status: 0 song found for song <zz>.\nTunex - Export: No search result "
              "available. Export Aborted.\n");
    EXPECT_FALSE(std::filesystem::exists(base_.path() / "x.htm"));

    const auto missing = run({"export", (base_.path() / "none" / "x.htm").string(), "--all"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("Tunex - File Error: File Error when creating export file. Export "
                               "Aborted.\n"),
              std::string::npos);
}

}  // namespace
}  // namespace tunex
