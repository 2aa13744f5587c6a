#include "gui/friend/friend_page.h"
#include "core/friend/friend_search.h"
#include "gui/app/app_context.h"
#include "gui/friend/friend_result_model.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::BaseFolder;
using test::FakePlatform;

const UserMessage kNoName{
    "Please input your name so that your friend can know the owner of your files.",
    "Tunex - Input Error", MessageIcon::Warning};
const UserMessage kBadEmail{
    "Please input a valid email address so that your friend can contact you.",
    "Tunex - Input Error", MessageIcon::Warning};

std::unique_ptr<AppContext> openContext(FakePlatform& platform, const BaseFolder& base) {
    UserMessage failure;
    auto workspace = Workspace::open(base.path(), failure);
    EXPECT_TRUE(workspace) << failure.text;
    return std::make_unique<AppContext>(platform, std::move(workspace));
}

QStringList columnTexts(const FriendPage& page, int column) {
    QStringList texts;
    for (int row = 0; row < page.resultModel()->rowCount(); ++row) {
        texts.push_back(page.resultModel()->cellText(row, column));
    }
    return texts;
}

void clickHeader(const FriendPage& page, int column) {
    QHeaderView* header = page.resultView()->header();
    const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

TEST(FriendPageTest, ExportsTheCatalogue) {
    FakePlatform platform;
    BaseFolder base("<ts>3\n<tf>2\n<md>100\n@*EOF\n");
    base.addCollection(0, "Pop", 2);
    base.addCollection(1, "Rock", 1);
    auto context = openContext(platform, base);
    FriendPage page(*context);
    const std::string folder = (base.path() / "friend").string();
    EXPECT_EQ(page.exportInfo().toStdString(),
              "Your Tunex Friend file will be exported to " + folder + "/");
    EXPECT_EQ(page.exportButton()->text(), QStringLiteral("&Export"));
    const QList<QGroupBox*> groups = page.findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0]->title(), QStringLiteral("Export Tunex Friend File"));
    EXPECT_EQ(groups[1]->title(), QStringLiteral("Search Tunex Friend"));

    platform.expectMessage(kNoName);
    page.exportButton()->click();
    page.nameEdit()->setText(QStringLiteral("Bob"));
    page.emailEdit()->setText(QStringLiteral("@bob"));
    platform.expectMessage(kBadEmail);
    page.exportButton()->click();
    EXPECT_FALSE(std::filesystem::exists(base.path() / "friend"));

    page.emailEdit()->setText(QStringLiteral("bob@example.org"));
    const std::string file = folder + "/Bob.txf";
    platform.expectMessage({"Operation completed.\nYour Tunex Friend file is exported to " + file,
                            "Tunex - Tunex Friend Exported", MessageIcon::Information});
    page.exportButton()->click();
    EXPECT_TRUE(platform.allExpectedShown());
    EXPECT_EQ(page.exportInfo().toStdString(), "Your Tunex Friend file is exported to " + file);
    EXPECT_EQ(test::readFile(file),
              "bob@example.org\n**Pop\n"
              "<?>Song 0<|>/media/cd<:>mp3</><\\>  3584.0<*>2003-11-16\n"
              "<?>Song 1<|>/media/cd<:>mp3</><\\>  3584.0<*>2003-11-16\n**Rock\n"
              "<?>Song 0<|>/media/cd<:>mp3</><\\>  3584.0<*>2003-11-16\n@*EOF");

    // A name reaching outside the friend folder fails like any name that cannot be created.
    page.nameEdit()->setText(QStringLiteral("../Bob"));
    platform.expectMessage({"File Error when creating Tunex Friend file. Operation Aborted.",
                            "Tunex - File Error", MessageIcon::Error});
    page.exportButton()->click();
    EXPECT_EQ(page.exportInfo().toStdString(), "Your Tunex Friend file is exported to " + file);
    EXPECT_FALSE(std::filesystem::exists(base.path() / "Bob.txf"));
}

