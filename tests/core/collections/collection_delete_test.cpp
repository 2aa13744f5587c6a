#include "collection_test_support.h"

#include "core/collections/collection_delete.h"
#include "core/store/collection_file_moves.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string collectionText(const std::string& name, int records) {
    std::string text = "**" + name + "\n";
    for (int i = 0; i < records; ++i) {
        text += "<?>" + name + " song " + std::to_string(i) +
                "<|>/m<:>mp3</><\\>     1.0<*>2003-11-16\n";
    }
    return text + "@*EOF";
}

// A base folder with the collections of `sizes`, named A, B, C...
struct DeleteFixture {
    TempDir dir;
    std::vector<std::string> texts;

    explicit DeleteFixture(const std::vector<int>& sizes) {
        int total = 0;
        for (size_t i = 0; i < sizes.size(); ++i) {
            texts.push_back(collectionText(std::string(1, static_cast<char>('A' + i)), sizes[i]));
            writeFile(file(static_cast<int>(i)), texts.back());
            total += sizes[i];
        }
        writeSettings(static_cast<int>(sizes.size()), total);
    }
    fs::path file(int index) const { return dir / "system" / collectionFileLeaf(index); }
    void writeSettings(int count, int total) const {
        writeFile(dir / "system/system.ifo", "<ts>" + std::to_string(total) + "\n<tf>" +
                                                 std::to_string(count) +
                                                 "\n<ht>love@?@%|%1^*^A\n@*EOF");
    }
    std::unique_ptr<Workspace> open() const {
        UserMessage failure;
        auto workspace = Workspace::open(dir.path(), failure);
        EXPECT_TRUE(workspace) << failure.text;
        return workspace;
    }
    // The collection files in order, and nothing else of a delete left in the folder.
    std::vector<std::string> files(int count) const {
        std::vector<std::string> out;
        for (int i = 0; i < count; ++i) {
            out.push_back(readFile(file(i)));
        }
        EXPECT_FALSE(fs::exists(file(count)));
        EXPECT_FALSE(fs::exists(dir / "system/deleting.ifo"));
        EXPECT_FALSE(fs::exists(dir / "system/deleted.ifo"));
        return out;
    }
};

TEST(DeleteCollection, FirstMiddleAndLastKeepTheRowOfFilesAndTheTotals) {
    for (const int deleted : {0, 1, 2}) {
        SCOPED_TRACE(deleted);
        DeleteFixture f({2, 3, 4});
        auto workspace = f.open();
        const std::string name(1, static_cast<char>('A' + deleted));
        std::vector<UserMessage> told;
        const DeleteOutcome outcome =
            deleteCollection(*workspace, name,
                             directUpdate(*workspace, workspace->settingsFile().readHistoryRows(),
                                          [&told](const UserMessage& m) { told.push_back(m); }));
        ASSERT_TRUE(outcome.deleted) << (outcome.message ? outcome.message->text : "");
        EXPECT_TRUE(told.empty());
        const int songs = 2 + deleted;
        EXPECT_EQ(outcome.statusText, "Collection <" + name + "> with " + std::to_string(songs) +
                                          " songs is deleted from the database.");
        std::vector<std::string> expected = f.texts;
        expected.erase(expected.begin() + deleted);
        EXPECT_EQ(f.files(2), expected);
        std::vector<std::string> names = {"A", "B", "C"};
        names.erase(names.begin() + deleted);
        EXPECT_EQ(workspace->catalogue().collectionNames(), names);
        EXPECT_EQ(workspace->settings().collectionCount, 2);
        EXPECT_EQ(workspace->settings().totalSongs, 9 - songs);
        // The history stays in the settings file.
        EXPECT_NE(readFile(f.dir / "system/system.ifo").find("<ht>love"), std::string::npos);
        EXPECT_FALSE(deleteCollection(*workspace, name, {}).deleted);
    }
}

