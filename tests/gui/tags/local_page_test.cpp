#include "gui/tags/local_page.h"

#include "core/tags/local_listing.h"
#include "core/tags/tag_clearing.h"
#include "gui/app/app_context.h"
#include "gui/app/main_sheet.h"
#include "gui/tags/easy_tag_dialog.h"
#include "gui/tags/gui_tag_test_support.h"
#include "gui/tags/local_file_list.h"
#include "gui/tags/local_listing_runner.h"
#include "gui/tags/preview_answer.h"
#include "gui/tags/tag_info_dialog.h"
#include "gui/tags/tag_preview_dialog.h"
#include "gui/widgets/drive_folder_tree.h"
#include "gui/widgets/popup_menu_window.h"
#include "gui/widgets/progress_window.h"
#include "platform/play_media.h"
#include "support/audio_files.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tunex {
namespace {

using test::mpegAudio;
using test::readFile;
using test::v1Tag;
using test::v2Tag;
using test::v2Text;

std::string taggedSong(std::string_view title, std::string_view artist) {
    return v2Tag(3, v2Text(3, "TIT2", title) + v2Text(3, "TPE1", artist)) + mpegAudio(3) +
           v1Tag(title, artist, "", "2001", "", 1, 17);
}

// Holds every walk of one folder until the page asks it to stop, then lists the folder in full
// anyway: a result the page must drop.
class HeldWalk final {
public:
    explicit HeldWalk(std::string folder) : folder_(std::move(folder)) {}

    [[nodiscard]] LocalListingRunner::Lister lister() {
        return [this](const LocalListingRequest& request, const std::stop_token& stop) {
            if (request.folder == folder_) {
                while (!stop.stop_requested()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                sawStop = true;
                // Bounded, so that a failed test still ends.
                for (int waited = 0; !mayEnd && waited < 5000; ++waited) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                LocalListing listing =
                    listLocalFolder(request.folder, request.types, request.includeSubfolders, 100);
                ended = true;
                return listing;
            }
            return listLocalFolder(request.folder, request.types, request.includeSubfolders,
                                   request.maxResults, stop);
        };
    }

    // A stopped walk ends only once the test lets it, so its result comes after the newer one.
    std::atomic<bool> mayEnd{true};
    std::atomic<bool> sawStop{false};
    std::atomic<bool> ended{false};  // the test clears it before it starts a held walk

private:
    std::string folder_;
};

// The music folder stands in as the desktop folder, so its tree node is a top node.
class LocalPageTest : public ::testing::Test {
protected:
    LocalPageTest() {
        platform_.desktop = music_.path();
        UserMessage failure;
        auto workspace = Workspace::open(base_.path(), failure);
        EXPECT_NE(workspace, nullptr) << failure.text;
        context_ = std::make_unique<AppContext>(platform_, std::move(workspace));
        context_->settings().maxResults = 3000;
        // The preview has tests of its own; the other tests run the tools straight away.
        context_->settings().previewTagChanges = false;
        QObject::connect(context_.get(), &AppContext::pageRequested, context_.get(),
                         [this](PageId shown) { shownPages_.push_back(shown); });
    }

    std::filesystem::path make(const std::string& name, const std::string& bytes) {
        const auto path = music_ / name;
        std::filesystem::create_directories(path.parent_path());
        test::writeFile(path, bytes);
        return path;
    }
    // A small file of another format made by mutagen, with its tags in the format's own keys.
    std::filesystem::path makeAudio(std::string_view format, const std::string& name,
                                    const test::AudioTags& tags = {}) {
        const auto path = music_ / name;
        std::filesystem::create_directories(path.parent_path());
        EXPECT_TRUE(test::makeAudioFile(format, path, tags));
        return path;
    }
    // Types the File Type page would list besides mp3, wma and wmv.
    void listTypes(std::initializer_list<const char*> types) {
        FileTypeList list = context_->fileTypes();
        for (const char* type : types) {
            list.add(type);
        }
        context_->setFileTypes(std::move(list));
    }
    std::unique_ptr<LocalPage> openPage() {
        auto page = std::make_unique<LocalPage>(*context_);
        page->resize(1000, 700);
        return page;
    }
    // Listings run off the GUI thread: the page says when the newest one is shown.
    static void waitForListing(const LocalPage& page) {
        ASSERT_TRUE(QTest::qWaitFor([&page] { return !page.isListing(); }, 10000));
    }
    void selectMusic(LocalPage& page) {
        page.tree()->setCurrentItem(page.tree()->desktopNode());
        waitForListing(page);
    }
    std::string folder() const { return music_.path().string() + "/"; }
    // The tools a listing holds back, with the captions to tell them apart in a failure.
    static std::vector<std::pair<QString, bool>> toolStates(const LocalPage& page) {
        std::vector<std::pair<QString, bool>> states;
        for (const QPushButton* button : {page.clearTagButton(), page.moreTagButton(),
                                          page.easyTagButton(), page.filterButton()}) {
            states.emplace_back(button->text(), button->isEnabled());
        }
        return states;
    }
    static QTreeWidgetItem* childWithPath(const QTreeWidgetItem* node, const std::string& path) {
        for (int i = 0; i < node->childCount(); ++i) {
            if (DriveFolderTree::nodePath(node->child(i)).native() == path) {
                return node->child(i);
            }
        }
        return nullptr;
    }
    static std::vector<std::string> names(const LocalPage& page) {
        std::vector<std::string> out;
        for (const LocalRow& row : page.fileList()->rows()) {
            out.push_back(row[kLocalFileName]);
        }
        return out;
    }
    static int rowNamed(const LocalPage& page, std::string_view name) {
        const auto all = names(page);
        return static_cast<int>(std::find(all.begin(), all.end(), name) - all.begin());
    }