TEST(FriendPageTest, ExportOfAnEmptyCatalogueIsRefused) {
    FakePlatform platform;
    BaseFolder base;
    auto context = openContext(platform, base);
    FriendPage page(*context);
    page.nameEdit()->setText(QStringLiteral("Bob"));
    page.emailEdit()->setText(QStringLiteral("b@c"));
    platform.expectMessage(
        {"Your database is currently empty. Please add some files to the database first.",
         "Tunex - Database Empty", MessageIcon::Question});
    page.exportButton()->click();
    EXPECT_TRUE(platform.allExpectedShown());
}

class FriendSearchPageTest : public ::testing::Test {
protected:
    FriendSearchPageTest() : base_("<ts>0\n<tf>0\n<md>3\n@*EOF\n") {
        context_ = openContext(platform_, base_);
        page_ = std::make_unique<FriendPage>(*context_);
        std::filesystem::create_directories(base_.path() / "friend");
    }

    std::string writeFriendFile(const std::string& bytes) {
        const std::filesystem::path file = base_.path() / "friend" / "Ann.txf";
        test::writeFile(file, bytes);
        return file.string();
    }
    void search(const std::string& file, const QString& keyword) {
        page_->fileEdit()->setText(QString::fromStdString(file));
        page_->keywordEdit()->setText(keyword);
        page_->searchButton()->click();
    }

    FakePlatform platform_;
    BaseFolder base_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<FriendPage> page_;
};

TEST_F(FriendSearchPageTest, BrowsesFromTheFriendFolder) {
    EXPECT_EQ(page_->browseButton()->text(), QStringLiteral("&Browse..."));
    platform_.fileDialogAnswers.push_back(std::filesystem::path("/data/Ann.txf"));
    platform_.fileDialogAnswers.push_back(std::nullopt);
    page_->browseButton()->click();
    EXPECT_EQ(page_->fileEdit()->text(), QStringLiteral("/data/Ann.txf"));
    page_->browseButton()->click();  // cancelled: the path stays
    EXPECT_EQ(page_->fileEdit()->text(), QStringLiteral("/data/Ann.txf"));
    ASSERT_EQ(platform_.fileDialogs.size(), 2U);
    const FileDialogRequest& request = platform_.fileDialogs[0];
    EXPECT_EQ(request.filters, (std::vector<FileFilter>{{"Tunex Friend File (*.txf)", "*.txf"},
                                                        {"All Files (*)", "*"}}));
    EXPECT_EQ(request.defaultSuffix, "txf");
    EXPECT_EQ(request.initialFolder, base_.path() / "friend");
    EXPECT_EQ(request.initialName, "");
}

