#include "collection_test_support.h"

#include "core/collections/collection_rescan.h"
#include "core/store/collection_file_moves.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::mp3WithTag;
using test::openEmptyBase;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct RescanFixture {
    TempDir dir;
    std::unique_ptr<Workspace> workspace = openEmptyBase(dir);
    std::vector<UserMessage> told;
    CatalogueUpdate update =
        directUpdate(*workspace, {}, [this](const UserMessage& m) { told.push_back(m); });

    fs::path music(const std::string& name) const { return dir / "music" / name; }
    void add(const std::string& name, const std::string& folder) {
        ASSERT_EQ(addCollection(*workspace, FileTypeList(),
                                AddRequest{name, (dir / "music" / folder).string(), false},
                                AddProgress(), update)
                      .result,
                  AddResult::Added);
    }
    RescanOutcome rescan(const std::string& name, const std::string& folder, bool id3 = false) {
        return rescanCollection(*workspace, FileTypeList(),
                                AddRequest{name, (dir / "music" / folder).string(), id3},
                                AddProgress(), update);
    }
    std::string collectionFile(int index) const {
        return readFile(workspace->paths().collectionFileName(index));
    }
};

TEST(RescanCollection, ReplacesTheRecordsInPlaceAndCountsWhatChanged) {
    RescanFixture f;
    writeFile(f.music("first/keep.mp3"), "x");
    writeFile(f.music("first/gone.mp3"), "x");
    writeFile(f.music("first/grows.mp3"), "x");
    writeFile(f.music("second/other.mp3"), "x");
    f.add("First", "first");
    f.add("Second", "second");
    const std::string second = f.collectionFile(1);

    fs::remove(f.music("first/gone.mp3"));
    writeFile(f.music("first/grows.mp3"), std::string(5000, 'x'));
    writeFile(f.music("first/sub/new.mp3"), mp3WithTag("Title", "Artist", "Album"));
    const RescanOutcome outcome = f.rescan("First", "first", true);
    ASSERT_TRUE(outcome.rescanned) << (outcome.message ? outcome.message->text : "");
    EXPECT_TRUE(f.told.empty());
    EXPECT_EQ(outcome.statusText,
              "Collection <First> rescanned: 1 song added, 1 song removed, 1 song changed.");
    const std::string first = f.collectionFile(0);
    EXPECT_TRUE(first.starts_with("**First\n"));
    EXPECT_NE(first.find("<?>new<|>"), std::string::npos);
    EXPECT_NE(first.find("Title;Artist;Album;"), std::string::npos);
    EXPECT_EQ(first.find("<?>gone<|>"), std::string::npos);
    EXPECT_EQ(f.collectionFile(1), second);
    EXPECT_EQ(f.workspace->catalogue().collectionNames(),
              (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(f.workspace->settings().totalSongs, 4);
    EXPECT_FALSE(fs::exists(replacementPath(f.workspace->paths())));

    // An unknown collection or a folder that is not there changes nothing.
    EXPECT_FALSE(f.rescan("Third", "first").rescanned);
    EXPECT_FALSE(f.rescan("First", "nowhere").rescanned);
    EXPECT_EQ(f.collectionFile(0), first);
}

TEST(RescanCollection, OpeningFinishesOrDropsAReplacementCutShort) {
    RescanFixture f;
    writeFile(f.music("a/one.mp3"), "x");
    f.add("A", "a");
    const StorePaths paths = f.workspace->paths();
    const std::string old = f.collectionFile(0);
    const std::string fresh = "**A\n<?>two<|>/m<:>mp3</><\\>     1.0<*>2003-11-16\n"
                              "<?>three<|>/m<:>mp3</><\\>     1.0<*>2003-11-16\n@*EOF";
    f.workspace.reset();

    // Written, but cut short before its intent: the old records stay.
    writeFile(replacementPath(paths), fresh);
    UserMessage failure;
    auto workspace = Workspace::open(f.dir.path(), failure);
    ASSERT_TRUE(workspace) << failure.text;
    EXPECT_EQ(readFile(paths.collectionFileName(0)), old);
    EXPECT_FALSE(fs::exists(replacementPath(paths)));
    workspace.reset();

    // With its intent: put in place, and the total set.
    writeFile(replacementPath(paths), fresh);
    writeFile(paths.systemFolder() / "replacing.ifo", "0 2\n");
    workspace = Workspace::open(f.dir.path(), failure);
    ASSERT_TRUE(workspace) << failure.text;
    EXPECT_EQ(readFile(paths.collectionFileName(0)), fresh);
    EXPECT_EQ(workspace->settings().totalSongs, 2);
    EXPECT_NE(readFile(paths.settingsFile()).find("<ts>2"), std::string::npos);
    EXPECT_FALSE(fs::exists(paths.systemFolder() / "replacing.ifo"));
}

TEST(RescanCollection, ProposesTheDeepestFolderHoldingEveryRecord) {
    TempDir dir;
    const auto proposed = [&dir](const std::vector<std::string>& folders) {
        std::string text = "**C\n";
        for (const std::string& folder : folders) {
            text += "<?>s<|>" + folder + "<:>mp3</><\\>     1.0<*>2003-11-16\n";
        }
        writeFile(dir / "c.ifo", text + "@*EOF");
        return proposedRescanFolder(dir / "c.ifo");
    };
    EXPECT_EQ(proposed({"/media/cd/a", "/media/cd/a"}), "/media/cd/a");
    EXPECT_EQ(proposed({"/media/cd/a", "/media/cd/b/c"}), "/media/cd");
    EXPECT_EQ(proposed({"/media/cd", "/media/cd2"}), "/media");
    EXPECT_EQ(proposed({"/media/cd/x", "/media/cd"}), "/media/cd");
    EXPECT_EQ(proposed({"/a", "/b"}), "/");
    EXPECT_EQ(proposed({}), "");
}

}  // namespace
}  // namespace tunex
