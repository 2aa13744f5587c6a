#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_paths.h"
#include "support/modal_answers.h"
#include "support/temp_dir.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QObject>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tunex {
namespace {

using test::TempDir;

// Stands in for the desktop's launcher: QDesktopServices hands it what xdg-open would get.
class UrlCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls.push_back(url); }
};

void writeScript(const std::filesystem::path& file, const std::string& text) {
    test::writeFile(file, text);
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
}

// A PATH holding only a folder of fake programs, for the length of one test.
class FakeProgramsTest : public ::testing::Test {
protected:
    FakeProgramsTest() : oldPath_(qgetenv("PATH")) {
        qputenv("PATH", QByteArray::fromStdString(bin_.path().native()));
    }
    ~FakeProgramsTest() override { qputenv("PATH", oldPath_); }

    // A program that leaves its first argument in the file "argument", then runs `then`.
    void addRecorder(const std::string& name, const std::string& then = "") {
        writeScript(bin_ / name,
                    "#!/bin/sh\nprintf '%s' \"$1\" > \"${0%/*}/argument.part\" &&"
                    " /bin/mv \"${0%/*}/argument.part\" \"${0%/*}/argument\"\n" +
                        then);
    }
    void addPlayer() { addRecorder("mpv"); }
    // What the recorder was given, once; empty when it never ran.
    std::string recordedArgument() {
        const std::filesystem::path file = bin_ / "argument";
        if (!QTest::qWaitFor([&] { return std::filesystem::exists(file); }, 5000)) {
            return {};
        }
        std::string argument = test::readFile(file);
        std::filesystem::remove(file);
        return argument;
    }

    TempDir bin_;
    QtPlatform platform_;

private:
    QByteArray oldPath_;
};

struct LaunchCase {
    const char* path;
    const char* url;
};

class LaunchTest : public FakeProgramsTest, public ::testing::WithParamInterface<LaunchCase> {};

// A name that is not valid UTF-8 reaches the player, the launcher and the browser byte for byte.
TEST_P(LaunchTest, HandsOverThePathsOwnBytes) {
    const std::filesystem::path file = GetParam().path;
    addPlayer();
    EXPECT_EQ(platform_.openMediaFile(file), LaunchResult::Started);
    EXPECT_EQ(recordedArgument(), file.native());

    // With a default application for the type, the file goes to the desktop as a URL.
    writeScript(bin_ / "xdg-mime", "#!/bin/sh\necho mpv.desktop\n");
    UrlCatcher launcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &launcher, "open");
    EXPECT_EQ(platform_.openMediaFile(file), LaunchResult::Started);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(launcher.urls.size(), 1);
    EXPECT_EQ(launcher.urls[0].toEncoded().toStdString(), GetParam().url);

    addRecorder("xdg-open");
    EXPECT_TRUE(platform_.openHelpPage(file, {}));
    EXPECT_EQ(recordedArgument(), GetParam().url);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LaunchTest,
    ::testing::Values(LaunchCase{"/music/bad\xff.mp3", "file:///music/bad%FF.mp3"},
                      LaunchCase{"/music/d\xfe\xff/a b.mp3", "file:///music/d%FE%FF/a%20b.mp3"},
                      LaunchCase{"/music/caf\xc3\xa9 #1.mp3",
                                 "file:///music/caf%C3%A9%20%231.mp3"}));

TEST_F(FakeProgramsTest, ReportsWhatCameOfTheLaunch) {
    EXPECT_EQ(platform_.openMediaFile("/music/a.mp3"), LaunchResult::NoAssociatedApplication);
    writeScript(bin_ / "mpv", "#!/no/such/interpreter\n");
    EXPECT_EQ(platform_.openMediaFile("/music/a.mp3"), LaunchResult::CouldNotStart);
}

struct HelpCase {
    const char* name;
    const char* xdgOpenThen;  // nullptr: no xdg-open
    const char* browser;      // a browser on the PATH, or nullptr
    bool shown;
    const char* shownBy;  // the program that got the page
};

class HelpLaunchTest : public FakeProgramsTest, public ::testing::WithParamInterface<HelpCase> {};

