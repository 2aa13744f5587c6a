#include "gui/search/setting_page.h"
#include "core/search/setting_rules.h"
#include "gui/search/files_page.h"
#include "gui/search/songs_page.h"
#include "gui/widgets/result_list.h"
#include "search_test_support.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

namespace tunex {
namespace {

using test::SearchSheetTest;
using test::Song;

class SettingPageTest : public SearchSheetTest {
protected:
    SettingPage& setting() { return page<SettingPage>(PageId::Setting); }
    Settings& settings() { return context_->settings(); }

    // Replaces the whole edit text and types `keys` one at a time, as a user would.
    static void retype(QLineEdit* edit, const QString& keys) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, keys);
    }
    // Chooses an entry as the user does, which is what the page listens to.
    static void choose(QComboBox* list, int entry) {
        list->setCurrentIndex(entry);
        Q_EMIT list->activated(entry);
    }
    static QStringList captions(const ResultList& list) {
        QStringList result;
        for (int i = 0; i < list.model()->columnCount(); ++i) {
            result << list.model()->headerData(i, Qt::Horizontal).toString();
        }
        return result;
    }
};

TEST_F(SettingPageTest, LimitEditsTakeDigitsAsTheyAreTypedWithoutAMessage) {
    open({});
    auto* results = setting().maxResultsEdit();
    EXPECT_EQ(results->text(), QStringLiteral("3000"));
    EXPECT_EQ(setting().maxHistoryEdit()->text(), QStringLiteral("15"));

    retype(results, QStringLiteral("250"));
    EXPECT_EQ(settings().maxResults, 250);
    EXPECT_TRUE(setting().limitHint()->isHidden());

    // Anything but digits, and more digits than the limit has, never lands: typed or pasted.
    QTest::keyClicks(results, QStringLiteral("x-+ "));
    results->selectAll();
    results->insert(QStringLiteral("12345678901234567890123"));
    results->selectAll();
    results->insert(QStringLiteral("٣"));
    EXPECT_EQ(results->text(), QStringLiteral("250"));
    EXPECT_EQ(settings().maxResults, 250);

    // On the way to another value the edit may hold none or one outside the limits: the value in
    // effect stays and the hint says what is allowed.
    retype(results, QString());
    QTest::keyClick(results, Qt::Key_Backspace);
    EXPECT_TRUE(results->text().isEmpty());
    EXPECT_FALSE(setting().limitHint()->isHidden());
    EXPECT_EQ(setting().limitHint()->text(),
              QStringLiteral("Enter a whole number from 1 to 3000."));
    QTest::keyClicks(results, QStringLiteral("0"));
    EXPECT_EQ(settings().maxResults, 250);
    QTest::keyClicks(results, QStringLiteral("07"));
    EXPECT_EQ(settings().maxResults, 7);
    EXPECT_TRUE(setting().limitHint()->isHidden());

    retype(setting().maxHistoryEdit(), QStringLiteral("35"));
    EXPECT_EQ(settings().maxHistory, 3);  // taken after the "3"
    EXPECT_EQ(setting().limitHint()->text(), QStringLiteral("Enter a whole number from 1 to 30."));
    QCoreApplication::processEvents();
    EXPECT_TRUE(platform_.shown.empty());
}

