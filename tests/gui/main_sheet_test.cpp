#include "gui/app/main_sheet.h"
#include "gui/app/about_box.h"
#include "gui/app/app_context.h"
#include "gui/app/page.h"
#include "gui/app/startup.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace tunex {
namespace {

using test::BaseFolder;
using test::FakePlatform;

class MainSheetTest : public ::testing::Test {
protected:
    // Opens the base folder the way the program does, with the fake desktop.
    std::unique_ptr<MainSheet> openSheet(BaseFolder& base) {
        UserMessage failure;
        auto workspace = Workspace::open(base.path(), failure);
        EXPECT_NE(workspace, nullptr) << failure.text;
        context_ = std::make_unique<AppContext>(platform_, std::move(workspace));
        return std::make_unique<MainSheet>(*context_);
    }

    FakePlatform platform_;
    std::unique_ptr<AppContext> context_;
};

TEST_F(MainSheetTest, NinePagesInTabOrder) {
    BaseFolder base;
    auto sheet = openSheet(base);
    // Each tab has a letter of its own for Alt.
    const QStringList expected = {
        QStringLiteral("S&ongs"),    QStringLiteral("F&iles"),   QStringLiteral("&History"),
        QStringLiteral("Data&base"), QStringLiteral("&Local"),   QStringLiteral("File T&ype"),
        QStringLiteral("Frie&nd"),   QStringLiteral("Se&tting"), QStringLiteral("Ti&ps")};
    ASSERT_EQ(sheet->tabs()->count(), expected.size());
    for (int tab = 0; tab < expected.size(); ++tab) {
        EXPECT_EQ(sheet->tabs()->tabText(tab), expected[tab]);
        EXPECT_FALSE(sheet->tabs()->tabIcon(tab).isNull());
    }
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Tunex"));
    EXPECT_EQ(sheet->helpButton()->text(), QStringLiteral("Help"));
    EXPECT_EQ(sheet->aboutButton()->text(), QStringLiteral("About..."));
    EXPECT_EQ(sheet->exitButton()->text(), QStringLiteral("Exit"));
    EXPECT_EQ(sheet->helpButton()->iconSize(), QSize(26, 26));
    EXPECT_EQ(sheet->exitButton()->iconSize(), QSize(23, 23));
}

TEST_F(MainSheetTest, PageNumbersChooseTabs) {
    BaseFolder base;
    auto sheet = openSheet(base);
    // Number -> tab; the Setting tab (7) has no number, unknown numbers give Songs.
    const std::vector<std::pair<int, int>> cases = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5},
                                                    {7, 6}, {8, 8}, {0, 0}, {9, 0}, {-3, 0}};
    for (const auto& [number, tab] : cases) {
        sheet->showPage(number == 8 ? PageId::Files : PageId::Tips);  // move away first
        sheet->showPageNumber(number);
        EXPECT_EQ(sheet->tabs()->currentIndex(), tab) << "page number " << number;
    }
}

struct StartCase {
    int collections;
    int defaultTab;
    int expectedTab;
};

class StartPageTest : public MainSheetTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartPageTest, OpensTheRightPage) {
    const StartCase c = GetParam();
    BaseFolder base("<ts>0\n<tf>" + std::to_string(c.collections) + "\n<dt>" +
                    std::to_string(c.defaultTab) + "\n@*EOF\n");
    for (int i = 0; i < c.collections; ++i) {
        base.addCollection(i, "CD " + std::to_string(i), 2);
    }
    auto sheet = openSheet(base);
    sheet->start();
    EXPECT_EQ(sheet->tabs()->currentIndex(), c.expectedTab);
}

INSTANTIATE_TEST_SUITE_P(Rules, StartPageTest,
                         ::testing::Values(StartCase{0, 5, 3},  // empty catalogue: Database
                                           StartCase{0, 1, 3}, StartCase{1, 5, 4},
                                           StartCase{2, 0, 0}, StartCase{1, 9, 0},
                                           StartCase{1, 8, 8}, StartCase{1, 7, 6},
                                           StartCase{1, 3, 2}),
                         [](const ::testing::TestParamInfo<StartCase>& info) {
                             return "collections" + std::to_string(info.param.collections) +
                                    "_defaultTab" + std::to_string(info.param.defaultTab);
                         });

