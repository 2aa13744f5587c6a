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

    // Values refused before a write: text that is not UTF-8, numbers past what the tag holds.
    const std::vector<std::tuple<std::string_view, std::string, bool>> values = {
        {"v1.track", "255", true}, {"v1.track", "256", false}, {"v1.track", "0", false},
        {"v1.track", "x", false},  {"v1.year", "9999", true},  {"v1.year", "0", false},
        {"v2.track", "A1", true},  {"v2.year", "x", true},     {"v2.title", "\xff\xfe", false}};
    for (const auto& [key, value, taken] : values) {
        EXPECT_EQ(!fieldValueRefusal(*findTagField(key), std::nullopt, value, key), taken)
            << key << value;
    }
    const std::vector<std::tuple<AudioFormat, std::string, bool>> tracks = {
        {AudioFormat::Mp4, "32767/32767", true}, {AudioFormat::Mp4, "32768", false},
        {AudioFormat::Mp4, "1/32768", false},    {AudioFormat::Mp4, "0", false},
        {AudioFormat::Flac, "2147483647", true}, {AudioFormat::Flac, "1/2147483648", false}};
    const TagFieldRow& track = *findSingleGroupField("track");
    for (const auto& [format, value, taken] : tracks) {
        EXPECT_EQ(!fieldValueRefusal(track, format, value, "track"), taken) << value;
    }
    // The disc follows the track's rules; V1 has no room for it.
    EXPECT_EQ(findTagField("v1.disc"), nullptr);
    const TagFieldRow& disc = *findSingleGroupField("disc");
    EXPECT_FALSE(fieldValueRefusal(disc, AudioFormat::Mp4, "32767/32767", "Disc #"));
    EXPECT_EQ(fieldValueRefusal(disc, AudioFormat::Mp4, "1/32768", "Disc #"),
              "Disc # takes a disc number from 1 to 32767, and a total after / up to 32767.");
    EXPECT_EQ(fieldValueRefusal(disc, AudioFormat::Flac, "2147483648", "Disc #"),
              "Disc # takes disc numbers up to 2147483647, and a total after / up to 2147483647.");
    // Update checks only what was changed, naming the field as the editor shows it.
    TagFields loaded;
    loaded.v2.track = "99999999999";
    EXPECT_FALSE(changedFieldsRefusal(loaded, loaded, std::nullopt));
    loaded.v1.track = "256";
    EXPECT_EQ(changedFieldsRefusal({}, loaded, std::nullopt)->text,
              "V1 Track # takes a track number from 1 to 255.");

    // Typed values: the parts between "; ", the text whole when a part would be empty.
    const std::vector<std::pair<std::string_view, std::vector<std::string>>> typed = {
        {"a; b", {"a", "b"}}, {"a;b", {"a;b"}}, {"; a", {"; a"}}, {"a; ", {"a; "}}, {"", {}}};
    for (const auto& [text, values] : typed) {
        EXPECT_EQ(splitValues(text), values) << text;
    }

    EXPECT_EQ(tagEditorCaption("/Music/a.mp3"), "ID3 Tag of /Music/a.mp3");
    EXPECT_EQ(tagUpdateFailedMessage("/Music/a.mp3"),
              (UserMessage{"The ID3 tags of file /Music/a.mp3 could not be written.",
                           "Tunex - File Error", MessageIcon::Error}));
    // A refusal whose reason is known says it.
    EXPECT_EQ(
        tagUpdateFailedMessage("/m/a.wav", TagWriteOutcome::NotReadWhole, kTwoId3ChunksReason).text,
        "The file /m/a.wav was left as it is: it holds two ID3 chunks; writing would lose "
        "one.");
}

}  // namespace
}  // namespace tunex
