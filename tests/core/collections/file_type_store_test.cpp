#include "support/temp_dir.h"

#include "core/collections/file_type_store.h"
#include "core/common/line_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Types = std::vector<std::string>;

const Types kFirstThree = {"mp3", "wma", "wmv"};

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(FileTypeStore, ReadsWhatWasStoredAndFallsBackWhenItCannot) {
    using namespace std::string_literals;
    struct Case {
        std::string content;
        Types types;         // when the file is usable
        std::string reason;  // when it is not: the three, and a message saying why
    };
    const std::vector<Case> cases = {
        {"flac\nmp3\n", {"flac", "mp3"}, ""},
        // Read as the page's Add takes them; blank lines, repeats and CR LF do no harm.
        {"MP3\n.ogg\n\nmp3\r\n", {"mp3", "ogg"}, ""},
        {"mp3\nfl", {}, "It ends in the middle of a line."},
        {"", {}, "It holds no file type."},
        {"\n\n", {}, "It holds no file type."},
        {"mp3\na;b\n", {}, "Line 2 is not a file type."},
        {"mp3\nx\ty\n", {}, "Line 2 is not a file type."},
        {"\0\n"s, {}, "Line 1 is not a file type."},
        {std::string(kMaxLineLength + 10, 'a') + "\n", {}, "A line is too long to be a file type."},
    };
    for (const Case& c : cases) {
        const TempDir dir;
        const StorePaths paths(dir.path());
        writeFile(dir / "system/filetypes.ifo", c.content);
        const LoadedFileTypes loaded = loadFileTypes(paths);
        const std::string label = c.content.substr(0, 20);
        if (c.reason.empty()) {
            EXPECT_EQ(loaded.types.entries(), c.types) << label;
            EXPECT_FALSE(loaded.problem) << label;
            continue;
        }
        EXPECT_EQ(loaded.types.entries(), kFirstThree) << label;
        ASSERT_TRUE(loaded.problem) << label;
        EXPECT_EQ(loaded.problem->text,
                  "The file types could not be read from " +
                      (dir / "system/filetypes.ifo").string() + ":\n" + c.reason +
                      "\nThe list starts from mp3, wma and wmv; the file is kept as it is until "
                      "the list is changed.")
            << label;
        EXPECT_EQ(loaded.problem->caption, "Tunex - File Types");
        EXPECT_EQ(loaded.problem->icon, MessageIcon::Warning);
        EXPECT_EQ(readFile(dir / "system/filetypes.ifo"), c.content) << label;
    }

    // A base folder from before the list was kept starts from the three, and is not written to.
    const TempDir old;
    fs::create_directories(old / "system");
    const LoadedFileTypes missing = loadFileTypes(StorePaths(old.path()));
    EXPECT_EQ(missing.types.entries(), kFirstThree);
    EXPECT_FALSE(missing.problem);
    EXPECT_TRUE(namesIn(old / "system").empty());

    fs::create_directories(old / "system/filetypes.ifo");
    const LoadedFileTypes folder = loadFileTypes(StorePaths(old.path()));
    EXPECT_EQ(folder.types.entries(), kFirstThree);
    ASSERT_TRUE(folder.problem);
    EXPECT_NE(folder.problem->text.find(":\nIt is not a regular file.\n"), std::string::npos)
        << folder.problem->text;
}

TEST(FileTypeStore, SavesTheWholeListOrLeavesTheOldOne) {
    const TempDir dir;
    const StorePaths paths(dir.path());
    fs::create_directories(paths.systemFolder());
    const fs::path file = dir / "system/filetypes.ifo";
    FileTypeList types;
    types.add("flac");
    std::string error;
    ASSERT_TRUE(saveFileTypes(paths, types, &error)) << error;
    EXPECT_EQ(readFile(file), "flac\nmp3\nwma\nwmv\n");
    EXPECT_EQ(loadFileTypes(paths).types.entries(), Types({"flac", "mp3", "wma", "wmv"}));

    // A type that could not come back as it went is refused, not stored changed.
    FileTypeList tab = types;
    tab.add("a\tb");
    EXPECT_FALSE(saveFileTypes(paths, tab, &error));
    EXPECT_EQ(error, "The type <a\tb> holds a control character.");
    EXPECT_EQ(readFile(file), "flac\nmp3\nwma\nwmv\n");

    if (::geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop root";
    }
    fs::permissions(paths.systemFolder(), fs::perms(0555));
    types.remove("wma");
    error.clear();
    EXPECT_FALSE(saveFileTypes(paths, types, &error));
    EXPECT_FALSE(error.empty());
    fs::permissions(paths.systemFolder(), fs::perms(0755));
    EXPECT_EQ(readFile(file), "flac\nmp3\nwma\nwmv\n");
    EXPECT_EQ(namesIn(paths.systemFolder()), Types({"filetypes.ifo"}));
}

}  // namespace
}  // namespace tunex
