#include "gui/tags/tag_info_dialog.h"

#include "core/tags/cover_art.h"
#include "core/tags/tag_editor_rules.h"
#include "gui/tags/cover_area.h"
#include "gui/tags/gui_tag_test_support.h"
#include "gui/tags/preview_answer.h"
#include "support/audio_files.h"
#include "support/fake_platform.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::mpegAudio;
using test::readFile;
using test::v1Tag;
using test::v2Tag;
using test::v2Text;

class TagInfoDialogTest : public ::testing::Test {
protected:
    std::filesystem::path make(std::string_view name, const std::string& bytes) {
        const auto path = dir_ / name;
        test::writeFile(path, bytes);
        return path;
    }
    std::filesystem::path bothTags() {
        return make("both.mp3",
                    v2Tag(3, v2Text(3, "TIT2", "Song") + v2Text(3, "TPE1", "Singer") +
                                 v2Text(3, "TCOM", "Composer") + v2Text(3, "TCON", "(17)")) +
                        mpegAudio(4) + v1Tag("Old", "V1 Artist", "", "1999", "note", 7, 9));
    }
    QLineEdit* edit(const TagInfoDialog& dialog, const char* name) {
        auto* found = dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QComboBox* genre(const TagInfoDialog& dialog, const char* name) {
        return dialog.findChild<QComboBox*>(QString::fromLatin1(name));
    }

    test::TempDir dir_;
    test::FakePlatform platform_;
};

QStringList labelsOf(const QGroupBox* group) {
    QStringList texts;
    for (const QLabel* label : group->findChildren<QLabel*>()) {
        texts << label->text();
    }
    texts.sort();
    return texts;
}

// A group's grid line by line, left to right: each caption with the name of the control beside it.
std::vector<std::string> gridLines(const QGroupBox* group) {
    const auto* grid = qobject_cast<const QGridLayout*>(group->layout());
    const auto widgetAt = [grid](int row, int column) -> QWidget* {
        const QLayoutItem* item = grid->itemAtPosition(row, column);
        return item != nullptr ? item->widget() : nullptr;
    };
    std::vector<std::string> lines;
    for (int row = 0; row < grid->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid->columnCount(); ++column) {
            const QWidget* widget = widgetAt(row, column);
            if (const auto* label = qobject_cast<const QLabel*>(widget)) {
                const QWidget* field = widgetAt(row, column + 1);
                EXPECT_EQ(label->buddy(), field) << label->text().toStdString();
                cells << label->text() + u' ' +
                             (field != nullptr ? field->objectName() : QString());
            } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
                cells << button->text();
            }
        }
        lines.push_back(cells.join(u" | ").toStdString());
    }
    return lines;
}

// An mp3 has the V1/V2 pair; another format one group, without the fields it has no room for.
struct EditorLayout {
    std::string_view format;  // of audio_files.py; empty for an mp3
    std::string_view name;
    std::vector<std::pair<QString, std::vector<std::string>>> groups;  // title, grid lines
    QString tabOrder;
};

