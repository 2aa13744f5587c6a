#include "gui/app/tips_page.h"
#include "gui/app/app_context.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"

#include <QPushButton>

#include <gtest/gtest.h>

namespace tunex {
namespace {

std::unique_ptr<AppContext> openContext(test::FakePlatform& platform, test::BaseFolder& base) {
    UserMessage failure;
    return std::make_unique<AppContext>(platform, Workspace::open(base.path(), failure));
}

TEST(TipsPageTest, StepsThroughTheTipsAndStartsOver) {
    test::FakePlatform platform;
    test::BaseFolder base;
    // A CR LF file and a long tip: each line is one tip, whole.
    const std::string longTip(600, 'x');
    test::writeFile(base.path() / "system" / "tpall.ifo",
                    "Tip one\r\n" + longTip + "\nTip three\n@*EOF\nnever shown\n");
    auto context = openContext(platform, base);
    TipsPage page(*context);
    EXPECT_EQ(page.tipText(), QStringLiteral("Tip one"));
    page.nextButton()->click();
    EXPECT_EQ(page.tipText().size(), 600);
    page.nextButton()->click();
    EXPECT_EQ(page.tipText(), QStringLiteral("Tip three"));
    page.nextButton()->click();
    EXPECT_EQ(page.tipText(), QStringLiteral("Tip one"));
}

TEST(TipsPageTest, WithoutATipsFileShowsTheFixedTip) {
    test::FakePlatform platform;
    test::BaseFolder base;
    auto context = openContext(platform, base);
    TipsPage page(*context);
    const QString fixed = QStringLiteral("You can switch between tag using the Ctrl-Tab key.");
    EXPECT_EQ(page.tipText(), fixed);
    page.nextButton()->click();
    EXPECT_EQ(page.tipText(), fixed);
    EXPECT_TRUE(platform.shown.empty());
}

}  // namespace
}  // namespace tunex
