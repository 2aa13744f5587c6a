#include "gui/widgets/popup_menu_window.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tunex {
namespace {

TEST(PopupMenuFit, StaysInsideTheWorkArea) {
    const QRect work(0, 0, 1280, 800);
    const QSize menu(200, 100);
    struct Case {
        QPoint at;
        QPoint expected;
    };
    const Case cases[] = {
        {{100, 100}, {100, 100}},    // fits: stays
        {{1080, 700}, {1080, 700}},  // touches both edges exactly
        {{1200, 100}, {1080, 100}},  // moved left
        {{100, 750}, {100, 700}},    // moved up
        {{1279, 799}, {1080, 700}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fitPopupMenu(c.at, menu, work), c.expected) << c.at.x() << "," << c.at.y();
    }
    // A menu larger than the work area stops at its left and top edges.
    EXPECT_EQ(fitPopupMenu({500, 500}, {2000, 900}, work), QPoint(0, 0));
    EXPECT_EQ(fitPopupMenu({1900, 50}, {300, 100}, QRect(1280, 0, 1920, 1080)), QPoint(1900, 50));
    EXPECT_EQ(fitPopupMenu({3150, 50}, {300, 100}, QRect(1280, 0, 1920, 1080)), QPoint(2900, 50));
}

class PopupMenuTest : public ::testing::Test {
protected:
    // The Songs page's menu, with Update History unavailable.
    void SetUp() override {
        menu_.loadMenuResources();
        menu_.addMenuItem(0, QStringLiteral("&Copy Filename to Clipboard"), 1, 3);
        menu_.addMenuItem(0, QStringLiteral("&Play Song"), 2);
        menu_.addMenuItem(kPopupNotSelectable | kPopupGrey, QStringLiteral("&Update History"), 3);
        menu_.addMenuItem(kPopupSeparator);
        menu_.addMenuItem(0, QStringLiteral("Search &History"), 4, 1);
        menu_.addMenuItem(kPopupBold, QStringLiteral("&Local"), 5, 1);
    }
    void open(Qt::MouseButtons held = Qt::NoButton) {
        menu_.popup(QPoint(50, 50), held);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu_));
    }
    QPoint centreOf(int item) const {
        const PopupMenuItem& it = menu_.items()[static_cast<size_t>(item)];
        return {menu_.width() / 2, it.top + it.height / 2};
    }

    PopupMenuWindow menu_;
};

TEST_F(PopupMenuTest, LaysItemsOutFromTheTop) {
    open();
    const auto& items = menu_.items();
    EXPECT_EQ(items[0].top, 3);
    EXPECT_GE(items[0].height, 17);
    EXPECT_EQ(items[3].height, 5);
    EXPECT_EQ(items[4].top, items[3].top + 5);
    EXPECT_EQ(menu_.height(), items.back().top + items.back().height + 2);
    const QFontMetrics metrics(menu_.font());
    EXPECT_GE(menu_.width(),
              metrics.horizontalAdvance(QStringLiteral("Copy Filename to Clipboard")) + 42);
    menu_.hide();
}

TEST_F(PopupMenuTest, AcceleratorKeys) {
    QSignalSpy closed(&menu_, &PopupMenuWindow::closed);
    open();
    QTest::keyClick(&menu_, Qt::Key_U);  // unavailable: nothing
    QTest::keyClick(&menu_, Qt::Key_Escape);
    QTest::keyClick(&menu_, Qt::Key_Down);
    EXPECT_TRUE(menu_.isVisible());
    EXPECT_EQ(closed.count(), 0);
    QTest::keyClick(&menu_, Qt::Key_P, Qt::ShiftModifier);  // case does not matter
    EXPECT_FALSE(menu_.isVisible());
    ASSERT_EQ(closed.count(), 1);
    EXPECT_EQ(closed[0][0].toInt(), 2);

    open();
    QTest::keyClick(&menu_, Qt::Key_Alt);
    EXPECT_FALSE(menu_.isVisible());
    EXPECT_EQ(menu_.chosenCommand(), 0);
}

TEST_F(PopupMenuTest, MouseChoosesOnlyFromSelectableItems) {
    open();
    QTest::mouseMove(&menu_, centreOf(2));  // unavailable: not highlighted
    EXPECT_EQ(menu_.hoveredItem(), -1);
    QTest::mouseMove(&menu_, centreOf(1));
    EXPECT_EQ(menu_.hoveredItem(), 1);
    QTest::mouseClick(&menu_, Qt::LeftButton, {}, centreOf(3));  // separator: stays open
    EXPECT_TRUE(menu_.isVisible());
    EXPECT_EQ(menu_.hoveredItem(), -1);
    QTest::mouseClick(&menu_, Qt::LeftButton, {}, centreOf(4));
    EXPECT_FALSE(menu_.isVisible());
    EXPECT_EQ(menu_.chosenCommand(), 4);
}

TEST_F(PopupMenuTest, TheButtonThatOpenedTheMenuIsIgnoredOnce) {
    open(Qt::RightButton);
    QTest::mouseRelease(&menu_, Qt::RightButton, {}, centreOf(0));
    EXPECT_TRUE(menu_.isVisible());
    QTest::mouseClick(&menu_, Qt::RightButton, {}, centreOf(0));
    EXPECT_EQ(menu_.chosenCommand(), 1);
}

TEST_F(PopupMenuTest, AClickOutsideClosesWithoutAChoice) {
    open();
    QTest::mouseMove(&menu_, centreOf(0));
    QTest::mousePress(&menu_, Qt::LeftButton, {}, QPoint(menu_.width() + 20, 10));
    EXPECT_FALSE(menu_.isVisible());
    EXPECT_EQ(menu_.chosenCommand(), 0);

    // showMenu waits for the menu to close and returns the command.
    QTimer::singleShot(0, &menu_, [this] { QTest::keyClick(&menu_, Qt::Key_L); });
    EXPECT_EQ(menu_.showMenu(QPoint(10, 10)), 5);
}

}  // namespace
}  // namespace tunex
