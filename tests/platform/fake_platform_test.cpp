#include "support/fake_platform.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>

namespace tunex {
namespace {

// The failures a stretch of test code reports, caught so that they do not fail this test.
std::vector<std::string> failuresOf(const std::function<void()>& body) {
    ::testing::TestPartResultArray results;
    {
        const ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        body();
    }
    std::vector<std::string> texts;
    for (int i = 0; i < results.size(); ++i) {
        texts.emplace_back(results.GetTestPartResult(i).message());
    }
    return texts;
}

bool mentions(const std::string& failure, const std::string& text) {
    return failure.find(text) != std::string::npos;
}

// A fixture that forgets to check must still fail: the fake checks itself when it goes.
TEST(FakePlatformTest, WhatIsLeftOrUnexpectedFailsTheTest) {
    const UserMessage saved{"Saved to out.csv.", "Tunex - Export", MessageIcon::Information};
    const UserMessage refused{"Name is empty.", "Tunex - Input Error", MessageIcon::Question};

    EXPECT_TRUE(failuresOf([&] {
                    test::FakePlatform platform;
                    platform.expectMessage(saved);
                    platform.fileDialogAnswers.push_back(std::nullopt);
                    EXPECT_FALSE(platform.allExpectedShown());
                    EXPECT_EQ(platform.saveFileName({}), std::nullopt);
                    platform.showMessage({saved});
                    EXPECT_TRUE(platform.allExpectedShown());
                }).empty());

    // Each leftover is named, one failure apiece.
    const auto left = failuresOf([&] {
        test::FakePlatform platform;
        platform.expectMessage(saved);
        platform.expectMessage(refused, MessageAnswer::Yes);
        platform.fileDialogAnswers.push_back(std::filesystem::path("/music/list.htm"));
        platform.fileDialogAnswers.push_back(std::nullopt);
        platform.showMessage({saved});
    });
    ASSERT_EQ(left.size(), 3U);
    EXPECT_TRUE(mentions(left[0], "Name is empty.")) << left[0];
    EXPECT_TRUE(mentions(left[0], "Tunex - Input Error")) << left[0];
    EXPECT_TRUE(mentions(left[1], "/music/list.htm")) << left[1];
    EXPECT_TRUE(mentions(left[2], "cancel")) << left[2];

    // A message nobody expected, and one other than the expected one.
    const auto unexpected = failuresOf([&] {
        test::FakePlatform platform;
        EXPECT_EQ(platform.showMessage({refused, MessageButtons::YesNo}), MessageAnswer::No);
    });
    ASSERT_EQ(unexpected.size(), 1U);
    EXPECT_TRUE(mentions(unexpected[0], "Name is empty.")) << unexpected[0];
    const auto wrong = failuresOf([&] {
        test::FakePlatform platform;
        platform.expectMessage(saved);
        platform.showMessage({refused});
    });
    EXPECT_FALSE(wrong.empty());
}

}  // namespace
}  // namespace tunex
