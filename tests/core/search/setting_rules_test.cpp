#include "core/search/setting_rules.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

TEST(SettingRules, LimitsAndWholeNumbers) {
    for (const int good : {1, 3000}) {
        EXPECT_FALSE(checkMaxResults(good).has_value()) << good;
    }
    for (const int bad : {0, -5, 3001}) {
        ASSERT_TRUE(checkMaxResults(bad).has_value()) << bad;
        EXPECT_EQ(checkMaxResults(bad)->text,
                  "Maximum records in Search Result not within limit(1-3000).");
    }
    EXPECT_FALSE(checkMaxHistory(30).has_value());
    EXPECT_EQ(checkMaxHistory(35)->text,
              "Maximum records in Search History not within limit(1-30).");
    EXPECT_EQ(checkMaxHistory(0)->caption, "Tunex - Input Error");

    EXPECT_EQ(parseWholeNumber("35"), 35);
    EXPECT_EQ(parseWholeNumber(" -3 "), -3);
    EXPECT_EQ(parseWholeNumber("+7"), 7);
    for (const char* bad : {"", " ", "3a", "1.5", "+-1", "99999999999", "٣"}) {
        EXPECT_FALSE(parseWholeNumber(bad).has_value()) << bad;
    }
}

TEST(SettingRules, LimitEditEntries) {
    struct Case {
        const char* text;
        int highest;
        LimitEntry entry;
    };
    const Case cases[] = {
        {"1", 3000, LimitEntry::Complete},
        {"3000", 3000, LimitEntry::Complete},
        {"0007", 3000, LimitEntry::Complete},
        {"30", 30, LimitEntry::Complete},
        {"", 3000, LimitEntry::Incomplete},
        {"0", 3000, LimitEntry::Incomplete},
        {"3001", 3000, LimitEntry::Incomplete},
        {"9999", 3000, LimitEntry::Incomplete},
        {"31", 30, LimitEntry::Incomplete},
        {"00", 30, LimitEntry::Incomplete},
        {"10000", 3000, LimitEntry::Refused},
        {"030", 30, LimitEntry::Refused},
        {"12345678901234567890123", 3000, LimitEntry::Refused},
        {"-1", 3000, LimitEntry::Refused},
        {"+5", 3000, LimitEntry::Refused},
        {" 5", 3000, LimitEntry::Refused},
        {"1e3", 3000, LimitEntry::Refused},
        {"٣", 3000, LimitEntry::Refused},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(classifyLimitEntry(c.text, c.highest), c.entry) << c.text << " / " << c.highest;
    }
}

TEST(SettingRules, SortColumnAndColumnRemoval) {
    const std::array<int, 6> noPath{1, 1, 0, 1, 1, 1};
    EXPECT_FALSE(checkSortColumnChoice(0, {0, 0, 0, 0, 0, 0}).has_value());
    EXPECT_FALSE(checkSortColumnChoice(2, noPath).has_value());
    ASSERT_TRUE(checkSortColumnChoice(3, noPath).has_value());
    EXPECT_EQ(checkSortColumnChoice(3, noPath)->caption, "Tunex - Column Already Removed");
    EXPECT_TRUE(isSortColumnEntry(1, 2));
    EXPECT_FALSE(isSortColumnEntry(1, 0));
    EXPECT_EQ(columnRemovedNotice(0)->caption, "Tunex - Remove File Type Column");
    EXPECT_EQ(columnRemovedNotice(2)->text,
              "Remove \"Path\" column will disable the song playing or file running function when "
              "double clicking a search result in <Songs> and <Files>.");
    EXPECT_FALSE(columnRemovedNotice(1).has_value());
    EXPECT_EQ(kDefaultTabEntries[6], "Tunex Friend");
}

}  // namespace
}  // namespace tunex
