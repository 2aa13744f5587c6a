#include "core/store/settings.h"
#include "core/store/store_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunex {
namespace {

using namespace std::string_literals;

Settings readFrom(std::string_view text) {
    Settings settings;
    readSettings(text, settings);
    return settings;
}

TEST(ReadSettings, OptionDigitsTakeTheTextUpToTheLastSemicolon) {
    const Settings all = readFrom("<as>12110000000;\n");
    EXPECT_EQ(all.startMaximized, 1);
    EXPECT_EQ(all.searchSensitivity, 2);
    EXPECT_EQ(all.sortColumn, 0);
    EXPECT_EQ(all.showColumns, (std::array<int, 6>{0, 0, 0, 0, 0, 0}));

    // Nothing up to a ";" means nothing is read.
    EXPECT_EQ(readFrom("<as>00110\n"), Settings());

    // A short text sets only the positions it has; positions 2 and 3 are dropped.
    const Settings shortText = readFrom("<as>1299;\n");
    EXPECT_EQ(shortText.startMaximized, 1);
    EXPECT_EQ(shortText.searchSensitivity, 2);
    EXPECT_EQ(shortText.sortColumn, 0);
    EXPECT_EQ(shortText.showColumns, Settings().showColumns);

    // Digits past position 10 are not used; a non-digit reads as 0.
    const Settings extra = readFrom("<as>0311x10101099999;\n");
    EXPECT_EQ(extra.sortColumn, 0);
    EXPECT_EQ(extra.showColumns, (std::array<int, 6>{1, 0, 1, 0, 1, 0}));
}

TEST(ReadSettings, FileTypesKeepOnlyCompleteEntries) {
    EXPECT_EQ(readFrom("<ft>mp3;wma\n").fileTypes, "mp3;");
    EXPECT_EQ(readFrom("<ft>mp3\n").fileTypes, "");
    EXPECT_EQ(readFrom("<ft>\n").fileTypes, "");
    EXPECT_EQ(readFrom("<ft>ogg;flac;\r\n").fileTypes, "ogg;flac;");
}

TEST(ReadSettings, StopsAtHistoryOrEndMarkerAndLaterLinesWin) {
    EXPECT_EQ(readFrom("<md>10\n<ht>a@?@b%|%1^*^c\n<md>250\n").maxResults, 10);
    EXPECT_EQ(readFrom("<md>10\n@*EOF\n<md>250\n").maxResults, 10);
    EXPECT_EQ(readFrom("<md>10\n<md>250\n").maxResults, 250);
    // Order of the tagged lines does not matter, unknown tags are ignored.
    const Settings mixed = readFrom("<dt>4\n<xx>9\n<mh>30\n<ts>12\n");
    EXPECT_EQ(mixed.defaultTab, 4);
    EXPECT_EQ(mixed.maxHistory, 30);
    EXPECT_EQ(mixed.totalSongs, 12);
}

TEST(ReadSettings, NumbersReadLikeAtoi) {
    EXPECT_EQ(readFrom("<ts> -5x\n").totalSongs, -5);
    EXPECT_EQ(readFrom("<ts>abc\n").totalSongs, 0);
    EXPECT_EQ(readFrom("<ts>\n").totalSongs, 0);
    EXPECT_EQ(readFrom("<ts>").totalSongs, 0);
    EXPECT_EQ(readFrom("<tf>99999999999999\n").collectionCount, 2147483647);
}

TEST(ReadSettings, LimitedSettingsOutOfRangeTakeTheNearestValidValue) {
    struct Case {
        std::string_view text;
        int Settings::*field;
        int expected;
    };
    const std::vector<Case> cases = {
        // A sensitivity outside 1-3 would make every search find nothing.
        {"<as>00110111111;\n", &Settings::searchSensitivity, 1},
        {"<as>09110111111;\n", &Settings::searchSensitivity, 3},
        {"<as>0x110111111;\n", &Settings::searchSensitivity, 1},
        {"<as>01110111111;\n", &Settings::searchSensitivity, 1},
        {"<as>03110111111;\n", &Settings::searchSensitivity, 3},
        {"<as>03117111111;\n", &Settings::sortColumn, 6},
        {"<as>03119111111;\n", &Settings::sortColumn, 6},
        {"<as>03116111111;\n", &Settings::sortColumn, 6},
        {"<md>0\n", &Settings::maxResults, 1},
        {"<md> -5x\n", &Settings::maxResults, 1},
        {"<md>abc\n", &Settings::maxResults, 1},
        {"<md>", &Settings::maxResults, 1},
        {"<md>3001\n", &Settings::maxResults, 3000},
        {"<md>99999999999999\n", &Settings::maxResults, 3000},
        {"<md>3000\n", &Settings::maxResults, 3000},
        {"<mh>0\n", &Settings::maxHistory, 1},
        {"<mh>-1\n", &Settings::maxHistory, 1},
        {"<mh>31\n", &Settings::maxHistory, 30},
        {"<mh>1\n", &Settings::maxHistory, 1},
        // The same when the line is the last one read before the history.
        {"<md>0\n<ht>a@?@b%|%1^*^c\n", &Settings::maxResults, 1},
        {"<mh>99\n@*EOF\n", &Settings::maxHistory, 30},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readFrom(c.text).*c.field, c.expected) << c.text;
    }