// xdg-open ends with 3 when it found no way to show the page, and runs a browser it finds in the
// foreground; with it missing, a browser is asked directly.
TEST_P(HelpLaunchTest, SaysWhetherThePageCouldBeShown) {
    const HelpCase& c = GetParam();
    if (c.xdgOpenThen != nullptr) {
        addRecorder("xdg-open", c.xdgOpenThen);
    }
    if (c.browser != nullptr) {
        // Only the program named in the case records; xdg-open's record is taken first.
        writeScript(bin_ / c.browser, std::string("#!/bin/sh\nprintf '%s' \"$1\" > \"") +
                                          (bin_ / "browser").native() + "\"\n");
    }
    const std::filesystem::path page = "/usr/share/tunex/base/hlp/index.htm";
    EXPECT_EQ(platform_.openHelpPage(page, {}), c.shown);
    if (c.xdgOpenThen != nullptr) {
        EXPECT_EQ(recordedArgument(), "file://" + page.native());
    }
    const std::filesystem::path browserRecord = bin_ / "browser";
    if (std::string(c.shownBy) == "browser") {
        ASSERT_TRUE(std::filesystem::exists(browserRecord));
        EXPECT_EQ(test::readFile(browserRecord), "file://" + page.native());
    } else {
        EXPECT_FALSE(std::filesystem::exists(browserRecord));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, HelpLaunchTest,
    ::testing::Values(HelpCase{"XdgOpenHandsItOn", "exit 0\n", nullptr, true, "xdg-open"},
                      HelpCase{"XdgOpenShowsItItself", "exec /bin/sleep 3 >/dev/null 2>&1\n",
                               nullptr, true, "xdg-open"},
                      HelpCase{"NothingToShowIt", "exit 3\n", nullptr, false, ""},
                      HelpCase{"NoXdgOpenNoBrowser", nullptr, nullptr, false, ""},
                      HelpCase{"BrowserWithoutXdgOpen", nullptr, "firefox-esr", true, "browser"},
                      HelpCase{"BrowserAfterXdgOpenFailed", "exit 4\n", "x-www-browser", true,
                               "browser"}),
    [](const ::testing::TestParamInfo<HelpCase>& info) { return std::string(info.param.name); });

struct BoxCase {
    const char* text;
    const char* caption;
};

class MessageBoxTest : public ::testing::TestWithParam<BoxCase> {};

// Names the user typed are shown as typed, never as markup, and the caption is never cut.
TEST_P(MessageBoxTest, ShowsPlainTextUnderAWholeCaption) {
    const QString text = QString::fromUtf8(GetParam().text);
    const QString caption = QString::fromUtf8(GetParam().caption);
    test::ModalAnswers answers({[&](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(box->windowTitle(), caption);
        // A title bar also holds the window's icon and buttons.
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(caption) + 100);
        box->button(QMessageBox::Ok)->click();
    }});
    QtPlatform platform;
    EXPECT_EQ(platform.showMessage({{GetParam().text, GetParam().caption, MessageIcon::Error}}),
              MessageAnswer::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MessageBoxTest,
    ::testing::Values(BoxCase{"30000 songs from <Title> added to the database.", "Tunex - Add"},
                      BoxCase{"<b> File Type already exists.", "Tunex - File Type"},
                      BoxCase{"Name <img src=x> & <Code>", "Tunex - Input Error"},
                      BoxCase{"Not found.", "Tunex - No Associated Application"}));

// A desktop's button layout, as the GTK platform theme gives it, in any style.
class LayoutStyle final : public QProxyStyle {
public:
    explicit LayoutStyle(int layout) : layout_(layout) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        return hint == SH_DialogButtonLayout ? layout_
                                             : QProxyStyle::styleHint(hint, option, widget, data);
    }

private:
    int layout_;
};

