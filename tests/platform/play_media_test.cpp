#include "platform/play_media.h"
#include "support/fake_platform.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

struct PlayCase {
    const char* path;
    bool handedOver;
};

class PlayMediaTest : public ::testing::TestWithParam<PlayCase> {};

// The four texts count anywhere in the path and in any case.
TEST_P(PlayMediaTest, OnlyPathsHoldingAMediaTextReachThePlayer) {
    test::FakePlatform platform;
    const PlayCase& c = GetParam();
    const PlayResult result = playMediaFile(platform, c.path);
    if (c.handedOver) {
        EXPECT_EQ(result, PlayResult::Started);
        ASSERT_EQ(platform.launched.size(), 1U);
        EXPECT_EQ(platform.launched.front(), std::filesystem::path(c.path));
    } else {
        EXPECT_EQ(result, PlayResult::NotMediaFile);
        EXPECT_TRUE(platform.launched.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PlayMediaTest,
    ::testing::Values(PlayCase{"/music/a.mp3", true}, PlayCase{"/music/a.mp2", true},
                      PlayCase{"/music/clip.wmv", true}, PlayCase{"/music/b.wma", true},
                      PlayCase{"/music/old.mp3s/readme.txt", true}, PlayCase{"/music/a.ogg", false},
                      PlayCase{"/Music/A.MP3", true}, PlayCase{"/m/b.Wma", true},
                      PlayCase{"/music/mp3", false}, PlayCase{"", false}));

TEST(PlayMediaResultTest, LaunchFailuresBecomeTheCallersMessages) {
    test::FakePlatform platform;
    platform.launchResult = LaunchResult::NoAssociatedApplication;
    EXPECT_EQ(playMediaFile(platform, "/m/a.mp3"), PlayResult::NoAssociatedApplication);
    platform.launchResult = LaunchResult::CouldNotStart;
    EXPECT_EQ(playMediaFile(platform, "/m/a.mp3"), PlayResult::CouldNotStart);

    const UserMessage noApp{"No associated application with the file /m/a.mp3",
                            "Tunex - No Associated Application", MessageIcon::Warning};
    EXPECT_EQ(playFailureMessage(PlayResult::NoAssociatedApplication, "/m/a.mp3"), noApp);
    UserMessage withStop = noApp;
    withStop.text += ".";
    EXPECT_EQ(playFailureMessage(PlayResult::NoAssociatedApplication, "/m/a.mp3",
                                 NoApplicationText::WithFullStop),
              withStop);
    EXPECT_EQ(playFailureMessage(PlayResult::CouldNotStart, "/m/a.mp3"),
              (UserMessage{"Open application error.", "Tunex - Open Application Error",
                           MessageIcon::Error}));
    EXPECT_FALSE(playFailureMessage(PlayResult::Started, "/m/a.mp3"));
    EXPECT_FALSE(playFailureMessage(PlayResult::NotMediaFile, "/m/a.txt"));
}

}  // namespace
}  // namespace tunex