    test::BaseFolder base_;
    test::TempDir music_;
    test::FakePlatform platform_;
    std::unique_ptr<AppContext> context_;
    std::vector<PageId> shownPages_;
};

TEST_F(LocalPageTest, OpensEmptyWithTheToolsDisabled) {
    auto page = openPage();
    EXPECT_EQ(page->statusLabel()->text(), QStringLiteral("No search performed."));
    EXPECT_FALSE(page->clearTagButton()->isEnabled());
    EXPECT_FALSE(page->moreTagButton()->isEnabled());
    EXPECT_FALSE(page->easyTagButton()->isEnabled());
    EXPECT_EQ(page->clearTagButton()->text(), QStringLiteral("&Clear Tag"));
    EXPECT_TRUE(page->tagSummary()->isHidden());
    EXPECT_TRUE(page->subdirectoryBox()->isChecked());
    const QAbstractItemModel* model = page->fileList()->model();
    QStringList captions;
    for (int c = 0; c < model->columnCount(); ++c) {
        captions << model->headerData(c, Qt::Horizontal).toString();
    }
    EXPECT_EQ(captions.join(u','), QStringLiteral("File Name,Path,File Size (KB),File Date"));
}

TEST_F(LocalPageTest, ListsMediaFilesUnderTheChosenFolder) {
    make("b.mp3", mpegAudio(2));
    make("a.WMA", "x");
    make("notes.txt", "x");
    make("sub/c.mp3", mpegAudio(2));
    auto page = openPage();
    selectMusic(*page);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"a.WMA", "b.mp3", "c.mp3"}));
    EXPECT_EQ(page->fileList()->rows()[2][kLocalPath], music_.path().string() + "/sub");
    EXPECT_EQ(page->statusLabel()->text().toStdString(), listedStatusText(3, folder()));
    EXPECT_EQ(page->listedCount(), 3);
    EXPECT_TRUE(page->easyTagButton()->isEnabled());
    EXPECT_TRUE(page->clearTagButton()->isEnabled());
    EXPECT_EQ(page->clearTagButton()->text(), QStringLiteral("Clear All Tag"));

    page->subdirectoryBox()->click();
    waitForListing(*page);
    EXPECT_FALSE(page->includeSubfolders());
    EXPECT_EQ(names(*page), (std::vector<std::string>{"a.WMA", "b.mp3"}));

    // "My Computer" empties the list and leaves the rest as it was.
    page->tree()->setCurrentItem(page->tree()->myComputerNode());
    EXPECT_EQ(page->fileList()->rowCount(), 0);
    EXPECT_EQ(page->statusLabel()->text().toStdString(), listedStatusText(2, folder()));
    EXPECT_EQ(page->listedCount(), 2);
}

// The limit is said in the status line, never in a box that stops the user browsing.
TEST_F(LocalPageTest, TabFollowsReadingOrder) {
    auto page = openPage();
    std::vector<QWidget*> visited;
    for (QWidget* next = page->tree(); visited.size() < 40; next = next->nextInFocusChain()) {
        visited.push_back(next);
    }
    const auto at = [&](QWidget* widget) {
        return std::find(visited.begin(), visited.end(), widget) - visited.begin();
    };
    EXPECT_LT(at(page->keywordEdit()), at(page->undoButton()));
    EXPECT_LT(at(page->undoButton()), at(page->fileList()));
    EXPECT_LT(at(page->fileList()), at(page->refreshButton()));
}

TEST_F(LocalPageTest, DisplayLimitStopsTheListingAndSaysSo) {
    for (const char* name : {"1.mp3", "2.mp3", "3.mp3"}) {
        make(name, "x");
    }
    auto page = openPage();
    for (const int limit : {3, 2}) {
        context_->settings().maxResults = limit;
        selectMusic(*page);
        page->refreshButton()->click();
        waitForListing(*page);
        EXPECT_EQ(page->fileList()->rowCount(), limit);
    }
    EXPECT_TRUE(platform_.shown.empty());
    EXPECT_EQ(page->statusLabel()->text().toStdString(), "2 of 3 files shown under " + folder());
}

