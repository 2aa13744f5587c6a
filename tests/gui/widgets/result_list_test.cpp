#include "gui/widgets/result_list.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace tunex {
namespace {

// A list with File Name and File Size(KB) only.
ResultTable sizes(std::vector<std::pair<std::string, std::string>> rows) {
    ResultTable table{shownColumns({0, 0, 0, 1, 0, 0}), {}};
    for (auto& [name, size] : rows) {
        table.rows.push_back({name, size});
    }
    return table;
}

std::vector<std::string> column(const ResultList& list, int index) {
    std::vector<std::string> cells;
    for (const ResultRow& row : list.table().rows) {
        cells.push_back(row[static_cast<size_t>(index)]);
    }
    return cells;
}

TEST(ResultListTest, HeaderClicksToggleTheSortAndTheSelectionFollowsItsRow) {
    ResultList list;
    list.buildColumns(true, {0, 0, 0, 1, 0, 0});
    list.setTable(sizes({{"b", "  4096.5"}, {"c", "   512.0"}, {"a", "1048576.0"}}));
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.selectRow(0);  // "b"

    const auto clickHeader = [&](int section) {
        const int x = list.header()->sectionViewportPosition(section) + 5;
        QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    };
    clickHeader(0);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"a", "b", "c"}));
    clickHeader(0);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_FALSE(list.headerSortState().ascending);
    // Sizes compare as text: the leading blanks order them until one is wider than 8 characters.
    clickHeader(1);
    EXPECT_EQ(column(list, 1), (std::vector<std::string>{"   512.0", "  4096.5", "1048576.0"}));
    EXPECT_TRUE(list.headerSortState().ascending);
    ASSERT_TRUE(list.selectedRow());
    EXPECT_EQ(list.table().rows[static_cast<size_t>(*list.selectedRow())][0], "b");
}

TEST(ResultListTest, SortAfterASearchLeavesTheHeaderStateAlone) {
    ResultList list;
    list.buildColumns(true, {0, 0, 0, 1, 0, 0});
    list.setTable(sizes({{"abc", "1"}, {"ABC", "2"}, {"Abc", "3"}}));
    list.sortRows(0, true);
    // Keys equal but for case are never swapped.
    EXPECT_EQ(column(list, 1), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(list.headerSortState().lastSortColumn, -1);
}

TEST(ResultListTest, ColumnsAndWidths) {
    ResultList list;
    list.buildColumns(true, {1, 0, 0, 1, 1, 1});
    const std::vector<std::string> captions = list.table().captions();
    EXPECT_EQ(captions, (std::vector<std::string>{"File Name", "File Type", "File Size(KB)",
                                                  "Create Date", "ID3 Tag Info"}));
    EXPECT_EQ(list.findColumnByCaption("Create Date"), 3);
    EXPECT_EQ(list.findColumnByCaption("File Name"), -1);  // column 0 is never found
    EXPECT_EQ(list.findColumnByCaption("create date"), -1);
    // File Size(KB) is 50 / 100 wide, or as wide as its caption needs.
    const int sizeCaption =
        list.header()->fontMetrics().horizontalAdvance(QStringLiteral("File Size(KB)"));
    EXPECT_EQ(list.header()->sectionSize(0), 230);
    EXPECT_GE(list.header()->sectionSize(2), std::max(50, sizeCaption));
    list.setMaximised(true);
    EXPECT_EQ(list.header()->sectionSize(0), 350);
    EXPECT_GE(list.header()->sectionSize(2), std::max(100, sizeCaption));

    const std::vector<std::string> names = {"Pop"};
    list.appendRecord({0, "song", "/m", "mp3", "t;", "  10.0", "2001-01-01"}, names);
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.table().rows[0], (ResultRow{"song", "mp3", "  10.0", "2001-01-01", "t;"}));
    EXPECT_EQ(list.model()->data(list.model()->index(0, 0)).toString(), QStringLiteral("song"));

    list.buildColumns(true, {1, 1, 1, 1, 1, 1});  // a rebuild drops the rows
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.columns().size(), 7U);
}

