#include "core/store/unfinished_writes.h"
#include "core/common/atomic_file.h"
#include "core/store/workspace.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(UnfinishedWrites, OnlyTheWritersOwnLeftoversGoWhenTheFolderIsOpened) {
    TempDir dir;
    const StorePaths paths(dir.path());
    writeFile(paths.settingsFile(), "<ts>0\n<tf>0\n@*EOF\n");
    const std::vector<std::string> leftovers = {
        "system/.system.ifo.tunex-tmp.a1B2c3",    "system/.save0001.ifo.tunex-tmp.Zz9Zz9",
        "system/.save10000.ifo.tunex-tmp.qwerty", "system/.tmp.ifo.tunex-tmp.000000",
        "system/.filetypes.ifo.tunex-tmp.x1y2z3", "friend/.Ann.txf.tunex-tmp.AbCdEf"};
    const std::vector<std::string> kept = {
        "system/system.ifo", "system/.hidden", "system/.save0001.ifo.abc",
        "system/.savex.ifo.abcdef", "system/.notes.txt.abcdef", "system/.system.ifo.ab-def",
        "friend/Ann.txf", "friend/.Ann.txt.abcdef",
        // The user's own files of the bare mkstemp shape (and older versions' leftovers).
        "system/.system.ifo.backup", "system/.save0001.ifo.2024v1", "system/.tmp.ifo.000000",
        "friend/.bob.txf.backup",
        // The mark alone is not enough.
        "system/.system.ifo.tunex-tmp.abc", "system/.notes.txt.tunex-tmp.abcdef",
        "system/.tunex-tmp.abcdef", "system/system.ifo.tunex-tmp.abcdef",
        "friend/.bob.txf.tunex-tmp.ab_def"};
    for (const std::string& leaf : leftovers) {
        writeFile(dir / leaf, "half");
    }
    for (const std::string& leaf : kept) {
        if (leaf != "system/system.ifo") {
            writeFile(dir / leaf, "mine");
        }
    }
    // A link bearing the mark is not something the writer made: it stays, and so does its target.
    writeFile(dir / "elsewhere.txt", "theirs");
    fs::create_symlink(dir / "elsewhere.txt", dir / "system/.save0002.ifo.tunex-tmp.linkkk");
    UserMessage failure;
    const auto workspace = Workspace::open(dir.path(), failure);
    ASSERT_NE(workspace, nullptr);
    for (const std::string& leaf : leftovers) {
        EXPECT_FALSE(fs::exists(dir / leaf)) << leaf;
    }
    for (const std::string& leaf : kept) {
        EXPECT_TRUE(fs::exists(dir / leaf)) << leaf;
        if (leaf != "system/system.ifo") {
            EXPECT_EQ(readFile(dir / leaf), "mine") << leaf;
        }
    }
    EXPECT_TRUE(fs::is_symlink(dir / "system/.save0002.ifo.tunex-tmp.linkkk"));
    EXPECT_EQ(readFile(dir / "elsewhere.txt"), "theirs");
    EXPECT_EQ(removeUnfinishedWrites(paths), 0);
}

// What a write killed half-way really leaves is what the next open removes, and the file the
// write was replacing keeps its old content.
TEST(UnfinishedWrites, AKilledWritersTemporaryFileGoesAtTheNextOpen) {
    TempDir dir;
    const StorePaths paths(dir.path());
    writeFile(paths.settingsFile(), "<ts>0\n<tf>0\n@*EOF\n");
    writeFile(dir / "system/.system.ifo.backup", "mine");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFileWriter writer(paths.settingsFile());
        const bool wrote = writer.open() && writer.write("<ts>1\n");
        ::_exit(wrote ? 0 : 1);  // no destructor runs: as if killed before the commit
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(paths.systemFolder())) {
        left.push_back(entry.path().filename().string());
    }
    ASSERT_EQ(left.size(), 3u);

    UserMessage failure;
    ASSERT_NE(Workspace::open(dir.path(), failure), nullptr) << failure.text;
    std::vector<std::string> after;
    for (const auto& entry : fs::directory_iterator(paths.systemFolder())) {
        after.push_back(entry.path().filename().string());
    }
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, (std::vector<std::string>{".system.ifo.backup", "system.ifo"}));
    EXPECT_EQ(readFile(dir / "system/.system.ifo.backup"), "mine");
    EXPECT_EQ(readFile(paths.settingsFile()), "<ts>0\n<tf>0\n@*EOF\n");
}

}  // namespace
}  // namespace tunex