TEST_F(LocalPageTest, RowSelectionShowsTheTagSummary) {
    const auto song = make("song.mp3", taggedSong("Title", "Artist"));
    make("bare.mp3", mpegAudio(2));
    make("other.dat", "x");
    const auto flac = makeAudio(
        "flac", "tune.flac",
        {{{"TITLE", {"Flac Title"}}, {"ARTIST", {"Flac Artist"}}, {"ALBUM", {"Flac Album"}}}});
    const auto ogg =
        makeAudio("ogg", "tune.ogg", {{{"ARTIST", {"Ogg Artist"}}, {"GENRE", {"Jazz"}}}, true});
    listTypes({"flac", "ogg", "dat"});
    platform_.mountedVolumes.push_back({music_.path().string() + "/", "CD", VolumeKind::Optical});
    auto page = openPage();
    selectMusic(*page);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"bare.mp3", "other.dat", "song.mp3",
                                                      "tune.flac", "tune.ogg"}));
    // On an optical disc nothing may be written from the folder tools.
    EXPECT_FALSE(page->easyTagButton()->isEnabled());
    EXPECT_FALSE(page->clearTagButton()->isEnabled());

    page->fileList()->selectRow(rowNamed(*page, "song.mp3"));
    ASSERT_FALSE(page->tagSummary()->isHidden());
    EXPECT_EQ(page->tagSummary()->toPlainText().toStdString(),
              "ID3 Tag of " + song.string() + ":\nTitle:\tTitle\nArtist:\tArtist\n");
    EXPECT_TRUE(page->moreTagButton()->isEnabled());
    EXPECT_TRUE(page->clearTagButton()->isEnabled());
    EXPECT_EQ(page->clearTagButton()->text(), QStringLiteral("Clear This Tag"));

    page->fileList()->selectRow(rowNamed(*page, "other.dat"));
    EXPECT_TRUE(page->tagSummary()->isHidden());
    EXPECT_FALSE(page->moreTagButton()->isEnabled());
    EXPECT_EQ(page->clearTagButton()->text(), QStringLiteral("Clear This Tag"));

    page->fileList()->selectRow(rowNamed(*page, "bare.mp3"));
    ASSERT_FALSE(page->tagSummary()->isHidden());
    EXPECT_TRUE(page->tagSummary()->toPlainText().endsWith(
        QStringLiteral(":\nNo title, artist or album tag.\n")));
    EXPECT_TRUE(page->moreTagButton()->isEnabled());

    // The one tag of other formats, under the same rules.
    const std::vector<std::pair<std::filesystem::path, std::string>> others = {
        {flac, "Title:\tFlac Title\nArtist:\tFlac Artist\nAlbum:\tFlac Album\n"},
        {ogg, "Artist:\tOgg Artist\n"}};
    for (const auto& [file, lines] : others) {
        SCOPED_TRACE(file.string());
        page->fileList()->selectRow(rowNamed(*page, file.filename().string()));
        ASSERT_FALSE(page->tagSummary()->isHidden());
        const std::string summary = page->tagSummary()->toPlainText().toStdString();
        EXPECT_TRUE(summary.ends_with(file.string() + ":\n" + lines)) << summary;
        EXPECT_TRUE(page->moreTagButton()->isEnabled());
        EXPECT_TRUE(page->clearTagButton()->isEnabled());
        EXPECT_EQ(page->clearTagButton()->text(), QStringLiteral("Clear This Tag"));
    }
}

TEST_F(LocalPageTest, FilterChecksThenNarrowsTheList) {
    make("Alpha.mp3", "x");
    make("beta.wma", "x");
    make("mp3s/gamma.wma", "x");
    auto page = openPage();

    platform_.expectMessage(*checkFilter(0, "a"));
    page->filterButton()->click();
    selectMusic(*page);
    page->keywordEdit()->setText(QStringLiteral("a*b"));
    platform_.expectMessage(*checkFilter(3, "a*b"));
    page->filterButton()->click();
    page->keywordEdit()->clear();
    platform_.expectMessage(*checkFilter(3, ""));
    page->filterButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(page->fileList()->rowCount(), 3);

    page->keywordEdit()->setText(QStringLiteral("MP3"));
    page->filterButton()->click();
    EXPECT_EQ(names(*page), (std::vector<std::string>{"Alpha.mp3", "gamma.wma"}));
    EXPECT_EQ(page->statusLabel()->text().toStdString(), filteredStatusText(2));
    EXPECT_EQ(page->listedCount(), 3);
}

TEST_F(LocalPageTest, HeaderClicksSortAndTreeSelectionResetsTheDirection) {
    make("a.mp3", std::string(3000, 'x'));
    make("b.mp3", std::string(1000, 'x'));
    make("c.mp3", std::string(2000, 'x'));
    auto page = openPage();
    selectMusic(*page);
    QHeaderView* header = page->fileList()->header();
    Q_EMIT header->sectionClicked(kLocalSize);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"b.mp3", "c.mp3", "a.mp3"}));
    Q_EMIT header->sectionClicked(kLocalSize);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"a.mp3", "c.mp3", "b.mp3"}));
    page->refreshButton()->click();
    waitForListing(*page);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
    // A new tree selection clears the ascending flag: the same column then sorts ascending.
    page->tree()->setCurrentItem(page->tree()->myComputerNode());
    selectMusic(*page);
    Q_EMIT header->sectionClicked(kLocalSize);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"b.mp3", "c.mp3", "a.mp3"}));
}

