#include "gui/collections/file_type_page.h"
#include "gui/app/app_context.h"
#include "gui/search/search_test_support.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tunex {
namespace {

class FileTypePageTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    // As a new run on the same base folder does: the old one lets go of it first.
    void open() {
        page_.reset();
        context_.reset();
        UserMessage failure;
        context_ = std::make_unique<AppContext>(platform_, Workspace::open(base_.path(), failure));
        page_ = std::make_unique<FileTypePage>(*context_);
        // A stored list that could not be used is told once the event loop runs.
        QCoreApplication::processEvents();
    }
    [[nodiscard]] std::filesystem::path storedList() const {
        return base_.path() / "system" / "filetypes.ifo";
    }

    QStringList shownTypes() const {
        QStringList types;
        for (int i = 0; i < page_->typeList()->count(); ++i) {
            types << page_->typeList()->item(i)->text();
        }
        return types;
    }
    void add(const QString& text) {
        page_->typeEdit()->setText(text);
        page_->addButton()->click();
    }
    void select(const QString& type) {
        const auto found = page_->typeList()->findItems(type, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        found.front()->setSelected(true);
    }
    static UserMessage addError(std::string text) {
        return {std::move(text), "Tunex - Add Error", MessageIcon::Warning};
    }
    static UserMessage deleteError(std::string text) {
        return {std::move(text), "Tunex - Delete Error", MessageIcon::Warning};
    }

    test::FakePlatform platform_;
    test::BaseFolder base_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<FileTypePage> page_;
};

TEST_F(FileTypePageTest, AddShowsTheListSortedAndCounted) {
    EXPECT_EQ(shownTypes(),
              QStringList({QStringLiteral("mp3"), QStringLiteral("wma"), QStringLiteral("wmv")}));
    EXPECT_EQ(page_->countLabel()->text(), QStringLiteral("Total number of File Type: 3"));

    add(QStringLiteral("mp2"));
    EXPECT_EQ(shownTypes(), QStringList({QStringLiteral("mp2"), QStringLiteral("mp3"),
                                         QStringLiteral("wma"), QStringLiteral("wmv")}));
    EXPECT_EQ(page_->countLabel()->text(), QStringLiteral("Total number of File Type: 4"));
    EXPECT_TRUE(page_->typeEdit()->text().isEmpty());
    EXPECT_TRUE(context_->fileTypes().matches("Track.MP2"));
    EXPECT_TRUE(platform_.shown.empty());
}

TEST_F(FileTypePageTest, AddRefusals) {
    // Empty and illegal input stay in the box; a known type is cleared all the same.
    platform_.expectMessage(addError("Input is empty. Please enter an input first"));
    add(QString());

    for (const char* bad : {"a;b", "x/y", "c:"}) {
        platform_.expectMessage(addError(std::string("Input <") + bad +
                                         "> cannot contain the following characters:\n"
                                         "/ \\ : * ? \" < > | ;"));
        add(QString::fromUtf8(bad));
        EXPECT_EQ(page_->typeEdit()->text(), QString::fromUtf8(bad));
    }

    platform_.expectMessage(addError("File Type <mp3> already exists. Please enter a new one."));
    add(QStringLiteral("mp3"));
    EXPECT_TRUE(page_->typeEdit()->text().isEmpty());
    EXPECT_EQ(page_->typeList()->count(), 3);
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(FileTypePageTest, DeleteNeedsASelectionAndKeepsTheLastType) {
    platform_.expectMessage(deleteError("Please select a file type from the list first."));
    page_->deleteButton()->click();

    select(QStringLiteral("wma"));
    page_->deleteButton()->click();
    EXPECT_EQ(shownTypes(), QStringList({QStringLiteral("mp3"), QStringLiteral("wmv")}));
    EXPECT_EQ(page_->countLabel()->text(), QStringLiteral("Total number of File Type: 2"));
    EXPECT_FALSE(context_->fileTypes().contains("wma"));

    select(QStringLiteral("wmv"));
    page_->deleteButton()->click();
    // With one type left, the selection test still comes first.
    platform_.expectMessage(deleteError("Please select a file type from the list first."));
    page_->deleteButton()->click();
    select(QStringLiteral("mp3"));
    platform_.expectMessage(deleteError("The file type list must have at least one element."));
    page_->deleteButton()->click();
    EXPECT_EQ(shownTypes(), QStringList({QStringLiteral("mp3")}));
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(FileTypePageTest, TheListOutlastsTheRun) {
    add(QStringLiteral("flac"));
    select(QStringLiteral("wma"));
    page_->deleteButton()->click();
    EXPECT_EQ(test::readFile(storedList()), "flac\nmp3\nwmv\n");
    open();
    EXPECT_EQ(shownTypes(),
              QStringList({QStringLiteral("flac"), QStringLiteral("mp3"), QStringLiteral("wmv")}));
    EXPECT_TRUE(context_->fileTypes().matches("a.flac"));
    EXPECT_TRUE(platform_.shown.empty());
}

TEST_F(FileTypePageTest, ADamagedListIsToldAndKeptUntilTheListChanges) {
    const std::string cutShort = "flac\nmp3\nog";
    test::writeFile(storedList(), cutShort);
    platform_.expectMessage(
        {"The file types could not be read from " + storedList().string() +
             ":\nIt ends in the middle of a line.\nThe list starts from mp3, "
             "wma and wmv; the file is kept as it is until the list is changed.",
         "Tunex - File Types", MessageIcon::Warning});
    open();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(shownTypes(),
              QStringList({QStringLiteral("mp3"), QStringLiteral("wma"), QStringLiteral("wmv")}));
    EXPECT_EQ(test::readFile(storedList()), cutShort);

    add(QStringLiteral("ogg"));
    EXPECT_EQ(test::readFile(storedList()), "mp3\nogg\nwma\nwmv\n");
}

TEST_F(FileTypePageTest, AFailedSaveIsToldAndTheListStaysAsShown) {
    // Something in the way of the rename, which stops root as well as a read-only folder would.
    std::filesystem::create_directories(storedList() / "in-the-way");
    platform_.expectMessage({"The file types could not be saved to " + storedList().string() +
                                 ".\nrename failed: Is a directory\nThe list as shown holds "
                                 "until the program ends.",
                             "Tunex - File Error", MessageIcon::Error});
    add(QStringLiteral("flac"));
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(shownTypes(), QStringList({QStringLiteral("flac"), QStringLiteral("mp3"),
                                         QStringLiteral("wma"), QStringLiteral("wmv")}));
    EXPECT_TRUE(context_->fileTypes().contains("flac"));
}

// In the main window, whose sheet keeps Enter from every control.
class FileTypeKeysTest : public test::SearchSheetTest {};

TEST_F(FileTypeKeysTest, EnterInTheEditAddsAndDeleteInTheListDeletes) {
    open({});
    sheet_->show();
    sheet_->showPage(PageId::FileType);
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet_.get()));
    auto& types = page<FileTypePage>(PageId::FileType);
    QLineEdit* edit = types.typeEdit();
    QListWidget* list = types.typeList();

    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("mp2"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, QStringLiteral("ogg"));
    QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(context_->fileTypes().contains("mp2"));
    EXPECT_TRUE(context_->fileTypes().contains("ogg"));
    EXPECT_TRUE(edit->text().isEmpty());
    platform_.expectMessage(
        {"Input is empty. Please enter an input first", "Tunex - Add Error", MessageIcon::Warning});
    QTest::keyClick(edit, Qt::Key_Return);

    // Delete in the edit edits the text, and leaves the list alone.
    list->findItems(QStringLiteral("wma"), Qt::MatchExactly).front()->setSelected(true);
    QTest::keyClicks(edit, QStringLiteral("flac"));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(edit->text(), QStringLiteral("lac"));
    EXPECT_EQ(list->count(), 5);

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_FALSE(context_->fileTypes().contains("wma"));
    EXPECT_EQ(list->count(), 4);
    list->clearSelection();
    platform_.expectMessage({"Please select a file type from the list first.",
                             "Tunex - Delete Error", MessageIcon::Warning});
    QTest::keyClick(list, Qt::Key_Delete);
}

}  // namespace
}  // namespace tunex
