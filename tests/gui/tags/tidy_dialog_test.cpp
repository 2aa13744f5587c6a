#include "gui/tags/tidy_dialog.h"

#include "core/store/workspace.h"
#include "gui/app/app_context.h"
#include "gui/tags/gui_tag_test_support.h"
#include "gui/tags/tag_preview_dialog.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"
#include "support/modal_answers.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tunex {
namespace {

// Cancel writes nothing; an OK that would do nothing is told and the dialog stays; then the
// preview, the run and the result, in both tags of the mp3 and only in the chosen fields.
TEST(TidyDialog, ChoosesPreviewsRunsAndTells) {
    test::BaseFolder base;
    test::TempDir music;
    test::FakePlatform platform;
    UserMessage failure;
    auto workspace = Workspace::open(base.path(), failure);
    ASSERT_NE(workspace, nullptr) << failure.text;
    AppContext context(platform, std::move(workspace));
    context.settings().previewTagChanges = true;
    const auto song = music / "song.mp3";
    test::writeFile(
        song,
        test::v2Tag(3, test::v2Text(3, "TIT2", "hello_world") + test::v2Text(3, "TPE1", "abba")) +
            test::mpegAudio(3) + test::v1Tag("hello_world", "abba", "", "", "", 1, 0));
    const std::string original = test::readFile(song);
    const std::string folder = music.path().string();
    QWidget owner;
    ProgressWindow* shown = nullptr;
    {
        test::ModalAnswers answers(
            {[](QWidget* modal) { qobject_cast<TidyDialog*>(modal)->cancelButton()->click(); }});
        EXPECT_FALSE(tidyChosenFiles(context, &owner, folder, {{folder, true, {}}}, shown));
    }
    EXPECT_EQ(test::readFile(song), original);

    platform.expectMessage(noTidyRuleMessage());
    TidyResult expected;
    expected.written = 1;
    platform.expectMessage(tidyResultMessage(folder, expected));
    std::string summary;
    {
        test::ModalAnswers answers(
            {[](QWidget* modal) {
                 auto* dialog = qobject_cast<TidyDialog*>(modal);
                 ASSERT_NE(dialog, nullptr);
                 EXPECT_TRUE(dialog->caseButton(TidyCase::Title)->isChecked());
                 EXPECT_FALSE(dialog->fieldBox(TagField::AlbumArtist)->isChecked());
                 dialog->caseButton(TidyCase::Keep)->click();
                 dialog->okButton()->click();
                 EXPECT_TRUE(dialog->isVisible());
                 dialog->caseButton(TidyCase::Upper)->click();
                 dialog->underscoresBox()->click();
                 dialog->fieldBox(TagField::Artist)->click();
                 dialog->okButton()->click();
             },
             [&summary](QWidget* modal) {
                 auto* preview = qobject_cast<TagPreviewDialog*>(modal);
                 ASSERT_NE(preview, nullptr);
                 ASSERT_TRUE(QTest::qWaitFor([preview] { return preview->ready(); }, 10000));
                 summary = preview->summaryLabel()->text().toStdString();
                 preview->applyButton()->click();
             }});
        EXPECT_TRUE(tidyChosenFiles(context, &owner, folder, {{folder, true, {}}}, shown));
    }
    EXPECT_TRUE(platform.allExpectedShown());
    EXPECT_EQ(summary, "2 changes in 1 file.");
    TagFields fields;
    (void)loadTagFields(song, fields);
    EXPECT_EQ(fields.v1.title, "HELLO WORLD");
    EXPECT_EQ(fields.v2.title, "HELLO WORLD");
    EXPECT_EQ(fields.v2.artist, "abba");
    EXPECT_EQ(shown, nullptr);
}

}  // namespace
}  // namespace tunex