TEST_F(MainSheetTest, EnterDoesNothing) {
    BaseFolder base("<ts>0\n<tf>1\n@*EOF\n");
    base.addCollection(0, "Pop", 1);
    test::writeFile(base.path() / "system" / "tpall.ifo", "Tip one\nTip two\n@*EOF");
    auto sheet = openSheet(base);
    // The Songs page takes Enter for its search; elsewhere it does nothing.
    auto* edit = new QLineEdit(sheet->page(PageId::Files));
    bool returnPressed = false;
    QObject::connect(edit, &QLineEdit::returnPressed, [&] { returnPressed = true; });
    sheet->start();
    sheet->showPage(PageId::Files);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_FALSE(returnPressed);

    sheet->showPage(PageId::Tips);
    auto* next = sheet->page(PageId::Tips)->findChild<QPushButton*>();
    ASSERT_NE(next, nullptr);
    const QString before =
        sheet->page(PageId::Tips)->findChild<QLabel*>(QStringLiteral("tipText"))->text();
    next->setFocus();
    QTest::keyClick(next, Qt::Key_Return);
    EXPECT_EQ(sheet->page(PageId::Tips)->findChild<QLabel*>(QStringLiteral("tipText"))->text(),
              before);
    EXPECT_TRUE(sheet->isVisible());
}

// The keyboard reaches everything: typing goes to the start page at once, Alt+letter changes
// tabs (a page's own letter wins on that page), F1 opens the shown page's help, Ctrl+Q quits.
TEST_F(MainSheetTest, TheKeyboardReachesEveryPage) {
    BaseFolder base("<ts>0\n<tf>1\n<dt>1\n@*EOF\n");
    base.addCollection(0, "Pop", 1);
    std::filesystem::create_directories(base.path() / "hlp");
    test::writeFile(base.path() / "hlp" / "index.htm", "<html></html>");
    auto sheet = openSheet(base);
    sheet->start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_TRUE(sheet->page(PageId::Songs)->isAncestorOf(QApplication::focusWidget()));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(sheet->tabs()->currentIndex(), tabIndex(PageId::Songs));  // the page's List All
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(sheet->tabs()->currentIndex(), tabIndex(PageId::Tips));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(sheet->tabs()->currentIndex(), tabIndex(PageId::Local));
    EXPECT_TRUE(sheet->page(PageId::Local)->isAncestorOf(QApplication::focusWidget()));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    ASSERT_EQ(platform_.helpSections.size(), 1U);
    EXPECT_EQ(platform_.helpSections.back(), "local");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(MainSheetTest, ClosingWritesSettingsAndKeepsTheHistory) {
    BaseFolder base(
        "<ts>12\n<tf>1\n<md>250\n<ht>love@?@beatles%|%12^*^Pop\n<ht>@?@abba%|%0^*^\n@*EOF\n");
    base.addCollection(0, "Pop", 12);
    auto sheet = openSheet(base);
    sheet->start();
    context_->settings().maxHistory = 20;  // as the Setting page would change it
    sheet->exitButton()->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(base.settingsText(),
              "<ts>12\n<tf>1\n<md>250\n<mh>20\n<dt>1\n<as>03110111111;\n<ft>mp3;mp2;wmv;wma;dat;\n"
              "<ht>love@?@beatles%|%12^*^Pop\n<ht>@?@abba%|%0^*^\n@*EOF\n");
    EXPECT_TRUE(platform_.shown.empty());
}

TEST_F(MainSheetTest, SettingsThatCannotBeWrittenAreReported) {
    BaseFolder base;
    auto sheet = openSheet(base);
    // A folder where the file should be makes the rename fail, even for root.
    std::filesystem::remove(base.path() / "system" / "system.ifo");
    std::filesystem::create_directories(base.path() / "system" / "system.ifo" / "in-the-way");
    platform_.expectMessage({"Settings could not be saved to " +
                                 (base.path() / "system" / "system.ifo").string() +
                                 ".\nrename failed: Is a directory",
                             "Tunex - File Error", MessageIcon::Error});
    sheet->close();
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(MainSheetTest, HelpGoesToTheBrowser) {
    BaseFolder base("<ts>1\n<tf>1\n@*EOF\n");
    base.addCollection(0, "Pop", 1);
    const std::filesystem::path page = base.path() / "hlp" / "index.htm";
    test::writeFile(page, "<html></html>");
    auto sheet = openSheet(base);
    sheet->start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
    sheet->helpButton()->click();
    QTest::keyClick(sheet.get(), Qt::Key_F1);
    ASSERT_EQ(platform_.helpPages.size(), 2U);
    EXPECT_EQ(platform_.helpPages[0], page);

    platform_.browserAvailable = false;
    platform_.expectMessage(
        {"No web browser could be started to show the help.\nInstall a web "
         "browser and the xdg-utils package, then try again.",
         "Tunex - Help Error", MessageIcon::Error});
    sheet->helpButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());

    // A base folder without its help pages says so instead of sending the user for a browser.
    std::filesystem::remove(page);
    platform_.expectMessage({"The help page " + page.string() + " was not found.",
                             "Tunex - Help Error", MessageIcon::Error});
    QTest::keyClick(sheet.get(), Qt::Key_F1);
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(platform_.helpPages.size(), 3U);
    sheet->close();
}

TEST_F(MainSheetTest, AboutBoxShowsTheVersion) {
    BaseFolder base("<ts>1\n<tf>1\n@*EOF\n");
    base.addCollection(0, "Pop", 1);
    auto sheet = openSheet(base);
    sheet->start();
    sheet->aboutButton()->click();
    auto* about = sheet->findChild<AboutBox*>();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Tunex"));
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("versionText"))->text(),
              QStringLiteral("Tunex Version 2.3"));
    EXPECT_TRUE(about->isVisible());
    about->accept();
    sheet->close();
}