TEST_F(TagInfoDialogTest, ControlsStandInTheirCellsAndTabDownEachColumn) {
    const std::vector<EditorLayout> layouts = {
        {"",
         "none.mp3",
         {{QStringLiteral("ID3 V1"),
           {"Title v1Title | Comment v1Comment", "Artist v1Artist | Year v1Year",
            "Album v1Album | Track # v1Track", "Genre v1Genre | Clear V1 Tag"}},
          {QStringLiteral("ID3 V2"),
           {"Title v2Title | Copyright v2Copyright", "Artist v2Artist | Genre v2Genre",
            "Album v2Album | Track # v2Track", "Album Artist v2Albumartist | Disc # v2Disc",
            "Composer v2Composer | Comment v2Comment", "Publisher v2Publisher | Year v2Year",
            "File URL v2Url | Clear V2 Tag"}}},
         QStringLiteral("v1Title v1Artist v1Album v1Genre v1Comment v1Year v1Track "
                        "v2Title v2Artist v2Album v2Albumartist v2Composer v2Publisher v2Url "
                        "v2Copyright v2Genre v2Track v2Disc v2Comment v2Year")},
        {"flac",
         "song.flac",
         {{QStringLiteral("FLAC Tag"),
           {"Title title | Copyright copyright", "Artist artist | Genre genre",
            "Album album | Track # track", "Album Artist albumartist | Disc # disc",
            "Composer composer | Comment comment", "Publisher publisher | Year year",
            "Clear Tag"}}},
         QStringLiteral("title artist album albumartist composer publisher copyright genre "
                        "track disc comment year")},
        {"m4a",
         "song.m4a",
         {{QStringLiteral("MP4 Tag"),
           {"Title title | Copyright copyright", "Artist artist | Genre genre",
            "Album album | Track # track", "Album Artist albumartist | Disc # disc",
            "Composer composer | Comment comment", "Year year", "Clear Tag"}}},
         QStringLiteral("title artist album albumartist composer copyright genre track disc "
                        "comment year")},
        {"wma",
         "song.wma",
         {{QStringLiteral("Windows Media Tag"),
           {"Title title | Copyright copyright", "Artist artist | Genre genre",
            "Album album | Track # track", "Album Artist albumartist | Disc # disc",
            "Composer composer | Comment comment", "Publisher publisher | Year year",
            "File URL url | Clear Tag"}}},
         QStringLiteral("title artist album albumartist composer publisher url copyright genre "
                        "track disc comment year")},
    };
    for (const EditorLayout& layout : layouts) {
        SCOPED_TRACE(std::string(layout.name));
        const auto file = dir_ / layout.name;
        if (layout.format.empty()) {
            test::writeFile(file, mpegAudio(2));
        } else {
            ASSERT_TRUE(test::makeAudioFile(layout.format, file));
        }
        TagInfoDialog dialog(platform_, test::journal(), file);
        const auto groups = dialog.findChildren<QGroupBox*>();
        ASSERT_EQ(groups.size(), static_cast<qsizetype>(layout.groups.size()));
        for (qsizetype i = 0; i < groups.size(); ++i) {
            const auto& [title, grid] = layout.groups[static_cast<std::size_t>(i)];
            EXPECT_EQ(groups[i]->title(), title);
            EXPECT_EQ(gridLines(groups[i]), grid);
        }
        EXPECT_EQ(dialog.clearV1Button() != nullptr, layout.groups.size() == 2);

        QStringList tabOrder;
        for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain()) {
            if ((w->focusPolicy() & Qt::TabFocus) != 0 &&
                (qobject_cast<QLineEdit*>(w) != nullptr ||
                 qobject_cast<QComboBox*>(w) != nullptr)) {
                tabOrder << w->objectName();
            }
        }
        EXPECT_EQ(tabOrder.join(u' '), layout.tabOrder);
    }
}

TEST_F(TagInfoDialogTest, ShowsBothTagsWithEveryControl) {
    const auto file = bothTags();
    TagInfoDialog dialog(platform_, test::journal(), file);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "ID3 Tag of " + file.string());

    const auto groups = dialog.findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0]->title(), QStringLiteral("ID3 V1"));
    EXPECT_EQ(groups[1]->title(), QStringLiteral("ID3 V2"));
    EXPECT_EQ(labelsOf(groups[0]).join(u','),
              QStringLiteral("Album,Artist,Comment,Genre,Title,Track #,Year"));
    EXPECT_EQ(labelsOf(groups[1]).join(u','),
              QStringLiteral("Album,Album Artist,Artist,Comment,Composer,Copyright,Disc #,File URL,"
                             "Genre,Publisher,Title,Track #,Year"));
    EXPECT_EQ(dialog.clearV1Button()->text(), QStringLiteral("Clear V1 Tag"));
    EXPECT_EQ(dialog.clearV2Button()->text(), QStringLiteral("Clear V2 Tag"));
    EXPECT_EQ(dialog.updateButton()->text(), QStringLiteral("Update"));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Cancel"));

    for (const char* name : {"v1Genre", "v2Genre"}) {
        const QComboBox* box = genre(dialog, name);
        ASSERT_EQ(box->count(), 149);
        EXPECT_FALSE(box->isEditable());
        // By name, each entry still standing for its genre number.
        EXPECT_EQ(box->itemText(0), QString());
        EXPECT_EQ(box->itemData(0).toInt(), kGenreEntryEmpty);
        EXPECT_EQ(box->itemText(1), QStringLiteral("A Capella"));
        EXPECT_EQ(box->itemData(1).toInt(), genreEntryForNumber(123));
        EXPECT_EQ(box->itemText(148), QStringLiteral("Vocal"));
        EXPECT_EQ(box->itemData(148).toInt(), genreEntryForNumber(28));
    }
    EXPECT_EQ(edit(dialog, "v1Title")->text(), QStringLiteral("Old"));
    EXPECT_EQ(edit(dialog, "v1Artist")->text(), QStringLiteral("V1 Artist"));
    EXPECT_EQ(edit(dialog, "v1Year")->text(), QStringLiteral("1999"));
    EXPECT_EQ(edit(dialog, "v1Track")->text(), QStringLiteral("7"));
    EXPECT_EQ(genre(dialog, "v1Genre")->currentText(), QStringLiteral("Metal"));
    EXPECT_EQ(edit(dialog, "v2Title")->text(), QStringLiteral("Song"));
    EXPECT_EQ(edit(dialog, "v2Composer")->text(), QStringLiteral("Composer"));
    EXPECT_EQ(genre(dialog, "v2Genre")->currentText(), QStringLiteral("Rock"));
}

