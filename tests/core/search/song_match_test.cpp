#include "core/search/song_match.h"
#include "core/common/text.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace tunex {
namespace {

std::string toUtf8(const std::u32string& text) {
    std::string utf8;
    const auto put = [&utf8](std::uint32_t bits) { utf8.push_back(static_cast<char>(bits)); };
    for (const std::uint32_t c : text) {
        if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | c >> 6), put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | c >> 12), put(0x80 | (c >> 6 & 0x3F)), put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | c >> 18), put(0x80 | (c >> 12 & 0x3F)), put(0x80 | (c >> 6 & 0x3F)),
                put(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

struct MatchCase {
    const char* what;
    std::string_view title;
    std::string_view artist;
    std::string_view name;
    std::string_view folder;
    std::string_view id3Info;
    bool low;
    bool medium;
    bool high;
};

const MatchCase kCases[] = {
    {"title in the name, any case", "LOVE", "", "Love Me Do", "/m", "", true, true, true},
    {"title inside a word", "love", "", "glove", "/m", "", true, true, true},
    {"title only in the ID3 info", "love", "", "01", "/m", "Love;Band;", false, true, true},
    {"ID3 title, Medium example", "yesterday", "", "01", "/m", "Yesterday;Beatles;Help;", false,
     true, true},
    {"title and artist both in the name", "help", "beatles", "Beatles - Help", "/m", "", true, true,
     true},
    {"title in the name, artist in the folder", "help", "beatles", "Help", "D:/beatles", "", false,
     false, true},
    {"title in the name, artist in the ID3 info", "help", "beatles", "Help", "D:/music", "Beatles;",
     false, true, false},
    {"title in the ID3 info, artist in the name", "help", "beatles", "Beatles", "/m", "Help;",
     false, true, false},
    {"title in the ID3 info, artist in the folder", "help", "beatles", "x", "/beatles", "Help;",
     false, false, false},
    {"artist alone in the folder", "", "beatles", "x", "/music/Beatles", "", false, false, true},
    {"artist alone in the ID3 info", "", "abba", "x", "/m", "Waterloo;ABBA;", false, true, true},
    {"title alone in the folder only", "help", "", "x", "/help", "", false, false, false},
    {"trailing blank must match a blank", "love ", "", "glove", "/m", "Love;", false, false, false},
    {"trailing blank that is there", "love ", "", "Love Me", "/m", "", true, true, true},
    {"no wildcards", "l*e", "", "love", "/m", "", false, false, false},
    {"non-ASCII case", "ÉTÉ", "", "Un été", "/m", "", true, true, true},
    {"Kelvin sign lowers to k", "k", "", "\u212A", "/m", "", true, true, true},
    {"accents ignored both ways", "bjork", "bjÖrk", "Björk - Jo\u0301ga", "/m", "", true, true,
     true},
};

class SongMatchTest : public testing::TestWithParam<int> {};

TEST_P(SongMatchTest, FollowsTheSensitivityTable) {
    const auto sensitivity = static_cast<Sensitivity>(GetParam());
    for (const MatchCase& c : kCases) {
        SongRecordView record;
        record.name = c.name;
        record.folder = c.folder;
        record.id3Info = c.id3Info;
        const bool expected = GetParam() == 1 ? c.low : GetParam() == 2 ? c.medium : c.high;
        EXPECT_EQ(songMatches(c.title, c.artist, record, sensitivity), expected) << c.what;
        // A record read from a file goes through the unlowered path; it must agree.
        const SearchTerms terms(c.title, c.artist);
        std::array<std::string, 3> scratch;
        EXPECT_EQ(terms.matchesUnlowered(record, sensitivity, scratch), expected) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Sensitivities, SongMatchTest, testing::Values(1, 2, 3),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 1   ? "Low"
                                                : info.param == 2 ? "Medium"
                                                                  : "High");
                         });

TEST(SongMatch, UnknownSensitivityMatchesNothing) {
    SongRecordView record;
    record.name = "love";
    for (const int sensitivity : {0, 4, -1}) {
        EXPECT_FALSE(songMatches("love", "", record, static_cast<Sensitivity>(sensitivity)))
            << sensitivity;
    }
}

// The folded search must find exactly what a search in the lower-cased text finds, for ASCII
// text and for text already lower-cased, at every position the word-wise scan treats specially.
TEST(SongMatch, FoldedSearchAgreesWithLowerCasedSearch) {
    std::mt19937 random(7);
    const std::string alphabet = "aAbB<>|z@[`{ 09\x7f";
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 40, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        std::string term(1 + random() % 4, ' ');
        for (char& c : term) {
            c = alphabet[random() % alphabet.size()];
        }
        term = toLowerUtf8(term);
        const bool expected = toLowerUtf8(text).find(term) != std::string::npos;
        ASSERT_EQ(containsFolded(text, term), expected) << '"' << text << "\" / \"" << term << '"';
    }
}

