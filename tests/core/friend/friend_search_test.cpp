#include "core/friend/friend_search.h"
#include "core/common/line_reader.h"
#include "friend_test_support.h"

#include <random>

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::recordLine;
using test::TempDir;
using test::writeFile;

class FriendSearch : public ::testing::Test {
protected:
    // Writes Bob.txf with the given bytes and returns its path.
    std::string friendFile(const std::string& bytes) {
        const std::filesystem::path file = dir_ / "Bob.txf";
        writeFile(file, bytes);
        return file.string();
    }

    TempDir dir_;
};

TEST_F(FriendSearch, RefusesBadInputBeforeOpeningTheFile) {
    const auto inputError = [](const std::string& text) {
        return UserMessage{text, "Tunex - Input Error", MessageIcon::Warning};
    };
    EXPECT_EQ(checkFriendSearch("", ""),
              inputError("Please input the file destination of the Tunex Friend file or use the "
                         "Browse button."));
    EXPECT_EQ(checkFriendSearch("/x", ""), inputError("Please input a keyword to search."));
    EXPECT_EQ(checkFriendSearch("/x", "a<|>b"),
              inputError("Keyword cannot hold a mark such as <|> or <:>, which a friend file puts "
                         "between the fields of a song."));
    for (const char* keyword :
         {"rock & roll.", "AC/DC", "Mind?", "Op. 9: \"Nocturne\"", "<>|*\\"}) {
        EXPECT_FALSE(checkFriendSearch("/x", keyword).has_value()) << keyword;
    }

    const FriendSearchResult refused = searchFriendFile("", "rock", 10);
    EXPECT_EQ(refused.outcome, FriendSearchOutcome::Refused);
    EXPECT_TRUE(refused.keyword.empty());  // the keyword field keeps its text

    // Missing files, folders, and files that would block or never end.
    for (const std::string& path : {(dir_ / "none.txf").string(), dir_.path().string(),
                                    std::string("/dev/zero"), std::string("/dev/stdin")}) {
        const FriendSearchResult result = searchFriendFile(path, "ROCK", 10);
        EXPECT_EQ(result.outcome, FriendSearchOutcome::NotFound) << path;
        EXPECT_EQ(result.message, friendFileNotFoundMessage());
        EXPECT_TRUE(result.keyword.empty());
    }
}

TEST_F(FriendSearch, MatchesFieldsAndCollectionNames) {
    const std::string file = friendFile(
        "bob@mail \t\xe3\x80\x80\r\n"  // trailing blanks, a tab and an ideographic space go
        "**Rock Classics\r\n" +
        recordLine("Paint It Black", "/cd") + "\r\n**Misc\r\n" +
        recordLine("Song", "/home/x", "", "  2003.0", "1999-01-01") + "\r\n" +
        recordLine("Other", "/home/y", "", "     4.0", "2003-05-06") + "\r\n" +
        recordLine("Nothing", "/home/z") + "\r\n" + recordLine("\xc3\x84RZTE", "/u") + "\r\n@*EOF");

    const FriendSearchResult rock = searchFriendFile(file, "Rock", 50);
    ASSERT_EQ(rock.outcome, FriendSearchOutcome::Searched);
    ASSERT_EQ(rock.results.rows.size(), 1U);
    EXPECT_EQ(rock.results.cell(0, 0), "Bob<bob@mail>");
    EXPECT_EQ(rock.results.cell(0, 3), "Rock Classics");

    // 2003 is in one size and in every date but one.
    const FriendSearchResult year = searchFriendFile(file, "2003", 50);
    ASSERT_EQ(year.results.rows.size(), 5U);
    EXPECT_EQ(year.results.cell(1, 1), " Song");
    EXPECT_EQ(year.results.cell(2, 1), " Other");
    EXPECT_EQ(year.status, "5 songs found with keyword <2003>.");

    // Full Unicode lower-casing on both sides.
    EXPECT_EQ(searchFriendFile(file, "\xc3\xa4rzte", 50).results.rows.size(), 1U);
    EXPECT_EQ(searchFriendFile(file, "\xc3\x84Rzte", 50).keyword, "\xc3\xa4rzte");

    const FriendSearchResult none = searchFriendFile(file, "Jazz", 50);
    EXPECT_EQ(none.outcome, FriendSearchOutcome::Searched);
    EXPECT_TRUE(none.results.rows.empty());
    EXPECT_EQ(none.status, "No songs found with keyword <jazz>.");
    EXPECT_FALSE(none.message.has_value());

    // Full Unicode folding on both sides again: the Kelvin sign folds to k, and accents go unless
    // they must match exactly.
    const std::string unicode =
        friendFile("a@b\n**CD\n" + recordLine("\xe2\x84\xaaing", "/a") + "\n" +
                   recordLine("Caf\xc3\xa9", "/b") + "\n" + recordLine("Cafe", "/c") + "\n");
    EXPECT_EQ(searchFriendFile(unicode, "KING", 50).results.rows.size(), 1U);
    EXPECT_EQ(searchFriendFile(unicode, "CAF\xc3\x89", 50).results.rows.size(), 2U);
    const FriendSearchResult cafe = searchFriendFile(unicode, "CAF\xc3\x89", 50, AccentRule::Exact);
    ASSERT_EQ(cafe.results.rows.size(), 1U);
    EXPECT_EQ(cafe.results.cell(0, 4), "/b");
}

