#include "gui/widgets/drive_folder_tree.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using Kind = DriveFolderTree::NodeKind;
namespace fs = std::filesystem;

QStringList childTexts(const QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i) {
        texts << node->child(i)->text(0);
    }
    return texts;
}

class DriveFolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"Music", "audio", "Zed", "Music/Empty", "Music/Rock"}) {
            fs::create_directories(volume_ / folder);
        }
        test::writeFile(volume_ / "song.mp3", "x");
        fs::create_directories(desktop_.path() / "Desktop");
        platform_.desktop = desktop_.path() / "Desktop";
        platform_.mountedVolumes = {{"/", "", VolumeKind::Fixed},
                                    {volume_.path().native() + "/", "MyCD", VolumeKind::Optical}};
    }

    QTreeWidgetItem* volumeNode(DriveFolderTree& tree) { return tree.myComputerNode()->child(1); }
    static QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const QString& text) {
        for (int i = 0; i < node->childCount(); ++i) {
            if (node->child(i)->text(0) == text) {
                return node->child(i);
            }
        }
        return nullptr;
    }

    test::FakePlatform platform_;
    test::TempDir volume_;
    test::TempDir desktop_;
};

TEST_F(DriveFolderTreeTest, MyComputerListsTheVolumesThenTheDesktop) {
    DriveFolderTree tree(platform_);
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), QStringLiteral("My Computer"));
    EXPECT_EQ(tree.topLevelItem(1)->text(0), QStringLiteral("Desktop"));
    // Nothing is listed before it is opened.
    ASSERT_EQ(tree.myComputerNode()->childCount(), 1);
    EXPECT_EQ(DriveFolderTree::kindOf(tree.myComputerNode()->child(0)), Kind::Placeholder);

    tree.expandMyComputer();
    const QString mount = QString::fromStdString(volume_.path().native()) + u'/';
    EXPECT_EQ(
        childTexts(tree.myComputerNode()),
        QStringList({QStringLiteral("File System (/)"), QStringLiteral("MyCD (") + mount + u')'}));
    EXPECT_EQ(tree.nodePath(tree.myComputerNode()->child(0)), fs::path("/"));
    EXPECT_EQ(tree.nodePath(volumeNode(tree)), fs::path(mount.toStdString()));
    EXPECT_EQ(tree.volumeOf(volumeNode(tree))->label, "MyCD");
    EXPECT_EQ(tree.nodePath(tree.myComputerNode()), fs::path());
    EXPECT_EQ(tree.nodePath(tree.desktopNode()), fs::path(platform_.desktop.native() + "/"));

    // A label-less volume is named after its mount point's last folder.
    EXPECT_EQ(volumeNodeText({"/media/usb stick/", "", VolumeKind::Removable}),
              QStringLiteral("usb stick (/media/usb stick/)"));
}

TEST_F(DriveFolderTreeTest, FoldersAreListedSortedOnOpenAndDroppedOnClose) {
    DriveFolderTree tree(platform_);
    tree.expandMyComputer();
    QTreeWidgetItem* drive = volumeNode(tree);
    drive->setExpanded(true);
    EXPECT_EQ(childTexts(drive), QStringList({QStringLiteral("audio"), QStringLiteral("Music"),
                                              QStringLiteral("Zed")}));
    QTreeWidgetItem* music = childNamed(drive, QStringLiteral("Music"));
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->childCount(), 1);  // a placeholder, so it shows an expand button
    EXPECT_EQ(tree.nodePath(music), volume_.path() / "Music/");

    music->setExpanded(true);
    QTreeWidgetItem* empty = childNamed(music, QStringLiteral("Empty"));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(tree.nodePath(empty), volume_.path() / "Music/Empty/");
    empty->setExpanded(true);
    // Listed and found empty: no expand button, and no final "/".
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_EQ(tree.nodePath(empty), volume_.path() / "Music/Empty");

    drive->setExpanded(false);
    ASSERT_EQ(drive->childCount(), 1);
    EXPECT_EQ(DriveFolderTree::kindOf(drive->child(0)), Kind::Placeholder);
    EXPECT_EQ(tree.nodePath(drive->child(0)), fs::path());

    // Opening again shows what changed on disk meanwhile.
    fs::create_directories(volume_ / "Beta");
    fs::remove_all(volume_ / "Zed");
    drive->setExpanded(true);
    EXPECT_EQ(childTexts(drive), QStringList({QStringLiteral("audio"), QStringLiteral("Beta"),
                                              QStringLiteral("Music")}));
}