    // The start page and the flags have their own rules for other values and are read as before.
    const Settings kept = readFrom("<dt>9\n<as>50110020304;\n");
    EXPECT_EQ(kept.defaultTab, 9);
    EXPECT_EQ(kept.startMaximized, 5);
    EXPECT_EQ(kept.showColumns, (std::array<int, 6>{0, 2, 0, 3, 0, 4}));

    // Stored again, the corrected values are written in the usual form.
    EXPECT_EQ(renderSettingsFile(readFrom("<ts>2\n<tf>1\n<md>0\n<mh>99\n<dt>1\n<as>09119111111;\n"
                                          "<ft>mp3;\n@*EOF\n"),
                                 {}),
              "<ts>2\n<tf>1\n<md>1\n<mh>30\n<dt>1\n<as>03116111111;\n<ft>mp3;\n@*EOF\n");
}

TEST(ReadSettings, MinimalFileGivesTheInitialValues) {
    Settings expected;
    expected.totalSongs = 0;
    expected.collectionCount = 0;
    EXPECT_EQ(readFrom("<ts>0\n<tf>0\n@*EOF"), expected);
    EXPECT_EQ(readFrom("<ts>0\r\n<tf>0\r\n@*EOF\r\n"), expected);
}

TEST(ReadSettings, DamagedFilesNeverFailAndKeepWhatIsReadable) {
    // Empty file: nothing changes.
    EXPECT_EQ(readFrom(""), Settings());
    // Binary junk lines are unknown tags.
    EXPECT_EQ(readFrom("\xff\xfe\x01\x02<md\n\x80\x81\x82\x83\x84\n<mh>7\n").maxHistory, 7);
    // NUL bytes are ordinary bytes: the number ends at the NUL, the line goes on.
    const Settings nul = readFrom("<md>7\0junk\n<ft>mp3;\0;\n<mh>3\n"s);
    EXPECT_EQ(nul.maxResults, 7);
    EXPECT_EQ(nul.fileTypes, "mp3;\0;"s);
    EXPECT_EQ(nul.maxHistory, 3);
    // Without an end marker the file is read to its end, the last line too.
    EXPECT_EQ(readFrom("<ts>4\n<dt>5").defaultTab, 5);
    // A very long line is one line, not pieces, and what follows it is still read.
    const std::string types(100000, 'a');
    const Settings longLine = readFrom("<ft>" + types + ";\n<md>9\n");
    EXPECT_EQ(longLine.fileTypes, types + ";");
    EXPECT_EQ(longLine.maxResults, 9);
}

TEST(SettingsFileText, RendersInTheDescribedOrderAndReadsBack) {
    EXPECT_EQ(renderSettingsFile(Settings(), {}),
              "<ts>-1\n<tf>-1\n<md>1\n<mh>15\n<dt>1\n<as>03110111111;\n"
              "<ft>mp3;mp2;wmv;wma;dat;\n@*EOF\n");

    Settings changed;
    changed.totalSongs = 48123;
    changed.collectionCount = 17;
    changed.maxResults = 3000;
    changed.maxHistory = 30;
    changed.defaultTab = 8;
    changed.startMaximized = 1;
    changed.searchSensitivity = 2;
    changed.sortColumn = 6;
    changed.showColumns = {0, 1, 0, 1, 1, 0};
    changed.fileTypes = "ogg;";
    changed.previewTagChanges = false;
    const std::vector<HistoryRow> rows = {
        {"Title", "Artist", "3", "Disc 1"}, {"", "", "", ""}, {"Só", "Ärtist", "0", ""}};
    const std::string text = renderSettingsFile(changed, rows);
    EXPECT_EQ(readFrom(text), changed);
    EXPECT_EQ(readHistoryRows(text), rows);
    EXPECT_NE(text.find("<ht>@?@%|%^*^\n"), std::string::npos);
    EXPECT_NE(text.find("<ft>ogg;\n<pv>0\n<ht>"), std::string::npos) << text;
}