// Qt shows a name that is not valid UTF-8 with U+FFFD; the search still reads the chosen file.
TEST_F(FriendSearchPageTest, SearchesTheChosenFileByItsOwnBytes) {
    const std::filesystem::path file = base_.path() / "friend" / "Ann\xff.txf";
    test::writeFile(file, "ann@mail\n**Rock\n<?>Angie<|>/cd<:>mp3</><\\>  1.0<*>1973-08-31\n@*EOF");
    const QString shown = QString::fromStdString((base_.path() / "friend").native()) +
                          QStringLiteral("/Ann\ufffd.txf");
    platform_.fileDialogAnswers.push_back(file);
    page_->browseButton()->click();
    EXPECT_EQ(page_->fileEdit()->text(), shown);
    page_->keywordEdit()->setText(QStringLiteral("angie"));
    page_->searchButton()->click();
    EXPECT_EQ(page_->resultModel()->rowCount(), 1);

    // Typed in after another choice, the text still finds the one file it can stand for.
    platform_.fileDialogAnswers.push_back(std::filesystem::path("/data/Bob.txf"));
    page_->browseButton()->click();
    page_->fileEdit()->setText(shown);
    page_->keywordEdit()->setText(QStringLiteral("rock"));
    page_->searchButton()->click();
    EXPECT_EQ(page_->statusText(), QStringLiteral("1 songs found with keyword <rock>."));
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(FriendSearchPageTest, SearchesAndReportsInTheStatusLine) {
    EXPECT_EQ(page_->statusText(), QStringLiteral("No search performed."));
    EXPECT_EQ(page_->searchButton()->text(), QStringLiteral("&Search Friend"));
    QHeaderView* header = page_->resultView()->header();
    ASSERT_EQ(header->count(), 8);
    const QStringList captions = {QStringLiteral("Friend"),      QStringLiteral("File Name"),
                                  QStringLiteral("File Type"),   QStringLiteral("CD Name"),
                                  QStringLiteral("Path"),        QStringLiteral("File Size(KB)"),
                                  QStringLiteral("Create Date"), QStringLiteral("ID3 Tag Info")};
    for (int column = 0; column < 8; ++column) {
        EXPECT_EQ(page_->resultModel()->headerData(column, Qt::Horizontal, Qt::DisplayRole),
                  captions[column]);
        // Every caption can be read in full.
        EXPECT_GE(header->sectionSize(column),
                  header->fontMetrics().horizontalAdvance(captions[column]));
    }
    // A dark theme that keeps Qt's pale tool-tip colour leaves the list dark.
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xdc));
    QApplication::setPalette(dark);
    EXPECT_EQ(page_->resultView()->palette().color(QPalette::Base), QColor(0x2a, 0x2a, 0x2a));
    QApplication::setPalette(before);

    platform_.expectMessage(
        {"Please input the file destination of the Tunex Friend file or use "
         "the Browse button.",
         "Tunex - Input Error", MessageIcon::Warning});
    search("", QStringLiteral("x"));
    platform_.expectMessage(
        {"Keyword cannot hold a mark such as <|> or <:>, which a friend file "
         "puts between the fields of a song.",
         "Tunex - Input Error", MessageIcon::Warning});
    search("/x", QStringLiteral("A<|>B"));
    EXPECT_EQ(page_->keywordEdit()->text(), QStringLiteral("A<|>B"));
    platform_.expectMessage(friendFileNotFoundMessage());
    search((base_.path() / "friend" / "none.txf").string(), QStringLiteral("Rock"));
    EXPECT_EQ(page_->statusText(), QStringLiteral("No search performed."));

    const std::string file = writeFriendFile(
        "ann@mail  \n**Rock Classics\n<?>Angie<|>/cd<:>mp3</>Angie;Stones;<\\>  1.0<*>1973-08-31\n"
        "**Jazz\n<?>So What<|>/jazz/ROCK<:>ogg</><\\>  2.0<*>1959-08-17\n"
        "<?>Blue<|>/jazz<:>ogg</><\\>  3.0<*>1959-08-17\n@*EOF");
    search(file, QStringLiteral("ROCK"));
    EXPECT_EQ(page_->keywordEdit()->text(), QStringLiteral("rock"));
    EXPECT_EQ(page_->statusText(), QStringLiteral("2 songs found with keyword <rock>."));
    ASSERT_EQ(page_->resultModel()->rowCount(), 2);
    const QStringList first = {QStringLiteral("Ann<ann@mail>"), QStringLiteral(" Angie"),
                               QStringLiteral("mp3"),           QStringLiteral("Rock Classics"),
                               QStringLiteral("/cd"),           QStringLiteral("  1.0"),
                               QStringLiteral("1973-08-31"),    QStringLiteral("Angie;Stones;")};
    for (int column = 0; column < 8; ++column) {
        EXPECT_EQ(page_->resultModel()->cellText(0, column), first[column]);
    }
    EXPECT_EQ(page_->resultModel()->cellText(1, 3), QStringLiteral("Jazz"));

    // maxResults is 3: the fourth match is never read.
    const std::string many = writeFriendFile("a@b\n**CD\n<?>s1\n<?>s2\n<?>s3\n<?>s4\n@*EOF");
    platform_.expectMessage(
        {"The search result reaches the maximum display limit (3).\nYou can "
         "change it in <Setting> tab.",
         "Tunex - Information", MessageIcon::Information});
    search(many, QStringLiteral("S"));
    EXPECT_EQ(page_->resultModel()->rowCount(), 3);
    EXPECT_EQ(page_->statusText(), QStringLiteral("3 songs found with keyword <s>."));

    const std::string damaged = writeFriendFile("a@b\n**CD\n<?>s1\n\n<?>s2\n@*EOF");
    platform_.expectMessage(friendFileDamagedMessage());
    search(damaged, QStringLiteral("S"));
    EXPECT_EQ(page_->resultModel()->rowCount(), 0);
    EXPECT_EQ(page_->statusText(), QStringLiteral("File error. No song found."));
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(FriendSearchPageTest, HeaderClicksSortWithTheDirectionCarriedOver) {
    context_->settings().maxResults = 100;
    const std::string file = writeFriendFile(
        "a@b\n**Pop\n<?>b<|>/2<:>mp3</><\\>1<*>d\n**Jazz\n<?>c<|>/1<:>mp3</><\\>1<*>d\n"
        "**Rock\n<?>a<|>/3<:>mp3</><\\>1<*>d\n@*EOF");
    search(file, QStringLiteral("d"));
    page_->resize(1000, 600);
    page_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
    // The selected row moves with its record.
    page_->resultView()->setCurrentIndex(page_->resultModel()->index(2, 0));

    clickHeader(*page_, 3);
    EXPECT_EQ(columnTexts(*page_, 3),
              (QStringList{QStringLiteral("Jazz"), QStringLiteral("Pop"), QStringLiteral("Rock")}));
    EXPECT_EQ(page_->resultView()->currentIndex().row(), 2);
    clickHeader(*page_, 3);
    EXPECT_EQ(columnTexts(*page_, 3),
              (QStringList{QStringLiteral("Rock"), QStringLiteral("Pop"), QStringLiteral("Jazz")}));
    EXPECT_EQ(page_->resultView()->currentIndex().row(), 0);
    clickHeader(*page_, 4);  // a new column keeps the descending direction
    EXPECT_EQ(columnTexts(*page_, 4),
              (QStringList{QStringLiteral("/3"), QStringLiteral("/2"), QStringLiteral("/1")}));
    EXPECT_EQ(page_->resultView()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    // Another mouse button does nothing.
    QHeaderView* header = page_->resultView()->header();
    QTest::mouseClick(header->viewport(), Qt::RightButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    EXPECT_EQ(columnTexts(*page_, 4),
              (QStringList{QStringLiteral("/3"), QStringLiteral("/2"), QStringLiteral("/1")}));
}

TEST_F(FriendSearchPageTest, FitsASmallScreenWithEverythingReadable) {
    const QSize minimum = page_->minimumSizeHint();
    EXPECT_LE(minimum.width(), 1280 - 40);
    EXPECT_LE(minimum.height(), 800 - 160);
    page_->resize(minimum);
    page_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
    for (const QPushButton* button : page_->findChildren<QPushButton*>()) {
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    for (const QLabel* label : page_->findChildren<QLabel*>()) {
        if (label->sizePolicy().horizontalPolicy() != QSizePolicy::Ignored) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        }
    }
    // Widening the page widens the edits and the list, not the name edit.
    const int nameWidth = page_->nameEdit()->width();
    const int listWidth = page_->resultView()->width();
    page_->resize(minimum + QSize(200, 100));
    QTest::qWait(0);
    EXPECT_EQ(page_->nameEdit()->width(), nameWidth);
    EXPECT_EQ(page_->resultView()->width(), listWidth + 200);
}

}  // namespace
}  // namespace tunex
