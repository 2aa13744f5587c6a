#include "collection_test_support.h"

#include "core/collections/media_walk.h"
#include "core/collections/search_pattern.h"
#include "support/child_process.h"

#include <limits.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

std::string cwd() {
    return fs::current_path().string();
}

TEST(SearchPattern, CompletesAndResolvesTheTypedPath) {
    struct Case {
        std::string typed, text, folder, names;
    };
    const std::vector<Case> cases = {
        {"/music", "/music/*.*", "/music", "*.*"},
        {"/music/", "/music/*.*", "/music", "*.*"},
        {"/", "/*.*", "", "*.*"},
        {"/a/*.*", "/a/*.*", "/a", "*.*"},
        {"/a/x*.*", "/a/x*.*", "/a", "x*.*"},
        {"//a/./b/../c//", "//a/./b/../c//*.*", "/a/c", "*.*"},
        {"/..", "/../*.*", "", "*.*"},
        {"music", "music/*.*", cwd() + "/music", "*.*"},
        {"*.*", "*.*", cwd(), "*.*"},
        {"a b\xff", "a b\xff/*.*", cwd() + "/a b\xff", "*.*"},
    };
    for (const Case& c : cases) {
        const SearchPattern pattern = completePattern(c.typed);
        EXPECT_EQ(pattern.text, c.text) << c.typed;
        EXPECT_EQ(pattern.folder, c.folder) << c.typed;
        EXPECT_EQ(pattern.namePattern, c.names) << c.typed;
    }
    EXPECT_EQ(openableFolder(completePattern("/")), "/");
}

TEST(SearchPattern, FindsNothingForMissingFoldersAndFiles) {
    TempDir dir;
    writeFile(dir / "music/a.mp3", "x");
    fs::create_directories(dir / "empty");
    const std::string base = dir.path().string();
    EXPECT_TRUE(patternFindsEntries(completePattern(base + "/music")));
    EXPECT_TRUE(patternFindsEntries(completePattern(base + "/empty")));
    EXPECT_FALSE(patternFindsEntries(completePattern(base + "/missing")));
    EXPECT_FALSE(patternFindsEntries(completePattern(base + "/music/a.mp3")));
    EXPECT_TRUE(patternFindsEntries(completePattern(base + "/music/a*.*")));
    EXPECT_FALSE(patternFindsEntries(completePattern(base + "/music/z*.*")));
}

struct Visit {
    std::string folder, name;
    std::uint64_t size;
    std::optional<std::time_t> created;
};

std::vector<Visit> walkAll(const fs::path& root, const FileTypeList& types,
                           WalkTotals* totals = nullptr,
                           WalkDetail detail = WalkDetail::SizesAndDates) {
    std::vector<Visit> seen;
    const WalkTotals result = walkMediaFiles(
        completePattern(root.string()), types, detail,
        [&seen](const FoundFile& file, const std::string& path) {
            EXPECT_EQ(path, file.folder + "/" + file.fileName);
            seen.push_back({file.folder, file.fileName, file.sizeBytes, file.created});
        });
    if (totals != nullptr) {
        *totals = result;
    }
    return seen;
}

// The order a plain recursive listing gives: entries as the file system returns them, each folder
// entered where it stands.
void referenceOrder(const fs::path& folder, std::vector<std::string>& out) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.is_directory() && !entry.is_symlink()) {
            referenceOrder(entry.path(), out);
        } else if (entry.path().extension() == ".mp3") {
            out.push_back(entry.path().string());
        }
    }
}

TEST(MediaWalk, GoesDepthFirstInFileSystemOrder) {
    TempDir dir;
    for (int a = 0; a < 6; ++a) {
        for (int b = 0; b < 4; ++b) {
            writeFile(dir / ("d" + std::to_string(a) + "/s" + std::to_string(b) + "/f.mp3"), "x");
            writeFile(dir / ("d" + std::to_string(a) + "/g" + std::to_string(b) + ".mp3"), "x");
        }
        writeFile(dir / ("top" + std::to_string(a) + ".mp3"), "x");
    }
    std::vector<std::string> expected;
    referenceOrder(dir.path(), expected);
    std::vector<std::string> walked;
    for (const Visit& visit : walkAll(dir.path(), FileTypeList())) {
        walked.push_back(visit.folder + "/" + visit.name);
    }
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(walked.size(), 6U * 4U * 2U + 6U);
}

