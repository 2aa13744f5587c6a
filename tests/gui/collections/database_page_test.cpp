#include "gui/collections/database_page.h"
#include "core/store/store_paths.h"
#include "gui/app/app_context.h"
#include "gui/widgets/drive_folder_tree.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tunex {
namespace {

namespace fs = std::filesystem;

UserMessage message(std::string text, const char* title, MessageIcon icon) {
    return {std::move(text), std::string("Tunex - ") + title, icon};
}

class DatabasePageTest : public ::testing::Test {
protected:
    void open(const std::string& settings = "<ts>0\n<tf>0\n@*EOF\n") {
        base_ = std::make_unique<test::BaseFolder>(settings);
    }
    void start() {
        page_.reset();
        context_.reset();
        UserMessage failure;
        auto workspace = Workspace::open(base_->path(), failure);
        ASSERT_NE(workspace, nullptr) << failure.text;
        context_ = std::make_unique<AppContext>(platform_, std::move(workspace));
        page_ = std::make_unique<DatabasePage>(*context_, [this] { return history_; });
        page_->show();
    }
    // Three mp3 files (one in a subfolder) and two text files.
    std::string makeMusic() {
        const fs::path music = music_.path() / "Music";
        fs::create_directories(music / "Disc 2");
        test::writeFile(music / "a.mp3", std::string(1536, 'a'));
        test::writeFile(music / "b.MP3", "b");
        test::writeFile(music / "Disc 2" / "c.mp3", "c");
        test::writeFile(music / "notes.txt", "n");
        test::writeFile(music / "list.txt", "l");
        return music.string();
    }
    void type(QLineEdit* edit, const std::string& text) {
        edit->setText(QString::fromStdString(text));
    }
    QStringList collections() const {
        QStringList names;
        for (int i = 0; i < page_->collectionList()->count(); ++i) {
            names << page_->collectionList()->itemText(i);
        }
        return names;
    }

