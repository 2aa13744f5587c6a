#include "core/tags/tag_tidy.h"

#include <gtest/gtest.h>

#include "core/tags/tag_test_support.h"
#include "support/audio_files.h"

namespace tunex {
namespace {

TEST(TagTidy, TextRulesAtTheirEdges) {
    using enum TidyCase;
    const TidyRules title{Title};
    const TidyRules first{First};
    const std::vector<std::tuple<std::string, TidyRules, std::string>> cases = {
        // Small words: lower-case inside, capitalised as the first and as the last word.
        {"the sound of silence", title, "The Sound of Silence"},
        {"what are you waiting for", title, "What Are You Waiting For"},
        {"a", title, "A"},
        {"hits by ABBA, live vs. AC/DC", title, "Hits by ABBA, Live vs. AC/DC"},
        {"BACK IN BLACK", title, "Back in Black"},  // shouted, but "AC/DC" alone is a name
        {"AC/DC", title, "AC/DC"},
        {"I and i", title, "I and I"},
        {"élan vital (1st mix)", title, "Élan Vital (1st Mix)"},
        {"the Sound of ABBA", first, "The sound of ABBA"},
        {"ÉLAN Vital", {Lower}, "élan vital"},
        {"straße", {Upper}, "STRASSE"},
        {"  a \t b  ", {Keep, true}, "a b"},
        {"_a__b_", {Keep, true, true}, "a b"},
        {"a__b", {Keep, false, true}, "a  b"},
        {"", {Upper, true, true}, ""},
        {"\xff_x", {Upper, false, true}, "\xff_x"},  // not UTF-8: left alone
    };
    for (const auto& [text, rules, tidied] : cases) {
        EXPECT_EQ(tidyText(text, rules), tidied) << text;
    }
    // Each value of a list on its own; one left empty is dropped.
    EXPECT_EQ(tidyFieldText("the one;  the two ;   ; x", {Title, true}), "The One; The Two; X");

    EXPECT_EQ(parseTidyFields("title,albumartist,title"),
              (std::vector{TagField::Title, TagField::AlbumArtist}));
    EXPECT_EQ(parseTidyFields(""), std::nullopt);
    EXPECT_EQ(parseTidyFields("title,year"), std::nullopt);
}

// Every tag the file has, through the journal: the preview names what the run then writes, a
// tidy file is not written, and undo gives back every byte.
TEST(TagTidy, BatchTidiesEveryTagAndUndoes) {
    test::TempDir dir;
    const auto mp3 = dir / "a.mp3";
    test::writeFile(mp3, test::v2Tag(3, test::v2Text(3, "TIT2", "the end") +
                                            test::v2Text(3, "TPE2", "the band")) +
                             test::mpegAudio(3) + test::v1Tag("the end", "", "", "", "", 1, 0));
    const auto tidy = dir / "b.mp3";
    test::writeFile(tidy, test::v2Tag(3, test::v2Text(3, "TIT2", "Done")) + test::mpegAudio(3));
    const auto flac = dir / "c.flac";
    ASSERT_TRUE(test::makeAudioFile("flac", flac, {{{"TITLE", {"x_y"}}, {"ALBUM", {"z"}}}}));
    const std::string mp3Before = test::readFile(mp3);
    const std::string flacBefore = test::readFile(flac);

    const TagScope scope{dir.path().string(), true, {}};
    const TidyJob job{{TidyCase::Title, false, true}, {TagField::Title}};
    std::vector<std::string> rows;
    for (const PreviewRow& row : previewTidy(scope, job).rows) {
        rows.push_back(std::filesystem::path(row.path).filename().string() + " " +
                       std::string(previewTagName(row)) + " " + row.field + " " + row.oldValue +
                       ">" + row.newValue);
    }
    std::ranges::sort(rows);
    EXPECT_EQ(rows, (std::vector<std::string>{"a.mp3 V1 Title the end>The End",
                                              "a.mp3 V2 Title the end>The End",
                                              "c.flac Tag Title x_y>X Y"}));

    int steps = 0;
    const TidyResult result = runTidy(test::journal(), scope, job, {[&] { ++steps; }, {}});
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(steps, 3);
    TagFields fields;
    (void)loadTagFields(mp3, fields);
    EXPECT_EQ(fields.v1.title, "The End");
    EXPECT_EQ(fields.v2.title, "The End");
    EXPECT_EQ(fields.v2.albumArtist, "the band");  // not chosen
    EXPECT_EQ(test::audioViewMap(flac).at("TITLE"), std::vector<std::string>{"X Y"});
    EXPECT_EQ(tidyResultMessage("/m", result).text, "Tags tidied in 2 files under /m.");

    EXPECT_EQ(test::journal().undoLast().result, UndoReport::Result::Undone);
    EXPECT_TRUE(test::readFile(mp3) == mp3Before);
    EXPECT_TRUE(test::readFile(flac) == flacBefore);
}

}  // namespace
}  // namespace tunex
