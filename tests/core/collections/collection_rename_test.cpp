#include "collection_test_support.h"

#include "core/collections/collection_rename.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::openEmptyBase;
using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(CheckRename, RefusesInOrderThenAsks) {
    const std::vector<std::string> names{"Rock", "Pop"};
    const UserMessage noCollection{
        "No collection available. Please add a CD to the database first.",
        "Tunex - No Collection Available", MessageIcon::Question};
    const UserMessage emptyName{"Please enter the new collection name first.",
                                "Tunex - Enter collection name", MessageIcon::Question};
    const UserMessage duplicate{
        "You have already used the input name in another collection. Please enter a new name.",
        "Tunex - Duplicate Collection Name", MessageIcon::Question};
    EXPECT_EQ(checkRename({}, "", "").refusal, noCollection);
    EXPECT_EQ(checkRename(names, "Rock", "").refusal, emptyName);
    EXPECT_EQ(checkRename(names, "Rock", "Pop").refusal, duplicate);
    EXPECT_EQ(checkRename(names, "Rock", "Rock").refusal, duplicate);
    EXPECT_TRUE(checkRename(names, "Rock", "a\nb").refusal);

    const RenameCheck allowed = checkRename(names, "Rock", "rock");
    EXPECT_FALSE(allowed.refusal);
    EXPECT_EQ(allowed.confirmation,
              (UserMessage{"Are you sure you want to change the collection name as "
                           "follows?\n\nFrom:\tRock\nTo:\trock",
                           "Tunex - Confirm Change", MessageIcon::Question}));
}

struct RenameFixture {
    TempDir dir;
    std::unique_ptr<Workspace> workspace;
    std::vector<UserMessage> told;

    explicit RenameFixture(const std::vector<std::string>& files) {
        writeFile(dir / "system/system.ifo",
                  "<ts>3\n<tf>" + std::to_string(files.size()) + "\n@*EOF");
        for (size_t i = 0; i < files.size(); ++i) {
            writeFile(dir / "system" / ("save000" + std::to_string(i + 1) + ".ifo"), files[i]);
        }
        UserMessage failure;
        workspace = Workspace::open(dir.path(), failure);
        EXPECT_TRUE(workspace) << failure.text;
    }
    RenameOutcome rename(std::string_view from, std::string_view to) {
        return renameCollection(
            *workspace, from, to,
            directUpdate(*workspace, {}, [this](const UserMessage& m) { told.push_back(m); }));
    }
    std::string collectionFile(int number) const {
        return readFile(dir / "system" / ("save000" + std::to_string(number) + ".ifo"));
    }
};

TEST(RenameCollection, RewritesOnlyTheNameLine) {
    const std::string longLine =
        "<?>" + std::string(300, 'L') + "<|>/m<:>mp3</><\\>     1.0<*>2003-11-16";
    const std::string hugeLine =
        "<?>" + std::string(100000, 'H') + "<|>/m<:>mp3</><\\>     2.0<*>2004-01-02";
    // CR LF line ends, a blank line, a foreign line, no end marker, and a last line without LF.
    RenameFixture f({"**Other\n<?>o<|>/x<:>mp3</><\\>     1.0<*>2001-01-01\n@*EOF",
                     "**Rock\r\n" + longLine + "\r\n\r\nnot a record\r\n" + hugeLine +
                         "\r\n<?>last<|>/m<:>wma</><\\>     3.0<*>2005-05-05"});
    ASSERT_EQ(f.workspace->catalogue().collectionNames(),
              (std::vector<std::string>{"Other", "Rock"}));

    const RenameOutcome outcome = f.rename("Rock", "Pop");
    ASSERT_TRUE(outcome.renamed) << (outcome.message ? outcome.message->text : "");
    EXPECT_TRUE(outcome.catalogueReloaded);
    EXPECT_EQ(outcome.statusText, "Collection Name of <Rock> is changed to <Pop>.");
    EXPECT_EQ(f.collectionFile(2), "**Pop\n" + longLine + "\n" + hugeLine +
                                       "\n<?>last<|>/m<:>wma</><\\>     3.0<*>2005-05-05\n@*EOF");
    EXPECT_EQ(f.collectionFile(1), "**Other\n<?>o<|>/x<:>mp3</><\\>     1.0<*>2001-01-01\n@*EOF");
    EXPECT_EQ(f.workspace->catalogue().collectionNames(),
              (std::vector<std::string>{"Other", "Pop"}));
    // Neither the scratch copy nor anything else is left beside the collection files.
    EXPECT_FALSE(fs::exists(f.dir / "system/tmp.ifo"));
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir / "system"), fs::directory_iterator()), 3);

    // Whatever follows the end marker goes; the long record keeps its size and date.
    writeFile(f.dir / "system/save0002.ifo", "**Pop\n" + longLine + "\n@*EOF\n<?>junk\n");
    ASSERT_TRUE(f.rename("Pop", "Jazz").renamed);
    EXPECT_EQ(f.collectionFile(2), "**Jazz\n" + longLine + "\n@*EOF");
    bool foundLong = false;
    f.workspace->catalogue().index().walk(
        [&foundLong](const SongRecordView& record) {
            if (record.name.size() == 300) {
                foundLong = record.sizeText == "     1.0" && record.dateText == "2003-11-16";
            }
        },
        {});
    EXPECT_TRUE(foundLong);
}

