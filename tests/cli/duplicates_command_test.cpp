#include "support/base_folder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

const std::filesystem::path kCli = TUNEX_CLI_PATH;
const std::string kCaptions = "Group\tDisc Name\tPath\tFile Name\tFile Size(KB)\tID3 Tag Info\n";

TEST(CliDuplicates, PrintsGroupsLargestFirstAndRefusesBadOptions) {
    test::BaseFolder base("<ts>5\n<tf>2\n@*EOF\n");
    test::writeFile(base.path() / "system" / "save0001.ifo",
                    "**Pop\n"
                    "<?>Help<|>/m/a<:>mp3</>Help;Beatles;<\\>  4096.5<*>2004-02-29\n"
                    "<?>Yesterday<|>/m/a<:>mp3</>Yesterday;Beatles;<\\>  2048.0<*>\n"
                    "@*EOF\n");
    test::writeFile(base.path() / "system" / "save0002.ifo",
                    "**Rock\n"
                    "<?>Help<|>/m/b\tc<:>mp3</>HELP;beatles;<\\>  4096.5<*>\n"
                    "<?>Help<|>/m/d<:>mp3</><\\>  4096.5<*>\n"
                    "<?>Yesterday<|>/m/b<:>mp3</><\\>  2048.0<*>\n"
                    "@*EOF\n");
    const auto run = [&](std::vector<std::string> words) {
        words.insert(words.begin(), {"--base", base.path().string(), "duplicates"});
        return test::runProgram(kCli, words);
    };
    const auto byName = run({});
    EXPECT_EQ(byName.exitCode, 0) << byName.err;
    EXPECT_EQ(byName.out, kCaptions +
                              "1\tPop\t/m/a\tHelp.mp3\t  4096.5\tHelp;Beatles;\n"
                              "1\tRock\t/m/b\\tc\tHelp.mp3\t  4096.5\tHELP;beatles;\n"
                              "1\tRock\t/m/d\tHelp.mp3\t  4096.5\t\n"
                              "2\tPop\t/m/a\tYesterday.mp3\t  2048.0\tYesterday;Beatles;\n"
                              "2\tRock\t/m/b\tYesterday.mp3\t  2048.0\t\n");
    EXPECT_EQ(byName.err, "status: 2 groups of duplicate songs (5 copies)\n");

    const auto byTags = run({"--by", "tags"});
    EXPECT_EQ(byTags.exitCode, 0) << byTags.err;
    EXPECT_EQ(byTags.out, kCaptions +
                              "1\tPop\t/m/a\tHelp.mp3\t  4096.5\tHelp;Beatles;\n"
                              "1\tRock\t/m/b\\tc\tHelp.mp3\t  4096.5\tHELP;beatles;\n");
    EXPECT_EQ(byTags.err, "status: 1 group of duplicate songs (2 copies)\n");

    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--by"}, {"--by", "title"}, {"--max", "3"}}) {
        const auto refused = run(words);
        EXPECT_EQ(refused.exitCode, 2) << words.back();
        EXPECT_TRUE(refused.out.empty());
        EXPECT_TRUE(refused.err.starts_with("tunex-cli: ")) << refused.err;
    }
}

}  // namespace
}  // namespace tunex
