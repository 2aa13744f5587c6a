#include "gui/tags/cover_batch.h"

#include "core/tags/cover_setting.h"
#include "gui/app/app_context.h"
#include "gui/tags/gui_tag_test_support.h"
#include "gui/tags/preview_answer.h"
#include "support/audio_files.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace tunex {
namespace {

const std::string kPng = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x02", 24) +
                         std::string("\x08\x02\0\0\0", 5);

class CoverBatchTest : public ::testing::Test {
protected:
    CoverBatchTest() {
        UserMessage failure;
        auto workspace = Workspace::open(base_.path(), failure);
        EXPECT_NE(workspace, nullptr) << failure.text;
        context_ = std::make_unique<AppContext>(platform_, std::move(workspace));
        context_->settings().previewTagChanges = true;
        std::filesystem::create_directories(music_ / "a");
        std::filesystem::create_directories(music_ / "b");
        test::writeFile(music_ / "a" / "1.mp3", test::mpegAudio(4));
        EXPECT_TRUE(test::makeAudioFile("flac", music_ / "a" / "2.flac"));
        test::writeFile(music_ / "a" / "Folder.PNG", kPng);
        test::writeFile(music_ / "b" / "3.mp3", test::mpegAudio(4));
    }
    bool run() {
        ProgressWindow* shown = nullptr;
        const bool ran = setCoverOfChosenFiles(*context_, &owner_, folder(),
                                               {{music_.path().string(), true, {}}, false}, shown);
        EXPECT_EQ(shown, nullptr);
        return ran;
    }
    std::string folder() const { return music_.path().string() + "/"; }

    test::BaseFolder base_;
    test::TempDir music_;
    test::FakePlatform platform_;
    std::unique_ptr<AppContext> context_;
    QWidget owner_;
};

TEST_F(CoverBatchTest, EachFoldersImageThroughPreviewAndJournal) {
    const std::string mp3 = (music_ / "b" / "3.mp3").string();
    const std::string before = test::readFile(music_ / "a" / "2.flac");
    platform_.expectMessage(coverSourceQuestion(folder(), 3).message, MessageAnswer::No);
    CoverBatchResult told;
    told.changed = 2;
    told.noImage.add(mp3);
    platform_.expectMessage(coverBatchResultMessage(folder(), told));
    test::PreviewSeen seen;
    test::answerNextPreview(true, seen);
    EXPECT_TRUE(run());
    ASSERT_EQ(seen.cells.size(), 12U);
    EXPECT_EQ(seen.cells[3], "Cover");
    EXPECT_EQ(seen.cells[5], "PNG 2\u00D72, 29 bytes");
    EXPECT_EQ(seen.skipped.size(), 1U);
    EXPECT_EQ(test::audioViewMap(music_ / "a" / "2.flac").at("pictures"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(context_->workspace().journal().undoLast().result, UndoReport::Result::Undone);
    EXPECT_EQ(test::readFile(music_ / "a" / "2.flac"), before);
}

TEST_F(CoverBatchTest, OneImageThatIsNoJpegOrPngIsRefused) {
    const auto gif = music_ / "a.gif";
    test::writeFile(gif, "GIF89a");
    platform_.expectMessage(coverSourceQuestion(folder(), 3).message, MessageAnswer::Yes);
    platform_.fileDialogAnswers.push_back(gif);
    platform_.expectMessage(
        {loadCoverImage(gif).problem, captionFor("Not a Cover Image"), MessageIcon::Warning});
    EXPECT_FALSE(run());
    EXPECT_EQ(test::readFile(music_ / "a" / "1.mp3"), test::mpegAudio(4));
}

}  // namespace
}  // namespace tunex
