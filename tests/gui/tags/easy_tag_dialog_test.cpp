#include "gui/tags/easy_tag_dialog.h"
#include "gui/tags/tag_preview_dialog.h"

#include "gui/tags/gui_tag_test_support.h"
#include "gui/tags/preview_answer.h"
#include "support/fake_platform.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::mpegAudio;
using test::readFile;

class EasyTagDialogTest : public ::testing::Test {
protected:
    std::filesystem::path make(const std::string& name, const std::string& bytes = {}) {
        const auto path = dir_ / name;
        std::filesystem::create_directories(path.parent_path());
        test::writeFile(path, bytes.empty() ? audio_ : bytes);
        return path;
    }
    EasyTagJob job(bool includeSubfolders = true) const {
        return {{folder(), includeSubfolders, {}}, "mp3;wma;", false, {}};
    }
    std::string folder() const { return dir_.path().string() + "/"; }

    test::TempDir dir_;
    test::FakePlatform platform_;
    const std::string audio_ = mpegAudio(3);
};

TEST_F(EasyTagDialogTest, OpensWithTheInitialFormat) {
    EasyTagDialog dialog(platform_, test::journal(), job());
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Tunex EasyTag for files under " + folder());
    EXPECT_TRUE(dialog.basedOnNameBox()->isChecked());
    EXPECT_EQ(dialog.basedOnNameBox()->text(), QStringLiteral("Set ID3 Tag based on filename"));
    const auto groups = dialog.findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 4);
    EXPECT_EQ(groups[0]->title(), QStringLiteral("Filename Format"));
    EXPECT_EQ(groups[3]->title(), QStringLiteral("ID3 Tag"));
    EXPECT_TRUE(groups[3]->findChild<QLabel*>()->text() == QStringLiteral("Set ID3 Tag as"));
    EXPECT_FALSE(dialog.patternGroup()->isChecked());

    EXPECT_TRUE(dialog.enableBox(0)->isChecked());
    EXPECT_TRUE(dialog.enableBox(1)->isChecked());
    EXPECT_FALSE(dialog.enableBox(2)->isChecked());
    EXPECT_TRUE(dialog.choice(0, NameField::Artist)->isChecked());
    EXPECT_TRUE(dialog.choice(1, NameField::SongTitle)->isChecked());
    EXPECT_TRUE(dialog.choice(2, NameField::Album)->isChecked());
    EXPECT_EQ(dialog.choice(2, NameField::TrackNumber)->text(), QStringLiteral("Track Number"));
    EXPECT_FALSE(dialog.choice(2, NameField::Artist)->isEnabled());
    EXPECT_TRUE(dialog.choice(1, NameField::Artist)->isEnabled());
    EXPECT_EQ(dialog.delimiterEdit(0)->text(), QStringLiteral("-"));
    EXPECT_TRUE(dialog.delimiterEdit(0)->isEnabled());
    EXPECT_FALSE(dialog.delimiterEdit(1)->isEnabled());
    EXPECT_TRUE(dialog.v2Box()->isChecked());
    EXPECT_FALSE(dialog.v1Box()->isChecked());
}