TEST_F(FriendSearch, StopsAtTheResultLimit) {
    std::string text = "a@b\n**CD\n";
    for (int i = 0; i < 5; ++i) {
        text += recordLine("Song " + std::to_string(i), "/m") + "\n";
    }
    // Damage after the limit is never read.
    const std::string file = friendFile(text + "\ngarbage\n@*EOF");
    const FriendSearchResult full = searchFriendFile(file, "song", 3);
    ASSERT_EQ(full.outcome, FriendSearchOutcome::Searched);
    EXPECT_EQ(full.results.rows.size(), 3U);
    EXPECT_EQ(full.message,
              (UserMessage{"The search result reaches the maximum display limit (3).\nYou can "
                           "change it in <Setting> tab.",
                           "Tunex - Information", MessageIcon::Information}));
    EXPECT_EQ(full.status, "3 songs found with keyword <song>.");

    const std::string exact = friendFile(text + "@*EOF");
    EXPECT_EQ(searchFriendFile(exact, "song", 5).message.has_value(), true);
    const FriendSearchResult under = searchFriendFile(exact, "song", 6);
    EXPECT_FALSE(under.message.has_value());
    EXPECT_EQ(under.results.rows.size(), 5U);
}

TEST_F(FriendSearch, DamagedFilesEmptyTheResult) {
    const std::string good = "a@b\n**CD\n" + recordLine("Song", "/m") + "\n";
    for (const std::string& tail :
         {std::string("\n"), std::string("junk\n"), std::string(" **CD\n"),
          std::string("<|>Song\n"), std::string(1000, 'x')}) {
        const FriendSearchResult result = searchFriendFile(friendFile(good + tail), "SONG", 50);
        EXPECT_EQ(result.outcome, FriendSearchOutcome::Damaged) << tail;
        EXPECT_EQ(result.message, friendFileDamagedMessage());
        EXPECT_EQ(result.status, "File error. No song found.");
        EXPECT_EQ(result.keyword, "song");
        EXPECT_TRUE(result.results.rows.empty());
    }
    // No end marker is no damage; anything after the marker is not read.
    EXPECT_EQ(searchFriendFile(friendFile(good), "song", 50).results.rows.size(), 1U);
    EXPECT_EQ(searchFriendFile(friendFile(good + "@*EOF\n\x01junk\n\n"), "song", 50).outcome,
              FriendSearchOutcome::Searched);
    // An empty file has an empty e-mail and nothing else.
    const FriendSearchResult empty = searchFriendFile(friendFile(""), "song", 50);
    EXPECT_EQ(empty.outcome, FriendSearchOutcome::Searched);
    EXPECT_EQ(empty.status, "No songs found with keyword <song>.");
}