TEST_F(LocalPageTest, DoubleClickAndMenuPlayCopyAndSwitchPages) {
    const auto song = make("song.mp3", "x");
    auto page = openPage();
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    selectMusic(*page);

    platform_.expectMessage(noItemInListMessage());
    Q_EMIT page->fileList()->menuRequested(page->mapToGlobal(QPoint(10, 10)));
    EXPECT_TRUE(platform_.allExpectedShown());

    page->fileList()->selectRow(0);
    const QRect rect = page->fileList()->visualRect(page->fileList()->model()->index(0, 0));
    QTest::mouseDClick(page->fileList()->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(platform_.launched.size(), 1u);
    EXPECT_EQ(platform_.launched[0], song);

    platform_.launchResult = LaunchResult::NoAssociatedApplication;
    platform_.expectMessage(*playFailureMessage(PlayResult::NoAssociatedApplication, song,
                                                NoApplicationText::WithFullStop));
    QTest::mouseDClick(page->fileList()->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_TRUE(platform_.allExpectedShown());

    // Each menu is answered by its accelerator letter.
    const auto chooseFromMenu = [&](Qt::Key key) {
        QTimer::singleShot(0, [key] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* menu = qobject_cast<PopupMenuWindow*>(widget);
                    menu && menu->isVisible()) {
                    QTest::keyClick(menu, key);
                }
            }
        });
        Q_EMIT page->fileList()->menuRequested(page->mapToGlobal(QPoint(10, 10)));
    };
    chooseFromMenu(Qt::Key_C);
    EXPECT_EQ(platform_.clipboard, "song.mp3");
    chooseFromMenu(Qt::Key_H);
    chooseFromMenu(Qt::Key_S);
    EXPECT_EQ(shownPages_, (std::vector<PageId>{PageId::History, PageId::Songs}));
}

TEST_F(LocalPageTest, DoubleClickPlaysAFileWithAnUpperCaseExtension) {
    const auto song = make("LOUD SONG.MP3", "x");
    auto page = openPage();
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    selectMusic(*page);
    ASSERT_EQ(names(*page), (std::vector<std::string>{"LOUD SONG.MP3"}));

    page->fileList()->selectRow(0);
    const QRect rect = page->fileList()->visualRect(page->fileList()->model()->index(0, 0));
    QTest::mouseDClick(page->fileList()->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(platform_.launched.size(), 1u);
    EXPECT_EQ(platform_.launched[0], song);
}

TEST_F(LocalPageTest, MoreTagOpensTheEditorForTheSelectedSong) {
    const auto song = make("song.mp3", taggedSong("Title", "Artist"));
    auto page = openPage();
    selectMusic(*page);
    platform_.expectMessage(noRowSelectedMessage());
    page->moreTagButton()->setEnabled(true);
    page->moreTagButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());

    page->fileList()->selectRow(0);
    page->moreTagButton()->click();
    auto* editor = page->findChild<TagInfoDialog*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->shownFields().v2.title, "Title");
    EXPECT_EQ(editor->findChildren<QGroupBox*>().size(), 2);
    editor->cancelButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    waitForListing(*page);

    // A FLAC file opens with its one tag.
    makeAudio("flac", "tune.flac", {{{"TITLE", {"Flac Title"}}}});
    listTypes({"flac"});
    page->refreshButton()->click();
    waitForListing(*page);
    page->fileList()->selectRow(rowNamed(*page, "tune.flac"));
    page->moreTagButton()->click();
    editor = page->findChild<TagInfoDialog*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle().toStdString(), "Tag of " + (music_ / "tune.flac").string());
    const auto groups = editor->findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0]->title(), QStringLiteral("FLAC Tag"));
    EXPECT_EQ(editor->shownFields().v2.title, "Flac Title");
    editor->cancelButton()->click();
}

