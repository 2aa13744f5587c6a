#include "core/tags/tag_clearing.h"

#include "core/tags/batch_scope.h"
#include "core/tags/tag_preview.h"
#include "support/child_process.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "core/tags/tag_test_support.h"

namespace tunex {
namespace {

using test::hasLine;
using test::independentView;
using test::mpegAudio;
using test::readFile;
using test::v1Tag;
using test::v2Tag;
using test::v2Text;
using test::viewLine;
using test::writeFile;

class ClearAll : public ::testing::Test {
protected:
    std::filesystem::path make(const std::string& relative, const std::string& bytes) {
        const auto path = dir_ / relative;
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, bytes);
        return path;
    }
    std::string tagged() const {
        return v2Tag(3, v2Text(3, "TIT2", "Title") + v2Text(3, "TPE1", "Artist")) + audio_ +
               v1Tag("Title", "Artist", "Album", "2001", "", 4, 17);
    }
    std::string folder() const { return dir_.path().string(); }

    test::TempDir dir_;
    FileTypeList types_;
    const std::string audio_ = mpegAudio(5);
};

TEST_F(ClearAll, ClearsEveryMp3AndCountsListedTypes) {
    const auto a = make("a.mp3", tagged());
    const auto b = make("sub/B.MP3", tagged());
    const auto wma = make("c.wma", tagged());      // a listed type whose content is no ASF
    const auto bak = make("d.mp3.bak", tagged());  // cleared, but not a listed type
    const std::string body = viewLine(independentView(a), "body=");

    int steps = 0;
    const ClearAllResult result =
        clearAllTagsUnder(test::journal(), {folder(), true, {}}, types_, {[&] { ++steps; }, {}});
    EXPECT_EQ(result.counted, 2);
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(result.failed.count, 0);
    for (const auto& file : {a, b, bak}) {
        const std::string view = independentView(file);
        EXPECT_TRUE(hasLine(view, "v2=none")) << view;
        EXPECT_EQ(viewLine(view, "v1="), "v1=|||||0|255") << view;
        EXPECT_EQ(viewLine(view, "body="), body);
    }
    EXPECT_EQ(readFile(wma), tagged());
    EXPECT_EQ(
        clearAllResultMessage(folder(), result),
        (UserMessage{"All ID3 tags of 2 files under " + folder() +
                         " removed.\n1 file left alone, not Windows Media (ASF):\n" + wma.string(),
                     "Tunex - Tags Partly Removed", MessageIcon::Warning}));
}

TEST_F(ClearAll, SubfoldersOffLeavesThemAlone) {
    make("a.mp3", tagged());
    const auto inner = make("sub/b.mp3", tagged());
    const ClearAllResult result = clearAllTagsUnder(test::journal(), {folder(), false, {}}, types_);
    EXPECT_EQ(result.counted, 1);
    EXPECT_EQ(readFile(inner), tagged());
}

TEST_F(ClearAll, FilesWithoutAudioStayAsTheyWereAndAreReported) {
    // A tag claiming more bytes than the file holds leaves no audio to be found.
    const std::string pastEnd =
        "ID3\x03" + std::string(2, '\0') + test::syncsafe(100000) + v2Text(3, "TIT2", "t") + audio_;
    const auto bad = make("bad.mp3", pastEnd);
    make("good.mp3", tagged());
    const ClearAllResult result = clearAllTagsUnder(test::journal(), {folder(), true, {}}, types_);
    EXPECT_EQ(result.counted, 1);
    EXPECT_EQ(result.failed.count, 0);
    EXPECT_EQ(result.wrongContent.count, 1);
    EXPECT_EQ(readFile(bad), pastEnd);
    const UserMessage message = clearAllResultMessage(folder(), result);
    EXPECT_EQ(message.text, "All ID3 tags of 1 files under " + folder() +
                                " removed.\n1 file left alone, not MPEG audio:\n" + bad.string());
    EXPECT_EQ(message.icon, MessageIcon::Warning);
}

TEST_F(ClearAll, DiskFullPartWayChangesNothing) {
    // Removing a V2 tag moves the audio, through a copy that cannot be finished here.
    const auto big = make("big.mp3", v2Tag(3, v2Text(3, "TIT2", "t")) + mpegAudio(200));
    const std::string original = readFile(big);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{20000, 20000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const ClearAllResult r =
            clearAllTagsUnder(test::journal(), {folder(), true, {}}, FileTypeList());
        ::_exit(r.failed.count == 1 && r.counted == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile(big), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
}

TEST_F(ClearAll, StopLeavesEachFileUntouchedOrCleared) {
    for (int i = 0; i < 6; ++i) {
        make("f" + std::to_string(i) + ".mp3", tagged());
    }
    int steps = 0;
    const ClearAllResult result = clearAllTagsUnder(test::journal(), {folder(), true, {}}, types_,
                                                    {[&] { ++steps; }, [&] { return steps == 2; }});
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.counted, 2);
    int cleared = 0;
    int untouched = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
        const std::string bytes = readFile(entry.path());
        cleared += bytes.find("ID3") == std::string::npos ? 1 : 0;
        untouched += bytes == tagged() ? 1 : 0;
    }
    EXPECT_EQ(cleared, 2);
    EXPECT_EQ(untouched, 4);
    EXPECT_EQ(clearAllResultMessage("/m", result),
              (UserMessage{"Operation Cancelled. ID3 tags of 2 files under /m removed.",
                           "Tunex - Tag Removal Stopped", MessageIcon::Information}));
    // The progress steps for every listed file the walk meets, cleared or not.
    make("sub/notes.wma", "x");
    make("sub/g.MP3", tagged());
    EXPECT_EQ(countClearAllSteps({folder(), true, {}}, types_), 8);
    EXPECT_EQ(countClearAllSteps({folder(), false, {}}, types_), 6);
}

TEST_F(ClearAll, ListedFilesOnly) {
    const auto shown = make("sub/shown.mp3", tagged());
    const auto hidden = make("hidden.mp3", tagged());
    const auto gone = dir_ / "gone.mp3";
    const TagScope scope{folder(), true, {{shown.string(), gone.string()}}};
    EXPECT_EQ(countClearAllSteps(scope, types_), 2);
    EXPECT_EQ(countMusicFiles(scope), 2);
    EXPECT_EQ(countMusicFiles({folder(), true, {}}), 2);

    int steps = 0;
    const ClearAllResult result =
        clearAllTagsUnder(test::journal(), scope, types_, {[&] { ++steps; }, {}});
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(result.counted, 1);
    // A listed file removed since the listing is named, not silently passed over.
    EXPECT_EQ(result.failed.firstPaths, std::vector<std::string>{gone.string()});
    EXPECT_TRUE(hasLine(independentView(shown), "v2=none"));
    EXPECT_EQ(readFile(hidden), tagged());
}

TEST_F(ClearAll, PreviewNamesTheFilesItWouldLeaveAlone) {
    make("fake.mp3", "no audio here");
    const auto locked = make("locked.mp3", tagged());
    make("bare.mp3", audio_);  // nothing to clear: neither listed nor skipped
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all |
                                                  std::filesystem::perms::others_read |
                                                  std::filesystem::perms::others_exec);
    const auto skipped = test::runUnprivileged([this] {
        std::string out;
        for (const SkippedFile& file : previewClearAll({folder(), true, {}}).skipped) {
            out += std::filesystem::path(file.path).filename().string() + ": " + file.reason + ";";
        }
        return out;
    });
    ASSERT_TRUE(skipped);
    const bool either = *skipped == "fake.mp3: not MPEG audio;locked.mp3: read-only;" ||
                        *skipped == "locked.mp3: read-only;fake.mp3: not MPEG audio;";
    EXPECT_TRUE(either) << *skipped;
}

