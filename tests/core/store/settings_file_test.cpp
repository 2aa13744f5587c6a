#include "core/store/settings_file.h"
#include "core/store/collection_writer.h"

#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tunex {
namespace {

using test::readFile;
using test::runWithFileSizeLimit;
using test::TempDir;
using test::writeFile;

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { writeFile(paths.settingsFile(), "<ts>0\n<tf>0\n@*EOF"); }
    TempDir dir;
    StorePaths paths{dir.path()};
};

TEST_F(SettingsFileTest, OnlyOneHolderAtATime) {
    std::optional<SettingsFile> first = SettingsFile::open(paths);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(SettingsFile::open(paths).has_value());
    // Moving the holder keeps the lock; writing (which replaces the file) keeps it too.
    SettingsFile moved = std::move(*first);
    first.reset();
    EXPECT_FALSE(SettingsFile::open(paths).has_value());
    ASSERT_TRUE(moved.write(Settings(), {}));
    EXPECT_FALSE(SettingsFile::open(paths).has_value());
    { const SettingsFile gone = std::move(moved); }
    EXPECT_TRUE(SettingsFile::open(paths).has_value());
}

TEST_F(SettingsFileTest, MissingFileOrFolderCannotBeOpened) {
    std::filesystem::remove(paths.settingsFile());
    EXPECT_FALSE(SettingsFile::open(paths).has_value());
    std::filesystem::create_directory(paths.settingsFile());
    EXPECT_FALSE(SettingsFile::open(paths).has_value());
    EXPECT_FALSE(SettingsFile::open(StorePaths(dir / "nowhere")).has_value());
    // A FIFO would hang every read and /dev/zero never end: neither is taken for the file.
    std::filesystem::remove(paths.settingsFile());
    ASSERT_EQ(::mkfifo(paths.settingsFile().c_str(), 0600), 0);
    EXPECT_FALSE(SettingsFile::open(paths).has_value());
    std::filesystem::remove(paths.settingsFile());
    std::filesystem::create_symlink("/dev/zero", paths.settingsFile());
    EXPECT_FALSE(SettingsFile::open(paths).has_value());
}

TEST_F(SettingsFileTest, ALineWithoutEndIsCutNotReadWhole) {
    const std::string longLine(3 << 20, 'x');
    writeFile(paths.settingsFile(), "<ts>7\n<tf>0\n" + longLine + "\n<md>500\n@*EOF");
    const std::optional<SettingsFile> file = SettingsFile::open(paths);
    ASSERT_TRUE(file.has_value());
    const std::string text = file->readText();
    EXPECT_LT(text.size(), std::size_t{2} << 20);
    EXPECT_EQ(file->readSettings().totalSongs, 7);
    EXPECT_EQ(file->readSettings().maxResults, 500);
}