TEST_F(SettingPageTest, LeavingALimitEditPutsBackTheValueInEffect) {
    open({});
    sheet_->show();
    sheet_->showPage(PageId::Setting);
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet_.get()));
    const UserMessage resultsLimit{"Maximum records in Search Result not within limit(1-3000).",
                                   "Tunex - Input Error", MessageIcon::Information};
    const UserMessage historyLimit{"Maximum records in Search History not within limit(1-30).",
                                   "Tunex - Input Error", MessageIcon::Information};
    const UserMessage notInteger{"Please enter an integer.", "Tunex - Input Error",
                                 MessageIcon::Warning};
    const std::function<void(QLineEdit*)> tabAway = [](QLineEdit* edit) {
        QTest::keyClick(edit, Qt::Key_Tab);
    };
    const std::function<void(QLineEdit*)> pressEnter = [](QLineEdit* edit) {
        QTest::keyClick(edit, Qt::Key_Return);
    };
    const std::function<void(QLineEdit*)> changePage = [this](QLineEdit*) {
        sheet_->showPage(PageId::Songs);
        sheet_->showPage(PageId::Setting);
    };
    struct Case {
        QLineEdit* edit;
        QString keys;
        std::function<void(QLineEdit*)> leave;
        std::optional<UserMessage> message;
        QString shownAfter;
    };
    const std::vector<Case> cases = {
        {setting().maxResultsEdit(), QStringLiteral("0"), tabAway, resultsLimit,
         QStringLiteral("3000")},
        {setting().maxResultsEdit(), QString(), pressEnter, notInteger, QStringLiteral("3000")},
        // 9, 99 and 999 were taken on the way.
        {setting().maxResultsEdit(), QStringLiteral("9999"), changePage, resultsLimit,
         QStringLiteral("999")},
        {setting().maxResultsEdit(), QStringLiteral("0040"), tabAway, std::nullopt,
         QStringLiteral("40")},
        {setting().maxHistoryEdit(), QStringLiteral("35"), tabAway, historyLimit,
         QStringLiteral("3")},
        {setting().maxHistoryEdit(), QStringLiteral("0"), changePage, historyLimit,
         QStringLiteral("3")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.toStdString());
        retype(c.edit, c.keys);
        if (c.keys.isEmpty()) {
            QTest::keyClick(c.edit, Qt::Key_Delete);
        }
        if (c.message) {
            platform_.expectMessage(*c.message);
        }
        c.leave(c.edit);
        EXPECT_EQ(c.edit->text(), c.shownAfter);
        EXPECT_TRUE(setting().limitHint()->isHidden());
        ASSERT_TRUE(QTest::qWaitFor([&] { return platform_.allExpectedShown(); }, 2000));
    }
    EXPECT_EQ(settings().maxResults, 40);
    EXPECT_EQ(settings().maxHistory, 3);
    EXPECT_EQ(platform_.shown.size(), 5U);  // one message for each refused value, not two

    // Closing the window with a refused value typed says nothing; the value in effect is kept.
    retype(setting().maxResultsEdit(), QStringLiteral("0"));
    sheet_->hide();
    QCoreApplication::processEvents();
    EXPECT_EQ(platform_.shown.size(), 5U);
    EXPECT_EQ(settings().maxResults, 40);
}

TEST_F(SettingPageTest, LimitHintReadsOnLightAndDarkWindows) {
    open({});
    for (const QColor& window : {QColor(0xf6, 0xf5, 0xf4), QColor(0x24, 0x24, 0x24)}) {
        QPalette palette = sheet_->palette();
        palette.setColor(QPalette::Window, window);
        sheet_->setPalette(palette);
        const QColor hint = setting().limitHint()->palette().color(QPalette::WindowText);
        EXPECT_GT(std::abs(hint.lightness() - window.lightness()), 60)
            << window.name().toStdString();
        EXPECT_GT(hint.red(), hint.green() + 60);  // still reads as an error
    }
}

TEST_F(SettingPageTest, StatisticsAndStartOptions) {
    open({{"A", {Song("1"), Song("2"), Song("3"), Song("4")}},
          {"B", {Song("5"), Song("6"), Song("7")}},
          {"C", {Song("8"), Song("9"), Song("10")}}},
         "<dt>7\n<as>02110111111;\n");
    EXPECT_EQ(setting().statisticLine(0), QStringLiteral("Total Files: 10"));
    EXPECT_EQ(setting().statisticLine(1), QStringLiteral("Total CDs: 3"));
    EXPECT_EQ(setting().statisticLine(2), QStringLiteral("Songs per CD:  3.33"));
    EXPECT_EQ(setting().defaultTabList()->currentText(), QStringLiteral("Tunex Friend"));
    EXPECT_TRUE(setting().sensitivityGroup()->button(2)->isChecked());

    setting().sensitivityGroup()->button(1)->click();
    EXPECT_EQ(settings().searchSensitivity, 1);
    setting().sensitivityGroup()->button(1)->click();  // clicking the checked one keeps it
    EXPECT_TRUE(setting().sensitivityGroup()->button(1)->isChecked());
    EXPECT_FALSE(setting().sensitivityGroup()->button(2)->isChecked());

    choose(setting().defaultTabList(), 4);
    EXPECT_EQ(settings().defaultTab, 5);
    setting().startMaximizedBox()->click();
    EXPECT_EQ(settings().startMaximized, 1);

    settings().totalSongs = 0;
    settings().collectionCount = 0;
    setting().activate();
    EXPECT_EQ(setting().statisticLine(2), QStringLiteral("Songs per CD: 0.00"));
}

TEST_F(SettingPageTest, SortColumnMustBeShown) {
    open({}, "<as>03110110111;\n");  // Path hidden
    platform_.expectMessage(*checkSortColumnChoice(3, settings().showColumns));
    choose(setting().sortColumnList(), 3);
    EXPECT_EQ(setting().sortColumnList()->currentIndex(), 0);
    EXPECT_EQ(settings().sortColumn, 0);
    choose(setting().sortColumnList(), 2);
    EXPECT_EQ(settings().sortColumn, 2);
}

