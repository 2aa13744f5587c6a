#include "core/friend/friend_export.h"
#include "core/friend/friend_search.h"
#include "friend_test_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::FriendBase;
using test::readFile;
using test::recordLine;

UserMessage inputError(const std::string& text) {
    return {text, "Tunex - Input Error", MessageIcon::Warning};
}

TEST(FriendExport, CopiesEveryCollectionWholeAndSearchesBack) {
    FriendBase base;
    const std::string longName(2000, 'n');
    // Written by Add (LF, no end after the marker), by a rename (CR LF), and one cut short: no
    // end marker and no line end on its last line.
    base.addCollectionFile(0, "**Rock Classics\n" + recordLine("Song", "/media/cd") + "\n" +
                                  recordLine(longName, "/media/cd/long", "Long;Band;") + "\n@*EOF");
    base.addCollectionFile(1, "**Pop\r\n" + recordLine("Wannabe", "/mnt/rock") + "\r\n@*EOF\r\n" +
                                  "<?>after the end marker\n");
    base.addCollectionFile(2, "**Cut\n" + recordLine("Last", "/x", "", "     0.1", "2024-01-02"));

    const FriendExportResult result = exportFriendFile(base.paths(), 3, "Bob", "bob@example.org");
    ASSERT_EQ(result.outcome, FriendExportOutcome::Exported) << result.message.text;
    const std::filesystem::path file = base.friendFile("Bob");
    EXPECT_EQ(result.file, file);
    EXPECT_EQ(result.infoText, "Your Tunex Friend file is exported to " + file.string());
    EXPECT_EQ(result.message,
              (UserMessage{"Operation completed.\n" + result.infoText,
                           "Tunex - Tunex Friend Exported", MessageIcon::Information}));
    EXPECT_EQ(readFile(file),
              "bob@example.org\n**Rock Classics\n" + recordLine("Song", "/media/cd") + "\n" +
                  recordLine(longName, "/media/cd/long", "Long;Band;") + "\n**Pop\n" +
                  recordLine("Wannabe", "/mnt/rock") + "\n**Cut\n" +
                  recordLine("Last", "/x", "", "     0.1", "2024-01-02") + "\n@*EOF");

    // The folder /mnt/rock matches, and every record of Rock Classics through its name.
    const FriendSearchResult found = searchFriendFile(file.string(), "ROCK", 100);
    ASSERT_EQ(found.outcome, FriendSearchOutcome::Searched);
    EXPECT_FALSE(found.message.has_value());
    EXPECT_EQ(found.keyword, "rock");
    EXPECT_EQ(found.status, "3 songs found with keyword <rock>.");
    const FriendResults& rows = found.results;
    ASSERT_EQ(rows.rows.size(), 3U);
    const std::vector<std::string> first = {"Bob<bob@example.org>", " Song",     "mp3",
                                            "Rock Classics",        "/media/cd", "  3584.0",
                                            "2003-11-16",           ""};
    for (int column = 0; column < kFriendColumnCount; ++column) {
        EXPECT_EQ(rows.cell(0, column), first[static_cast<size_t>(column)]) << column;
    }
    // The long line is one record with its size and date intact.
    EXPECT_EQ(rows.cell(1, 1), " " + longName);
    EXPECT_EQ(rows.cell(1, 6), "2003-11-16");
    EXPECT_EQ(rows.cell(1, 7), "Long;Band;");
    EXPECT_EQ(rows.cell(2, 3), "Pop");
    EXPECT_EQ(rows.cell(2, 4), "/mnt/rock");

    const FriendSearchResult dated = searchFriendFile(file.string(), "2024", 100);
    ASSERT_EQ(dated.results.rows.size(), 1U);
    EXPECT_EQ(dated.results.cell(0, 3), "Cut");
    EXPECT_EQ(dated.results.cell(0, 5), "     0.1");

    // Exporting again under the same name replaces the file.
    base.addCollectionFile(0, "**Only\n@*EOF");
    ASSERT_EQ(exportFriendFile(base.paths(), 1, "Bob", "b@").outcome,
              FriendExportOutcome::Exported);
    EXPECT_EQ(readFile(file), "b@\n**Only\n@*EOF");
    EXPECT_EQ(base.friendFolderEntries(), std::vector<std::string>{"Bob.txf"});
}