    test::FakePlatform platform_;
    test::TempDir music_;
    std::unique_ptr<test::BaseFolder> base_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<DatabasePage> page_;
    std::vector<HistoryRow> history_;
};

TEST_F(DatabasePageTest, OpensWithTipsAndButtonsEnabledByTyping) {
    open();
    start();
    EXPECT_EQ(page_->messageText().toStdString(),
              "Tips: Enter the CD path or select the folder from the list, type the CD name and "
              "then press Add.\nThe media files under the path will be added to the database.\n\n"
              "Press Count to count the total number of media files under the path.\n");
    EXPECT_FALSE(page_->id3Box()->isChecked());
    EXPECT_FALSE(page_->countButton()->isEnabled());
    EXPECT_FALSE(page_->addButton()->isEnabled());
    EXPECT_EQ(page_->tree()->myComputerNode()->isExpanded(), true);

    // Each button comes on with the first change of its box and stays on.
    type(page_->nameEdit(), "x");
    EXPECT_TRUE(page_->addButton()->isEnabled());
    EXPECT_FALSE(page_->countButton()->isEnabled());
    page_->nameEdit()->clear();
    EXPECT_TRUE(page_->addButton()->isEnabled());
    // Choosing a node writes its path, even an empty one.
    page_->tree()->setCurrentItem(page_->tree()->myComputerNode());
    EXPECT_TRUE(page_->countButton()->isEnabled());
    EXPECT_TRUE(page_->pathEdit()->text().isEmpty());
    page_->tree()->setCurrentItem(page_->tree()->desktopNode());
    EXPECT_EQ(page_->pathEdit()->text(), QStringLiteral("/tmp/"));
}

TEST_F(DatabasePageTest, WelcomeQuestionOnAnEmptyCatalogueOnly) {
    open();
    test::writeFile(base_->path() / "hlp" / "AddToDB.htm", "<html></html>");
    start();
    const UserMessage welcome = message(
        "Thank you for using Tunex.\nYour database is currently empty. Please use <Database> to "
        "add files to database.\n\nDo you need help?",
        "Welcome", MessageIcon::Information);
    platform_.expectMessage(welcome, MessageAnswer::No);
    page_->activate();
    EXPECT_TRUE(platform_.helpPages.empty());
    platform_.expectMessage(welcome, MessageAnswer::Yes);
    page_->activate();
    ASSERT_EQ(platform_.helpPages.size(), 1U);
    EXPECT_EQ(platform_.helpPages.front(), base_->path() / "hlp" / "AddToDB.htm");
    // The user asked for the page: that nothing could show it is said, not passed over.
    platform_.browserAvailable = false;
    platform_.expectMessage(welcome, MessageAnswer::Yes);
    platform_.expectMessage(
        message("No web browser could be started to show the help.\nInstall "
                "a web browser and the xdg-utils package, then try again.",
                "Help Error", MessageIcon::Error));
    page_->activate();
    EXPECT_TRUE(platform_.allExpectedShown());

    // Made active before it is on the screen (the program starting on this page): asked once
    // it shows.
    page_->hide();
    page_->activate();
    EXPECT_EQ(platform_.shown.size(), 4U);
    platform_.expectMessage(welcome, MessageAnswer::No);
    page_->show();
    EXPECT_TRUE(QTest::qWaitFor([this] { return platform_.allExpectedShown(); }, 2000));

    open("<ts>2\n<tf>1\n@*EOF\n");
    base_->addCollection(0, "Rock", 2);
    start();
    page_->activate();
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(DatabasePageTest, CountReportsInTheMessageArea) {
    open();
    start();
    const std::string music = makeMusic();
    page_->countButton()->setEnabled(true);
    platform_.expectMessage(
        message("Please input the CD Source Path for Count.", "Input Error", MessageIcon::Warning));
    page_->countButton()->click();

    type(page_->pathEdit(), music + "/nowhere");
    platform_.expectMessage(
        message("Invalid path: " + music +
                    "/nowhere\nIf it is a floppy or CD drive, make sure the disk is inserted.",
                "Path Error", MessageIcon::Error));
    page_->countButton()->click();

    type(page_->pathEdit(), music);
    page_->countButton()->click();
    EXPECT_EQ(page_->messageText().toStdString(),
              "Total Number of Songs in " + music + "/*.* : 3 ");
    EXPECT_TRUE(page_->window()->isEnabled());
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(DatabasePageTest, AddRefusalsChangeNothing) {
    open("<ts>2\n<tf>1\n@*EOF\n");
    base_->addCollection(0, "Rock", 2);
    start();
    const std::string music = makeMusic();
    const std::string settingsBefore = base_->settingsText();

    platform_.expectMessage(message("Please input BOTH CD Collection Name and Source Path.",
                                    "Input Error", MessageIcon::Warning));
    type(page_->nameEdit(), "Pop");
    page_->addButton()->click();

    type(page_->pathEdit(), music);
    type(page_->nameEdit(), "Rock");
    platform_.expectMessage(
        message("You have already used the input CD name before. Please enter a new one.",
                "Duplicate CD Name", MessageIcon::Warning));
    page_->addButton()->click();

    type(page_->nameEdit(), "Pop");
    type(page_->pathEdit(), music + "/nowhere");
    platform_.expectMessage(
        message("Invalid path: " + music + "/nowhere", "Path Error", MessageIcon::Error));
    page_->addButton()->click();

    type(page_->pathEdit(), music + "/Disc 2");
    FileTypeList ogg;
    ogg.replaceAll({"ogg"});
    context_->setFileTypes(std::move(ogg));
    platform_.expectMessage(message("No songs found under the source path " + music +
                                        "/Disc 2/*.* .\nPlease specify a file type in Setting "
                                        "Tab or enter another source path.",
                                    "Information", MessageIcon::Warning));
    page_->addButton()->click();

    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(base_->settingsText(), settingsBefore);
    EXPECT_FALSE(fs::exists(StorePaths(base_->path()).collectionFileName(1)));
    EXPECT_EQ(collections(), QStringList({QStringLiteral("Rock")}));
}

TEST_F(DatabasePageTest, AddWritesTheCollectionAndSelectsIt) {
    open("<ts>2\n<tf>1\n@*EOF\n");
    base_->addCollection(0, "Rock", 2);
    history_ = {HistoryRow{"title", "artist", "3", "Rock"}};
    start();
    const std::string music = makeMusic();
    type(page_->pathEdit(), music);
    type(page_->nameEdit(), "rock");  // differs only in case: a new name
    platform_.expectMessage(message("3 songs from <rock> added to the database.",
                                    "Files added to the database", MessageIcon::Information));
    page_->addButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());

    EXPECT_EQ(collections(), QStringList({QStringLiteral("Rock"), QStringLiteral("rock")}));
    EXPECT_EQ(page_->collectionList()->currentIndex(), 1);
    EXPECT_EQ(page_->messageText().toStdString(),
              "Total number of songs added to the database from " + music + "/*.* : 3 ");
    EXPECT_EQ(context_->catalogue().collectionCount(), 2);
    EXPECT_TRUE(fs::exists(StorePaths(base_->path()).collectionFileName(1)));
    // The totals went to the settings file at once, with the history as it stands.
    const std::string settings = base_->settingsText();
    EXPECT_NE(settings.find("<ts>5\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("<tf>2\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("title"), std::string::npos) << settings;
    // The progress window came and went, and the page is usable again.
    EXPECT_EQ(platform_.profile.count("X"), 1U);
    EXPECT_TRUE(page_->isEnabled());
    // The boxes keep their text.
    EXPECT_EQ(page_->nameEdit()->text(), QStringLiteral("rock"));
}

TEST_F(DatabasePageTest, AddThatCannotCreateItsFileLeavesEverythingAsItWas) {
    open();
    start();
    const std::string music = makeMusic();
    // A file where the system folder should be: nothing can be created in it.
    const fs::path system = base_->path() / "system";
    const fs::path moved = base_->path() / "system.moved";
    fs::rename(system, moved);
    test::writeFile(system, "not a folder");
    type(page_->pathEdit(), music);
    type(page_->nameEdit(), "Pop");
    platform_.expectMessage(message("File could not be opened.", "File Error", MessageIcon::Error));
    page_->addButton()->click();
    fs::remove(system);
    fs::rename(moved, system);

    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(context_->catalogue().collectionCount(), 0);
    EXPECT_EQ(context_->settings().collectionCount, 0);
    EXPECT_TRUE(page_->isEnabled());
    EXPECT_TRUE(collections().isEmpty());
}

TEST_F(DatabasePageTest, GetLabelProposesANameFromTheSelection) {
    open();
    platform_.mountedVolumes = {{"/media/cd/", "MyCD", VolumeKind::Optical},
                                {"/media/odd/", "(old", VolumeKind::Removable}};
    start();
    type(page_->nameEdit(), "typed");
    platform_.expectMessage(message("Please select a drive or directory in the list first.",
                                    "Input Error", MessageIcon::Information));
    page_->getLabelButton()->click();
    EXPECT_TRUE(page_->nameEdit()->text().isEmpty());

    DriveFolderTree* tree = page_->tree();
    tree->setCurrentItem(tree->myComputerNode()->child(0));
    page_->getLabelButton()->click();
    EXPECT_EQ(page_->nameEdit()->text(), QStringLiteral("MyCD"));
    EXPECT_EQ(page_->pathEdit()->text(), QStringLiteral("/media/cd/"));

    // A label that begins with "(" cannot be told from none.
    tree->setCurrentItem(tree->myComputerNode()->child(1));
    platform_.expectMessage(message("Selected drive has no label. Please enter one.", "Input Error",
                                    MessageIcon::Information));
    page_->getLabelButton()->click();
    EXPECT_TRUE(page_->nameEdit()->text().isEmpty());

    tree->setCurrentItem(tree->myComputerNode());
    page_->getLabelButton()->click();
    EXPECT_EQ(page_->nameEdit()->text(), QStringLiteral("My Computer"));
    EXPECT_TRUE(page_->addButton()->isEnabled());
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(DatabasePageTest, RenameChecksAskAndRewrite) {
    open();
    start();
    platform_.expectMessage(
        message("No collection available. Please add a CD to the database first.",
                "No Collection Available", MessageIcon::Question));
    page_->changeButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());

    open("<ts>4\n<tf>2\n@*EOF\n");
    base_->addCollection(0, "Rock", 2);
    const fs::path jazzFile = base_->addCollection(1, "Jazz", 2);
    start();
    EXPECT_EQ(collections(), QStringList({QStringLiteral("Rock"), QStringLiteral("Jazz")}));
    EXPECT_EQ(page_->collectionList()->currentIndex(), 0);
    EXPECT_EQ(page_->renameEdit()->text(), QStringLiteral("Rock"));  // it follows the choice

    page_->renameEdit()->clear();
    platform_.expectMessage(message("Please enter the new collection name first.",
                                    "Enter collection name", MessageIcon::Question));
    page_->changeButton()->click();

    const UserMessage duplicate = message(
        "You have already used the input name in another collection. Please enter a new name.",
        "Duplicate Collection Name", MessageIcon::Question);
    for (const char* taken : {"Jazz", "Rock"}) {
        platform_.expectMessage(duplicate);
        type(page_->renameEdit(), taken);
        page_->changeButton()->click();
    }

    page_->collectionList()->setCurrentIndex(1);
    EXPECT_EQ(page_->renameEdit()->text(), QStringLiteral("Jazz"));
    type(page_->renameEdit(), "Pop");
    const UserMessage confirm = message(
        "Are you sure you want to change the collection name as follows?\n\nFrom:\tJazz\nTo:\tPop",
        "Confirm Change", MessageIcon::Question);
    platform_.expectMessage(confirm, MessageAnswer::No);
    page_->changeButton()->click();
    EXPECT_EQ(test::readFile(jazzFile).substr(0, 7), "**Jazz\n");

    platform_.expectMessage(confirm, MessageAnswer::Yes);
    page_->changeButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(test::readFile(jazzFile).substr(0, 6), "**Pop\n");
    EXPECT_EQ(collections(), QStringList({QStringLiteral("Rock"), QStringLiteral("Pop")}));
    EXPECT_EQ(page_->collectionList()->currentIndex(), 1);  // the renamed one stays chosen
    EXPECT_EQ(page_->messageText(),
              QStringLiteral("Collection Name of <Jazz> is changed to <Pop>."));
    EXPECT_EQ(page_->renameEdit()->text(), QStringLiteral("Pop"));
}

TEST_F(DatabasePageTest, RescanAndDeleteAskThenChangeTheChosenCollection) {
    open("<ts>3\n<tf>2\n@*EOF\n");
    base_->addCollection(0, "Rock", 2);
    base_->addCollection(1, "Jazz", 1);
    start();
    page_->collectionList()->setCurrentIndex(0);

    // An empty path box proposes the folder the collection's songs share.
    const UserMessage fromCd = message(
        "Rescan the collection <Rock> from /media/cd?\nIts songs are replaced by the media files "
        "found there now, without ID3 tag info.",
        "Confirm Rescan", MessageIcon::Question);
    platform_.expectMessage(fromCd, MessageAnswer::No);
    page_->rescanButton()->click();
    EXPECT_EQ(page_->pathEdit()->text(), QStringLiteral("/media/cd"));

    const std::string music = makeMusic();
    type(page_->pathEdit(), music);
    platform_.expectMessage(message("Rescan the collection <Rock> from " + music +
                                        "?\nIts songs are replaced by the media files found there "
                                        "now, without ID3 tag info.",
                                    "Confirm Rescan", MessageIcon::Question),
                            MessageAnswer::Yes);
    page_->rescanButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(page_->messageText(),
              QStringLiteral("Collection <Rock> rescanned: 3 songs added, 2 songs removed, 0 "
                             "songs changed."));
    EXPECT_EQ(collections(), QStringList({QStringLiteral("Rock"), QStringLiteral("Jazz")}));
    EXPECT_EQ(page_->collectionList()->currentIndex(), 0);
    EXPECT_EQ(context_->workspace().settings().totalSongs, 4);

    // Another collection proposes its own folder, not the path left in the box.
    page_->collectionList()->setCurrentIndex(1);
    platform_.expectMessage(
        message("Rescan the collection <Jazz> from /media/cd?\nIts songs are replaced by the media "
                "files found there now, without ID3 tag info.",
                "Confirm Rescan", MessageIcon::Question),
        MessageAnswer::No);
    page_->rescanButton()->click();
    page_->collectionList()->setCurrentIndex(0);

    const UserMessage confirm = message(
        "Are you sure you want to delete the collection <Rock> and its 3 songs from the "
        "database?\nThe music files themselves are not touched.",
        "Confirm Delete", MessageIcon::Question);
    platform_.expectMessage(confirm, MessageAnswer::No);
    page_->deleteButton()->click();
    EXPECT_EQ(collections().size(), 2);
    platform_.expectMessage(confirm, MessageAnswer::Yes);
    page_->deleteButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(collections(), QStringList({QStringLiteral("Jazz")}));
    EXPECT_EQ(page_->messageText(),
              QStringLiteral("Collection <Rock> with 3 songs is deleted from the database."));
    EXPECT_EQ(test::readFile(base_->path() / "system/save0001.ifo").substr(0, 7), "**Jazz\n");
}

TEST_F(DatabasePageTest, RenameFailuresLeaveTheCatalogue) {
    open("<ts>2\n<tf>1\n@*EOF\n");
    const fs::path rockFile = base_->addCollection(0, "Rock", 2);
    start();

    // A name the catalogue no longer holds.
    page_->collectionList()->addItem(QStringLiteral("Ghost"), QByteArray("Ghost"));
    page_->collectionList()->setCurrentIndex(1);
    type(page_->renameEdit(), "Pop");
    platform_.expectMessage(message("Are you sure you want to change the collection name as "
                                    "follows?\n\nFrom:\tGhost\nTo:\tPop",
                                    "Confirm Change", MessageIcon::Question),
                            MessageAnswer::Yes);
    platform_.expectMessage(message("Error Occurs.\n Change collection name aborted.",
                                    "Change Collection Name Error", MessageIcon::Error));
    page_->changeButton()->click();

    // The collection file deleted behind the program's back.
    page_->collectionList()->setCurrentIndex(0);
    type(page_->renameEdit(), "Pop");
    fs::remove(rockFile);
    platform_.expectMessage(message("Are you sure you want to change the collection name as "
                                    "follows?\n\nFrom:\tRock\nTo:\tPop",
                                    "Confirm Change", MessageIcon::Question),
                            MessageAnswer::Yes);
    platform_.expectMessage(message("Songs Files Error.\n Change collection name aborted.",
                                    "File Error", MessageIcon::Error));
    page_->changeButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_FALSE(fs::exists(rockFile));
    EXPECT_EQ(context_->catalogue().collectionNames(), std::vector<std::string>{"Rock"});
}

}  // namespace
}  // namespace tunex