TEST(SearchFold, FoldsCaseAndMarksOrCaseAlone) {
    std::string buffer = "left over from an earlier, longer line";
    using Case = std::tuple<std::string_view, std::string_view, std::string_view>;
    for (const auto& [text, folded, exact] :
         {Case{"MiXeD Case 123", "mixed case 123", "mixed case 123"},
          Case{"Björk Straße İ Ø", "bjork strasse i ø", "björk strasse i\u0307 ø"},
          Case{"Jo\u0301ga 夜空 \u01C4", "joga 夜空 \u01C6", "jo\u0301ga 夜空 \u01C6"},
          Case{"\xff\xfe BAD \xc3", "\xff\xfe bad \xc3", "\xff\xfe bad \xc3"}, Case{"", "", ""}}) {
        EXPECT_EQ(foldInto(text, AccentRule::Fold, buffer), folded) << text;
        EXPECT_EQ(foldInto(text, AccentRule::Exact, buffer), exact) << text;
    }
    // Asked of "bjork", the exact rule turns "Björk" down.
    SongRecordView record;
    record.name = "Björk";
    EXPECT_FALSE(songMatches("bjork", "", record, Sensitivity::Low, AccentRule::Exact));
}

// The table behind the fold agrees with ICU on every code point, from the first to the last.
TEST(SearchFold, TableAgreesWithIcuOnEveryCodePoint) {
    std::string buffer;
    for (const AccentRule rule : {AccentRule::Fold, AccentRule::Exact}) {
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                continue;
            }
            const std::string one = toUtf8({c});
            ASSERT_EQ(foldInto(one, rule, buffer), toUtf8(icuFoldOf(c, rule)))
                << std::hex << static_cast<std::uint32_t>(c);
            // Where the fold gives ASCII (or nothing), a search for it must look there.
            const std::string around = "x" + one + "y";
            const std::string term = foldForSearch(around, rule);
            if (c >= 0x80 && isAsciiText(term)) {
                ASSERT_TRUE(FoldedTermFinder({term}, rule).holdsAll(around))
                    << std::hex << static_cast<std::uint32_t>(c);
            }
        }
    }
}

// The finder folds only around characters that can give a term's bytes; it must find what a
// search in the whole folded text finds, windows joined, at the text's ends, in bad UTF-8. Other
// terms may be let through where the text as it is holds them, as a filter may.
TEST(SearchFold, FinderAgreesWithFoldingEverything) {
    std::mt19937 random(11);
    const std::vector<std::string_view> pieces = {
        "a",  "E",  "s",  "S", "ß", "é", "e\u0301", "\u0301", "\u0307", "Ż", "z", "\u212A",
        "ﬁ", "夜", " ", "\xff", "\xc3", "İ", "Ǆ", "ǆ", "k", "i", "Ω", "ω", "\u3099"};
    const auto pick = [&](std::size_t most) {
        std::string text;
        for (std::size_t n = 1 + random() % most; n > 0; --n) {
            text += pieces[random() % pieces.size()];
        }
        return text;
    };
    std::string buffer;
    for (int round = 0; round < 20000; ++round) {
        const std::string text = pick(40);
        const AccentRule rule = round % 2 == 0 ? AccentRule::Fold : AccentRule::Exact;
        const std::string first = foldForSearch(pick(4), rule);
        const std::string second = foldForSearch(pick(2), rule);
        const std::string_view folded = foldInto(text, rule, buffer);
        const bool expected = folded.find(first) != std::string_view::npos &&
                              folded.find(second) != std::string_view::npos;
        const bool found = FoldedTermFinder({first, second}, rule).holdsAll(text);
        ASSERT_TRUE(found == expected || (found && !isAsciiText(first + second)))
            << '"' << text << "\" / \"" << first << "\" / \"" << second << '"';
    }
}

TEST(SongMatch, InvalidUtf8AndHugeTermsAreHandled) {
    SongRecordView record;
    record.name = "bad \xff\xfe name";
    record.id3Info = "\xc3";
    EXPECT_TRUE(songMatches("\xff\xfe", "", record, Sensitivity::Low));
    EXPECT_FALSE(songMatches("\xc3\xb8", "", record, Sensitivity::High));
    const std::string huge(10000, 'a');
    record.name = huge;
    EXPECT_TRUE(songMatches(huge, "", record, Sensitivity::Low));
    EXPECT_FALSE(songMatches(huge + "a", "", record, Sensitivity::High));
}

}  // namespace
}  // namespace tunex