TEST_F(TagInfoDialogTest, V1TypingLimitsAndUnlimitedV2) {
    TagInfoDialog dialog(platform_, test::journal(), make("none.mp3", mpegAudio(2)));
    const std::vector<std::pair<const char*, int>> limits = {
        {"v1Title", 30}, {"v1Artist", 30}, {"v1Album", 30}, {"v1Comment", 30},
        {"v1Year", 4},   {"v1Track", 3},   {"v2Title", 40}, {"v2Year", 40}};
    for (const auto& [name, limit] : limits) {
        QLineEdit* field = edit(dialog, name);
        QTest::keyClicks(field, QString(40, u'x'));
        EXPECT_EQ(field->text().size(), limit) << name;
    }
    // A number V1 cannot hold is refused with a message, and the dialog stays.
    edit(dialog, "v1Year")->setText(QStringLiteral("9999"));
    edit(dialog, "v1Track")->setText(QStringLiteral("256"));
    platform_.expectMessage({"V1 Track # takes a track number from 1 to 255.",
                             "Tunex - Input Error", MessageIcon::Warning});
    dialog.updateButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST_F(TagInfoDialogTest, FileWithoutV1TagOpensWithEmptyV1Group) {
    const auto file =
        make("v2.mp3",
             v2Tag(3, v2Text(3, "TIT2", "Only") + v2Text(3, "TCON", "Klezmer")) + mpegAudio(4));
    TagInfoDialog dialog(platform_, test::journal(), file);
    const TagFields shown = dialog.shownFields();
    EXPECT_EQ(shown.v1.title, "");
    EXPECT_EQ(shown.v1.genre, kGenreUnselected);
    EXPECT_EQ(shown.v2.title, "Only");
    // A genre outside the list shows as itself in an entry of its own, and Update keeps it.
    EXPECT_EQ(shown.v2.genre, kGenreUnselected);
    EXPECT_EQ(genre(dialog, "v2Genre")->currentText(), QStringLiteral("Klezmer"));
    EXPECT_EQ(genre(dialog, "v2Genre")->count(), kGenreEntryCount + 1);
}

TEST_F(TagInfoDialogTest, ClearButtonsChangeOnlyTheirGroupAndWriteNothing) {
    const auto file = bothTags();
    const std::string original = readFile(file);
    TagInfoDialog dialog(platform_, test::journal(), file);
    dialog.open();

    edit(dialog, "v1Album")->setText(QStringLiteral("typed"));
    dialog.clearV2Button()->click();
    const TagFields afterV2 = dialog.shownFields();
    EXPECT_EQ(afterV2.v1.album, "typed");
    EXPECT_EQ(afterV2.v1.title, "Old");
    EXPECT_EQ(afterV2.v2.title, "");
    EXPECT_EQ(afterV2.v2.composer, "");
    EXPECT_EQ(afterV2.v2.genre, kGenreEntryEmpty);

    dialog.clearV1Button()->click();
    const TagFields afterV1 = dialog.shownFields();
    EXPECT_EQ(afterV1.v1.album, "");
    EXPECT_EQ(afterV1.v1.year, "");
    EXPECT_EQ(afterV1.v1.genre, kGenreEntryEmpty);

    dialog.cancelButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(readFile(file), original);
}

TEST_F(TagInfoDialogTest, UpdateWritesWhatIsShown) {
    const auto file = bothTags();
    TagInfoDialog dialog(platform_, test::journal(), file);
    dialog.open();
    edit(dialog, "v2Title")->setText(QStringLiteral("New Title"));
    edit(dialog, "v2Artist")->clear();
    edit(dialog, "v1Title")->setText(QStringLiteral("V1 New"));
    genre(dialog, "v2Genre")->setCurrentIndex(kGenreEntryEmpty);
    genre(dialog, "v1Genre")->setCurrentText(QStringLiteral("Pop"));
    dialog.updateButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    TagFields stored;
    const LoadedGroups groups = loadTagFields(file, stored);
    ASSERT_TRUE(groups.v1 && groups.v2);
    EXPECT_EQ(stored.v2.title, "New Title");
    EXPECT_EQ(stored.v2.artist, "");
    EXPECT_EQ(stored.v2.composer, "Composer");
    EXPECT_EQ(stored.v2.genre, kGenreUnselected);
    EXPECT_EQ(stored.v1.title, "V1 New");
    EXPECT_EQ(stored.v1.artist, "V1 Artist");
    EXPECT_EQ(stored.v1.genre, genreEntryForNumber(13));
    EXPECT_TRUE(platform_.shown.empty());
}

TEST_F(TagInfoDialogTest, UpdateThatCannotWriteSaysSoAndKeepsTheEdits) {
    // The second frame's size runs past the tag, so the tag cannot be rewritten without loss.
    const std::string broken = v2Text(3, "TIT2", "t") + "TPE1" + test::bigEndian(5000) +
                               std::string(2, '\0') + std::string("\0artist", 7);
    const auto mp3 = make("broken.mp3", v2Tag(3, broken, 16) + mpegAudio(4));
    const auto flac = make("fake.flac", "not audio at all");
    const auto folder = dir_ / "folder.flac";
    std::filesystem::create_directory(folder);
    const std::vector<std::pair<std::filesystem::path, std::pair<const char*, std::string>>> cases =
        {{mp3,
          {"v2Title", "The file " + mp3.string() +
                          " was left as it is: its tag cannot be read whole, and writing it "
                          "would lose what could not be read."}},
         {flac,
          {"title", "The file " + flac.string() +
                        " does not hold FLAC audio, so no tag was written into it."}},
         {folder, {"title", "The tag of file " + folder.string() + " could not be written."}}};
    // A folder cannot be read as a file, nor written.
    const auto bytes = [](const std::filesystem::path& file) {
        return std::filesystem::is_directory(file) ? std::string() : readFile(file);
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file.string());
        const auto& [field, message] = expected;
        const std::string original = bytes(file);
        TagInfoDialog dialog(platform_, test::journal(), file);
        dialog.open();
        edit(dialog, field)->setText(QStringLiteral("changed"));
        platform_.expectMessage({message, "Tunex - File Error", MessageIcon::Error});
        dialog.updateButton()->click();
        EXPECT_TRUE(platform_.allExpectedShown());
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(edit(dialog, field)->text(), QStringLiteral("changed"));
        EXPECT_EQ(bytes(file), original);
    }
}