// The sorted column carries its arrow until new rows come; a cell cut short shows its whole text
// as a tool tip, a cell that fits none.
TEST(ResultListTest, SortArrowAndCutCells) {
    ResultList list;
    list.buildColumns(true, {0, 0, 1, 0, 0, 0});  // File Name, Path
    const std::string longPath = "/media/music/" + std::string(60, 'x') + "/the end";
    ResultTable table{list.columns(), {{"short", longPath}, {"b", "/m"}}};
    list.setTable(table);
    list.resize(500, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    EXPECT_FALSE(list.header()->isSortIndicatorShown());
    const int x = list.header()->sectionViewportPosition(1) + 5;
    QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    EXPECT_TRUE(list.header()->isSortIndicatorShown());
    EXPECT_EQ(list.header()->sortIndicatorSection(), 1);
    EXPECT_EQ(list.header()->sortIndicatorOrder(), Qt::AscendingOrder);

    const auto tipAt = [&](int row, int column) {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        const QRect cell = list.visualRect(list.model()->index(row, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        list.viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(list.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    };
    const int longRow = list.table().rows[0][1] == longPath ? 0 : 1;
    EXPECT_EQ(tipAt(longRow, 1), longPath);
    EXPECT_EQ(tipAt(1 - longRow, 1), "");
    EXPECT_EQ(tipAt(0, 0), "");

    list.setTable(table);
    EXPECT_FALSE(list.header()->isSortIndicatorShown());
}

// The search lists on a light theme, on a dark one that leaves Qt's pale tool-tip colour in
// place, and on one whose tool tips are dark too; and the switch while the list is shown.
TEST(ResultListTest, ColoursFollowTheDesktopTheme) {
    const QPalette before = QApplication::palette();
    const auto theme = [](QColor base, QColor text, QColor tipBase, QColor tipText) {
        QPalette palette;
        palette.setColor(QPalette::Window, base);
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::ToolTipBase, tipBase);
        palette.setColor(QPalette::ToolTipText, tipText);
        return palette;
    };
    const QColor paleTip(0xff, 0xff, 0xdc);
    const QPalette light = theme(Qt::white, Qt::black, paleTip, Qt::black);
    const QPalette darkPaleTips =
        theme(QColor(0x2a, 0x2a, 0x2a), QColor(0xee, 0xee, 0xee), paleTip, Qt::black);
    const QPalette darkTips = theme(QColor(0x2a, 0x2a, 0x2a), QColor(0xee, 0xee, 0xee),
                                    QColor(0x35, 0x35, 0x35), QColor(0xdd, 0xdd, 0xdd));
    struct Case {
        const char* name;
        const QPalette& palette;
        QColor base;
        QColor text;
    };
    const Case cases[] = {
        {"light", light, paleTip, QColor(0x00, 0x00, 0x84)},
        {"dark, pale tool tips", darkPaleTips, QColor(0x2a, 0x2a, 0x2a), QColor(0xee, 0xee, 0xee)},
        {"dark tool tips", darkTips, QColor(0x35, 0x35, 0x35), QColor(0xdd, 0xdd, 0xdd)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::setPalette(c.palette);
        ResultList list;
        EXPECT_EQ(list.palette().color(QPalette::Base), c.base);
        EXPECT_EQ(list.palette().color(QPalette::Text), c.text);
    }

    QApplication::setPalette(light);
    QWidget page;
    auto* list = new ResultList(&page);
    page.show();
    QApplication::setPalette(darkPaleTips);
    EXPECT_EQ(list->palette().color(QPalette::Base), QColor(0x2a, 0x2a, 0x2a));
    EXPECT_EQ(list->palette().color(QPalette::Text), QColor(0xee, 0xee, 0xee));
    QApplication::setPalette(before);
}

}  // namespace
}  // namespace tunex
