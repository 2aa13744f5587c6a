#include "core/tags/tag_editor_rules.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

TEST(TagEditorRules, LimitsGenresGroupsAndMessages) {
    EXPECT_EQ(v1TypingLimit(V1TextField::Title), 30);
    EXPECT_EQ(v1TypingLimit(V1TextField::Comment), 30);
    EXPECT_EQ(v1TypingLimit(V1TextField::Year), 4);
    EXPECT_EQ(v1TypingLimit(V1TextField::Track), 3);
    // Characters, not bytes: 30 accented letters fit, a 31st does not.
    std::string thirty;
    for (int i = 0; i < 30; ++i) {
        thirty += "\u00e9";
    }
    EXPECT_TRUE(fitsTypingLimit(thirty, 30));
    EXPECT_FALSE(fitsTypingLimit(thirty + "x", 30));

    EXPECT_EQ(kGenreEntryCount, 149);
    EXPECT_EQ(genreEntryText(0), "");
    EXPECT_EQ(genreEntryText(1), "Blues");
    EXPECT_EQ(genreEntryText(148), "SynthPop");
    EXPECT_EQ(genreEntryText(149), "");

    TagFields fields;
    fields.v1 = {"t", "a", "l", "c", "1999", "3", 18};
    fields.v2.title = "kept";
    clearV1Group(fields.v1);
    EXPECT_EQ(fields.v1.title, "");
    EXPECT_EQ(fields.v1.year, "");
    EXPECT_EQ(fields.v1.genre, kGenreEntryEmpty);
    EXPECT_EQ(fields.v2.title, "kept");
    fields.v2.url = "http://x";
    clearV2Group(fields.v2);
    EXPECT_EQ(fields.v2.title, "");
    EXPECT_EQ(fields.v2.url, "");
    EXPECT_EQ(fields.v2.genre, kGenreEntryEmpty);

    EXPECT_EQ(tagEditorCaption("/Music/a.mp3"), "ID3 Tag of /Music/a.mp3");
    EXPECT_EQ(tagUpdateFailedMessage("/Music/a.mp3"),
              (UserMessage{"The ID3 tags of file /Music/a.mp3 could not be written.",
                           "Tunex - File Error", MessageIcon::Error}));
}

}  // namespace
}  // namespace tunex