TEST_F(SettingPageTest, InsertAndRemoveColumns) {
    open({}, "<as>03112111111;\n");  // sorted by Disc Name
    auto* columns = setting().columnList();
    EXPECT_EQ(columns->currentText(), QStringLiteral("File Type"));
    EXPECT_FALSE(setting().insertButton()->isEnabled());
    EXPECT_TRUE(setting().removeButton()->isEnabled());
    const QSignalSpy columnsChanged(context_.get(), &AppContext::columnsChanged);

    columns->setCurrentIndex(1);  // Disc Name, the sort column
    platform_.expectMessage(removeSortingColumnQuestion(), MessageAnswer::No);
    setting().removeButton()->click();
    EXPECT_EQ(settings().showColumns[1], 1);
    EXPECT_EQ(columnsChanged.count(), 0);

    platform_.expectMessage(removeSortingColumnQuestion(), MessageAnswer::Yes);
    setting().removeButton()->click();
    EXPECT_EQ(settings().showColumns[1], 0);
    EXPECT_EQ(settings().sortColumn, 0);
    EXPECT_EQ(setting().sortColumnList()->currentText(), QStringLiteral("File Name"));
    EXPECT_TRUE(setting().insertButton()->isEnabled());
    EXPECT_FALSE(setting().removeButton()->isEnabled());
    EXPECT_GT(columnsChanged.count(), 0);

    columns->setCurrentIndex(2);
    platform_.expectMessage(*columnRemovedNotice(2));
    setting().removeButton()->click();
    EXPECT_EQ(platform_.shown.back().message.caption, "Tunex - Remove Path Column");

    columns->setCurrentIndex(1);
    setting().insertButton()->click();
    EXPECT_EQ(settings().showColumns[1], 1);

    columns->setCurrentIndex(-1);
    platform_.expectMessage(noColumnSelectedMessage());
    setting().removeButton()->click();
}

TEST_F(SettingPageTest, ColumnChangesReachSongsAndFilesOnTheirNextActivation) {
    open({{"Pop", {Song("a")}}});
    sheet_->showPage(PageId::Songs);
    sheet_->showPage(PageId::Files);
    auto& songs = page<SongsPage>(PageId::Songs);
    auto& files = page<FilesPage>(PageId::Files);
    songs.listAll();
    songs.titleEdit()->setText(QStringLiteral("typed"));

    sheet_->showPage(PageId::Setting);
    setting().columnList()->setCurrentIndex(2);
    platform_.expectMessage(*columnRemovedNotice(2));
    setting().removeButton()->click();
    setting().columnList()->setCurrentIndex(1);
    setting().removeButton()->click();
    EXPECT_EQ(songs.resultList()->columns().size(), 7U);  // not before the next activation

    const QStringList expected = {QStringLiteral("File Name"), QStringLiteral("File Type"),
                                  QStringLiteral("File Size(KB)"), QStringLiteral("Create Date"),
                                  QStringLiteral("ID3 Tag Info")};
    sheet_->showPage(PageId::Songs);
    EXPECT_EQ(captions(*songs.resultList()), expected);
    EXPECT_EQ(songs.resultList()->rowCount(), 0);
    EXPECT_TRUE(songs.titleEdit()->text().isEmpty());
    sheet_->showPage(PageId::Files);
    EXPECT_EQ(captions(*files.resultList()), expected);
    EXPECT_EQ(files.collectionList()->currentText(), QStringLiteral("Pop"));

    // Maximising widens File Name on both lists; restoring narrows it again.
    sheet_->showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet_->isMaximized(); }, 2000));
    EXPECT_EQ(files.resultList()->header()->sectionSize(0), 350);
    EXPECT_EQ(songs.resultList()->header()->sectionSize(0), 350);
    sheet_->showNormal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet_->isMaximized(); }, 2000));
    EXPECT_EQ(files.resultList()->header()->sectionSize(0), 230);
}

TEST_F(SettingPageTest, FilesPageListsNoCollectionsOfAnEmptyCatalogue) {
    open({});
    sheet_->showPage(PageId::Files);
    EXPECT_EQ(page<FilesPage>(PageId::Files).collectionList()->count(), 0);
    EXPECT_EQ(page<FilesPage>(PageId::Files).collectionList()->currentIndex(), -1);
    EXPECT_EQ(page<FilesPage>(PageId::Files).statusLine(), QStringLiteral("No search performed."));
}

}  // namespace
}  // namespace tunex