TEST(MediaWalk, TakesWhatTheFileSystemHoldsAndSkipsWhatCannotBeStored) {
    TempDir dir;
    const fs::path music = dir / "music";
    writeFile(music / ".hidden.mp3", "x");
    writeFile(music / ".hiddenFolder/in.wma", "x");
    writeFile(music / "a.b.MP3", "x");
    writeFile(music / "mp3", "x");
    writeFile(music / "song.mp3.bak", "x");
    writeFile(music / "mp3song", "x");
    writeFile(music / "bad\xff\xfe.mp3", "x");
    writeFile(music / "line\nbreak.mp3", "x");
    writeFile(music / "mark<|>er.mp3", "x");
    writeFile(music / "broken\nfolder/inside.mp3", "x");
    writeFile(dir / "elsewhere/linked.mp3", "12345");
    fs::create_symlink(dir / "elsewhere/linked.mp3", music / "link.mp3");
    fs::create_symlink(dir / "nowhere.mp3", music / "dangling.mp3");
    fs::create_directory_symlink(music, music / "loop");
    fs::create_directory_symlink(dir / "elsewhere", music / "folderlink.mp3");
    ASSERT_EQ(::mkfifo((music / "pipe.mp3").c_str(), 0600), 0);

    WalkTotals totals;
    std::vector<std::string> names;
    for (const Visit& visit : walkAll(music, FileTypeList(), &totals)) {
        names.push_back(visit.name);
        if (visit.name == "link.mp3") {
            EXPECT_EQ(visit.size, 5U);  // the target's size
            EXPECT_EQ(visit.folder, music.string());
        }
        if (visit.name == "in.wma") {
            EXPECT_EQ(visit.folder, (music / ".hiddenFolder").string());
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden.mp3", "a.b.MP3", "bad\xff\xfe.mp3",
                                               "in.wma", "link.mp3", "mp3"}));
    EXPECT_EQ(totals.mediaFiles, 6);
    EXPECT_EQ(totals.unstorableNames, 3);
    EXPECT_FALSE(totals.stopped);

    // Count gives the same numbers without reading sizes.
    const WalkTotals counted = countMediaFiles(completePattern(music.string()), FileTypeList());
    EXPECT_EQ(counted.mediaFiles, 6);
    EXPECT_EQ(counted.unstorableNames, 3);

    int asked = 0;
    const WalkTotals stopped = countMediaFiles(completePattern(music.string()), FileTypeList(),
                                               [&asked] { return ++asked == 2; });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.mediaFiles, 2);
}

