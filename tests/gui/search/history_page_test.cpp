#include "gui/search/history_page.h"
#include "core/search/search_history.h"
#include "gui/widgets/popup_menu_window.h"
#include "search_test_support.h"

#include <QApplication>
#include <QCoreApplication>

#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace tunex {
namespace {

using test::SearchSheetTest;

class HistoryPageTest : public SearchSheetTest {
protected:
    HistoryPage& history() { return page<HistoryPage>(PageId::History); }

    // Right-clicks the list at `pos` and types `keys` into the menu once it is up; false when no
    // menu opened.
    bool openMenuAndType(QPoint pos, const QString& keys) {
        bool opened = false;
        QTimer::singleShot(0, [keys, &opened] {
            auto* menu = qobject_cast<PopupMenuWindow*>(QApplication::activePopupWidget());
            opened = menu != nullptr;
            if (menu != nullptr) {
                QTest::keyClicks(menu, keys);
            }
        });
        Q_EMIT history().list()->customContextMenuRequested(pos);
        QCoreApplication::processEvents();
        return opened;
    }

    static std::string historyLines(int count) {
        std::string lines;
        for (int i = 0; i < count; ++i) {
            lines += "<ht>" + joinHistoryRow({"song" + std::to_string(i), "", "1", "CD"}) + "\n";
        }
        return lines;
    }
};

TEST_F(HistoryPageTest, AllLinesLoadAndTheFirstActivationKeepsTheNewest) {
    open({}, historyLines(20));
    EXPECT_EQ(history().rows().size(), 20U);
    EXPECT_EQ(history().list()->topLevelItemCount(), 20);
    EXPECT_EQ(history().limitText(), QStringLiteral("Max records kept in search history: 15"));
    EXPECT_FALSE(history().searchAgainButton()->isEnabled());

    sheet_->showPage(PageId::History);
    ASSERT_EQ(history().rows().size(), 15U);
    EXPECT_EQ(history().rows().front()[0], "song5");
    EXPECT_EQ(history().list()->topLevelItem(0)->text(0), QStringLiteral("song5"));
    EXPECT_EQ(history().limitText(),
              QStringLiteral("Maximum number of records kept in Search History: 15"));
    EXPECT_TRUE(history().searchAgainButton()->isEnabled());

    // A lower limit set on the Setting page applies at the next activation.
    context_->settings().maxHistory = 5;
    sheet_->showPage(PageId::Songs);
    sheet_->showPage(PageId::History);
    EXPECT_EQ(history().rows().size(), 5U);
    EXPECT_EQ(history().list()->topLevelItemCount(), 5);
    EXPECT_EQ(history().rows().front()[0], "song15");
}

TEST_F(HistoryPageTest, ASearchIsAppendedOnceAtTheBottom) {
    open({}, "<mh>3\n" + historyLines(3));
    context_->recordSearch(SearchSummary{"love", "", 3, "CD1"});
    sheet_->showPage(PageId::History);
    ASSERT_EQ(history().rows().size(), 3U);
    EXPECT_EQ(history().rows().back(), (HistoryRow{"love", "", "3", "CD1"}));
    EXPECT_EQ(history().rows().front()[0], "song1");

    sheet_->showPage(PageId::Songs);
    sheet_->showPage(PageId::History);
    EXPECT_EQ(history().rows().back()[0], "love");
    EXPECT_EQ(history().rows()[1][0], "song2");

    history().setLastHistoryCell("CD7");
    EXPECT_EQ(history().rows().back()[3], "CD7");
    EXPECT_EQ(history().list()->topLevelItem(2)->text(3), QStringLiteral("CD7"));

    // Repeating the oldest search moves its row to the newest end with the fresh count.
    context_->recordSearch(SearchSummary{"song1", "", 5, "CD2"});
    ASSERT_EQ(history().rows().size(), 3U);
    EXPECT_EQ(history().rows().front()[0], "song2");
    EXPECT_EQ(history().rows().back(), (HistoryRow{"song1", "", "5", "CD2"}));
    EXPECT_EQ(history().list()->topLevelItem(2)->text(2), QStringLiteral("5"));
}

TEST_F(HistoryPageTest, CtrlCAndTheRowMenuCopyTitleAndArtist) {
    open({}, "<ht>" + joinHistoryRow({"", "abba", "0", ""}) + "\n<ht>" +
                 joinHistoryRow({"love", "me", "2", "CD1"}) + "\n");
    sheet_->show();
    sheet_->showPage(PageId::History);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet_.get()));
    auto* list = history().list();
    const QPoint first = list->visualItemRect(list->topLevelItem(0)).center();
    const QPoint second = list->visualItemRect(list->topLevelItem(1)).center();
    const QPoint below = list->visualItemRect(list->topLevelItem(1)).bottomLeft() + QPoint(4, 40);

    // Nothing selected, nothing under the mouse: no message, no menu, nothing copied.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(openMenuAndType(below, QStringLiteral("c")));
    EXPECT_TRUE(platform_.clipboard.empty());

    history().selectRow(0);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(platform_.clipboard, " abba");

    // The menu acts on the row under the mouse, whatever was selected before.
    EXPECT_TRUE(openMenuAndType(second, QStringLiteral("c")));
    EXPECT_EQ(platform_.clipboard, "love me");
    EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
    EXPECT_TRUE(openMenuAndType(first, QStringLiteral("s")));
    EXPECT_EQ(sheet_->tabs()->currentIndex(), 0);
    ASSERT_EQ(history().rows().size(), 2U);
    EXPECT_EQ(history().rows().back(), (HistoryRow{"", "abba", "0", ""}));
}

TEST_F(HistoryPageTest, DoubleClickSearchesTheRowAgain) {
    open({}, "<ht>" + joinHistoryRow({"gone", "", "0", ""}) + "\n");
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet_.get()));
    sheet_->showPage(PageId::History);
    auto* list = history().list();
    const QPoint row = list->visualItemRect(list->topLevelItem(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
    EXPECT_EQ(sheet_->tabs()->currentIndex(), 0);
    // The Songs page searched it: nothing matched, and the history has the fresh row.
    EXPECT_EQ(history().rows(), (std::vector<HistoryRow>{{"gone", "", "0", ""}}));
}

TEST_F(HistoryPageTest, ColumnWidthsFollowTheWindow) {
    open({});
    const auto widths = [&] {
        std::vector<int> result;
        for (int column = 0; column < 4; ++column) {
            result.push_back(history().list()->header()->sectionSize(column));
        }
        return result;
    };
    EXPECT_EQ(widths(), (std::vector<int>{200, 100, 100, 150}));
    history().setWindowMaximized(true);
    EXPECT_EQ(widths(), (std::vector<int>{300, 200, 100, 220}));
}

}  // namespace
}  // namespace tunex