TEST(FriendExport, ChecksComeInOrderAndWriteNothing) {
    FriendBase base;
    base.addCollectionFile(0, "**Pop\n@*EOF");
    const UserMessage noName =
        inputError("Please input your name so that your friend can know the owner of your files.");
    const UserMessage badEmail =
        inputError("Please input a valid email address so that your friend can contact you.");
    const UserMessage empty{
        "Your database is currently empty. Please add some files to the database first.",
        "Tunex - Database Empty", MessageIcon::Question};

    EXPECT_EQ(checkFriendExport("", "", 0), noName);
    EXPECT_EQ(checkFriendExport("Bob", "", 0), badEmail);
    for (const char* email : {"", "bob", "@host", "@a@b", "a\n@b", "a@b\r"}) {
        EXPECT_EQ(checkFriendExport("Bob", email, 1), badEmail) << email;
    }
    for (const char* email : {"a@", "x@y", "a@@", " @"}) {
        EXPECT_FALSE(checkFriendExport("Bob", email, 1).has_value()) << email;
    }
    EXPECT_EQ(checkFriendExport("Bob", "a@b", 0), empty);

    const FriendExportResult refused = exportFriendFile(base.paths(), 0, "Bob", "a@b");
    EXPECT_EQ(refused.outcome, FriendExportOutcome::Refused);
    EXPECT_EQ(refused.message, empty);
    EXPECT_FALSE(std::filesystem::exists(base.path() / "friend"));
}

TEST(FriendExport, NamesOutsideTheFriendFolderAreFileErrors) {
    FriendBase base;
    base.addCollectionFile(0, "**Pop\n@*EOF");
    std::filesystem::create_directories(base.path() / "friend" / "sub");
    const std::vector<std::string> names = {
        "../escape", "sub/inner", ".", "..", "/tmp/abs", "a/", std::string(300, 'x')};
    for (const std::string& name : names) {
        const FriendExportResult result = exportFriendFile(base.paths(), 1, name, "a@b");
        EXPECT_EQ(result.outcome, FriendExportOutcome::FileError) << name;
        EXPECT_EQ(result.message, friendFileCreateFailedMessage()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(base.path() / "escape.txf"));
    EXPECT_FALSE(std::filesystem::exists(base.path() / "friend" / "sub" / "inner.txf"));
    EXPECT_EQ(base.friendFolderEntries(), std::vector<std::string>{"sub"});

    // A missing friend folder is made; a file where it should be cannot be written into.
    FriendBase bare;
    bare.addCollectionFile(0, "**Pop\n@*EOF");
    EXPECT_EQ(exportFriendFile(bare.paths(), 1, "Ann", "a@b").outcome,
              FriendExportOutcome::Exported);
    FriendBase blocked;
    blocked.addCollectionFile(0, "**Pop\n@*EOF");
    test::writeFile(blocked.path() / "friend", "not a folder");
    EXPECT_EQ(exportFriendFile(blocked.paths(), 1, "Ann", "a@b").message,
              friendFileCreateFailedMessage());
}

TEST(FriendExport, AFailurePartWayKeepsTheEarlierFile) {
    FriendBase base;
    base.addCollectionFile(0, "**Pop\n" + recordLine("Song", "/m") + "\n@*EOF");
    std::filesystem::create_directories(base.path() / "friend");
    test::writeFile(base.friendFile("Bob"), "old@mail\n@*EOF");

    // The second collection file is missing.
    const FriendExportResult missing = exportFriendFile(base.paths(), 2, "Bob", "new@mail");
    EXPECT_EQ(missing.outcome, FriendExportOutcome::FileError);
    EXPECT_EQ(missing.message, (UserMessage{"Songs Files could not be loaded: " +
                                                base.paths().collectionFileName(1).string() +
                                                "\nNo such file or directory\nCheck system folder.",
                                            "Tunex - File Error", MessageIcon::Error}));
    EXPECT_TRUE(missing.infoText.empty());
    EXPECT_EQ(readFile(base.friendFile("Bob")), "old@mail\n@*EOF");

    // The disk fills up part-way: a child limited to 4 KiB per file, so it works as root too.
    base.addCollectionFile(1, "**Big\n" + std::string(64 * 1024, 'x') + "\n@*EOF");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const FriendExportResult full = exportFriendFile(base.paths(), 2, "Bob", "new@mail");
        _exit(full.outcome == FriendExportOutcome::FileError &&
                      full.message == friendFileCreateFailedMessage()
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile(base.friendFile("Bob")), "old@mail\n@*EOF");
    EXPECT_EQ(base.friendFolderEntries(), std::vector<std::string>{"Bob.txf"});
}

}  // namespace
}  // namespace tunex