TEST(RenameCollection, FailuresLeaveTheFileAsItWas) {
    RenameFixture f({"**Rock\n<?>a<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n@*EOF"});
    const RenameOutcome unknown = f.rename("Jazz", "Pop");
    EXPECT_FALSE(unknown.renamed);
    EXPECT_FALSE(unknown.fileError);
    EXPECT_EQ(unknown.message,
              (UserMessage{"Error Occurs.\n Change collection name aborted.",
                           "Tunex - Change Collection Name Error", MessageIcon::Error}));

    // The scratch file cannot be made: a directory is in the way, and it is not removed.
    fs::create_directory(f.dir / "system/tmp.ifo");
    writeFile(f.dir / "system/tmp.ifo/keep", "mine");
    const UserMessage filesError{"Songs Files Error.\n Change collection name aborted.",
                                 "Tunex - File Error", MessageIcon::Error};
    const RenameOutcome noScratch = f.rename("Rock", "Pop");
    EXPECT_FALSE(noScratch.renamed);
    EXPECT_TRUE(noScratch.fileError);
    EXPECT_EQ(noScratch.message, filesError);
    EXPECT_EQ(f.collectionFile(1), "**Rock\n<?>a<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n@*EOF");
    EXPECT_EQ(readFile(f.dir / "system/tmp.ifo/keep"), "mine");
    fs::remove_all(f.dir / "system/tmp.ifo");

    // Any other reason it cannot be made (here no descriptor is left for it) is named with the
    // file.
    const pid_t noFd = ::fork();
    ASSERT_GE(noFd, 0);
    if (noFd == 0) {
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        const rlimit limit{static_cast<rlim_t>(lowestFree) + 1,
                           static_cast<rlim_t>(lowestFree) + 1};
        ::setrlimit(RLIMIT_NOFILE, &limit);  // the collection file gets the last one
        const RenameOutcome failed = f.rename("Rock", "Pop");
        const std::string expected = "The scratch file " + (f.dir / "system/tmp.ifo").string() +
                                     " could not be made: " + std::strerror(EMFILE) + "\n" +
                                     filesError.text;
        ::_exit(!failed.renamed && failed.fileError && failed.message &&
                        failed.message->caption == filesError.caption &&
                        failed.message->text == expected
                    ? 0
                    : 1);
    }
    int noFdStatus = 0;
    ASSERT_EQ(::waitpid(noFd, &noFdStatus, 0), noFd);
    EXPECT_TRUE(WIFEXITED(noFdStatus) && WEXITSTATUS(noFdStatus) == 0);
    EXPECT_EQ(f.collectionFile(1), "**Rock\n<?>a<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n@*EOF");

    // A full disk part-way through the scratch copy.
    std::string big = "**Rock\n";
    for (int i = 0; i < 400; ++i) {
        big += "<?>" + std::string(100, 'x') + "<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n";
    }
    big += "@*EOF";
    writeFile(f.dir / "system/save0001.ifo", big);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const RenameOutcome full = f.rename("Rock", "Pop");
        const bool named = full.message && full.message->caption == "Tunex - File Error" &&
                           full.message->text.find("tmp.ifo") != std::string::npos;
        ::_exit(!full.renamed && full.fileError && named ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(f.collectionFile(1), big);
    EXPECT_FALSE(fs::exists(f.dir / "system/tmp.ifo"));

    // The collection file deleted behind the program's back.
    fs::remove(f.dir / "system/save0001.ifo");
    const RenameOutcome deleted = f.rename("Rock", "Pop");
    EXPECT_TRUE(deleted.fileError);
    EXPECT_EQ(deleted.message, filesError);
    EXPECT_FALSE(fs::exists(f.dir / "system/save0001.ifo"));
    EXPECT_TRUE(f.told.empty());
}

// Whatever a stale tmp.ifo is, the rename makes a new plain file there: nothing outside the
// base folder is written or created through it, and a FIFO does not hang it.
TEST(RenameCollection, AStaleScratchNameIsReplacedNotFollowed) {
    const std::string rock = "**Rock\n<?>a<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n@*EOF";
    const std::string pop = "**Pop\n<?>a<|>/m<:>mp3</><\\>     1.0<*>2001-01-01\n@*EOF";
    struct Case {
        const char* name;
        void (*plant)(const fs::path& scratch, const fs::path& outside);
    };
    const Case cases[] = {
        {"link to a file", [](const fs::path& scratch,
                              const fs::path& outside) { fs::create_symlink(outside, scratch); }},
        {"dangling link",
         [](const fs::path& scratch, const fs::path& outside) {
             fs::remove(outside);
             fs::create_symlink(outside, scratch);
         }},
        {"hard link", [](const fs::path& scratch,
                         const fs::path& outside) { fs::create_hard_link(outside, scratch); }},
        {"link to a folder",
         [](const fs::path& scratch, const fs::path& outside) {
             fs::remove(outside);
             fs::create_directory(outside);
             fs::create_symlink(outside, scratch);
         }},
        {"FIFO", [](const fs::path& scratch,
                    const fs::path&) { ASSERT_EQ(::mkfifo(scratch.c_str(), 0644), 0); }},
        {"half-written scratch",
         [](const fs::path& scratch, const fs::path&) { writeFile(scratch, "**Half\n<?>x"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RenameFixture f({rock});
        const fs::path scratch = f.dir / "system/tmp.ifo";
        fs::remove(scratch);
        TempDir elsewhere;
        const fs::path outside = elsewhere / "theirs.txt";
        writeFile(outside, "theirs");
        c.plant(scratch, outside);

        // In a child, so that a rename that blocks is cut off instead of hanging the tests.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::alarm(20);
            ::_exit(f.rename("Rock", "Pop").renamed ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(f.collectionFile(1), pop);
        EXPECT_FALSE(fs::exists(fs::symlink_status(scratch)));
        // A file made through a link would hold the collection rather than "theirs".
        if (fs::is_directory(outside)) {
            EXPECT_TRUE(fs::is_empty(outside));
        } else if (fs::exists(outside)) {
            EXPECT_EQ(readFile(outside), "theirs");
        }
    }
}

}  // namespace
}  // namespace tunex
