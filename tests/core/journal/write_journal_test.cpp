#include "core/journal/write_journal.h"

#include "core/journal/journal_group.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

FileChange changeOf(const fs::path& file, std::vector<Splice> splices) {
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    return FileChange{file.string(), identityOf(fd.get()).value(), std::move(splices)};
}

ino_t inodeOf(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Runs one batch; the outcome of each change in order.
std::vector<WriteOutcome> runBatch(WriteJournal& journal, std::vector<FileChange> changes) {
    std::vector<WriteOutcome> outcomes;
    JournaledBatch batch(
        journal, [&](const FileChange&, const WriteResult& r) { outcomes.push_back(r.outcome); });
    for (FileChange& change : changes) {
        batch.add(std::move(change));
    }
    batch.finish();
    return outcomes;
}

std::vector<fs::path> groupFiles(const fs::path& journal) {
    std::vector<fs::path> groups;
    for (const auto& batch : fs::directory_iterator(journal)) {
        if (batch.is_directory()) {
            for (const auto& group : fs::directory_iterator(batch.path())) {
                if (group.path().filename().string().starts_with("group-")) {
                    groups.push_back(group.path());
                }
            }
        }
    }
    return groups;
}

// The journal as a kill would leave it after the files were written but before the group was
// marked done.
void dropDoneMarks(const fs::path& journal) {
    for (const fs::path& group : groupFiles(journal)) {
        fs::resize_file(group, fs::file_size(group) - journal::kDoneTrailerSize);
    }
}

const std::string kOld = "HEADER--" + std::string(3000, 'a') + "TAILTAG";

struct ChangeCase {
    const char* name;
    std::vector<Splice> splices;
    std::string expected;
};

std::vector<ChangeCase> changeCases() {
    const std::string body = kOld.substr(8, 3000);
    return {
        {"in place", {{0, 8, "header++"}, {3008, 7, "tailtag"}}, "header++" + body + "tailtag"},
        {"grows", {{0, 8, "A LONGER HEADER"}}, "A LONGER HEADER" + body + "TAILTAG"},
        {"shrinks", {{0, 8, ""}}, body + "TAILTAG"},
        {"appends", {{3015, 0, "+V1"}}, kOld + "+V1"},
        {"inserts and appends", {{0, 0, "ID3"}, {3015, 0, "TAG"}}, "ID3" + kOld + "TAG"},
    };
}

// A large region is lined up for a clone; where the file system shares no blocks it is copied
// behind the gap, and put back from there.
TEST(WriteJournal, PutsBackALargeRegionFromBehindItsGap) {
    TempDir dir;
    const fs::path file = dir / "large.flac";
    std::string old(300 << 10, '\0');
    for (std::size_t i = 0; i < old.size(); ++i) {
        old[i] = static_cast<char>(i * 7 % 251);
    }
    writeFile(file, old);
    {
        const auto journal = WriteJournal::open(dir / "journal");
        EXPECT_EQ(runBatch(*journal, {changeOf(file, {{3, 2, "grown tag"}})}),
                  std::vector<WriteOutcome>{WriteOutcome::Written});
    }
    EXPECT_EQ(readFile(file), old.substr(0, 3) + "grown tag" + old.substr(5));
    dropDoneMarks(dir / "journal");
    EXPECT_EQ(WriteJournal::open(dir / "journal")->rollback().restored, 1);
    EXPECT_EQ(readFile(file), old);
}

TEST(WriteJournal, ChangesFilesInPlaceAndPutsBackWhatACutShortGroupLeft) {
    for (const ChangeCase& c : changeCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir / "song.mp3";
        writeFile(file, kOld);
        ::chmod(file.c_str(), 0640);
        fs::create_hard_link(file, dir / "link.mp3");
        const ino_t inode = inodeOf(file);
        {
            const auto journal = WriteJournal::open(dir / "journal");
            EXPECT_EQ(runBatch(*journal, {changeOf(file, c.splices)}),
                      std::vector<WriteOutcome>{WriteOutcome::Written});
        }
        EXPECT_EQ(readFile(file), c.expected);
        EXPECT_EQ(readFile(dir / "link.mp3"), c.expected);
        EXPECT_EQ(inodeOf(file), inode);
        EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        // Nothing beside the file.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);

        // A finished batch stays as it is when the journal opens again.
        EXPECT_EQ(WriteJournal::open(dir / "journal")->rollback().restored, 0);
        EXPECT_EQ(readFile(file), c.expected);

        // Cut short after the writes, fully or half way: the next open puts the file back.
        for (const bool half : {false, true}) {
            if (half) {
                const std::string mixed = c.expected.substr(0, c.expected.size() / 2) +
                                          kOld.substr(std::min(kOld.size(), c.expected.size() / 2));
                writeFile(file, mixed.substr(0, (kOld.size() + c.expected.size()) / 2));
            } else {
                writeFile(file, c.expected);
            }
            const bool touched = readFile(file) != kOld;
            dropDoneMarks(dir / "journal");
            const auto reopened = WriteJournal::open(dir / "journal");
            EXPECT_EQ(readFile(file), kOld) << "half: " << half;
            EXPECT_EQ(reopened->rollback().restored, touched ? 1 : 0);
            EXPECT_TRUE(reopened->rollback().leftAlonePaths.empty());
            if (touched) {
                const auto message = rollbackMessage(reopened->rollback());
                ASSERT_TRUE(message.has_value());
                EXPECT_EQ(message->text,
                          "1 file was put back as it was before a tag write that was cut short.");
                EXPECT_EQ(message->caption, "Tunex - Files Restored");
            }
            EXPECT_TRUE(groupFiles(dir / "journal").empty());
            // Write again for the next round.
            EXPECT_EQ(runBatch(*reopened, {changeOf(file, c.splices)}),
                      std::vector<WriteOutcome>{WriteOutcome::Written});
        }
        EXPECT_EQ(inodeOf(file), inode);
    }
}

// Writes a change and leaves the journal as a kill before the done mark would.
void writeWithoutDoneMark(const fs::path& journalFolder, const fs::path& file,
                          std::vector<Splice> splices) {
    const auto journal = WriteJournal::open(journalFolder);
    ASSERT_EQ(runBatch(*journal, {changeOf(file, std::move(splices))}).front(),
              WriteOutcome::Written);
    dropDoneMarks(journalFolder);
}

TEST(WriteJournal, LeavesAloneFilesChangedSinceAndRecordsCutShortWhileJournaling) {
    TempDir dir;
    const fs::path journal = dir / "journal";
    const fs::path replaced = dir / "replaced.mp3";
    writeFile(replaced, kOld);
    writeWithoutDoneMark(journal, replaced, {{0, 8, "header++"}});
    // Someone else wrote a new file under the name since.
    writeFile(dir / "other", "someone else's");
    fs::rename(dir / "other", replaced);
    {
        // Another file under its name (a renamed folder, another disc): the record waits.
        const auto reopened = WriteJournal::open(journal);
        EXPECT_EQ(readFile(replaced), "someone else's");
        EXPECT_EQ(reopened->rollback().restored, 0);
        ASSERT_EQ(reopened->rollback().waiting.size(), 1u);
        EXPECT_EQ(reopened->rollback().waiting[0].path, replaced.string());
        EXPECT_EQ(rollbackMessage(reopened->rollback())->icon, MessageIcon::Warning);
        EXPECT_EQ(reopened->forget(replaced.string()), 1);
    }
    EXPECT_TRUE(WriteJournal::open(journal)->rollback().waiting.empty());

    // Written to in place after a write that never got its done mark: the later change stays.
    for (const ChangeCase& c : changeCases()) {
        SCOPED_TRACE(c.name);
        const fs::path later = dir / "later.mp3";
        writeFile(later, kOld);
        writeWithoutDoneMark(journal, later, c.splices);
        std::string edited = readFile(later);
        edited.replace(edited.size() - 2, 2, "!!");
        {
            const UniqueFd fd(::open(later.c_str(), O_WRONLY | O_CLOEXEC));
            ASSERT_TRUE(writeAllAt(fd.get(), "!!", static_cast<off_t>(edited.size() - 2)));
        }
        EXPECT_EQ(WriteJournal::open(journal)->rollback().restored, 0);
        EXPECT_EQ(readFile(later), edited);
    }

    // A record cut off while it was being journaled: its file was never touched.
    const fs::path torn = dir / "torn.mp3";
    writeFile(torn, kOld);
    writeWithoutDoneMark(journal, torn, {{0, 8, "header++"}});
    for (const fs::path& group : groupFiles(journal)) {
        fs::resize_file(group, fs::file_size(group) / 2);
    }
    writeFile(torn, kOld);
    EXPECT_EQ(WriteJournal::open(journal)->rollback().restored, 0);
    EXPECT_EQ(readFile(torn), kOld);
}

TEST(WriteJournal, RefusesFilesThatChangedAfterPlanningAndJournalsThatCannotBeMade) {
    TempDir dir;
    const fs::path file = dir / "song.mp3";
    writeFile(file, kOld);
    FileChange change = changeOf(file, {{0, 8, "header++"}});
    writeFile(file, kOld + "more");
    const auto journal = WriteJournal::open(dir / "journal");
    EXPECT_EQ(runBatch(*journal, {change}).front(), WriteOutcome::Failed);
    EXPECT_EQ(readFile(file), kOld + "more");
    EXPECT_EQ(journal->undoableBatches(), 0u);  // a batch that wrote nothing is no undo step

    writeFile(dir / "plain", "a file where the journal's folder should be");
    const auto blocked = WriteJournal::open(dir / "plain" / "journal");
    EXPECT_EQ(runBatch(*blocked, {changeOf(file, {{0, 8, "header++"}})}).front(),
              WriteOutcome::Failed);
    EXPECT_FALSE(blocked->usable());
    EXPECT_NE(blocked->error().find("could not be made"), std::string::npos) << blocked->error();
    EXPECT_EQ(readFile(file), kOld + "more");
}

TEST(WriteJournal, AFullDiskPartWayLeavesTheFileAsItWas) {
    TempDir dir;
    const fs::path file = dir / "song.mp3";
    writeFile(file, kOld);
    // The journal's copy fits under the limit; the grown file does not.
    const int code = test::runWithFileSizeLimit(kOld.size() + 400, [&] {
        const auto journal = WriteJournal::open(dir / "journal");
        const auto outcomes =
            runBatch(*journal, {changeOf(file, {{0, 8, std::string(1000, 'h')}})});
        return outcomes.front() == WriteOutcome::Failed ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(WriteJournal::open(dir / "journal")->rollback().restored, 0);
}

TEST(WriteJournal, KeepsTheLastBatchesUnderTheCapAndNothingPastIt) {
    TempDir dir;
    const fs::path file = dir / "song.mp3";
    writeFile(file, kOld);
    const auto journal = WriteJournal::open(dir / "journal");
    for (std::size_t i = 0; i < kBatchesKept + 2; ++i) {
        JournaledBatch batch(*journal, [](const FileChange&, const WriteResult&) {});
        batch.add(changeOf(file, {{0, 8, "header-" + std::string(1, static_cast<char>('a' + i))}}));
        batch.finish();
        EXPECT_TRUE(batch.undoable());
    }
    EXPECT_EQ(groupFiles(dir / "journal").size(), kBatchesKept);
    EXPECT_EQ(journal->undoableBatches(), kBatchesKept);

    // A cap that holds two of these groups keeps two batches.
    const auto group = fs::file_size(groupFiles(dir / "journal").front());
    const auto small = WriteJournal::open(dir / "small", 2 * group + group / 2);
    for (const char* header : {"header-1", "header-2", "header-3"}) {
        JournaledBatch batch(*small, [](const FileChange&, const WriteResult&) {});
        batch.add(changeOf(file, {{0, 8, header}}));
        batch.finish();
    }
    EXPECT_EQ(small->undoableBatches(), 2u);

    // Once a batch does not fit beside the newer ones, no older one stays: undo never skips.
    const auto gapless = WriteJournal::open(dir / "gapless", 2 * kOld.size());
    for (const char* header : {"header-a", "LARGE", "LARGE", "header-b"}) {
        JournaledBatch batch(*gapless, [](const FileChange&, const WriteResult&) {});
        batch.add(changeOf(file, {{0, header[0] == 'L' ? 0 : 8, header}}));
        batch.finish();
    }
    EXPECT_EQ(gapless->undoableBatches(), 2u);

    const auto capped = WriteJournal::open(dir / "capped", 16);
    JournaledBatch batch(*capped, [](const FileChange&, const WriteResult&) {});
    batch.add(changeOf(file, {{0, 8, "header-3"}}));
    batch.finish();
    EXPECT_FALSE(batch.undoable());
    EXPECT_TRUE(groupFiles(dir / "capped").empty());
    EXPECT_EQ(readFile(file).substr(0, 8), "header-3");
    EXPECT_EQ(capped->undoableBatches(), 0u);
    EXPECT_EQ(capped->undoLast().result, UndoReport::Result::NotKept);
    EXPECT_EQ(readFile(file).substr(0, 8), "header-3");
}

TEST(WriteJournal, UndoTakesBackBatchesOneAfterTheOtherAcrossRestarts) {
    TempDir dir;
    // One file every batch changes, moving its audio, and one file of its own for each kind of
    // change.
    const fs::path moved = dir / "moved.mp3";
    writeFile(moved, kOld);
    const std::vector<ChangeCase> cases = changeCases();
    {
        const auto journal = WriteJournal::open(dir / "journal");
        EXPECT_EQ(journal->undoLast().result, UndoReport::Result::NothingToUndo);
        for (const ChangeCase& c : cases) {
            const fs::path own = dir / (std::string(c.name) + ".mp3");
            writeFile(own, kOld);
            const std::string before = readFile(moved);
            EXPECT_EQ(
                runBatch(*journal, {changeOf(moved, {{0, 0, c.name}}), changeOf(own, c.splices)}),
                std::vector<WriteOutcome>(2, WriteOutcome::Written));
            EXPECT_EQ(readFile(own), c.expected);
        }
    }
    // After a restart, each undo brings back the state before its batch, byte for byte.
    const auto journal = WriteJournal::open(dir / "journal");
    EXPECT_EQ(journal->undoableBatches(), cases.size());
    for (auto c = cases.rbegin(); c != cases.rend(); ++c) {
        SCOPED_TRACE(c->name);
        const UndoReport undone = journal->undoLast();
        EXPECT_EQ(undone.result, UndoReport::Result::Undone);
        EXPECT_EQ(undone.restoredPaths.size(), 2u);
        EXPECT_TRUE(undone.leftAlonePaths.empty());
        EXPECT_EQ(readFile(dir / (std::string(c->name) + ".mp3")), kOld);
        std::string expected = kOld;
        for (auto earlier = cases.begin(); earlier != std::prev(c.base()); ++earlier) {
            expected = earlier->name + expected;
        }
        EXPECT_EQ(readFile(moved), expected);
    }
    EXPECT_EQ(journal->undoLast().result, UndoReport::Result::NothingToUndo);
}

TEST(WriteJournal, UndoLeavesAloneFilesChangedSinceAndFinishesWhenCutShort) {
    TempDir dir;
    const fs::path mine = dir / "mine.mp3";
    const fs::path theirs = dir / "theirs.mp3";
    writeFile(mine, kOld);
    writeFile(theirs, kOld);
    fs::path batch;
    {
        const auto journal = WriteJournal::open(dir / "journal");
        runBatch(*journal, {changeOf(mine, {{0, 8, "header-1"}}), changeOf(theirs, {{0, 8, "x"}})});
        writeFile(theirs, "rewritten by another program");
        const UndoReport undone = journal->undoLast();
        EXPECT_EQ(undone.result, UndoReport::Result::Undone);
        EXPECT_EQ(undone.restoredPaths, std::vector<std::string>{mine.string()});
        EXPECT_EQ(undone.leftAlonePaths, std::vector<std::string>{theirs.string()});
        EXPECT_EQ(readFile(mine), kOld);
        EXPECT_EQ(readFile(theirs), "rewritten by another program");

        // Undone while the file is away (a stick pulled out): the undo waits for it, and a
        // start that finds it again finishes the undo.
        runBatch(*journal, {changeOf(mine, {{0, 8, "header-2"}})});
        batch = groupFiles(dir / "journal").front().parent_path();
        fs::rename(mine, dir / "away.mp3");
        const UndoReport waiting = journal->undoLast();
        EXPECT_EQ(waiting.result, UndoReport::Result::Failed);
        ASSERT_EQ(waiting.waiting.size(), 1u);
        EXPECT_EQ(waiting.waiting[0].why, WaitingFile::Why::Unreachable);
    }
    fs::rename(dir / "away.mp3", mine);
    EXPECT_EQ(WriteJournal::open(dir / "journal")->rollback().restored, 1);
    EXPECT_EQ(readFile(mine), kOld);
    EXPECT_FALSE(fs::exists(batch));
}

void flipByteAt(const fs::path& file, std::uintmax_t at) {
    std::string bytes = readFile(file);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    writeFile(file, bytes);
}

// One file under two names, a damaged finished group and a journal of another user are tried by
// the journal part of the reliability run, which make test runs too.
TEST(WriteJournal, KeepsADamagedRecordOfAnUnfinishedGroupAndReadsTheFirstVersion) {
    TempDir dir;
    const fs::path file = dir / "song.mp3";
    writeFile(file, kOld);
    writeWithoutDoneMark(dir / "journal", file, {{0, 8, "header++"}});
    const fs::path group = groupFiles(dir / "journal").front();
    const std::string good = readFile(group);

    // Its only record damaged: named at every start, kept, the file not touched.
    flipByteAt(group, good.size() / 2);
    for (int start = 0; start < 2; ++start) {
        const auto journal = WriteJournal::open(dir / "journal");
        ASSERT_EQ(journal->rollback().waiting.size(), 1u);
        EXPECT_EQ(journal->rollback().waiting[0].why, WaitingFile::Why::DamagedRecord);
        EXPECT_EQ(readFile(file).substr(0, 8), "header++");
    }
    writeFile(group, good);
    EXPECT_EQ(WriteJournal::open(dir / "journal")->rollback().restored, 1);
    EXPECT_EQ(readFile(file), kOld);

    // Groups earlier versions left are still put back: the first had no sample, and both summed
    // their records with FNV-1a.
    for (const auto& [header, dropped] :
         {std::pair{journal::kGroupHeaderV1, 40U}, std::pair{journal::kGroupHeaderV2, 8U}}) {
        writeWithoutDoneMark(dir / "journal", file, {{0, 8, "header++"}});
        const fs::path older = groupFiles(dir / "journal").front();
        std::string record = readFile(older).substr(journal::kGroupHeader.size());
        // Nor had they the gap before a region's bytes (behind the path and 60 bytes of numbers).
        const auto pathLength =
            static_cast<unsigned char>(record[4]) + 256U * static_cast<unsigned char>(record[5]);
        ASSERT_EQ(record.substr(8 + pathLength + 60, 4), std::string(4, '\0'));
        record.erase(8 + pathLength + 60, 4);
        const std::string body = record.substr(0, record.size() - dropped);
        std::string sum;
        for (int i = 0; i < 8; ++i) {
            sum.push_back(static_cast<char>(journal::fnv(journal::kFnvOffset, body) >> (8 * i)));
        }
        writeFile(older, std::string(header) + body + sum);
        EXPECT_EQ(WriteJournal::open(dir / "journal")->rollback().restored, 1) << header;
        EXPECT_EQ(readFile(file), kOld);
    }
}

// A record's sum does not depend on how its bytes were cut into pieces, and one changed bit
// changes it: the reader reads a record in other pieces than the writer wrote it.
TEST(RecordHash, IgnoresPieceBordersAndSeesOneBit) {
    std::string bytes(1000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 131 % 251);
    }
    for (const bool wide : {false, true}) {
        journal::RecordHash whole(wide);
        whole.add(bytes);
        for (const std::size_t piece : {1U, 7U, 31U, 32U, 33U, 999U}) {
            journal::RecordHash cut(wide);
            for (std::size_t at = 0; at < bytes.size(); at += piece) {
                cut.add(std::string_view(bytes).substr(at, piece));
            }
            EXPECT_EQ(cut.value(), whole.value()) << wide << ' ' << piece;
        }
        std::string changed = bytes;
        changed[bytes.size() - 1] ^= 0x40;
        journal::RecordHash other(wide);
        other.add(changed);
        EXPECT_NE(other.value(), whole.value()) << wide;
    }
}

}  // namespace
}  // namespace tunex