TEST_F(TagInfoDialogTest, TheOneTagOfAFlacIsShownAndUpdatedThroughThePreview) {
    const auto file = dir_ / "song.flac";
    ASSERT_TRUE(test::makeAudioFile(
        "flac", file,
        {{{"TITLE", {"Song"}}, {"ARTIST", {"Singer"}}, {"GENRE", {"Rock"}}, {"MOOD", {"calm"}}},
         true,
         true}));
    const test::AudioViewMap before = test::audioViewMap(file);
    TagInfoDialog dialog(platform_, test::journal(), file);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Tag of " + file.string());
    EXPECT_EQ(edit(dialog, "title")->text(), QStringLiteral("Song"));
    EXPECT_EQ(edit(dialog, "artist")->text(), QStringLiteral("Singer"));
    EXPECT_EQ(genre(dialog, "genre")->currentText(), QStringLiteral("Rock"));
    dialog.setPreview(true);
    dialog.open();
    edit(dialog, "title")->setText(QStringLiteral("New Title"));
    edit(dialog, "artist")->clear();

    test::PreviewSeen applied;
    test::answerNextPreview(true, applied);
    dialog.updateButton()->click();
    EXPECT_EQ(applied.cells,
              (std::vector<std::string>{
                  "song.flac", file.parent_path().string(), "Tag", "Title", "Song", "New Title",
                  "song.flac", file.parent_path().string(), "Tag", "Artist", "Singer", ""}));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(platform_.shown.empty());
    // Only the two fields changed: the picture, ReplayGain, the unknown field and the audio stay.
    test::AudioViewMap expected = before;
    expected["TITLE"] = {"New Title"};
    expected.erase("ARTIST");
    EXPECT_EQ(test::audioViewMap(file), expected);
}

