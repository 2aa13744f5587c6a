#include "gui/tags/rename_dialog.h"

#include "core/store/workspace.h"
#include "core/tags/rename_from_tags.h"
#include "gui/app/app_context.h"
#include "gui/tags/gui_tag_test_support.h"
#include "gui/tags/preview_answer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "support/base_folder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace tunex {
namespace {

namespace fs = std::filesystem;

TEST(RenameFromTagsDialog, SampleAsTypedThenPreviewRenameAndUndo) {
    test::BaseFolder base;
    test::TempDir music;
    test::FakePlatform platform;
    UserMessage failure;
    AppContext context(platform, Workspace::open(base.path(), failure));
    const std::string audio = test::mpegAudio(3);
    const auto make = [&](const std::string& name, const std::string& title) {
        const fs::path path = music / name;
        test::writeFile(
            path, test::v2Tag(3,
                              test::v2Text(3, "TIT2", title) + test::v2Text(3, "TPE1", "Quinn") +
                                  test::v2Text(3, "TRCK", "4"),
                              0) +
                      audio);
        return path;
    };
    const fs::path first = make("a.mp3", "Call: Me");
    const fs::path second = make("b.mp3", "Call: Me");  // the same name: left alone
    const fs::path third = make("c.mp3", "Other");
    const std::string folder = music.path().string();

    RenameFromTagsDialog dialog(context, {folder, true, {}}, first.string());
    dialog.open();
    EXPECT_EQ(dialog.windowTitle().toStdString(), renameDialogCaption(folder));
    EXPECT_EQ(dialog.sampleLabel()->text().toStdString(), "a.mp3\n→ Quinn - Call: Me.mp3");
    dialog.patternEdit()->setText(QStringLiteral("%track% %nope%"));
    EXPECT_EQ(dialog.sampleLabel()->text().toStdString(),
              "The pattern cannot be used: unknown field %nope% (the fields are %artist% "
              "%albumartist% %album% %title% %track% %disc% %year% %genre%)");
    dialog.patternEdit()->setText(QStringLiteral("%track% %title%/%album%"));
    EXPECT_EQ(dialog.sampleLabel()->text().toStdString(),
              "a.mp3\n→ left alone: its tag has no album");

    dialog.patternEdit()->setText(QStringLiteral("%track% %title%"));
    test::PreviewSeen seen;
    test::answerNextPreview(true, seen);
    // The file met second is named at once, the first once the clash is known.
    std::vector<std::string> clashing;
    for (const auto& entry : fs::directory_iterator(music.path())) {
        if (entry.path() == first || entry.path() == second) {
            clashing.insert(clashing.begin(), entry.path().string());
        }
    }
    RenamePlan told;
    for (const std::string& path : clashing) {
        told.skipped.push_back(
            {path, "another file would be named " + folder + "/04 Call: Me.mp3"});
    }
    RenameResult result;
    result.renamed = {{third.string(), folder + "/04 Other.mp3"}};
    platform.expectMessage(renameResultMessage(folder, told, result));
    dialog.okButton()->click();
    EXPECT_TRUE(platform.allExpectedShown());
    EXPECT_EQ(seen.cells, (std::vector<std::string>{"c.mp3", folder, "", "File name", "c.mp3",
                                                    "04 Other.mp3"}));
    EXPECT_EQ(seen.summary, "1 new file name; 2 files will be left alone.");
    EXPECT_EQ(seen.skipped.size(), 2u);
    EXPECT_TRUE(fs::exists(music / "04 Other.mp3"));

    EXPECT_EQ(context.workspace().journal().undoLast().renamesUndone, result.renamed);
    EXPECT_TRUE(fs::exists(third));
}

}  // namespace
}  // namespace tunex