TEST(MediaWalk, SkipsAndNamesFoldersItCannotOpen) {
    TempDir dir;
    writeFile(dir / "open/a.mp3", "x");
    writeFile(dir / "z.mp3", "x");
    const std::vector<std::string> closed = {"c1", "c2", "c3", "c4"};
    for (const std::string& name : closed) {
        writeFile(dir / name / "b.mp3", "x");
        fs::permissions(dir / name, fs::perms::none);
    }
    fs::permissions(dir.path(),
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const auto walked = test::runUnprivileged([&dir] {
        WalkTotals totals;
        const auto seen = walkAll(dir.path(), FileTypeList(), &totals);
        return std::to_string(seen.size()) + "|" + unreadableFoldersNote(totals.unreadable);
    });
    ASSERT_TRUE(walked);
    const std::string lead = "2|4 folders could not be read and were skipped: ";
    ASSERT_EQ(walked->substr(0, lead.size()), lead) << *walked;
    const std::string named = walked->substr(lead.size());
    EXPECT_TRUE(named.ends_with(" and 1 more")) << named;
    EXPECT_EQ(std::count(named.begin(), named.end(), ','), 2) << named;
    EXPECT_EQ(named.find(dir.path().string() + "/c"), 0U) << named;

    UnreadableFolders root;
    root.add("");
    EXPECT_EQ(unreadableFoldersNote(root), "1 folder could not be read and was skipped: /");
    EXPECT_EQ(unreadableFoldersNote({}), "");
}

// Holds the soft descriptor limit low for a scope, well under the depth of the trees below.
class FewDescriptors {
public:
    explicit FewDescriptors(rlim_t limit) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = std::min<rlim_t>(limit, saved_.rlim_cur);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~FewDescriptors() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
    FewDescriptors(const FewDescriptors&) = delete;
    FewDescriptors& operator=(const FewDescriptors&) = delete;

private:
    rlimit saved_{};
};

TEST(MediaWalk, ReachesFilesBeyondPathMaxInADeepTree) {
    fs::path root;
    {
        TempDir dir;
        root = dir.path();
        // 2 000 levels of "deep/": only the first file's path is shorter than PATH_MAX.
        const std::vector<std::string> files =
            test::writeDeepTree(dir.path(), "deep", 2000, {499, 999, 1499, 1999}, "song.mp3");
        ASSERT_EQ(files.size(), 4U);
        ASSERT_GT(files[1].size(), static_cast<size_t>(PATH_MAX));
        std::vector<std::string> expected = files;
        writeFile(dir / "top.mp3", "x");
        expected.push_back((dir / "top.mp3").string());
        std::sort(expected.begin(), expected.end());

        WalkTotals totals;
        std::vector<Visit> seen;
        {
            const FewDescriptors few(64);
            seen = walkAll(dir.path(), FileTypeList(), &totals);
            const WalkTotals counted =
                countMediaFiles(completePattern(dir.path().string()), FileTypeList());
            EXPECT_EQ(counted.mediaFiles, 5);
            EXPECT_TRUE(counted.unreadable.empty());
        }
        std::vector<std::string> walked;
        for (const Visit& visit : seen) {
            walked.push_back(visit.folder + "/" + visit.name);
            EXPECT_EQ(visit.size, 1U) << visit.folder.size();  // read below PATH_MAX too
        }
        std::sort(walked.begin(), walked.end());
        EXPECT_EQ(walked, expected);
        EXPECT_EQ(totals.mediaFiles, 5);
        EXPECT_TRUE(totals.unreadable.empty()) << unreadableFoldersNote(totals.unreadable);
    }
    std::error_code ignored;
    EXPECT_FALSE(fs::exists(root, ignored)) << "the deep tree was left behind";
}

TEST(MediaWalk, ReadsRealSizesAndTheBirthOrModificationDate) {
    TempDir dir;
    writeFile(dir / "small.mp3", std::string(1536, 'x'));
    {
        // Sparse: 5 GiB + 512 bytes, beyond what 32 bits hold.
        writeFile(dir / "huge.mp3", "");
        fs::resize_file(dir / "huge.mp3", (5ULL << 30) + 512);
    }
    const timeval old[2] = {{981158400, 0}, {981158400, 0}};  // 2001-02-03 00:00 UTC
    ASSERT_EQ(::utimes((dir / "small.mp3").c_str(), old), 0);

    const std::time_t before = std::time(nullptr);
    for (const Visit& visit : walkAll(dir.path(), FileTypeList())) {
        ASSERT_TRUE(visit.created.has_value());
        // Birth time where the file system keeps one (just now), else the modification time.
        const bool justNow = *visit.created >= before - 120 && *visit.created <= before + 120;
        if (visit.name == "small.mp3") {
            EXPECT_EQ(visit.size, 1536U);
            EXPECT_TRUE(justNow || *visit.created == 981158400) << *visit.created;
        } else {
            EXPECT_EQ(visit.size, (5ULL << 30) + 512);
            EXPECT_TRUE(justNow);
        }
    }
    // Names only: no sizes, no dates.
    for (const Visit& visit : walkAll(dir.path(), FileTypeList(), nullptr, WalkDetail::NamesOnly)) {
        EXPECT_EQ(visit.size, 0U);
        EXPECT_FALSE(visit.created.has_value());
    }
    FoundFile missing;
    EXPECT_FALSE(readFileFacts((dir / "none.mp3").string(), missing));
}

}  // namespace
}  // namespace tunex