TEST_F(LocalPageTest, ClearThisTagAsksThenClearsOneFile) {
    const auto song = make("song.mp3", taggedSong("Title", "Artist"));
    const auto other = make("other.mp3", taggedSong("Keep", "Me"));
    const std::string original = readFile(song);
    auto page = openPage();
    selectMusic(*page);
    page->fileList()->selectRow(rowNamed(*page, "song.mp3"));

    platform_.expectMessage(clearThisTagQuestion(song.string()), MessageAnswer::No);
    page->clearTagButton()->click();
    EXPECT_EQ(readFile(song), original);

    // With the preview on, the one file's fields are shown first; Cancel writes nothing.
    context_->settings().previewTagChanges = true;
    test::PreviewSeen seen;
    test::answerNextPreview(false, seen);
    platform_.expectMessage(clearThisTagQuestion(song.string()), MessageAnswer::Yes);
    page->clearTagButton()->click();
    EXPECT_EQ(seen.summary, "7 changes in 1 file.");
    EXPECT_EQ(std::vector<std::string>(seen.cells.begin(), seen.cells.begin() + 6),
              (std::vector<std::string>{"song.mp3", song.parent_path().string(), "V1", "Title",
                                        "Title", ""}));
    EXPECT_EQ(readFile(song), original);

    test::answerNextPreview(true, seen);
    platform_.expectMessage(clearThisTagQuestion(song.string()), MessageAnswer::Yes);
    platform_.expectMessage(clearThisTagResult(song.string(), TagWriteOutcome::Written));
    page->clearTagButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(readCatalogueId3(song), "");
    EXPECT_EQ(readCatalogueId3(other), "Keep;Me;");

    // Undo brings the file back byte for byte and lists the folder again; then there is nothing
    // left to undo, by the button or by Ctrl+Z.
    ASSERT_TRUE(page->undoButton()->isEnabled());
    // The folder is read again off the GUI thread; the tools wait for it, Undo does not.
    EXPECT_TRUE(page->isListing());
    for (const auto& [caption, enabled] : toolStates(*page)) {
        EXPECT_FALSE(enabled) << caption.toStdString();
    }
    waitForListing(*page);
    page->fileList()->selectRow(rowNamed(*page, "song.mp3"));
    ASSERT_TRUE(page->moreTagButton()->isEnabled());
    platform_.expectMessage({"1 file was put back as it was before the last tag change.",
                             "Tunex - Undo Tag Change", MessageIcon::Information});
    page->undoButton()->click();
    EXPECT_EQ(readFile(song), original);
    waitForListing(*page);
    EXPECT_EQ(page->fileList()->rowCount(), 2);
    // The list stays where the user left it: the same file selected, its tools at hand.
    EXPECT_EQ(page->fileList()->selectedRow(), rowNamed(*page, "song.mp3"));
    EXPECT_TRUE(page->moreTagButton()->isEnabled());
    EXPECT_EQ(page->clearTagButton()->text(), QStringLiteral("Clear This Tag"));
    EXPECT_FALSE(page->undoButton()->isEnabled());
    platform_.expectMessage(
        {"There is no tag change to undo.", "Tunex - Undo Tag Change", MessageIcon::Information});
    page->show();
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    QTest::keyClick(page->fileList(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(platform_.allExpectedShown());
}

TEST_F(LocalPageTest, ClearThisTagOnAnOggFileKeepsItsPictureAndIsUndone) {
    const auto ogg =
        makeAudio("ogg", "tune.ogg",
                  {{{"TITLE", {"Tune"}}, {"ARTIST", {"Player"}}, {"MOOD", {"calm"}}}, true, true});
    listTypes({"ogg"});
    const std::string original = readFile(ogg);
    const test::AudioViewMap before = test::audioViewMap(ogg);
    ASSERT_EQ(before.at("pictures"), (std::vector<std::string>{"1"}));
    context_->settings().previewTagChanges = true;
    auto page = openPage();
    selectMusic(*page);
    page->fileList()->selectRow(rowNamed(*page, "tune.ogg"));

    test::PreviewSeen seen;
    test::answerNextPreview(true, seen);
    platform_.expectMessage(clearThisTagQuestion(ogg.string()), MessageAnswer::Yes);
    platform_.expectMessage(clearThisTagResult(ogg.string(), TagWriteOutcome::Written));
    page->clearTagButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    const std::string oggName = ogg.filename().string();
    const std::string oggFolder = ogg.parent_path().string();
    EXPECT_EQ(seen.cells,
              (std::vector<std::string>{oggName, oggFolder, "Tag", "Title", "Tune", "", oggName,
                                        oggFolder, "Tag", "Artist", "Player", ""}));
    // The editor's fields go; the picture, ReplayGain, the unknown field and the audio stay.
    test::AudioViewMap expected = before;
    expected.erase("TITLE");
    expected.erase("ARTIST");
    EXPECT_EQ(test::audioViewMap(ogg), expected);

    waitForListing(*page);
    platform_.expectMessage({"1 file was put back as it was before the last tag change.",
                             "Tunex - Undo Tag Change", MessageIcon::Information});
    page->undoButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(readFile(ogg), original);
}

TEST_F(LocalPageTest, ClearAllTagClearsMusicFilesAndCountsListedOnes) {
    const auto one = make("one.mp3", taggedSong("One", "A"));
    const auto two = make("sub/two.mp3", taggedSong("Two", "B"));
    const auto three = makeAudio("wma", "three.wma", {{{"Title", {"Three"}}}});
    const auto four = makeAudio("flac", "sub/four.flac", {{{"TITLE", {"Four"}}}, true});
    make("five.dat", "x");
    listTypes({"flac", "dat"});
    const test::AudioViewMap fourBefore = test::audioViewMap(four);
    auto page = openPage();
    selectMusic(*page);

    // Every music file is cleared; every listed file is counted.
    platform_.expectMessage(clearAllQuestion(folder(), 4), MessageAnswer::Yes);
    ClearAllResult expected;
    expected.counted = 5;
    platform_.expectMessage(clearAllResultMessage(folder(), expected));
    page->clearTagButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(readCatalogueId3(one), "");
    EXPECT_EQ(readCatalogueId3(two), "");
    EXPECT_EQ(test::audioViewMap(three).count("Title"), 0U);
    test::AudioViewMap fourAfter = fourBefore;
    fourAfter.erase("TITLE");
    EXPECT_EQ(test::audioViewMap(four), fourAfter);
    EXPECT_EQ(page->progressWindow(), nullptr);
    EXPECT_TRUE(page->isEnabled());
}

TEST_F(LocalPageTest, StopDuringClearAllLeavesEachFileWholeOrCleared) {
    std::vector<std::pair<std::filesystem::path, std::string>> files;
    for (int i = 0; i < 6; ++i) {
        const auto path = make("song" + std::to_string(i) + ".mp3",
                               taggedSong("Title " + std::to_string(i), "Artist"));
        files.emplace_back(path, readFile(path));
    }
    auto page = openPage();
    selectMusic(*page);

    platform_.expectMessage(clearAllQuestion(folder(), 6), MessageAnswer::Yes);
    ClearAllResult expected;
    expected.counted = 1;
    expected.stopped = true;
    platform_.expectMessage(clearAllResultMessage(folder(), expected));
    bool stopped = false;
    QTimer::singleShot(0, page.get(), [&] {
        ASSERT_NE(page->progressWindow(), nullptr);
        EXPECT_FALSE(page->isEnabled());
        page->progressWindow()->stopButton()->click();
        stopped = true;
    });
    page->clearTagButton()->click();
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_TRUE(page->isEnabled());

    int cleared = 0;
    for (const auto& [path, bytes] : files) {
        const std::string now = readFile(path);
        if (now != bytes) {
            ++cleared;
            EXPECT_EQ(readCatalogueId3(path), "") << path;
            TagFields fields;
            loadTagFields(path, fields);
            EXPECT_EQ(fields.v1.title, "") << path;
        }
    }
    EXPECT_EQ(cleared, 1);
}

TEST_F(LocalPageTest, ClearAllTagShowsItsChangesFirstAndWritesOnlyOnApply) {
    context_->settings().previewTagChanges = true;
    const auto one = make("one.mp3", taggedSong("One", "A"));
    const auto two = make("sub/two.mp3", taggedSong("Two", "B"));
    make("fake.mp3", "not audio at all");
    const std::string before = readFile(one) + readFile(two);
    auto page = openPage();
    selectMusic(*page);

    test::PreviewSeen seen;
    platform_.expectMessage(clearAllQuestion(folder(), 3), MessageAnswer::Yes);
    test::answerNextPreview(false, seen);
    page->clearTagButton()->click();
    EXPECT_EQ(seen.summary, "14 changes in 2 files; 1 file will be left alone.");
    // Per file: V2 title and artist; V1 title, artist, year, track and genre.
    EXPECT_EQ(seen.cells.size(), 14U * 6);
    EXPECT_EQ(seen.filesCounted, 3);
    EXPECT_EQ(readFile(one) + readFile(two), before);

    platform_.expectMessage(clearAllQuestion(folder(), 3), MessageAnswer::Yes);
    platform_.expectMessage({"All ID3 tags of 2 files under " + folder() +
                                 " removed.\n1 file left alone, not MPEG audio:\n" +
                                 (music_ / "fake.mp3").string(),
                             "Tunex - Tags Partly Removed", MessageIcon::Warning});
    test::PreviewSeen applied;
    test::answerNextPreview(true, applied);
    page->clearTagButton()->click();
    EXPECT_EQ(readCatalogueId3(one), "");
    EXPECT_EQ(readCatalogueId3(two), "");
}

TEST_F(LocalPageTest, BatchToolsAskWhetherToTakeTheShownOrSelectedFilesOrTheFolder) {
    const auto nightOne = make("Night-One.mp3", taggedSong("One", "A"));
    const auto dayTwo = make("Day-Two.mp3", taggedSong("Two", "B"));
    const auto nightThree = make("sub/Night-Three.mp3", taggedSong("Three", "C"));
    const auto nightFour = makeAudio("flac", "Night-Four.flac", {{{"TITLE", {"Four"}}}});
    make("Night-Notes.dat", "x");
    listTypes({"flac", "dat"});
    const std::string dayBytes = readFile(dayTwo);
    auto page = openPage();
    // Two rows leave a matching music file off the list: the filter and the question take it too.
    context_->settings().maxResults = 2;
    selectMusic(*page);
    EXPECT_EQ(page->statusLabel()->text().toStdString(), "2 of 5 files shown under " + folder());
    page->keywordEdit()->setText(QStringLiteral("night"));
    platform_.expectMessage(displayLimitMessage(2));
    page->filterButton()->click();
    ASSERT_EQ(page->fileList()->rowCount(), 2);
    EXPECT_EQ(page->statusLabel()->text().toStdString(), "4 files matched with keyword.");
    context_->settings().maxResults = 3000;

    // The choice stands for the question: no second Yes/No follows it. The questions count the
    // music files; the result counts every listed file it went through.
    platform_.expectMessage({"Clear the tags of the 3 music files shown in the list, or of all "
                             "4 music files under " +
                                 folder() + "?",
                             "Tunex - Clear ID3 Tag?", MessageIcon::Question},
                            MessageAnswer::Cancel);
    page->clearTagButton()->click();
    EXPECT_EQ(platform_.shown.back().buttons, MessageButtons::TwoChoices);
    EXPECT_EQ(platform_.shown.back().choices,
              (std::array<std::string, 2>{"Only the &Shown 3 music files", "&All 4 music files"}));
    EXPECT_EQ(readFile(nightOne), taggedSong("One", "A"));

    platform_.expectMessage(platform_.shown.back().message, MessageAnswer::Yes);
    platform_.expectMessage({"All ID3 tags of 4 files under " + folder() + " removed.",
                             "Tunex - Tag Successfully Removed", MessageIcon::Information});
    page->clearTagButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(readCatalogueId3(nightOne), "");
    EXPECT_EQ(readCatalogueId3(nightThree), "");
    EXPECT_EQ(test::audioViewMap(nightFour).count("TITLE"), 0U);
    EXPECT_EQ(readFile(dayTwo), dayBytes);
    // The list is read again after the change and keeps its filter; Refresh lists it whole.
    waitForListing(*page);
    EXPECT_EQ(page->fileList()->rowCount(), 4);
    EXPECT_EQ(page->statusLabel()->text().toStdString(), "4 files matched with keyword.");
    page->refreshButton()->click();
    waitForListing(*page);
    EXPECT_EQ(page->fileList()->rowCount(), 5);

    // Two selected rows: the clear button takes the batch again, and EasyTag asks about them.
    page->fileList()->selectRow(rowNamed(*page, "Day-Two.mp3"));
    EXPECT_EQ(page->clearTagButton()->text(), QStringLiteral("Clear This Tag"));
    page->fileList()->selectionModel()->select(
        page->fileList()->model()->index(rowNamed(*page, "Night-Three.mp3"), 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(page->clearTagButton()->text(), QStringLiteral("Clear All Tag"));
    EXPECT_FALSE(page->moreTagButton()->isEnabled());
    platform_.expectMessage({"Set the tags from the names of the 2 music files selected in the "
                             "list, or of all 4 music files under " +
                                 folder() + "?",
                             "Tunex - Easy Tag", MessageIcon::Question},
                            MessageAnswer::Yes);
    page->easyTagButton()->click();
    auto* dialog = page->findChild<EasyTagDialog*>();
    ASSERT_NE(dialog, nullptr);
    EasyTagResult expected;
    expected.written = 2;
    platform_.expectMessage(easyTagResultMessage(folder(), expected));
    dialog->okButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(readId3Summary(dayTwo).artist, "Day");
    EXPECT_EQ(readId3Summary(nightThree).title, "Three");
    EXPECT_EQ(readCatalogueId3(nightOne), "");
}

TEST_F(LocalPageTest, FolderToolsRefuseWithoutAFolder) {
    make("song.mp3", taggedSong("Title", "Artist"));
    auto page = openPage();
    selectMusic(*page);
    // "My Computer" has no path: nothing may run on it.
    page->tree()->setCurrentItem(page->tree()->myComputerNode());
    platform_.expectMessage(noFolderSelectedMessage());
    page->clearTagButton()->click();
    page->easyTagButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    EXPECT_EQ(page->findChild<EasyTagDialog*>(), nullptr);
}

TEST_F(LocalPageTest, EasyTagRunsOnTheFolderAndListsItAgain) {
    const auto song = make("Singer - Song.mp3", mpegAudio(3));
    const auto flac = makeAudio("flac", "Other - Tune.flac", {{{"TITLE", {"Old"}}}, true});
    listTypes({"flac", "dat"});
    test::AudioViewMap flacAfter = test::audioViewMap(flac);
    auto page = openPage();
    selectMusic(*page);
    page->easyTagButton()->click();
    auto* dialog = page->findChild<EasyTagDialog*>();
    ASSERT_NE(dialog, nullptr);
    make("Later - Added.dat", "x");
    // The FLAC file's one tag takes the names, whichever version is chosen.
    dialog->v1Box()->click();
    EasyTagResult expected;
    expected.written = 2;
    platform_.expectMessage(easyTagResultMessage(folder(), expected));
    dialog->okButton()->click();
    EXPECT_TRUE(platform_.allExpectedShown());
    TagFields songTags;
    EXPECT_EQ(loadTagFields(song, songTags).v1, true);
    EXPECT_EQ(songTags.v1.artist, "Singer");
    flacAfter["ARTIST"] = {"Other"};
    flacAfter["TITLE"] = {"Tune"};
    EXPECT_EQ(test::audioViewMap(flac), flacAfter);
    waitForListing(*page);
    EXPECT_EQ(page->fileList()->rowCount(), 3);
}

TEST_F(LocalPageTest, ANewerChoiceStopsASlowListingAndOnlyTheNewestIsShown) {
    make("top.mp3", "x");
    make("sub/inner.mp3", "x");
    HeldWalk held(folder());
    auto page = openPage();
    page->listingRunner().setLister(held.lister());
    page->tree()->desktopNode()->setExpanded(true);
    QTreeWidgetItem* sub = childWithPath(page->tree()->desktopNode(), folder() + "sub/");
    ASSERT_NE(sub, nullptr);
    // Passing over a folder, as the arrow keys do, walks nothing there.
    page->tree()->setCurrentItem(page->tree()->desktopNode());
    page->tree()->setCurrentItem(sub);
    waitForListing(*page);
    EXPECT_FALSE(held.sawStop);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"inner.mp3"}));
    const QSignalSpy finished(page.get(), &LocalPage::listingFinished);

    page->tree()->setCurrentItem(page->tree()->desktopNode());
    ASSERT_TRUE(page->isListing());
    EXPECT_EQ(page->statusLabel()->text().toStdString(), listingStatusText(folder()));
    EXPECT_FALSE(page->busyBar()->isHidden());
    EXPECT_EQ(page->cursor().shape(), Qt::BusyCursor);
    for (const auto& [caption, enabled] : toolStates(*page)) {
        EXPECT_FALSE(enabled) << caption.toStdString();
    }
    // The page goes on handling events while the walk runs.
    bool handled = false;
    QTimer::singleShot(20, page.get(), [&handled] { handled = true; });
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return handled && page->listingRunner().isRunning(); }, 5000));
    EXPECT_TRUE(page->isListing());
    EXPECT_EQ(finished.count(), 0);

    // Choosing a subfolder stops the held walk; its result, coming after the newer one, is dropped.
    held.mayEnd = false;
    page->tree()->setCurrentItem(sub);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1 && held.sawStop; }, 10000));
    EXPECT_FALSE(held.ended);
    held.mayEnd = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.ended.load(); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"inner.mp3"}));
    const std::string subStatus = listedStatusText(1, folder() + "sub/");
    EXPECT_EQ(page->statusLabel()->text().toStdString(), subStatus);
    EXPECT_TRUE(page->busyBar()->isHidden());
    EXPECT_NE(page->cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(toolStates(*page),
              (std::vector<std::pair<QString, bool>>{{QStringLiteral("Clear All Tag"), true},
                                                     {QStringLiteral("&More Tag"), false},
                                                     {QStringLiteral("&Easy Tag"), true},
                                                     {QStringLiteral("&Filter"), true}}));

    // Giving a held walk up for "My Computer" puts back what the last listing left.
    held.ended = false;
    page->tree()->setCurrentItem(page->tree()->desktopNode());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->listingRunner().isRunning(); }, 5000));
    page->tree()->setCurrentItem(page->tree()->myComputerNode());
    EXPECT_FALSE(page->isListing());
    EXPECT_EQ(page->statusLabel()->text().toStdString(), subStatus);
    EXPECT_EQ(page->fileList()->rowCount(), 0);
    EXPECT_TRUE(page->busyBar()->isHidden());
    EXPECT_TRUE(page->easyTagButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.ended.load(); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(page->fileList()->rowCount(), 0);
}

