#include "gui/collections/duplicates_dialog.h"
#include "core/store/catalogue.h"
#include "core/store/store_paths.h"
#include "core/store/workspace.h"
#include "gui/app/app_context.h"
#include "gui/collections/database_page.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace tunex {
namespace {

// Opened from the Database page's button; each key choice searches again off the GUI thread,
// and a collection file that cannot be read is told once the search ends.
TEST(DuplicatesDialogTest, ShowsGroupsOfTheChosenKeyAndTellsAnUnreadableFile) {
    test::BaseFolder base("<ts>3\n<tf>3\n@*EOF\n");
    // Enough records for the later collections to stay on disk, where they can go missing.
    std::string pop = "**Pop\n";
    for (int i = 0; i <= Catalogue::kMemoryRecordLimit; ++i) {
        pop += "<?>fill " + std::to_string(i) + "<|>/m/f<:>mp3</><\\>     2.0<*>\n";
    }
    test::writeFile(base.path() / "system" / "save0001.ifo",
                    pop +
                        "<?>Help<|>/m/a<:>mp3</>Help;Beatles;<\\>  4096.5<*>\n"
                        "<?>Other<|>/m/a<:>mp3</><\\>     1.0<*>\n@*EOF\n");
    test::writeFile(base.path() / "system" / "save0002.ifo",
                    "**Rock\n<?>Help<|>/m/b<:>mp3</>h\xc3\xa9lp;BEATLES;<\\>  4096.5<*>\n@*EOF\n");
    test::writeFile(base.path() / "system" / "save0003.ifo",
                    "**Jazz\n<?>Take<|>/m/c<:>mp3</>Help;Beatles;<\\>     1.0<*>\n@*EOF\n");
    test::FakePlatform platform;
    UserMessage failure;
    auto workspace = Workspace::open(base.path(), failure);
    ASSERT_NE(workspace, nullptr) << failure.text;
    AppContext context(platform, std::move(workspace));
    DatabasePage page(context, {});
    page.show();

    QTest::mouseClick(page.duplicatesButton(), Qt::LeftButton);
    auto* dialog = page.findChild<DuplicatesDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isModal());
    const auto shown = [&](int key, int groups) {
        dialog->keyList()->setCurrentIndex(key);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->searching(); }, 5000));
        EXPECT_EQ(dialog->groupTree()->topLevelItemCount(), groups) << key;
        return dialog->groupTree()->topLevelItem(0);
    };
    const QTreeWidgetItem* byName = shown(0, 1);
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->text(0), QStringLiteral("Help.mp3, 4096.5 KB (2 copies)"));
    ASSERT_EQ(byName->childCount(), 2);
    EXPECT_EQ(byName->child(1)->text(0), QStringLiteral("Rock"));
    EXPECT_EQ(byName->child(1)->text(1), QStringLiteral("/m/b"));
    EXPECT_EQ(byName->child(1)->text(3), QStringLiteral("4096.5"));
    EXPECT_EQ(dialog->statusText(), QStringLiteral("1 group of duplicate songs (2 copies)"));

    const QTreeWidgetItem* byTags = shown(1, 1);
    ASSERT_NE(byTags, nullptr);
    EXPECT_EQ(byTags->childCount(), 3);  // accents and case folded, whatever the name
    const QTreeWidgetItem* bySize = shown(2, 2);
    ASSERT_NE(bySize, nullptr);
    EXPECT_EQ(bySize->childCount(), 2);

    std::filesystem::remove(StorePaths(base.path()).collectionFileName(2));
    platform.expectMessage(duplicatesReadFailedMessage());
    shown(0, 1);
    EXPECT_TRUE(platform.allExpectedShown());
    dialog->reject();
}

}  // namespace
}  // namespace tunex
