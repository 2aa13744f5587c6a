#include "core/tags/local_listing.h"
#include "core/tags/tag_walk.h"

#include <limits.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tunex {
namespace {

using test::writeFile;

std::vector<std::string> names(const std::vector<LocalRow>& rows) {
    std::vector<std::string> out;
    for (const LocalRow& row : rows) {
        out.push_back(row[kLocalFileName]);
    }
    return out;
}

class LocalListingTest : public ::testing::Test {
protected:
    void make(const std::string& relative, std::string_view bytes = "x") {
        const auto path = dir_ / relative;
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, bytes);
    }
    std::string folder(const std::string& relative = {}) const {
        return relative.empty() ? dir_.path().string() : (dir_ / relative).string();
    }

    test::TempDir dir_;
    FileTypeList types_;
    std::stop_source stop_;  // never asked to stop
};

TEST_F(LocalListingTest, ListsMediaFilesWithAndWithoutSubfolders) {
    make("Music/b.mp3", std::string(2048, 'a'));
    make("Music/A.WMA");
    make("Music/notes.txt");
    make("Music/mp3");  // a name without "." is its own extension
    make("Music/sub/c.mp3");
    make("Music/sub/deep/d.wmv");
    // A sibling whose name begins with the folder's name is never listed.
    make("MusicMore/e.mp3");
    std::filesystem::create_directory_symlink(dir_.path(), dir_ / "Music/sub/loop");

    const LocalListing all = listLocalFolder(folder("Music"), types_, true, 100);
    EXPECT_EQ(names(all.rows),
              (std::vector<std::string>{"A.WMA", "b.mp3", "c.mp3", "d.wmv", "mp3"}));
    const LocalRow& b = all.rows[1];
    EXPECT_EQ(b[kLocalPath], folder("Music"));
    EXPECT_EQ(b[kLocalSize], "     2.0");
    EXPECT_EQ(b[kLocalDate].size(), 10u);
    EXPECT_EQ(localRowPath(b), folder("Music/b.mp3"));
    EXPECT_EQ(all.rows[3][kLocalPath], folder("Music/sub/deep"));

    const LocalListing own = listLocalFolder(folder("Music") + "/", types_, false, 100);
    EXPECT_EQ(names(own.rows), (std::vector<std::string>{"A.WMA", "b.mp3", "mp3"}));
    EXPECT_EQ(own.rows[0][kLocalPath], folder("Music"));

    EXPECT_TRUE(listLocalFolder("", types_, true, 100).rows.empty());
    const LocalListing gone = listLocalFolder(folder("gone"), types_, true, 100);
    EXPECT_EQ(
        listedStatusText(gone.rows.size(), "/g", gone.unreadable),
        "0 files found under /g. 1 folder could not be read and was skipped: " + folder("gone"));
    EXPECT_EQ(listedStatusText(5, "/m"), "5 files found under /m");
    EXPECT_EQ(filteredStatusText(2), "2 files matched with keyword.");
}

TEST_F(LocalListingTest, StopsAtTheDisplayLimit) {
    for (int i = 0; i < 5; ++i) {
        make("f" + std::to_string(i) + ".mp3");
    }
    make("sub/g.mp3");
    EXPECT_EQ(listLocalFolder(folder(), types_, true, 7).rows.size(), 6u);
    EXPECT_FALSE(reachedDisplayLimit(6, 7));
    const LocalListing exact = listLocalFolder(folder(), types_, true, 6);
    EXPECT_EQ(exact.rows.size(), 6u);
    EXPECT_TRUE(reachedDisplayLimit(exact.rows.size(), 6));
    LocalListing cut = listLocalFolder(folder(), types_, true, 3);
    EXPECT_EQ(cut.rows.size(), 3u);
    EXPECT_EQ(listedStatusText(exact, "/m"), "6 files found under /m");
    EXPECT_EQ(listedStatusText(cut, "/m"), "3 of 6 files shown under /m");
    // The filter takes every file, beyond the rows; names are kept up to the most files.
    EXPECT_FALSE(filterLocalFiles(cut.files, cut.rows, "MP3", 3));
    EXPECT_EQ(filteredStatusText(cut.files), "6 files matched with keyword.");
    EXPECT_EQ(cut.rows.size(), 3u);
    const LocalListing most = listLocalFolder(folder(), types_, true, 3, {}, 6);
    EXPECT_EQ(listedStatusText(most, "/m"), "3 of 6 files shown under /m");
    LocalListing over = listLocalFolder(folder(), types_, true, 3, {}, 5);
    EXPECT_EQ(listedStatusText(over, "/m"), "3 of more than 5 files shown under /m");
    EXPECT_FALSE(filterLocalFiles(over.files, over.rows, "mp3", 3));
    EXPECT_EQ(filteredStatusText(over.files),
              "5 files matched with keyword among the first 5 files.");
    EXPECT_EQ(displayLimitMessage(3),
              (UserMessage{"The result reaches the maximum display limit (3).\nYou can change it "
                           "in <Setting> tab.",
                           "Tunex - Information", MessageIcon::Information}));
}

