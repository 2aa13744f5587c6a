#include "core/common/text.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

TEST(LeadingInteger, ReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(leadingInteger("250"), 250);
    EXPECT_EQ(leadingInteger("  -7x"), -7);
    EXPECT_EQ(leadingInteger("+3"), 3);
    EXPECT_EQ(leadingInteger("abc"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("99999999999999999999"), 2147483647);
    EXPECT_EQ(leadingInteger("-99999999999999999999"), -2147483647 - 1);
}

TEST(ToLowerUtf8, LowersUnicodeAndKeepsInvalidBytes) {
    EXPECT_EQ(toLowerUtf8("AbC 12"), "abc 12");
    EXPECT_EQ(toLowerUtf8("ÄÖÜ ÉCOLE"), "äöü école");
    EXPECT_EQ(toLowerUtf8("ΣΟΦΙΑ"), "σοφια");
    const std::string invalid =
        "A\xff\xfe"
        "B";
    const std::string lowered = toLowerUtf8(invalid);
    EXPECT_EQ(lowered.front(), 'a');
    EXPECT_EQ(lowered.back(), 'b');
}

TEST(IsUtf8, RefusesOverlongAndSurrogateSequences) {
    EXPECT_TRUE(isUtf8("a\u00e9\U0010FFFF"));
    EXPECT_FALSE(isUtf8("\xc0\xaf"));      // overlong
    EXPECT_FALSE(isUtf8("\xed\xa0\x80"));  // a surrogate
}

TEST(TextBetween, FirstOccurrencesFromTheStart) {
    EXPECT_EQ(textBetween("a<1>b<2>c", "<1>", "<2>"), "b");
    EXPECT_EQ(textBetween("a<2>b<1>c", "<1>", "<2>"), "");
    EXPECT_EQ(textBetween("a<1>b", "<1>", "<2>"), "");
    EXPECT_EQ(textBetween("<1><2>", "<1>", "<2>"), "");
}

}  // namespace
}  // namespace tunex