TEST(HistoryRows, CellsBetweenSeparatorsFoundFromTheStart) {
    const auto row = [](std::string_view line) {
        const std::vector<HistoryRow> rows = readHistoryRows(line);
        return rows.size() == 1 ? rows[0] : HistoryRow{"?", "?", "?", "?"};
    };
    EXPECT_EQ(row("<ht>@?@Artist%|%2^*^CD"), (HistoryRow{"", "Artist", "2", "CD"}));
    EXPECT_EQ(row("<ht>Title only"), (HistoryRow{"", "", "", ""}));
    EXPECT_EQ(row("<ht>T@?@A"), (HistoryRow{"T", "", "", ""}));
    EXPECT_EQ(row("<ht>T@?@A%|%3"), (HistoryRow{"T", "A", "", ""}));
    EXPECT_EQ(row("<ht>T^*^CD"), (HistoryRow{"", "", "", "CD"}));
    // Separators out of order: a stretch ending before it starts is empty.
    EXPECT_EQ(row("<ht>T%|%A@?@3^*^cd"), (HistoryRow{"T%|%A", "", "A@?@3", "cd"}));
    EXPECT_EQ(row("<ht>^*^x%|%y@?@z"), (HistoryRow{"^*^x%|%y", "", "", "x%|%y@?@z"}));
    // CR LF is not part of the last cell; a long cell stays whole.
    EXPECT_EQ(row("<ht>a@?@b%|%1^*^cd\r\n"), (HistoryRow{"a", "b", "1", "cd"}));
    const std::string longTitle(5000, 't');
    EXPECT_EQ(row("<ht>" + longTitle + "@?@b%|%1^*^cd"), (HistoryRow{longTitle, "b", "1", "cd"}));
}

TEST(HistoryRows, OnlyHistoryLinesBeforeTheEndMarker) {
    const std::string text =
        "<ts>1\n<ht>a@?@b%|%1^*^c\n<md>3\n<ht>d@?@e%|%2^*^f\n@*EOF\n<ht>old@?@x%|%9^*^y\n";
    const std::vector<HistoryRow> expected = {{"a", "b", "1", "c"}, {"d", "e", "2", "f"}};
    EXPECT_EQ(readHistoryRows(text), expected);
    EXPECT_TRUE(readHistoryRows("").empty());
    EXPECT_TRUE(readHistoryRows("<ht").empty());
}

TEST(IsListedFileType, ComparesTheLastExtensionWithLowerCasedEntries) {
    const std::string types = Settings().fileTypes;
    EXPECT_TRUE(isListedFileType("song.mp3", types));
    EXPECT_TRUE(isListedFileType("a.b.wma", types));
    EXPECT_TRUE(isListedFileType("x.dat", types));
    EXPECT_FALSE(isListedFileType("song.ogg", types));
    EXPECT_FALSE(isListedFileType("mp3", types));
    EXPECT_FALSE(isListedFileType(".mp3", types));
    EXPECT_FALSE(isListedFileType("SONG.MP3", types));
    EXPECT_FALSE(isListedFileType("song.mp3.bak", types));
    EXPECT_FALSE(isListedFileType("song.mp", types));
    EXPECT_TRUE(isListedFileType("song.mp3", "MP3;"));
    EXPECT_FALSE(isListedFileType("song.ogg", "mp3;ogg"));
    EXPECT_FALSE(isListedFileType("song.mp3", ""));
}

TEST(HasIllegalNameChar, NineCharactersAreIllegal) {
    for (const char c : std::string("\"*/:<>?\\|")) {
        EXPECT_TRUE(hasIllegalNameChar("ab"s + c + "cd")) << c;
    }
    EXPECT_TRUE(hasIllegalNameChar("AC/DC"));
    EXPECT_TRUE(hasIllegalNameChar("what?"));
    EXPECT_FALSE(hasIllegalNameChar("Rock & Roll"));
    EXPECT_FALSE(hasIllegalNameChar(""));
    EXPECT_FALSE(hasIllegalNameChar("Björk (1993) [live]; 'x'"));
}

TEST(CollectionFileName, FourDigitsAtLeast) {
    const StorePaths paths("/base");
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "save0001.ifo"},   {8, "save0009.ifo"},    {9, "save0010.ifo"},
        {98, "save0099.ifo"},  {99, "save0100.ifo"},   {998, "save0999.ifo"},
        {999, "save1000.ifo"}, {9999, "save10000.ifo"}};
    for (const auto& [index, leaf] : cases) {
        EXPECT_EQ(paths.collectionFileName(index), std::filesystem::path("/base/system") / leaf);
    }
    EXPECT_EQ(paths.settingsFile(), "/base/system/system.ifo");
}

}  // namespace
}  // namespace tunex
