#include "../collections/collection_test_support.h"

#include "core/collections/collection_delete.h"
#include "core/collections/collection_rename.h"
#include "core/collections/collection_rescan.h"
#include "core/volumes/volume_source.h"
#include "core/volumes/volume_store.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

class FakeVolumes final : public VolumeSource {
public:
    std::vector<MountedVolume> mountedVolumes() override { return mounted; }
    std::vector<MountedVolume> mounted;
};

TEST(VolumeStore, RoundTripKeepsOddTextAndSkipsDamagedLines) {
    test::TempDir dir;
    const StorePaths paths(dir.path());
    fs::create_directories(paths.systemFolder());
    const VolumeIdentity odd{"u\\1", "A\tB\nC", "vfat", 42, "x\\t/y", "0123456789abcdef"};
    ASSERT_TRUE(updateVolumeIdentities(paths, {"One", "Two\tTabs"}, [&](VolumeIdentities& ids) {
        ids["Two\tTabs"] = odd;
        ids["Gone"] = odd;
    }));
    const std::string text = readFile(volumesFile(paths));
    EXPECT_EQ(text.find("Gone"), std::string::npos);
    EXPECT_EQ(text.rfind("1\tTwo\\tTabs\tu\\\\1\tA\\tB\\nC\tvfat\t42\t", 0), 0U) << text;

    writeFile(volumesFile(paths),
              text + "2\tNo size\t\t\t\t\t\t\n" + std::string("\0\t\n", 3) + "3\tCut\tu");
    const VolumeIdentities read = readVolumeIdentities(paths);
    ASSERT_EQ(read.size(), 1U);
    EXPECT_EQ(read.at("Two\tTabs"), odd);
}

TEST(VolumeStore, AddRescanRenameAndDeleteKeepItInStep) {
    test::TempDir dir;
    auto workspace = test::openEmptyBase(dir);
    const StorePaths& paths = workspace->paths();
    FakeVolumes volumes;
    volumes.mounted = {{"uuid-1", "DISC", "ext4", 8, fs::canonical(dir.path()).string(), "/"}};
    CatalogueUpdate update = directUpdate(*workspace, {}, nullptr);
    update.volumes = &volumes;
    const auto add = [&](const std::string& name, const std::string& folder, bool recorded) {
        writeFile(dir / folder / "a.mp3", "x");
        CatalogueUpdate with = update;
        with.volumes = recorded ? &volumes : nullptr;
        return addCollection(*workspace, FileTypeList(),
                             AddRequest{name, (dir / folder).string(), false}, AddProgress(), with)
            .result;
    };

    // An older base folder: no file, and a rename does not make one.
    ASSERT_EQ(add("Old", "old", false), AddResult::Added);
    ASSERT_TRUE(renameCollection(*workspace, "Old", "Older", update).renamed);
    EXPECT_FALSE(fs::exists(volumesFile(paths)));

    ASSERT_EQ(add("First", "first", true), AddResult::Added);
    ASSERT_EQ(add("Second", "second/Music", true), AddResult::Added);
    EXPECT_EQ(readVolumeIdentities(paths).at("Second").relativePath, "second/Music");
    // A rescan gives a collection of before its identity.
    ASSERT_TRUE(rescanCollection(*workspace, FileTypeList(),
                                 AddRequest{"Older", (dir / "old").string(), false}, AddProgress(),
                                 update)
                    .rescanned);
    EXPECT_EQ(readVolumeIdentities(paths).at("Older").relativePath, "old");

    ASSERT_TRUE(renameCollection(*workspace, "First", "Renamed", update).renamed);
    ASSERT_TRUE(deleteCollection(*workspace, "Older", update).deleted);
    const VolumeIdentities kept = readVolumeIdentities(paths);
    ASSERT_EQ(kept.size(), 2U);
    EXPECT_EQ(kept.at("Renamed").relativePath, "first");
    EXPECT_NE(readFile(volumesFile(paths)).find("\n1\tSecond\t"), std::string::npos);
}

}  // namespace
}  // namespace tunex
