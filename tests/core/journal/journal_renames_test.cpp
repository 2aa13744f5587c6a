#include "core/journal/journal_renames.h"

#include "core/journal/journal_group.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<WriteResult> renameAll(WriteJournal& journal, const std::vector<FileRename>& renames) {
    std::vector<WriteResult> results;
    JournaledRenames batch(journal,
                           [&](const FileRename&, const WriteResult& r) { results.push_back(r); });
    for (const FileRename& rename : renames) {
        batch.add(rename);
    }
    batch.finish();
    return results;
}

// Leaves the rename groups as a kill before their done marks would.
void dropRenameDoneMarks(const fs::path& journal) {
    for (const auto& batch : fs::directory_iterator(journal)) {
        if (!batch.is_directory()) {
            continue;
        }
        for (const auto& group : fs::directory_iterator(batch.path())) {
            if (group.path().filename().string().starts_with(journal::kRenamePrefix)) {
                fs::resize_file(group, fs::file_size(group) - journal::kDoneTrailerSize);
            }
        }
    }
}

TEST(JournaledRenames, OldNamesComeBackAfterACutShortGroupAndOnUndo) {
    TempDir dir;
    const std::string a = (dir / "a.mp3").string();
    const std::string taken = (dir / "taken.mp3").string();
    const std::string moved = (dir / "Album/CD 1/01 A.mp3").string();
    writeFile(a, "song a");
    writeFile(taken, "other");
    const std::vector<FileRename> renames = {{a, moved}, {taken, a}};
    {
        // The second asks for a name another file holds when it is asked: never taken.
        const auto journal = WriteJournal::open(dir / "journal");
        const auto first = renameAll(*journal, renames);
        EXPECT_EQ(first[0].outcome, WriteOutcome::Written);
        EXPECT_EQ(first[1].reason, "a file named " + a + " exists");
        EXPECT_EQ(readFile(moved), "song a");
        EXPECT_EQ(readFile(taken), "other");
    }
    EXPECT_EQ(WriteJournal::open(dir / "journal")->rollback().restored, 0);

    // A kill before the group's done mark: the next open gives the old name back and takes the
    // folders it made away.
    dropRenameDoneMarks(dir / "journal");
    {
        const auto reopened = WriteJournal::open(dir / "journal");
        EXPECT_EQ(reopened->rollback().restored, 1);
        EXPECT_EQ(reopened->rollback().renamedBack, std::vector<FileRename>{renames[0]});
        EXPECT_EQ(readFile(a), "song a");
        EXPECT_FALSE(fs::exists(dir / "Album"));
        EXPECT_TRUE(reopened->renamesToFollow().empty());

        // Undo across a restart, then once more with another file at the old name.
        ASSERT_EQ(renameAll(*reopened, {renames[0]})[0].outcome, WriteOutcome::Written);
        EXPECT_EQ(reopened->renamesToFollow(), std::vector<FileRename>{renames[0]});
    }
    const auto later = WriteJournal::open(dir / "journal");
    const UndoReport undone = later->undoLast();
    EXPECT_EQ(undone.result, UndoReport::Result::Undone);
    EXPECT_EQ(undone.renamesUndone, std::vector<FileRename>{renames[0]});
    EXPECT_EQ(readFile(a), "song a");
    EXPECT_FALSE(fs::exists(dir / "Album"));

    ASSERT_EQ(renameAll(*later, {renames[0]})[0].outcome, WriteOutcome::Written);
    writeFile(a, "a newcomer");
    const UndoReport leftAlone = later->undoLast();
    EXPECT_EQ(leftAlone.leftAlonePaths, std::vector<std::string>{moved});
    EXPECT_EQ(readFile(a), "a newcomer");
    EXPECT_EQ(readFile(moved), "song a");
}

}  // namespace
}  // namespace tunex