TEST(ClearMessages, ChecksQuestionsAndOneFile) {
    EXPECT_EQ(checkClearAll(false, 0)->text,
              "Please select a dirve or directory from the tree first.");
    EXPECT_EQ(checkClearAll(true, 0)->text,
              "No media file under this directory. Please select another directory.");
    EXPECT_FALSE(checkClearAll(true, 1));
    EXPECT_EQ(clearAllQuestion("/m", 2000),
              (UserMessage{"Are you sure you want to clear the tags of all music files under "
                           "/m?\nThe folder holds 2000 music files.",
                           "Tunex - Clear ID3 Tag?", MessageIcon::Question}));
    EXPECT_TRUE(clearAllQuestion("/m", 1).text.ends_with("?\nThe folder holds 1 music file."));
    const ScopeQuestion shown =
        scopeQuestion(BatchTool::ClearAll, ListPart::Shown, 132, 2000, "/m");
    EXPECT_EQ(shown.message,
              (UserMessage{"Clear the tags of the 132 music files shown in the list, or of all "
                           "2000 music files under /m?",
                           "Tunex - Clear ID3 Tag?", MessageIcon::Question}));
    EXPECT_EQ(shown.choices, (std::array<std::string, 2>{"Only the &Shown 132 music files",
                                                         "&All 2000 music files"}));
    const ScopeQuestion selected =
        scopeQuestion(BatchTool::EasyTag, ListPart::Selected, 1, 3, "/m");
    EXPECT_EQ(selected.message.text,
              "Set the tags from the names of the 1 music file selected in the list, or of all 3 "
              "music files under /m?");
    EXPECT_EQ(selected.message.caption, "Tunex - Easy Tag");
    EXPECT_EQ(selected.choices[0], "Only the &Selected 1 music file");
    EXPECT_EQ(scopeQuestion(BatchTool::Tidy, ListPart::Selected, 2, 3, "/m").message,
              (UserMessage{"Tidy the tags of the 2 music files selected in the list, or of all 3 "
                           "music files under /m?",
                           "Tunex - Tidy Tags", MessageIcon::Question}));
    EXPECT_EQ(clearThisTagQuestion("/m/a.mp3").text,
              "Are you sure you want to clear the ID3 tag of the file /m/a.mp3?");
    EXPECT_EQ(clearThisTagQuestion("/m/a.flac").text,
              "Are you sure you want to clear the tag of the file /m/a.flac?");
    EXPECT_EQ(clearThisTagResult("/m/a.ogg", TagWriteOutcome::Written).text,
              "The tag of file /m/a.ogg was cleared; its pictures and other fields stay.");
    EXPECT_EQ(clearThisTagResult("/m/a.mp3", TagWriteOutcome::Written),
              (UserMessage{"All ID3 tags removed from file /m/a.mp3",
                           "Tunex - Tag Successfully Removed", MessageIcon::Information}));
    EXPECT_EQ(clearThisTagResult("/m/a.mp3", TagWriteOutcome::Failed),
              (UserMessage{"The ID3 tags of file /m/a.mp3 could not be removed.",
                           "Tunex - File Error", MessageIcon::Error}));
}

}  // namespace
}  // namespace tunex
