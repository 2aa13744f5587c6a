#include "support/temp_dir.h"

#include "core/volumes/mount_info.h"
#include "core/volumes/volume_identity.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tunex {
namespace {

const VolumeIdentity kStored{"2024-05-01-12-00-00-00", "MIXES", "iso9660", 700, "Music", "f1"};

struct MatchCase {
    const char* what;
    MountedVolume seen;
    std::optional<std::string> fingerprint;  // of the folder where the match looks
    bool same;
    std::string folder;
};

MountedVolume mounted(std::string uuid, std::string mountPoint, std::string root = "/",
                      std::string label = "MIXES") {
    return {std::move(uuid),       std::move(label), "iso9660", 700,
            std::move(mountPoint), std::move(root)};
}

TEST(VolumeMatch, SameUuidAndListingWhereverMounted) {
    const std::string uuid = kStored.uuid;
    const MatchCase cases[] = {
        {"where it was", mounted(uuid, "/media/ann/MIXES"), "f1", true, "/media/ann/MIXES/Music"},
        {"mounted elsewhere", mounted(uuid, "/run/media/ann/MIXES"), "f1", true,
         "/run/media/ann/MIXES/Music"},
        {"mounted as /", mounted(uuid, "/"), "f1", true, "/Music"},
        {"bind mount of the folder", mounted(uuid, "/srv/m", "/Music"), "f1", true, "/srv/m"},
        {"bind mount of another folder", mounted(uuid, "/srv/m", "/Mus"), "f1", false, ""},
        {"same label, other UUID", mounted("2024-05-01-12-00-00-01", "/media/ann/MIXES"), "f1",
         false, ""},
        {"same UUID, other listing", mounted(uuid, "/media/ann/MIXES"), "f2", false, ""},
        {"folder not there", mounted(uuid, "/media/ann/MIXES"), std::nullopt, false, ""},
    };
    for (const MatchCase& c : cases) {
        const VolumeMatch match =
            matchVolume(kStored, c.seen, [&c](const std::string&) { return c.fingerprint; });
        EXPECT_EQ(match.same, c.same) << c.what;
        EXPECT_EQ(match.folder, c.folder) << c.what;
    }
}

TEST(VolumeMatch, WithoutUuidTypeLabelAndSizeDecide) {
    VolumeIdentity stored = kStored;
    stored.uuid.clear();
    const auto same = [&stored](MountedVolume seen) {
        return matchVolume(stored, seen, [](const std::string&) { return "f1"; }).same;
    };
    EXPECT_TRUE(same(mounted("", "/mnt")));
    EXPECT_FALSE(same(mounted("", "/mnt", "/", "OTHER")));
    EXPECT_FALSE(same(mounted("some-uuid", "/mnt")));
    MountedVolume bigger = mounted("", "/mnt");
    bigger.size = 701;
    EXPECT_FALSE(same(bigger));
    bigger.size = 0;  // not known: not held against it
    EXPECT_TRUE(same(bigger));
}

TEST(VolumeMatch, FingerprintTakesTheFirstEntriesInNameOrder) {
    test::TempDir dir;
    for (std::size_t i = 0; i < kFingerprintEntries; ++i) {
        test::writeFile(dir / ("t" + std::to_string(100 + i)), "x");
    }
    const auto before = listingFingerprint(dir.path().string());
    ASSERT_TRUE(before);
    // Past the limit in name order: not seen; the first and the last entry within it are.
    test::writeFile(dir / "z", "x");
    EXPECT_EQ(listingFingerprint(dir.path().string()), before);
    test::writeFile(dir / "t163", "xy");
    EXPECT_NE(listingFingerprint(dir.path().string()), before);
    test::writeFile(dir / "t163", "x");
    test::writeFile(dir / "a", "");
    EXPECT_NE(listingFingerprint(dir.path().string()), before);
    EXPECT_FALSE(listingFingerprint((dir / "missing").string()));
}

TEST(VolumeMatch, IdentifyFolderTakesTheDeepestMount) {
    test::TempDir dir;
    test::writeFile(dir / "disc/Music/a.mp3", "x");
    const std::string disc = (dir / "disc").string();
    const std::vector<MountedVolume> mounts = {mounted("root", "/"), mounted("old", disc),
                                               mounted("top", disc, "/Sub")};
    const auto identity = identifyFolder(mounts, disc + "/Music/");
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->uuid, "top");
    EXPECT_EQ(identity->relativePath, "Sub/Music");
    EXPECT_EQ(identifyFolder(mounts, disc)->relativePath, "Sub");
    EXPECT_FALSE(identifyFolder(mounts, disc + "/none"));
}

TEST(VolumeMatch, MountInfoLines) {
    const auto entries = parseMountInfo(
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\r\n"
        "45 27 7:0 /a\\040b /media/ann/MY\\134DISC rw shared:1 master:2 - iso9660 /dev/sr0 ro\n"
        "46 27 0:25 / /broken rw ext4\n"
        "47 27 x:1 / /bad rw - ext4 /dev/sda1 rw\n"
        "48 27 0:26 / /run rw - tmpfs tmpfs");
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_EQ(entries[1].root, "/a b");
    EXPECT_EQ(entries[1].mountPoint, "/media/ann/MY\\DISC");
    EXPECT_EQ(entries[1].source, "/dev/sr0");
    EXPECT_EQ(entries[2].source, "tmpfs");
}

}  // namespace
}  // namespace tunex
