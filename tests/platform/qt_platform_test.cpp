#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_paths.h"
#include "support/temp_dir.h"

#include <QDesktopServices>
#include <QObject>
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

    // A player that leaves its first argument in the file "argument".
    void addPlayer() {
        writeScript(bin_ / "mpv",
                    "#!/bin/sh\nprintf '%s' \"$1\" > \"${0%/*}/argument.part\" &&"
                    " /bin/mv \"${0%/*}/argument.part\" \"${0%/*}/argument\"\n");
    }
    std::string playerArgument() {
        const std::filesystem::path file = bin_ / "argument";
        EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(file); }, 5000));
        return std::filesystem::exists(file) ? test::readFile(file) : std::string();
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
    EXPECT_EQ(playerArgument(), file.native());

    // With a default application for the type, the file goes to the desktop as a URL.
    writeScript(bin_ / "xdg-mime", "#!/bin/sh\necho mpv.desktop\n");
    UrlCatcher launcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &launcher, "open");
    EXPECT_EQ(platform_.openMediaFile(file), LaunchResult::Started);
    EXPECT_TRUE(platform_.openHelpPage(file));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(launcher.urls.size(), 2);
    EXPECT_EQ(launcher.urls[0].toEncoded().toStdString(), GetParam().url);
    EXPECT_EQ(launcher.urls[1].toEncoded().toStdString(), GetParam().url);
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