TEST_F(EasyTagDialogTest, ControlsFollowTheirRules) {
    EasyTagDialog dialog(platform_, test::journal(), job());
    dialog.open();
    dialog.basedOnNameBox()->click();
    EXPECT_TRUE(dialog.basedOnNameBox()->isChecked());

    // One choice per column; clicking the marked one keeps it.
    dialog.choice(0, NameField::Artist)->click();
    EXPECT_TRUE(dialog.choice(0, NameField::Artist)->isChecked());
    dialog.choice(0, NameField::TrackNumber)->click();
    EXPECT_TRUE(dialog.choice(0, NameField::TrackNumber)->isChecked());
    EXPECT_FALSE(dialog.choice(0, NameField::Artist)->isChecked());
    EXPECT_TRUE(dialog.choice(1, NameField::SongTitle)->isChecked());

    dialog.v2Box()->click();
    EXPECT_TRUE(dialog.v2Box()->isChecked());
    dialog.v1Box()->click();
    EXPECT_TRUE(dialog.v1Box()->isChecked());
    EXPECT_FALSE(dialog.v2Box()->isChecked());

    // Column 3 and column 2 each switch delimiter 2; column 1 switches delimiter 1.
    dialog.enableBox(2)->click();
    EXPECT_TRUE(dialog.choice(2, NameField::Album)->isEnabled());
    EXPECT_TRUE(dialog.delimiterEdit(1)->isEnabled());
    dialog.enableBox(1)->click();
    EXPECT_FALSE(dialog.choice(1, NameField::Album)->isEnabled());
    EXPECT_FALSE(dialog.delimiterEdit(1)->isEnabled());
    dialog.enableBox(0)->click();
    EXPECT_FALSE(dialog.delimiterEdit(0)->isEnabled());
    EXPECT_FALSE(dialog.choice(0, NameField::Album)->isEnabled());

    QTest::keyClicks(dialog.delimiterEdit(1), QStringLiteral("_x"));
    const NameFormat format = dialog.shownFormat();
    EXPECT_FALSE(format.slots[0].enabled);
    EXPECT_EQ(format.slots[0].field, NameField::TrackNumber);  // disabled values still count
    EXPECT_FALSE(format.slots[1].enabled);
    EXPECT_TRUE(format.slots[2].enabled);
    EXPECT_EQ(format.delimiter2, "-");  // a disabled edit takes no typing
    EXPECT_EQ(format.target, TagVersion::V1);

    dialog.enableBox(1)->click();
    dialog.delimiterEdit(1)->clear();
    QTest::keyClicks(dialog.delimiterEdit(1), QStringLiteral(" - "));
    EXPECT_EQ(dialog.shownFormat().delimiter2, " - ");  // several characters
}

TEST_F(EasyTagDialogTest, NoEnabledSlotKeepsTheDialogOpen) {
    EasyTagDialog dialog(platform_, test::journal(), job());
    dialog.open();
    dialog.enableBox(0)->click();
    dialog.enableBox(1)->click();
    platform_.expectMessage(noNameFormatMessage());
    dialog.okButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(EasyTagDialogTest, PatternWithItsSampleAsTyped) {
    const auto song = make("Abba/Gold/01 Dancing Queen.mp3");
    EasyTagJob withSample = job();
    withSample.sampleFile = song.string();
    EasyTagDialog dialog(platform_, test::journal(), withSample);
    dialog.open();
    EXPECT_EQ(dialog.sampleLabel()->text().toStdString(),
              "01 Dancing Queen.mp3\nThe name does not fit the format.");
    dialog.delimiterEdit(0)->setText(QStringLiteral(" "));
    EXPECT_EQ(dialog.sampleLabel()->text().toStdString(),
              "01 Dancing Queen.mp3\nArtist: 01\nSong Title: Dancing Queen");

    dialog.patternGroup()->setChecked(true);
    EXPECT_FALSE(dialog.enableBox(0)->isEnabled());
    dialog.patternEdit()->setText(QStringLiteral("%track%%title%"));
    const std::string error = "%track% and %title% need some text between them";
    EXPECT_EQ(dialog.sampleLabel()->text().toStdString(), "The pattern cannot be used: " + error);
    platform_.expectMessage(badNamePatternMessage(error));
    dialog.okButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());

    dialog.patternEdit()->setText(QStringLiteral("%album%/%track% %title%"));
    EXPECT_EQ(dialog.sampleLabel()->text().toStdString(),
              "01 Dancing Queen.mp3\nAlbum: Gold\nTrack Number: 01\nSong Title: Dancing Queen");
    EasyTagResult expected;
    expected.written = 1;
    platform_.expectMessage(easyTagResultMessage(folder(), expected));
    dialog.okButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(readId3Summary(song).album, "Gold");
}

