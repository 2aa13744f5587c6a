#include "core/store/unfinished_writes.h"
#include "core/store/workspace.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::TempDir;
using test::writeFile;

TEST(UnfinishedWrites, OnlyTheWritersOwnLeftoversGoWhenTheFolderIsOpened) {
    TempDir dir;
    const StorePaths paths(dir.path());
    writeFile(paths.settingsFile(), "<ts>0\n<tf>0\n@*EOF\n");
    const std::vector<std::string> leftovers = {
        "system/.system.ifo.a1B2c3", "system/.save0001.ifo.Zz9Zz9", "system/.save10000.ifo.qwerty",
        "system/.tmp.ifo.000000", "friend/.Ann.txf.AbCdEf"};
    const std::vector<std::string> kept = {"system/system.ifo",        "system/.hidden",
                                           "system/.save0001.ifo.abc", "system/.savex.ifo.abcdef",
                                           "system/.notes.txt.abcdef", "system/.system.ifo.ab-def",
                                           "friend/Ann.txf",           "friend/.Ann.txt.abcdef"};
    for (const std::string& leaf : leftovers) {
        writeFile(dir / leaf, "half");
    }
    for (const std::string& leaf : kept) {
        if (leaf != "system/system.ifo") {
            writeFile(dir / leaf, "mine");
        }
    }
    UserMessage failure;
    const auto workspace = Workspace::open(dir.path(), failure);
    ASSERT_NE(workspace, nullptr);
    for (const std::string& leaf : leftovers) {
        EXPECT_FALSE(std::filesystem::exists(dir / leaf)) << leaf;
    }
    for (const std::string& leaf : kept) {
        EXPECT_TRUE(std::filesystem::exists(dir / leaf)) << leaf;
    }
    EXPECT_EQ(removeUnfinishedWrites(paths), 0);
}

}  // namespace
}  // namespace tunex