TEST_F(SettingsFileTest, WriteReplacesTheWholeFileAndReadsBack) {
    writeFile(paths.settingsFile(), "<ts>5\r\n<tf>0\r\n<md>30\r\n<ht>old@?@a%|%1^*^b\r\n@*EOF\r\n");
    ::chmod(paths.settingsFile().c_str(), 0600);
    std::optional<SettingsFile> file = SettingsFile::open(paths);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->readSettings().maxResults, 30);
    EXPECT_EQ(file->readHistoryRows(), (std::vector<HistoryRow>{{"old", "a", "1", "b"}}));

    Settings settings = file->readSettings();
    settings.totalSongs = 12;
    settings.collectionCount = 1;
    const std::vector<HistoryRow> rows = {{"t", "a", "2", "cd"}};
    std::string error;
    ASSERT_TRUE(file->write(settings, rows, &error)) << error;
    EXPECT_EQ(readFile(paths.settingsFile()), renderSettingsFile(settings, rows));
    EXPECT_EQ(file->readSettings(), settings);
    EXPECT_EQ(file->readHistoryRows(), rows);
    // A shorter file leaves no remains of the longer one, and no temporary file behind.
    ASSERT_TRUE(file->write(settings, {}));
    EXPECT_EQ(readFile(paths.settingsFile()), renderSettingsFile(settings, {}));
    EXPECT_EQ(filesIn(paths.systemFolder()), std::vector<std::string>{"system.ifo"});
    struct stat info {};
    ASSERT_EQ(::stat(paths.settingsFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
}

TEST_F(SettingsFileTest, FailedWriteKeepsTheOldFile) {
    const std::string before = readFile(paths.settingsFile());
    const int code = runWithFileSizeLimit(16, [this] {
        std::optional<SettingsFile> file = SettingsFile::open(paths);
        if (!file) {
            return 2;
        }
        std::string error;
        if (file->write(Settings(), {{"a long enough history row", "x", "1", "y"}}, &error)) {
            return 3;
        }
        return error.empty() ? 4 : 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(paths.settingsFile()), before);
    EXPECT_EQ(filesIn(paths.systemFolder()), std::vector<std::string>{"system.ifo"});
}

TEST(CollectionWriter, FileAppearsOnlyWhenFinished) {
    const TempDir dir;
    const std::filesystem::path target = dir / "save0001.ifo";
    {
        CollectionWriter writer(target);
        ASSERT_TRUE(writer.begin("Disc"));
        ASSERT_TRUE(writer.addRecordLine("<?>a<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n"));
        ASSERT_TRUE(writer.addRecordLine("<?>b<|>/m<:>mp3</><\\>     2.0<*>2001-01-02\n"));
        EXPECT_FALSE(std::filesystem::exists(target));
        ASSERT_TRUE(writer.finish());
        EXPECT_EQ(writer.recordCount(), 2);
    }
    EXPECT_EQ(readFile(target),
              "**Disc\n<?>a<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n"
              "<?>b<|>/m<:>mp3</><\\>     2.0<*>2001-01-02\n@*EOF");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"save0001.ifo"});

    // An existing file of that name stays as it was until the new one is finished.
    {
        CollectionWriter writer(target);
        ASSERT_TRUE(writer.begin("Other"));
        EXPECT_EQ(readFile(target).substr(0, 7), "**Disc\n");
        ASSERT_TRUE(writer.finish());
        EXPECT_EQ(writer.recordCount(), 0);
    }
    EXPECT_EQ(readFile(target), "**Other\n@*EOF");
}

TEST(CollectionWriter, DiscardOrAbandonLeavesNothing) {
    const TempDir dir;
    const std::filesystem::path target = dir / "save0002.ifo";
    {
        CollectionWriter writer(target);
        ASSERT_TRUE(writer.begin("Disc"));
        ASSERT_TRUE(writer.addRecordLine("<?>a<|>/m<:>mp3</><\\>     1.0<*>\n"));
        writer.discard();
        EXPECT_FALSE(writer.finish());
    }
    {
        CollectionWriter writer(target);
        ASSERT_TRUE(writer.begin("Disc"));
    }
    EXPECT_TRUE(filesIn(dir.path()).empty());
    // No folder to write into: begin fails and says why.
    CollectionWriter nowhere(dir / "missing" / "save0001.ifo");
    EXPECT_FALSE(nowhere.begin("Disc"));
    EXPECT_FALSE(nowhere.error().empty());
}

TEST(CollectionWriter, FailedWriteLeavesNoFile) {
    const TempDir dir;
    const std::filesystem::path target = dir / "save0003.ifo";
    // Small collections stay buffered until finish; large ones fail part-way.
    for (const int records : {3, 40000}) {
        const int code = runWithFileSizeLimit(64, [&target, records] {
            CollectionWriter writer(target);
            if (!writer.begin("Disc")) {
                return 2;
            }
            const std::string line =
                "<?>a fairly long song name<|>/music/a folder<:>mp3</><\\>     1.0<*>2001-01-01\n";
            for (int i = 0; i < records; ++i) {
                if (!writer.addRecordLine(line)) {
                    return writer.error().empty() ? 3 : 0;
                }
            }
            if (writer.finish()) {
                return 4;
            }
            return writer.error().empty() ? 5 : 0;
        });
        EXPECT_EQ(code, 0) << records;
        EXPECT_TRUE(filesIn(dir.path()).empty()) << records;
    }
}

}  // namespace
}  // namespace tunex