TEST_F(TagInfoDialogTest, UpdatePreviewShowsWhatV1WillHoldAndCancelKeepsEditing) {
    const auto file = bothTags();
    const std::string original = readFile(file);
    TagInfoDialog dialog(platform_, test::journal(), file);
    dialog.setPreview(true);
    dialog.open();
    edit(dialog, "v1Artist")->setText(QStringLiteral("坂本龍一"));
    edit(dialog, "v2Title")->setText(QStringLiteral("Merry Christmas"));

    test::PreviewSeen cancelled;
    test::answerNextPreview(false, cancelled);
    dialog.updateButton()->click();
    // The file's name and its folder apart, so that long folders do not hide the names.
    ASSERT_EQ(cancelled.cells.size(), 12U);
    EXPECT_EQ(std::vector<std::string>(cancelled.cells.begin(), cancelled.cells.begin() + 4),
              (std::vector<std::string>{file.filename().string(), file.parent_path().string(), "V1",
                                        "Artist"}));
    EXPECT_EQ(cancelled.cells[4], "V1 Artist");
    // V1 holds Latin-1 only: the preview shows the stand-in, not what was typed.
    const std::string v1Artist = cancelled.cells[5];
    EXPECT_FALSE(v1Artist.empty());
    EXPECT_NE(v1Artist, "坂本龍一");
    EXPECT_EQ(std::vector<std::string>(cancelled.cells.begin() + 8, cancelled.cells.end()),
              (std::vector<std::string>{"V2", "Title", "Song", "Merry Christmas"}));
    EXPECT_EQ(cancelled.summary, "2 changes in 1 file.");
    EXPECT_TRUE(cancelled.withinScreen);  // wider than the test screen unless fitted
    EXPECT_EQ(readFile(file), original);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(edit(dialog, "v1Artist")->text(), QStringLiteral("坂本龍一"));

    test::PreviewSeen applied;
    test::answerNextPreview(true, applied);
    dialog.updateButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    TagFields stored;
    (void)loadTagFields(file, stored);
    EXPECT_EQ(stored.v1.artist, v1Artist);
    EXPECT_EQ(stored.v2.title, "Merry Christmas");
}

}  // namespace
}  // namespace tunex

namespace tunex {
namespace {

// The cover changes only on Update, through the preview, and one undo takes it back with the
// fields.
TEST_F(TagInfoDialogTest, TheCoverIsChosenInTheDialogAndWrittenOnUpdate) {
    const auto file = dir_ / "song.flac";
    ASSERT_TRUE(test::makeAudioFile("flac", file, {.fields = {}, .picture = true}));
    const std::string original = readFile(file);
    const auto jpeg = make("new.jpg", std::string("\xFF\xD8\xFF\xC0\0\x11\x08\0\x01\0\x02", 11) +
                                          std::string(12, '\1') + "\xFF\xD9");
    const auto gif = make("a.gif", "GIF89a");
    TagInfoDialog dialog(platform_, test::journal(), file);
    const CoverArea& cover = *dialog.coverArea();
    const QString loaded = cover.description()->text();
    EXPECT_TRUE(loaded.endsWith(QStringLiteral("\n1 picture in the file"))) << loaded.toStdString();
    EXPECT_EQ(cover.setButton()->text(), QStringLiteral("Replace..."));

    platform_.fileDialogAnswers = {gif, jpeg};
    platform_.expectMessage(
        {loadCoverImage(gif).problem, captionFor("Not a Cover Image"), MessageIcon::Warning});
    cover.setButton()->click();
    EXPECT_EQ(cover.description()->text(), loaded);
    cover.setButton()->click();
    EXPECT_EQ(cover.description()->text().toStdString(),
              "JPEG 2\u00D71, 25 bytes\n1 picture in the file");
    cover.removeButton()->click();
    EXPECT_EQ(cover.description()->text(), QStringLiteral("No cover"));
    EXPECT_FALSE(cover.saveButton()->isEnabled());
    platform_.fileDialogAnswers = {jpeg};
    cover.setButton()->click();
    EXPECT_EQ(readFile(file), original);

    dialog.setPreview(true);
    dialog.open();
    test::PreviewSeen applied;
    test::answerNextPreview(true, applied);
    dialog.updateButton()->click();
    ASSERT_EQ(applied.cells.size(), 6U);
    EXPECT_EQ(applied.cells[3], "Cover");
    EXPECT_EQ(applied.cells[4], loaded.section(u'\n', 0, 0).toStdString());
    EXPECT_EQ(applied.cells[5], "JPEG 2\u00D71, 25 bytes");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(test::audioViewMap(file).at("pictures"), std::vector<std::string>{"1"});
    (void)test::journal().undoLast();
    EXPECT_EQ(readFile(file), original);
}

}  // namespace
}  // namespace tunex