// The smallest windows are what a 1024x768 screen leaves at scale factors 1.5 and 2 once the
// desktop's panels and frames are taken off; logical sizes are the same whatever the scale.
TEST_F(LocalPageTest, TheListKeepsRowsInSmallWindowsAndBothBoxesGrowWithLargeOnes) {
    for (int i = 0; i < 20; ++i) {
        make("song" + std::to_string(i) + ".mp3", "x");
    }
    MainSheet sheet(*context_);
    sheet.showPage(PageId::Local);
    auto* page = qobject_cast<LocalPage*>(sheet.page(PageId::Local));
    ASSERT_NE(page, nullptr);
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    selectMusic(*page);
    const auto onScreen = [](double scale) {
        return QSize(qRound(1024 / scale) - 40, qRound(768 / scale) - 60);
    };
    QSize lastTree;
    int lastList = 0;
    for (const QSize window : {onScreen(2), onScreen(1.5), QSize(1000, 700), QSize(1600, 1000)}) {
        SCOPED_TRACE(testing::Message() << window.width() << "x" << window.height());
        // The window never gets smaller than its minimum, which it takes from the screen.
        sheet.setMinimumSize(window);
        sheet.resize(window);
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const LocalFileList* list = page->fileList();
        ASSERT_GT(list->sizeHintForRow(0), 0);
        EXPECT_GE(list->viewport()->height(), 3 * list->sizeHintForRow(0));
        const QSize tree = page->tree()->viewport()->size();
        EXPECT_GE(tree.height(), page->tree()->sizeHintForRow(0));
        if (lastTree.isValid()) {
            EXPECT_GT(tree.width(), lastTree.width());
            EXPECT_GT(tree.height(), lastTree.height());
            EXPECT_GT(list->viewport()->height(), lastList);
        }
        lastTree = tree;
        lastList = list->viewport()->height();
    }
}

