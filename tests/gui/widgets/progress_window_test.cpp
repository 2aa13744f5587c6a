#include "gui/widgets/progress_window.h"
#include "support/fake_platform.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace tunex {
namespace {

// An owner window that notes whether input reached it.
class Owner final : public QWidget {
public:
    int closeRequests = 0;
    int escapes = 0;

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closeRequests;
        QWidget::closeEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        escapes += event->key() == Qt::Key_Escape ? 1 : 0;
        QWidget::keyPressEvent(event);
    }
};

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_.resize(600, 400);
        owner_.show();
    }

    void pressEscape(ProgressWindow& progress, bool cancelOnEscape) {
        QCoreApplication::postEvent(
            &owner_, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        progress.pumpMessages(cancelOnEscape);
    }

    test::FakePlatform platform_;
    Owner owner_;
};

TEST(ProgressPercentTest, RoundsHalfUpAndIsZeroForAnEmptyRange) {
    EXPECT_EQ(progressPercent(10, 20, 15), 50);
    EXPECT_EQ(progressPercent(0, 8, 1), 13);  // 12.5
    EXPECT_EQ(progressPercent(0, 3, 1), 33);
    EXPECT_EQ(progressPercent(0, 3, 2), 67);
    EXPECT_EQ(progressPercent(5, 5, 5), 0);
    EXPECT_EQ(progressPercent(5, 5, 900), 0);
    EXPECT_EQ(progressPercent(9, 3, 6), 0);
    // No overflow on ranges far beyond a hundredth of the integer range.
    EXPECT_EQ(progressPercent(0, 2000000000, 1000000000), 50);
}

TEST_F(ProgressWindowTest, TextChangesOnlyWhenThePercentageDoes) {
    ProgressWindow progress(platform_, &owner_);
    progress.setRange(0, 200, 1);
    progress.setMessage(QStringLiteral("Adding files"));
    EXPECT_EQ(progress.messageText(), QStringLiteral("Adding files"));
    // A later message is shown but the first one stays the base of the percentage text.
    progress.setMessage(QStringLiteral("Something else"));
    EXPECT_EQ(progress.messageText(), QStringLiteral("Something else"));

    std::vector<int> changedAt;
    QString last = progress.messageText();
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(progress.stepIt(), i + 1);
        if (progress.messageText() != last) {
            changedAt.push_back(i + 1);
            last = progress.messageText();
        }
    }
    ASSERT_EQ(changedAt.size(), 100U);
    for (size_t k = 0; k < changedAt.size(); ++k) {
        EXPECT_EQ(changedAt[k], static_cast<int>(2 * k + 1));
    }
    EXPECT_EQ(progress.percent(), 100);
    EXPECT_EQ(progress.messageText(), QStringLiteral("Adding files [100% complete]"));
}

TEST_F(ProgressWindowTest, StopAndEscapeCancelAndTheNextStepShowsTheWindowAgain) {
    ProgressWindow stopped(platform_, &owner_);
    ASSERT_TRUE(stopped.window()->isVisible());
    stopped.stopButton()->click();
    EXPECT_TRUE(stopped.isCancelled());
    EXPECT_FALSE(stopped.window()->isVisible());
    stopped.stepIt();
    EXPECT_TRUE(stopped.window()->isVisible());

    // Without cancel-on-Escape the key is swallowed; with it, it cancels. Neither reaches the
    // owner.
    ProgressWindow escaped(platform_, &owner_);
    pressEscape(escaped, false);
    EXPECT_FALSE(escaped.isCancelled());
    EXPECT_TRUE(escaped.window()->isVisible());
    pressEscape(escaped, true);
    EXPECT_TRUE(escaped.isCancelled());
    EXPECT_FALSE(escaped.window()->isVisible());
    EXPECT_EQ(owner_.escapes, 0);
}

TEST_F(ProgressWindowTest, CloseRequestsWhilePumpingNeverReachTheWindows) {
    ProgressWindow progress(platform_, &owner_);
    QCoreApplication::postEvent(&owner_, new QCloseEvent);
    QCoreApplication::postEvent(progress.window(), new QCloseEvent);
    progress.pumpMessages(true);
    EXPECT_EQ(owner_.closeRequests, 0);
    EXPECT_TRUE(progress.window()->isVisible());
    EXPECT_FALSE(progress.isCancelled());
}

TEST_F(ProgressWindowTest, DisabledStopAndADisabledOwner) {
    ProgressWindow progress(platform_, &owner_);
    progress.enableStop(false);
    EXPECT_FALSE(progress.stopButton()->isEnabled());
    // The caller disables its window during the walk; the progress window stays usable.
    owner_.setEnabled(false);
    EXPECT_TRUE(progress.window()->isEnabled());
    owner_.setEnabled(true);
}

TEST_F(ProgressWindowTest, ModalWindowDisablesItsOwnerUntilItCloses) {
    ProgressWindowOptions options;
    options.modal = true;
    {
        ProgressWindow progress(platform_, &owner_, options);
        EXPECT_FALSE(owner_.isEnabled());
        progress.stopButton()->click();
        EXPECT_TRUE(progress.isCancelled());
        EXPECT_EQ(progress.window(), nullptr);
        EXPECT_TRUE(owner_.isEnabled());
        // Gone for good: steps only keep the position.
        EXPECT_EQ(progress.setPosition(7), 0);
        EXPECT_EQ(progress.messageText(), QString());
    }
    EXPECT_TRUE(owner_.isEnabled());
}

TEST_F(ProgressWindowTest, RemembersItsPlaceAndIgnoresOneOffTheScreen) {
    platform_.profile["X"] = 40;
    platform_.profile["Y"] = 30;
    {
        ProgressWindow progress(platform_, &owner_);
        EXPECT_EQ(progress.window()->frameGeometry().topLeft(), QPoint(40, 30));
        progress.window()->move(70, 80);
        progress.destroy();
        EXPECT_EQ(progress.window(), nullptr);
        progress.destroy();  // twice is harmless
    }
    EXPECT_EQ(platform_.profile["X"], 70);
    EXPECT_EQ(platform_.profile["Y"], 80);

    platform_.profile["X"] = 100000;
    ProgressWindow centred(platform_, &owner_);
    EXPECT_NEAR(centred.window()->frameGeometry().center().x(), owner_.frameGeometry().center().x(),
                4);

    ProgressWindowOptions forget;
    forget.savePosition = false;
    platform_.profile.clear();
    ProgressWindow unsaved(platform_, &owner_, forget);
    unsaved.destroy();
    EXPECT_TRUE(platform_.profile.empty());
}

}  // namespace
}  // namespace tunex
