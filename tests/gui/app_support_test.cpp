#include "core/collections/file_type_store.h"
#include "core/store/settings.h"
#include "core/store/tips.h"
#include "gui/app/icons.h"
#include "gui/widgets/window_position.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace tunex {
namespace {

const std::filesystem::path kShippedBase = TUNEX_SHIPPED_BASE;

TEST(WindowPosition, RemembersAndIgnoresPlacesOffTheScreen) {
    test::FakePlatform platform;
    QWidget owner;
    owner.setGeometry(100, 100, 600, 400);
    owner.show();
    QWidget window(&owner, Qt::Tool);
    window.resize(200, 100);

    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QPoint centred = owner.frameGeometry().center();
    // No place remembered, a negative one, and ones beyond the screen's edges all centre.
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{
             {-1, -1}, {-1, 10}, {10, -5}, {screen.width(), 10}, {10, screen.height()}}) {
        platform.profile = {{"X", x}, {"Y", y}};
        window.move(0, 0);
        restoreWindowPosition(window, platform);
        EXPECT_LE((window.frameGeometry().center() - centred).manhattanLength(), 2)
            << x << "," << y;
    }
    platform.profile = {{"X", 40}, {"Y", 30}};
    restoreWindowPosition(window, platform);
    EXPECT_EQ(window.pos(), QPoint(40, 30));

    window.move(70, 80);
    saveWindowPosition(window, platform);
    EXPECT_EQ(platform.profile["X"], window.frameGeometry().left());
    EXPECT_EQ(platform.profile["Y"], window.frameGeometry().top());
}

TEST(ShippedBaseFolder, SettingsAndTipsAreWhatANewUserNeeds) {
    const std::string settingsText = test::readFile(kShippedBase / "system" / "system.ifo");
    Settings settings;
    readSettings(settingsText, settings);
    EXPECT_EQ(settings.totalSongs, 0);
    EXPECT_EQ(settings.collectionCount, 0);
    EXPECT_GE(settings.maxResults, 1000);
    // Writing it back changes nothing, so the first exit leaves a file of the same shape.
    EXPECT_EQ(renderSettingsFile(settings, readHistoryRows(settingsText)), settingsText);
    // Both lists of media types know every format the tag tools take.
    for (const char* type : {"aif", "mp3", "wma", "flac", "ogg", "opus", "m4a", "wv"}) {
        EXPECT_TRUE(isListedFileType(std::string("a.") + type, settings.fileTypes)) << type;
    }
    const LoadedFileTypes types = loadFileTypes(StorePaths(kShippedBase));
    EXPECT_FALSE(types.problem);
    EXPECT_EQ(types.types.entries(),
              std::vector<std::string>({"aif", "aifc", "aiff", "ape", "flac", "m4a", "m4b", "mp3",
                                        "oga", "ogg", "opus", "wav", "wma", "wv"}));

    TipCycle tips;
    tips.load(kShippedBase / "system" / "tpall.ifo");
    ASSERT_TRUE(tips.hasTips());
    std::vector<std::string> seen;
    for (std::string tip = tips.next(); seen.empty() || tip != seen.front(); tip = tips.next()) {
        EXPECT_FALSE(tip.empty());
        seen.push_back(tip);
        ASSERT_LT(seen.size(), 1000U);
    }
    EXPECT_GE(seen.size(), 15U);
    for (const char* page : {"index.htm", "AddToDB.htm"}) {
        EXPECT_GT(std::filesystem::file_size(kShippedBase / "hlp" / page), 2000U) << page;
    }
    EXPECT_TRUE(std::filesystem::is_directory(kShippedBase / "friend"));
}

TEST(Icons, EveryIconIsDrawn) {
    std::vector<QIcon> icons = {programIcon(), helpIcon(), aboutIcon(), exitIcon()};
    for (int tab = 0; tab < 9; ++tab) {
        icons.push_back(pageIcon(tab));
    }
    for (const QIcon& icon : icons) {
        ASSERT_FALSE(icon.isNull());
        const QImage image = icon.pixmap(16, 16).toImage();
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y) {
            for (int x = 0; x < image.width() && !painted; ++x) {
                painted = qAlpha(image.pixel(x, y)) > 0;
            }
        }
        EXPECT_TRUE(painted);
    }
    EXPECT_TRUE(pageIcon(9).isNull());
}

}  // namespace
}  // namespace tunex
