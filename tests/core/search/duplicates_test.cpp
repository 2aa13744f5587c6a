#include "core/search/duplicates.h"
#include "core/store/catalogue.h"
#include "core/store/store_paths.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace tunex {
namespace {

std::string line(std::string_view name, std::string_view size, std::string_view id3 = "") {
    return "<?>" + std::string(name) + "<|>/cd<:>mp3</>" + std::string(id3) + "<\\>" +
           std::string(size) + "<*>2003-11-16\n";
}

std::string disk2() {
    return "**Disk 2\n" + line("B", "   200.0", "Title only;") +
           line("C", "   100.0", "hello;ARTIST; B;") + "@*EOF\n";
}

// Collection 0 is loaded into memory, 1 and 2 stay on disk, so groups mix both.
class DuplicatesTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        base_ = new test::TempDir;
        const StorePaths paths(base_->path());
        std::filesystem::create_directories(paths.systemFolder());
        std::string memory = "**Mem\n";
        for (int i = 0; i <= Catalogue::kMemoryRecordLimit; ++i) {
            memory += line("fill " + std::to_string(i), "     1.0");
        }
        memory += line("A", "   100.0", "H\xc3\xa9llo;Artist;Album;") +
                  line("A", "   100.0", "H\xc3\xa9llo;Artist;") + line("Solo", "   300.0") +
                  line("Solo", "   300.0") + "@*EOF\n";
        test::writeFile(paths.collectionFileName(0), memory);
        test::writeFile(paths.collectionFileName(1),
                        "**Disk 1\n" + line("A", "   100.0", "HELLO;artist;") +
                            line("B", "   200.0", "Title only;") + "@*EOF\n");
        test::writeFile(paths.collectionFileName(2), disk2());
    }
    static void TearDownTestSuite() {
        delete base_;
        base_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(catalogue_.load(StorePaths(base_->path()), 3)); }

    static test::TempDir* base_;
    Catalogue catalogue_;
};

test::TempDir* DuplicatesTest::base_ = nullptr;

// Each group as its copies' "collection:file" words.
using Groups = std::vector<std::vector<std::string>>;

TEST_F(DuplicatesTest, GroupsCopiesHeldByTwoCollectionsOrMore) {
    ASSERT_GT(catalogue_.firstDiskCollection(), 0);
    ASSERT_LT(catalogue_.firstDiskCollection(), 3);
    // Two copies in one collection alone (Solo, the fillers' size) make no group; two
    // collections (B) do. A title with an artist of several values ("ARTIST; B") is its own
    // song, and one part alone ("Title only;") gives no key.
    const std::vector<std::pair<DuplicateKey, Groups>> cases = {
        {DuplicateKey::Name, {{"0:A.mp3", "0:A.mp3", "1:A.mp3"}, {"1:B.mp3", "2:B.mp3"}}},
        {DuplicateKey::Size,
         {{"0:A.mp3", "0:A.mp3", "1:A.mp3", "2:C.mp3"}, {"1:B.mp3", "2:B.mp3"}}},
        {DuplicateKey::Tags, {{"0:A.mp3", "0:A.mp3", "1:A.mp3"}}},
    };
    for (const auto& [key, expected] : cases) {
        const DuplicateReport report = findDuplicates(catalogue_, key);
        Groups groups;
        std::size_t copies = 0;
        for (const DuplicateGroup& group : report.groups) {
            groups.emplace_back();
            for (const DuplicateCopy& copy : group.copies) {
                groups.back().push_back(std::to_string(copy.collectionIndex) + ":" + copy.fileName);
                ++copies;
            }
        }
        EXPECT_EQ(groups, expected) << static_cast<int>(key);
        EXPECT_EQ(report.copies, copies);
        EXPECT_TRUE(report.read);
    }
    // Accents and case folded; the key as compared.
    const DuplicateReport tags = findDuplicates(catalogue_, DuplicateKey::Tags);
    ASSERT_EQ(tags.groups.size(), 1U);
    EXPECT_EQ(tags.groups[0].key, "hello;artist");
    EXPECT_EQ(duplicatesStatus(tags), "1 group of duplicate songs (3 copies)");
}

TEST_F(DuplicatesTest, StopsAndTellsAMissingFile) {
    std::stop_source stop;
    stop.request_stop();
    const DuplicateReport stopped =
        findDuplicates(catalogue_, DuplicateKey::Name, stop.get_token());
    EXPECT_TRUE(stopped.stopped);
    EXPECT_TRUE(stopped.groups.empty());

    std::filesystem::remove(StorePaths(base_->path()).collectionFileName(2));
    const DuplicateReport partial = findDuplicates(catalogue_, DuplicateKey::Name);
    EXPECT_FALSE(partial.read);
    ASSERT_EQ(partial.groups.size(), 1U);  // A, from the collections still there
    EXPECT_EQ(partial.groups[0].copies.size(), 3U);
    test::writeFile(StorePaths(base_->path()).collectionFileName(2), disk2());
}

TEST(DuplicateKeys, AreNamedAsTheCommandLineSpellsThem) {
    EXPECT_EQ(duplicateKeyNamed("name"), DuplicateKey::Name);
    EXPECT_EQ(duplicateKeyNamed("tags"), DuplicateKey::Tags);
    EXPECT_EQ(duplicateKeyNamed("size"), DuplicateKey::Size);
    EXPECT_EQ(duplicateKeyNamed("Name"), std::nullopt);
    EXPECT_EQ(duplicateKeyNamed(""), std::nullopt);
}

}  // namespace
}  // namespace tunex