TEST_F(MainSheetTest, PagesHearOfMaximiseAndRestore) {
    BaseFolder base("<ts>1\n<tf>1\n@*EOF\n");
    base.addCollection(0, "Pop", 1);
    auto sheet = openSheet(base);
    sheet->start();
    sheet->showMaximized();
    QTest::qWait(50);
    for (const PageId tab : {PageId::Songs, PageId::Files, PageId::History}) {
        EXPECT_TRUE(sheet->page(tab)->isWindowMaximized()) << tabIndex(tab);
    }
    sheet->showNormal();
    QTest::qWait(50);
    for (const PageId tab : {PageId::Songs, PageId::Files, PageId::History}) {
        EXPECT_FALSE(sheet->page(tab)->isWindowMaximized()) << tabIndex(tab);
    }
    EXPECT_GE(sheet->width(), sheet->minimumWidth());
    sheet->close();
}

TEST_F(MainSheetTest, OpensSmallEnoughForALaptopScreen) {
    BaseFolder base;
    auto sheet = openSheet(base);
    EXPECT_LE(sheet->width(), 1280);
    EXPECT_LE(sheet->height(), 800);
    EXPECT_EQ(sheet->minimumSize(), sheet->size());
    // The first start on a big screen takes two thirds of it; a small one keeps the opening size.
    EXPECT_EQ(firstStartSize({900, 600}, {1600, 1000}), QSize(1066, 666));
    EXPECT_EQ(firstStartSize({900, 600}, {1024, 768}), QSize(900, 600));
    EXPECT_EQ(firstStartSize({900, 600}, {800, 500}), QSize(800, 500));
}

TEST_F(MainSheetTest, SizePlaceAndMaximisedStateLastFromRunToRun) {
    BaseFolder base("<ts>1\n<tf>1\n@*EOF\n");
    base.addCollection(0, "Pop", 1);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint place = available.topLeft() + QPoint(30, 20);
    // One run of the program: the sheet and the workspace it holds end together.
    const auto run = [&](const std::function<void(MainSheet&)>& use) {
        auto sheet = openSheet(base);
        sheet->start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        use(*sheet);
        sheet->close();
        sheet.reset();
        context_.reset();
    };
    QSize size;
    run([&](MainSheet& sheet) {
        EXPECT_TRUE(available.contains(sheet.frameGeometry()));
        sheet.move(place);
        sheet.resize(sheet.size() + QSize(7, 5));
        size = sheet.size();
    });
    ASSERT_EQ(platform_.profileData.count("MainWindowGeometry"), 1U);
    run([&](MainSheet& sheet) {
        EXPECT_EQ(sheet.size(), size);
        EXPECT_EQ(sheet.pos(), place);
        sheet.showMaximized();
        QTest::qWait(50);
    });
    run([&](MainSheet& sheet) { EXPECT_TRUE(sheet.isMaximized()); });
}

TEST(StartupTest, FailuresEndWithTheMessageAndCodeOne) {
    FakePlatform platform;
    const UserMessage settingsFailure{
        "System file could not be opened.\nCheck if duplicate program is running.",
        "Tunex - File Error", MessageIcon::Error};

    test::TempDir empty;  // no system folder at all
    platform.expectMessage(
        {"System file could not be opened: " + (empty / "system/system.ifo").string() +
             "\nNo such file or directory",
         "Tunex - File Error", MessageIcon::Error});
    EXPECT_EQ(runTunex(platform, empty.path()), 1);

    BaseFolder held;
    const auto holder = SettingsFile::open(StorePaths(held.path()));
    ASSERT_TRUE(holder.has_value());
    const std::string before = held.settingsText();
    platform.expectMessage(settingsFailure);
    EXPECT_EQ(runTunex(platform, held.path()), 1);
    EXPECT_EQ(held.settingsText(), before);

    BaseFolder missingCollection("<ts>5\n<tf>2\n@*EOF\n");
    missingCollection.addCollection(0, "Pop", 5);
    platform.expectMessage({"Songs Files could not be loaded: " +
                                (missingCollection.path() / "system/save0002.ifo").string() +
                                "\nNo such file or directory\nCheck system folder.",
                            "Tunex - File Error", MessageIcon::Error});
    EXPECT_EQ(runTunex(platform, missingCollection.path()), 1);
    EXPECT_TRUE(platform.allExpectedShown());
}

}  // namespace
}  // namespace tunex
