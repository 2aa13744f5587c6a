#include "core/tags/rename_from_tags.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

struct NameCase {
    std::string pattern;
    std::string extension;
    bool windows = false;
    std::size_t maxBytes = 255;
    std::string expected;  // the name, or "left alone: " + reason
};

TEST(NameFromTags, FieldsFitTheFileSystem) {
    Id3v2Fields tags;
    tags.artist = "AC/DC";
    tags.title = "What? No: \"Yes\" <3 | 1\\2*";
    tags.album = "Vol. 2...";
    tags.track = "7/12";
    tags.disc = "1";
    tags.year = "1999-05-01";
    tags.genre = 18;                                             // "Rock"
    const std::string greek = "\u0391\u03b8\u03ae\u03bd\u03b1";  // two bytes a letter
    const std::vector<NameCase> cases = {
        {"%artist% - %title%", "mp3", false, 255, "AC_DC - What? No: \"Yes\" <3 | 1\\2*.mp3"},
        {"%artist% - %title%", "MP3", true, 255, "AC_DC - What_ No_ _Yes_ _3 _ 1_2_.MP3"},
        // A trailing dot Windows would drop; folders below the file's own.
        {"%album%/%track% %title%", "flac", true, 255,
         "Vol. 2.._/07 What_ No_ _Yes_ _3 _ 1_2_.flac"},
        {"%disc%-%track:3% %year% %genre%", "ogg", false, 255, "1-007 1999 Rock.ogg"},
        // Cut to the byte limit before the extension, never inside a character.
        {"%albumartist%", "mp3", false, 255, "left alone: its tag has no albumartist"},
        {"x%title%", "mp3", false, 8, "xWha.mp3"},
        {"ab/%track%", "", false, 255, "ab/07"},
    };
    for (const NameCase& c : cases) {
        const PatternParse parse = parseNamePattern(c.pattern, PatternUse::MakeNames);
        ASSERT_TRUE(parse.pattern) << parse.error;
        const NameFromTags made =
            nameFromTags(*parse.pattern, tags, c.extension, {c.windows, c.windows, c.maxBytes});
        EXPECT_EQ(made.name.value_or("left alone: " + made.reason), c.expected) << c.pattern;
    }
    tags.title = greek;
    const auto title = parseNamePattern("%title%", PatternUse::MakeNames).pattern;
    EXPECT_EQ(nameFromTags(*title, tags, "mp3", {false, false, 8}).name,
              greek.substr(0, 4) + ".mp3");
}

}  // namespace
}  // namespace tunex