TEST_F(LocalPageTest, TheFolderChosenLastIsChosenAgainWhenThePageIsFirstShown) {
    // Folder names are bytes: this one is not UTF-8.
    const std::string album = "Alb\xff";
    make(album + "/Disc 1/song.mp3", "x");
    const std::string disc = folder() + album + "/Disc 1/";
    {
        auto page = openPage();
        page->tree()->desktopNode()->setExpanded(true);
        QTreeWidgetItem* albumNode =
            childWithPath(page->tree()->desktopNode(), folder() + album + "/");
        ASSERT_NE(albumNode, nullptr);
        albumNode->setExpanded(true);
        QTreeWidgetItem* discNode = childWithPath(albumNode, disc);
        ASSERT_NE(discNode, nullptr);
        page->tree()->setCurrentItem(discNode);
        waitForListing(*page);
    }
    EXPECT_EQ(platform_.profileData["LocalFolder"], disc);

    auto page = openPage();
    EXPECT_TRUE(page->tree()->selectedItems().isEmpty());
    page->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    ASSERT_EQ(page->tree()->selectedItems().size(), 1);
    EXPECT_EQ(DriveFolderTree::nodePath(page->tree()->currentItem()).native(), disc);
    waitForListing(*page);
    EXPECT_EQ(names(*page), (std::vector<std::string>{"song.mp3"}));
    // Shown again later, the page keeps the user's choice.
    page->tree()->setCurrentItem(page->tree()->desktopNode());
    waitForListing(*page);
    page->hide();
    page->show();
    EXPECT_EQ(page->tree()->currentItem(), page->tree()->desktopNode());

    // A folder that is gone leaves the page as it opens.
    platform_.profileData["LocalFolder"] = folder() + "gone/";
    auto fresh = openPage();
    fresh->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fresh.get()));
    EXPECT_TRUE(fresh->tree()->selectedItems().isEmpty());
    EXPECT_FALSE(fresh->isListing());
    EXPECT_EQ(fresh->statusLabel()->text(), QStringLiteral("No search performed."));
}

}  // namespace
}  // namespace tunex