// The first collections are held in memory up to a record limit, the rest read from disk: a
// delete that moves a large collection across that line must leave every song findable.
TEST(DeleteCollection, CollectionsCrossingTheMemoryLimit) {
    DeleteFixture f({Catalogue::kMemoryRecordLimit, 10, Catalogue::kMemoryRecordLimit, 7});
    auto workspace = f.open();
    // A fills memory; B goes over the limit, so C and D are read from disk.
    EXPECT_EQ(workspace->catalogue().firstDiskCollection(), 2);
    ASSERT_TRUE(deleteCollection(*workspace, "A", directUpdate(*workspace, {}, {})).deleted);
    EXPECT_EQ(workspace->catalogue().collectionNames(), (std::vector<std::string>{"B", "C", "D"}));
    // Now B and C are held, and D is on disk: every song is found in one place or the other.
    EXPECT_EQ(workspace->catalogue().firstDiskCollection(), 2);
    int inMemory = 0;
    workspace->catalogue().index().walk([&inMemory](const SongRecordView&) { ++inMemory; }, {});
    int onDisk = 0;
    ASSERT_TRUE(
        workspace->catalogue().scanDiskCollections([&onDisk](const SongRecordView&) { ++onDisk; }));
    EXPECT_EQ(inMemory, 10 + Catalogue::kMemoryRecordLimit);
    EXPECT_EQ(onDisk, 7);
    EXPECT_EQ(workspace->settings().totalSongs, 10 + Catalogue::kMemoryRecordLimit + 7);
}

// A kill can stop a delete after any step; opening the base folder then shows the catalogue as
// before or as after, with nothing of the delete left.
TEST(DeleteCollection, OpeningFinishesOrForgetsADeleteCutShort) {
    const auto intent = [](const DeleteFixture& f) {
        writeFile(f.dir / "system/deleting.ifo", "1 3 3\n");
    };
    struct Step {
        const char* name;
        std::function<void(DeleteFixture&)> cut;
        bool after;
    };
    const std::vector<Step> steps = {
        {"intent only", [&](DeleteFixture& f) { intent(f); }, false},
        {"file moved aside",
         [&](DeleteFixture& f) {
             intent(f);
             fs::rename(f.file(1), f.dir / "system/deleted.ifo");
         },
         true},
        {"later file moved down",
         [&](DeleteFixture& f) {
             intent(f);
             fs::rename(f.file(1), f.dir / "system/deleted.ifo");
             fs::rename(f.file(2), f.file(1));
         },
         true},
        {"settings stored",
         [&](DeleteFixture& f) {
             intent(f);
             fs::rename(f.file(1), f.dir / "system/deleted.ifo");
             fs::rename(f.file(2), f.file(1));
             f.writeSettings(2, 6);
         },
         true},
        {"deleted file removed",
         [&](DeleteFixture& f) {
             intent(f);
             fs::rename(f.file(2), f.file(1));
             f.writeSettings(2, 6);
         },
         true},
        {"unreadable intent",
         [](DeleteFixture& f) { writeFile(f.dir / "system/deleting.ifo", "x"); }, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        DeleteFixture f({2, 3, 4});
        step.cut(f);
        auto workspace = f.open();
        ASSERT_TRUE(workspace);
        if (step.after) {
            EXPECT_EQ(f.files(2), (std::vector<std::string>{f.texts[0], f.texts[2]}));
            EXPECT_EQ(workspace->catalogue().collectionNames(),
                      (std::vector<std::string>{"A", "C"}));
            EXPECT_EQ(workspace->settings().totalSongs, 6);
            EXPECT_NE(readFile(f.dir / "system/system.ifo").find("<tf>2"), std::string::npos);
        } else {
            EXPECT_EQ(f.files(3), f.texts);
            EXPECT_EQ(workspace->settings().collectionCount, 3);
        }
    }
}

TEST(DeleteCollection, SettingsThatCannotBeStoredPutEverythingBack) {
    DeleteFixture f({2, 3, 4});
    auto workspace = f.open();
    CatalogueUpdate update;
    update.storeSettings = [] { return false; };
    const DeleteOutcome outcome = deleteCollection(*workspace, "A", update);
    EXPECT_FALSE(outcome.deleted);
    EXPECT_EQ(f.files(3), f.texts);
    EXPECT_EQ(workspace->settings().collectionCount, 3);
    EXPECT_EQ(workspace->settings().totalSongs, 9);
}

TEST(CheckDelete, RefusesAnEmptyCatalogueAndNamesWhatGoes) {
    EXPECT_EQ(checkDelete({}, "", 0).refusal->text,
              "No collection available. Please add a CD to the database first.");
    const DeleteCheck check = checkDelete({"Rock"}, "Rock", 1);
    EXPECT_FALSE(check.refusal);
    EXPECT_EQ(check.confirmation,
              (UserMessage{"Are you sure you want to delete the collection <Rock> and its 1 song "
                           "from the database?\nThe music files themselves are not touched.",
                           "Tunex - Confirm Delete", MessageIcon::Question}));
}

}  // namespace
}  // namespace tunex