TEST_F(DriveFolderTreeTest, OddAndVanishedFoldersGiveWorkingPaths) {
    const std::string badName = "bad\xff\xfe";
    fs::create_directories(volume_.path() / badName);
    DriveFolderTree tree(platform_);
    tree.expandMyComputer();
    QTreeWidgetItem* drive = volumeNode(tree);
    drive->setExpanded(true);
    QTreeWidgetItem* bad = nullptr;
    for (int i = 0; i < drive->childCount(); ++i) {
        if (drive->child(i)->text(0).startsWith(QStringLiteral("bad"))) {
            bad = drive->child(i);
        }
    }
    ASSERT_NE(bad, nullptr);
    EXPECT_TRUE(bad->text(0).contains(QChar::ReplacementCharacter));
    EXPECT_EQ(tree.nodePath(bad).native(), (volume_.path() / badName).native() + "/");

    // A folder removed behind the tree's back lists nothing.
    QTreeWidgetItem* audio = childNamed(drive, QStringLiteral("audio"));
    fs::remove_all(volume_ / "audio");
    audio->setExpanded(true);
    EXPECT_EQ(audio->childCount(), 0);
    EXPECT_EQ(tree.nodePath(audio), volume_.path() / "audio");

    // Rebuilding starts over with the two top nodes.
    tree.build(true);
    EXPECT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_EQ(tree.myComputerNode()->childCount(), 1);
}

TEST_F(DriveFolderTreeTest, SelectFolderOpensTheWayFromTheClosestNode) {
    const std::string volume = volume_.path().native();
    const std::string desktop = platform_.desktop.native();
    fs::create_directories(platform_.desktop / "Inbox");
    struct Case {
        std::string folder;
        std::string selected;  // the node's path; empty when nothing may be selected
        QTreeWidgetItem* (*top)(DriveFolderTree&);  // the top node it is reached from
    };
    const auto drive = [](DriveFolderTree& tree) { return tree.myComputerNode()->child(1); };
    const auto onDesktop = [](DriveFolderTree& tree) { return tree.desktopNode(); };
    // The volume lies under "/", which is mounted too: the closer mount point is taken.
    const std::vector<Case> cases = {
        {volume + "/Music/Rock", volume + "/Music/Rock/", drive},
        {volume + "/Music/Empty/", volume + "/Music/Empty/", drive},
        {volume, volume + "/", drive},
        {desktop + "/Inbox", desktop + "/Inbox/", onDesktop},
        {desktop, desktop + "/", onDesktop},
        {volume + "/Music/Gone", "", drive},
        {volume + "/Mus", "", drive},
        {"", "", drive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        DriveFolderTree tree(platform_);
        tree.expandMyComputer();
        tree.setCurrentItem(tree.desktopNode());
        const bool found = tree.selectFolder(c.folder);
        EXPECT_EQ(found, !c.selected.empty());
        if (!found) {
            EXPECT_EQ(tree.currentItem(), tree.desktopNode());
            continue;
        }
        ASSERT_NE(tree.currentItem(), nullptr);
        EXPECT_EQ(tree.nodePath(tree.currentItem()).native(), c.selected);
        EXPECT_TRUE(tree.currentItem()->isSelected());
        QTreeWidgetItem* node = tree.currentItem();
        while (node->parent() != nullptr && node != c.top(tree)) {
            node = node->parent();
            EXPECT_TRUE(node->isExpanded()) << node->text(0).toStdString();
        }
        EXPECT_EQ(node, c.top(tree));
    }
}

}  // namespace
}  // namespace tunex