TEST_F(EasyTagDialogTest, RunTagsTheFolderAndReports) {
    make("Singer - Song.mp3");
    make("Band-Title-Live.MP3");
    make("nodash.mp3");
    make("-lead.mp3");
    make("other.wma");
    make("sub/Deep - Down.mp3");

    for (const bool subfolders : {false, true}) {
        EasyTagDialog dialog(platform_, test::journal(), job(subfolders));
        dialog.open();
        EasyTagResult expected;
        expected.written = subfolders ? 3 : 2;
        platform_.expectMessage(easyTagResultMessage(folder(), expected));
        dialog.okButton()->click();
        EXPECT_TRUE(platform_.allExpectedShown());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(dialog.isEnabled());
    }
    const Id3Summary first = readId3Summary(dir_ / "Singer - Song.mp3");
    EXPECT_EQ(first.artist, "Singer");
    EXPECT_EQ(first.title, "Song");
    EXPECT_EQ(readId3Summary(dir_ / "Band-Title-Live.MP3").title, "Title-Live");
    EXPECT_EQ(readId3Summary(dir_ / "sub/Deep - Down.mp3").artist, "Deep");
    EXPECT_EQ(readFile(dir_ / "nodash.mp3"), audio_);
    EXPECT_EQ(readFile(dir_ / "-lead.mp3"), audio_);
}

TEST_F(EasyTagDialogTest, PreviewShowsTheNewValuesAndCancelKeepsTheDialogOpen) {
    const auto song = make("Singer - Song.mp3");
    make("nodash.mp3");
    EasyTagJob withPreview = job();
    withPreview.preview = true;
    EasyTagDialog dialog(platform_, test::journal(), withPreview);
    dialog.open();
    test::PreviewSeen seen;
    test::answerNextPreview(false, seen);
    dialog.okButton()->click();
    const std::string name = song.filename().string();
    const std::string folder = song.parent_path().string();
    EXPECT_EQ(seen.cells, (std::vector<std::string>{name, folder, "V2", "Title", "", "Song", name,
                                                    folder, "V2", "Artist", "", "Singer"}));
    EXPECT_EQ(seen.skipped, std::vector<std::string>{"Left alone (name does not fit the format): " +
                                                     (dir_ / "nodash.mp3").string()});
    EXPECT_EQ(seen.filesCounted, 2);
    EXPECT_EQ(readFile(song), audio_);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(EasyTagDialogTest, TargetV1AndFilesThatCannotBeWritten) {
    make("Alpha - One.mp3");
    // The second frame's size runs past the tag, so the tag cannot be rewritten without loss.
    const std::string broken = test::v2Text(3, "TIT2", "t") + "TPE1" + test::bigEndian(5000) +
                               std::string(2, '\0') + std::string("\0artist", 7);
    const auto bad = make("Beta - Two.mp3", test::v2Tag(3, broken, 16) + audio_);
    const std::string badBytes = readFile(bad);

    EasyTagDialog v2Run(platform_, test::journal(), job());
    v2Run.open();
    EasyTagResult expected;
    expected.written = 1;
    expected.failed.add(dir_.path().string() + "/Beta - Two.mp3 (its tag cannot be read whole)");
    platform_.expectMessage(easyTagResultMessage(folder(), expected));
    v2Run.okButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(platform_.shown.back().message.icon, MessageIcon::Warning);
    EXPECT_NE(platform_.shown.back().message.text.find("1 file could not be written"),
              std::string::npos);
    EXPECT_EQ(readFile(bad), badBytes);

    make("Alpha - One.mp3");
    EasyTagDialog v1Run(platform_, test::journal(), job());
    v1Run.open();
    v1Run.v1Box()->click();
    expected.written = 2;  // the V1 tag of the broken file can be written
    expected.failed = {};
    platform_.expectMessage(easyTagResultMessage(folder(), expected));
    v1Run.okButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    TagFields fields;
    const LoadedGroups groups = loadTagFields(dir_ / "Alpha - One.mp3", fields);
    EXPECT_TRUE(groups.v1);
    EXPECT_FALSE(groups.v2);
    EXPECT_EQ(fields.v1.artist, "Alpha");
}

TEST_F(EasyTagDialogTest, FolderWithoutMusicFilesGivesTheNothingDoneMessage) {
    make("a - b.dat");
    EasyTagDialog dialog(platform_, test::journal(), job());
    dialog.open();
    platform_.expectMessage(easyTagResultMessage(folder(), EasyTagResult{}));
    dialog.okButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_NE(platform_.shown.back().message.text.find("No tags written"), std::string::npos);
}

}  // namespace
}  // namespace tunex