TEST_F(LocalListingTest, AStopRequestEndsTheWalkBeforeItsNextEntry) {
    for (const char* name : {"a.mp3", "b.mp3", "sub/c.mp3", "sub/deep/d.mp3"}) {
        make(name);
    }
    std::stop_source stop;
    int visited = 0;
    const FolderWalkTotals totals = walkFolderFiles(
        folder(), true,
        [&](const WalkedFile&) {
            ++visited;
            stop.request_stop();  // as the page does from the GUI thread
            return WalkStep::Continue;
        },
        stop.get_token());
    EXPECT_EQ(visited, 1);
    EXPECT_TRUE(totals.stopped);

    std::stop_source early;
    early.request_stop();
    const LocalListing given = listLocalFolder(folder(), types_, true, 100, early.get_token());
    EXPECT_TRUE(given.cancelled);
    EXPECT_TRUE(given.rows.empty());
    const LocalListing whole = listLocalFolder(folder(), types_, true, 100, stop_.get_token());
    EXPECT_FALSE(whole.cancelled);
    EXPECT_EQ(names(whole.rows), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
}

TEST(TagWalk, ReachesFilesBeyondPathMaxInADeepTree) {
    std::filesystem::path root;
    {
        test::TempDir dir;
        root = dir.path();
        // 2 000 levels of "deep/": only the first file's path is shorter than PATH_MAX.
        const std::vector<std::string> files =
            test::writeDeepTree(dir.path(), "deep", 2000, {499, 999, 1499, 1999}, "song.mp3");
        ASSERT_EQ(files.size(), 4U);
        ASSERT_GT(files[1].size(), static_cast<size_t>(PATH_MAX));
        std::vector<std::string> expected = files;
        std::sort(expected.begin(), expected.end());

        rlimit saved{};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        rlimit few = saved;
        few.rlim_cur = std::min<rlim_t>(64, saved.rlim_cur);
        ::setrlimit(RLIMIT_NOFILE, &few);  // far fewer than the tree has levels
        std::vector<std::string> walked;
        const FolderWalkTotals totals =
            walkFolderFiles(dir.path().string() + "/", true, [&](const WalkedFile& file) {
                EXPECT_EQ(file.path, std::string(file.folder) + "/" + std::string(file.name));
                walked.push_back(file.path);
                return WalkStep::Continue;
            });
        std::vector<std::string> shallow;
        (void)walkFolderFiles(dir.path().string(), false, [&](const WalkedFile& file) {
            shallow.push_back(file.path);
            return WalkStep::Continue;
        });
        ::setrlimit(RLIMIT_NOFILE, &saved);

        std::sort(walked.begin(), walked.end());
        EXPECT_EQ(walked, expected);
        EXPECT_TRUE(totals.unreadable.empty());
        EXPECT_FALSE(totals.stopped);
        EXPECT_TRUE(shallow.empty());
    }
    std::error_code ignored;
    EXPECT_FALSE(std::filesystem::exists(root, ignored)) << "the deep tree was left behind";
}

TEST(LocalFilter, KeywordRulesAndChecks) {
    std::vector<LocalRow> rows = {
        {"Love Song.MP3", "/home/u/Pop", "", ""},
        {"blues.wma", "/home/u/Jazz Mp3", "", ""},
        {"other.wma", "/home/u/x", "", ""},
        {"a love.mp3", "/d", "", ""},
    };
    EXPECT_TRUE(rowMatchesKeyword(rows[0], "mp3"));
    EXPECT_TRUE(rowMatchesKeyword(rows[1], "mp3"));
    EXPECT_FALSE(rowMatchesKeyword(rows[2], "mp3"));
    // A leading blank counts only inside the name or path, never as the added blank.
    EXPECT_FALSE(rowMatchesKeyword(rows[0], " love"));
    EXPECT_TRUE(rowMatchesKeyword(rows[3], " love"));
    EXPECT_TRUE(rowMatchesKeyword(rows[1], " mp3"));
    EXPECT_TRUE(rowMatchesKeyword(rows[0], "love song"));
    // Accents fold as in the searches, unless they must match exactly.
    const LocalRow naive = {"Na\xc3\xafve.mp3", "/d", "", ""};
    EXPECT_TRUE(rowMatchesKeyword(naive, "naive"));
    EXPECT_FALSE(rowMatchesKeyword(naive, "naive", AccentRule::Exact));

    std::vector<LocalRow> copy = rows;
    EXPECT_FALSE(filterLocalRows(copy, "MP3"));
    EXPECT_EQ(names(copy), (std::vector<std::string>{"Love Song.MP3", "blues.wma", "a love.mp3"}));
    // A second filter narrows further.
    EXPECT_FALSE(filterLocalRows(copy, "LOVE"));
    EXPECT_EQ(names(copy), (std::vector<std::string>{"Love Song.MP3", "a love.mp3"}));

    const auto refused = filterLocalRows(copy, "a*b");
    ASSERT_TRUE(refused);
    EXPECT_EQ(*refused, (UserMessage{"Input Keyword cannot contain the following characters:\n"
                                     "/ \\ : * ? \" < > |",
                                     "Tunex - Input Error", MessageIcon::Warning}));
    EXPECT_EQ(copy.size(), 2u);
    EXPECT_EQ(filterLocalRows(copy, "")->text, "Input Keyword is empty. Please enter a keyword.");
    // An empty list is reported before the keyword is looked at.
    std::vector<LocalRow> none;
    EXPECT_EQ(filterLocalRows(none, "a*b")->caption, "Tunex - No Record");
}

TEST(LocalPage, SummaryLinesButtonsAndNames) {
    Id3Summary summary;
    EXPECT_EQ(tagSummaryLines(summary), "");
    EXPECT_EQ(tagSummaryText("/m/a.flac", summary),
              "Tag of /m/a.flac:\nNo title, artist or album tag.\n");
    summary.artist = "Abba";
    EXPECT_EQ(tagSummaryText("/m/a.mp3", summary), "ID3 Tag of /m/a.mp3:\nArtist:\tAbba\n");
    summary.title = "SOS";
    summary.album = "Arrival";
    EXPECT_EQ(tagSummaryLines(summary), "Title:\tSOS\nArtist:\tAbba\nAlbum:\tArrival\n");

    const TagButtonsAfterListing disc = tagButtonsAfterListing(true);
    EXPECT_FALSE(disc.easyTagEnabled || disc.clearEnabled || disc.clearTarget);
    const TagButtonsAfterListing disk = tagButtonsAfterListing(false);
    EXPECT_TRUE(disk.easyTagEnabled && disk.clearEnabled);
    EXPECT_EQ(disk.clearTarget, ClearTarget::Folder);

    EXPECT_TRUE(isMp3Name("song.MP3"));
    EXPECT_TRUE(isMp3Name("x.mp3.bak"));
    EXPECT_TRUE(isMp3Name(".mp3.mp3"));
    EXPECT_FALSE(isMp3Name(".mp3"));
    EXPECT_FALSE(isMp3Name("mp3"));
    EXPECT_FALSE(isMp3Name("song.mp2"));
}

}  // namespace
}  // namespace tunex