// Answers that differ in how much they touch stand in one order on every desktop: the narrower
// first and the default, Cancel last and on Escape.
TEST(TwoChoicesTest, KeepTheirOrderOnEveryDesktop) {
    const QString original = QApplication::style()->name();
    for (const int layout : {QDialogButtonBox::WinLayout, QDialogButtonBox::GnomeLayout}) {
        QApplication::setStyle(new LayoutStyle(layout));  // the application owns it
        test::ModalAnswers answers({[&](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            ASSERT_NE(box, nullptr);
            const QList<QAbstractButton*> buttons = box->buttons();
            ASSERT_EQ(buttons.size(), 3);
            EXPECT_LT(buttons[0]->x(), buttons[1]->x()) << layout;
            EXPECT_LT(buttons[1]->x(), buttons[2]->x()) << layout;
            EXPECT_EQ(buttons[0]->text(), QStringLiteral("Only the Shown 2"));
            EXPECT_EQ(box->defaultButton(), buttons[0]);
            EXPECT_EQ(box->escapeButton(), buttons[2]);
            buttons[1]->click();
        }});
        QtPlatform platform;
        EXPECT_EQ(platform.showMessage({{"Which files?", "Tunex - Easy Tag", MessageIcon::Question},
                                        MessageButtons::TwoChoices,
                                        {"Only the Shown 2", "All 5000"}}),
                  MessageAnswer::No);
    }
    QApplication::setStyle(original);
}

struct TextCase {
    const char* shown;  // below the test folder, as UTF-8
    const char* found;  // the bytes it stands for
};

class PathFromTextTest : public ::testing::TestWithParam<TextCase> {};

// Qt shows the bytes 0xFF and 0xFE alike as U+FFFD ("\xef\xbf\xbd" in UTF-8).
TEST_P(PathFromTextTest, FindsTheOneEntryTheTextCanStandFor) {
    const TempDir root;
    std::filesystem::create_directories(root / "d\xff");
    std::filesystem::create_directories(root / "two");
    for (const char* file : {"d\xff/bad\xff.mp3", "d\xff/ok.mp3", "two/bad\xff", "two/bad\xfe",
                             "lit\xef\xbf\xbd", "lit\xff"}) {
        test::writeFile(root / file, "x");
    }
    const QString text = QString::fromStdString(root.path().native() + "/" + GetParam().shown);
    EXPECT_EQ(pathFromText(text).native(), root.path().native() + "/" + GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PathFromTextTest,
    ::testing::Values(
        TextCase{"d\xef\xbf\xbd/bad\xef\xbf\xbd.mp3", "d\xff/bad\xff.mp3"},
        TextCase{"d\xef\xbf\xbd/ok.mp3", "d\xff/ok.mp3"}, TextCase{"d\xef\xbf\xbd/", "d\xff/"},
        // A new name in a save dialog keeps its text; the folder above it is still found.
        TextCase{"d\xef\xbf\xbd/new\xef\xbf\xbd.txf", "d\xff/new\xef\xbf\xbd.txf"},
        // Two entries read the same: neither is guessed.
        TextCase{"two/bad\xef\xbf\xbd", "two/bad\xef\xbf\xbd"},
        // A name that really holds U+FFFD is itself.
        TextCase{"lit\xef\xbf\xbd", "lit\xef\xbf\xbd"},
        TextCase{"none\xef\xbf\xbd/x", "none\xef\xbf\xbd/x"}, TextCase{"d\xef\xbf\xbd", "d\xff"}));

TEST(QtPathsTest, FoldersBeyondQtAreReachedThroughTheirNearestAncestor) {
    const TempDir root;
    std::filesystem::create_directories(root / "d\xff" / "sub");
    const QString rootText = QString::fromStdString(root.path().native());
    EXPECT_EQ(nearestTextPath(root / "d\xff" / "sub"), rootText);
    EXPECT_EQ(nearestTextPath(root / "d\xff/"), rootText);
    EXPECT_EQ(nearestTextPath(root / "caf\xc3\xa9"), rootText + QStringLiteral("/caf\u00e9"));
    EXPECT_EQ(nearestTextPath("/"), QStringLiteral("/"));

    // The volume of such a folder is the one it lies on.
    QtPlatform platform;
    const auto expected = platform.volumeOf(root.path());
    ASSERT_TRUE(expected);
    const auto volume = platform.volumeOf(root / "d\xff" / "sub");
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->mountPoint, expected->mountPoint);
}

}  // namespace
}  // namespace tunex

#include "qt_platform_test.moc"