TEST_F(FriendSearch, SurvivesHostileFiles) {
    // NUL bytes and invalid UTF-8 inside a record are kept and searched past.
    const std::string nul = std::string("<?>A\0B", 6) + "\xff\xfe<|>/m<:>mp3</><\\>1<*>2";
    const FriendSearchResult nulResult =
        searchFriendFile(friendFile("a@b\n**C\xc3\n" + nul + "\n@*EOF"), "b\xff", 50);
    ASSERT_EQ(nulResult.results.rows.size(), 1U);
    EXPECT_EQ(nulResult.results.cell(0, 1), std::string(" A\0B\xff\xfe", 6));
    EXPECT_EQ(nulResult.results.cell(0, 3), "C\xc3");

    // A line of a million characters is one record, matched at its far end.
    const std::string huge = "<?>" + std::string(1'000'000, 'q') + "<|>/m<:>mp3</><\\>1<*>needle";
    const FriendSearchResult hugeResult =
        searchFriendFile(friendFile("a@b\n**CD\n" + huge + "\n@*EOF"), "NEEDLE", 50);
    ASSERT_EQ(hugeResult.results.rows.size(), 1U);
    EXPECT_EQ(hugeResult.results.cell(0, 1).size(), 1'000'001U);
    EXPECT_EQ(hugeResult.results.cell(0, 6), "needle");
    EXPECT_FALSE(hugeResult.message);

    // Past the line cap the record keeps its first part, and the user hears of the cut.
    const std::string past = "<?>" + std::string(kMaxLineLength, 'q') + "<|>/m";
    const std::string pastFile = friendFile("a@b\n**CD\n" + past + "\n<?>q2\n@*EOF");
    const FriendSearchResult pastResult = searchFriendFile(pastFile, "q", 1);
    ASSERT_EQ(pastResult.results.rows.size(), 1U);
    ASSERT_TRUE(pastResult.message);
    EXPECT_EQ(
        pastResult.message->text,
        "The search result reaches the maximum display limit (1).\nYou can change it in <Setting> "
        "tab.\n\nLines longer than 1 MiB were found and cut short; the rest of each was "
        "skipped:\n" +
            pastFile + ": 1 line");

    // Markers missing or out of order: the row is kept, the fields it lacks are empty.
    const FriendSearchResult broken = searchFriendFile(
        friendFile("a@b\n**CD\n<?>\n<?>tune<*>x<\\>y</>z<:>w<|>v\n<?>tune only\n@*EOF"), "TUNE",
        50);
    ASSERT_EQ(broken.results.rows.size(), 2U);
    EXPECT_EQ(broken.results.cell(0, 1), " tune<*>x<\\>y</>z<:>w");
    for (const int column : {2, 4, 5, 7}) {
        EXPECT_EQ(broken.results.cell(0, column), "") << column;
    }
    EXPECT_EQ(broken.results.cell(0, 6), "x<\\>y</>z<:>w<|>v");
    EXPECT_EQ(broken.results.cell(1, 1), " ");

    // A million-character first line, and a file of binary junk.
    EXPECT_EQ(searchFriendFile(friendFile(std::string(1'000'000, '@') + "\n@*EOF"), "x", 5)
                  .results.friendText.size(),
              1'000'000U + 5);
    std::mt19937 random(7);
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::string junk(64 * 1024, '\0');
        for (char& c : junk) {
            c = static_cast<char>(random() & 0xff);
        }
        const FriendSearchResult result = searchFriendFile(friendFile(junk), "a", 50);
        EXPECT_NE(result.outcome, FriendSearchOutcome::NotFound);
    }
}

TEST(FriendName, IsTheFileNameWithoutItsLastExtension) {
    EXPECT_EQ(friendNameOf("/home/in/Bob.txf"), "Bob");
    EXPECT_EQ(friendNameOf("/home/v1.2/Bob"), "Bob");
    EXPECT_EQ(friendNameOf("Ann.Lee.txf"), "Ann.Lee");
    EXPECT_EQ(friendNameOf("/x/.txf"), "");
}

}  // namespace
}  // namespace tunex
