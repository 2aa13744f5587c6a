#include "core/tags/id3_tags.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "core/tags/tag_preview.h"
#include "core/tags/tag_test_support.h"

namespace tunex {
namespace {

using test::hasLine;
using test::independentView;
using test::mpegAudio;
using test::readFile;
using test::v1Tag;
using test::v2Frame;
using test::v2Tag;
using test::v2Text;
using test::viewLine;
using test::writeFile;

// UTF-16 text with a byte-order mark, as v2.3 writers store non-Latin-1 text.
std::string utf16Text(int version, std::string_view id, std::u16string_view text) {
    std::string body = "\x01\xFF\xFE";
    for (char16_t c : text) {
        body += static_cast<char>(c & 0xFF);
        body += static_cast<char>(c >> 8);
    }
    return v2Frame(version, id, body);
}

class Id3Tags : public ::testing::Test {
protected:
    std::filesystem::path make(std::string_view name, const std::string& bytes) {
        const auto path = dir_ / name;
        writeFile(path, bytes);
        return path;
    }
    test::TempDir dir_;
    const std::string audio_ = mpegAudio(6);
};

TEST(GenreList, NamesAndSelectionEntries) {
    EXPECT_EQ(GenreList.size(), 148u);
    EXPECT_EQ(GenreList[0], "Blues");
    EXPECT_EQ(GenreList[17], "Rock");
    EXPECT_EQ(GenreList[67], "Psychadelic");
    EXPECT_EQ(GenreList[118], "Rhytmic Soul");
    EXPECT_EQ(GenreList[147], "SynthPop");
    EXPECT_EQ(genreEntryForNumber(0), 1);
    EXPECT_EQ(genreEntryForNumber(147), 148);
    EXPECT_EQ(genreEntryForNumber(148), kGenreUnselected);
    EXPECT_EQ(genreEntryForNumber(255), kGenreUnselected);
    EXPECT_EQ(genreNumberOfName("Rock"), 17);
    // The usual other spellings, first and last of the list; no two entries spelled alike.
    EXPECT_EQ(genreNumberOfName("rock"), 17);
    EXPECT_EQ(genreNumberOfName("Folk-Rock"), genreNumberOfName("Folk Rock"));
    EXPECT_EQ(genreNumberOfName("Jazz+Funk"), genreNumberOfName("Jazz Funk"));
    EXPECT_EQ(genreNumberOfName("blues"), 0);
    EXPECT_EQ(genreNumberOfName("Synth-Pop"), 147);
    EXPECT_EQ(genreNumberOfName("Klezmer Rock"), std::nullopt);
    for (int i = 0; i < kGenreCount; ++i) {
        EXPECT_EQ(genreNumberOfName(GenreList[static_cast<std::size_t>(i)]), i);
    }
}

TEST(Latin1Fallback, KeepsLatin1AndTransliteratesTheRest) {
    EXPECT_EQ(latin1Fallback("Grüße, Café"), "Grüße, Café");
    EXPECT_EQ(latin1Fallback("Привет"), "Privet");
    EXPECT_EQ(latin1Fallback("Über “Zitat” – Ωmega"), "Über \"Zitat\" - Omega");
    const std::string cjk = latin1Fallback("東京");
    EXPECT_FALSE(cjk.empty());
    EXPECT_EQ(cjk.find_first_not_of(" abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"),
              std::string::npos);
    EXPECT_EQ(latin1Fallback("a\xff"
                             "b"),
              "a?b");
}

TEST_F(Id3Tags, CatalogueAndSummaryReadTheRightVersions) {
    const auto both = make("both.mp3", v2Tag(3, v2Text(3, "TIT2", "Song")) + audio_ +
                                           v1Tag("Old", "Singer", "", "", "", 0, 255));
    EXPECT_EQ(readCatalogueId3(both), "Song;");
    const Id3Summary summary = readId3Summary(both);
    EXPECT_EQ(summary.title, "Song");
    EXPECT_EQ(summary.artist, "Singer");
    EXPECT_EQ(summary.album, std::nullopt);

    const auto v1Only = make("v1.mp3", audio_ + v1Tag("", "Singer", "Album", "", "", 0, 255));
    EXPECT_EQ(readCatalogueId3(v1Only), "Singer;Album;");

    const std::string v22Frames = "TT2" + test::bigEndian(5).substr(1) + std::string("\0Oldx", 5) +
                                  "TP1" + test::bigEndian(3).substr(1) + std::string("\0Me", 3);
    const auto v22 = make("v22.mp3", v2Tag(2, v22Frames) + audio_);
    EXPECT_EQ(readCatalogueId3(v22), "Oldx;Me;");

    const auto utf =
        make("utf.mp3",
             v2Tag(4, v2Frame(4, "TIT2", "\x03Ωmega") + utf16Text(4, "TPE1", u"Дуэт")) + audio_);
    EXPECT_EQ(readCatalogueId3(utf), "Ωmega;Дуэт;");
}

TEST_F(Id3Tags, NoTagLeavesEverythingTheCallerHolds) {
    const auto bare = make("bare.mp3", audio_);
    EXPECT_EQ(readCatalogueId3(bare), "");
    const Id3Summary summary = readId3Summary(bare);
    EXPECT_FALSE(summary.title || summary.artist || summary.album);
    TagFields fields;
    fields.v1.title = "kept";
    fields.v1.genre = 5;
    fields.v2.composer = "kept too";
    const LoadedGroups loaded = loadTagFields(bare, fields);
    EXPECT_FALSE(loaded.v1 || loaded.v2);
    EXPECT_EQ(fields.v1.title, "kept");
    EXPECT_EQ(fields.v1.genre, 5);
    EXPECT_EQ(fields.v2.composer, "kept too");

    // A V2-only file fills the V2 group and leaves V1 alone; missing V2 fields keep their value.
    // A byte-order mark in Latin-1 text is not shown.
    const auto v2Only = make("v2.mp3", v2Tag(3, v2Text(3, "TIT2", "T") + v2Text(3, "TCOM", "C") +
                                                    v2Text(3, "TRCK", "07") +
                                                    v2Text(3, "TYER",
                                                           "\xfe\xff"
                                                           "87")) +
                                           audio_);
    fields.v2.album = "previous";
    EXPECT_TRUE(loadTagFields(v2Only, fields).v2);
    EXPECT_EQ(fields.v1.title, "kept");
    EXPECT_EQ(fields.v2.title, "T");
    EXPECT_EQ(fields.v2.composer, "C");
    EXPECT_EQ(fields.v2.track, "07");
    EXPECT_EQ(fields.v2.year, "87");
    EXPECT_EQ(fields.v2.album, "previous");
}

TEST_F(Id3Tags, GenreSelectionFromEveryForm) {
    const std::vector<std::pair<std::string, int>> v2Cases = {{"(17)", 18},
                                                              {"(17)Rock", 18},
                                                              {"Rock", 18},
                                                              {"(0)", 1},
                                                              {"(147)", 148},
                                                              {"(200)", kGenreUnselected},
                                                              {"Synthwave", kGenreUnselected},
                                                              {"", kGenreUnselected}};
    for (const auto& [text, entry] : v2Cases) {
        const auto file =
            make("g.mp3", v2Tag(3, v2Text(3, "TIT2", "x") + v2Text(3, "TCON", text)) + audio_);
        TagFields fields;
        fields.v2.genre = 77;
        loadTagFields(file, fields);
        EXPECT_EQ(fields.v2.genre, entry) << text;
        // A name outside the list is shown as itself.
        EXPECT_EQ(fields.v2.genreName, text == "Synthwave" ? text : "") << text;
    }
    const auto v24 = make("g4.mp3", v2Tag(4, v2Text(4, "TCON", "17")) + audio_);
    TagFields fields;
    loadTagFields(v24, fields);
    EXPECT_EQ(fields.v2.genre, 18);
    for (const auto& [number, entry] : std::vector<std::pair<int, int>>{
             {0, 1}, {147, 148}, {148, kGenreUnselected}, {255, kGenreUnselected}}) {
        const auto file = make("g1.mp3", audio_ + v1Tag("t", "", "", "", "", 0, number));
        loadTagFields(file, fields);
        EXPECT_EQ(fields.v1.genre, entry) << number;
    }
    // A V1 year of "0" is shown as stored; TagLib reads it as no year.
    TagFields zero;
    loadTagFields(make("y.mp3", audio_ + v1Tag("t", "", "", "0", "", 0, 0)), zero);
    EXPECT_EQ(zero.v1.year, "0");
}

TEST_F(Id3Tags, SaveWritesBothTagsAndKeepsEverythingElse) {
    const std::string frames =
        v2Text(3, "TIT2", "Old") + v2Text(3, "TPE1", "One") + v2Text(3, "TPE1", "Two") +
        v2Text(3, "TCOM", "A") + v2Text(3, "TCOM", "B") +
        v2Frame(3, "PRIV", std::string("owner\0data", 10)) +
        v2Frame(3, "APIC", std::string("\0image/png\0\x03\0PNGDATA", 20)) +
        v2Frame(3, "TXXX", std::string("\0replaygain_track_gain\0-6.5 dB", 30));
    const auto file =
        make("s.mp3", v2Tag(3, frames, 64) + audio_ + v1Tag("x", "", "", "", "", 0, 255));
    const std::string before = independentView(file);
    ASSERT_TRUE(hasLine(before, "v2=2.3")) << before;

    TagFields fields;
    loadTagFields(file, fields);
    fields.v1 = {"V1 Title", "Ωmega Пётр", "", "c", "1999", "12", 18};
    fields.v2.title = "Ωmega";
    fields.v2.artist = "Solo";
    fields.v2.composer.clear();
    fields.v2.track = "3/10";
    fields.v2.year = "87";
    fields.v2.genre = 18;
    fields.v2.url = "http://example.org/a.mp3";
    fields.v2.comment = "hello";
    fields.v2.copyright = "(c) me, a long text that no longer fits the padding of the old tag";
    ASSERT_TRUE(test::saveTags(file, fields));

    const std::string after = independentView(file);
    EXPECT_TRUE(hasLine(after, "v2=2.3")) << after;
    EXPECT_TRUE(hasLine(after, "TIT2 enc=1 Ωmega")) << after;
    EXPECT_TRUE(hasLine(after, "TPE1 enc=0 Solo")) << after;
    EXPECT_EQ(viewLine(after, "raw=").find("TCOM"), std::string::npos) << after;
    EXPECT_NE(viewLine(after, "raw=").find("TYER"), std::string::npos) << after;
    EXPECT_NE(readFile(file).find(v2Text(3, "TYER", "87")), std::string::npos);
    EXPECT_TRUE(hasLine(after, "TRCK enc=0 3/10")) << after;
    EXPECT_TRUE(hasLine(after, "TCON enc=0 Rock")) << after;
    EXPECT_TRUE(hasLine(after, "WOAF http://example.org/a.mp3")) << after;
    EXPECT_TRUE(hasLine(after, "COMM enc=0 XXX||hello")) << after;
    EXPECT_TRUE(hasLine(after, "v1=V1 Title|Omega Petr||1999|c|12|17")) << after;
    EXPECT_EQ(viewLine(after, "body="), viewLine(before, "body="));
    EXPECT_EQ(test::framesExcept(
                  after, {"TIT2", "TPE1", "TCOM", "TRCK", "TDRC", "TCON", "WOAF", "COMM", "TCOP"}),
              test::framesExcept(before, {"TIT2", "TPE1", "TCOM"}));
    // The stored genre text is the old "(17)" form.
    EXPECT_NE(readFile(file).find("(17)"), std::string::npos);
}

TEST_F(Id3Tags, SaveGenreEntriesAndEmptyTags) {
    const auto file = make(
        "g.mp3", v2Tag(3, v2Text(3, "TIT2", "t") + v2Text(3, "TCON", "Synthwave"), 100) + audio_);
    TagFields fields;
    loadTagFields(file, fields);
    ASSERT_EQ(fields.v2.genre, kGenreUnselected);
    fields.v2.title = "changed";
    ASSERT_TRUE(test::saveTags(file, fields));
    std::string view = independentView(file);
    EXPECT_TRUE(hasLine(view, "TCON enc=0 Synthwave")) << view;
    // The V1 pass always leaves a V1 tag, empty here, with no genre.
    EXPECT_TRUE(hasLine(view, "v1=|||||0|255")) << view;

    fields.v2.genre = kGenreEntryEmpty;
    ASSERT_TRUE(test::saveTags(file, fields));
    view = independentView(file);
    EXPECT_EQ(viewLine(view, "raw="), "raw=TIT2") << view;

    const std::string body = viewLine(view, "body=");
    fields.v2 = {};
    ASSERT_TRUE(test::saveTags(file, fields));
    view = independentView(file);
    EXPECT_TRUE(hasLine(view, "v2=none")) << view;
    EXPECT_EQ(viewLine(view, "body="), body);
}

TEST_F(Id3Tags, KeepsVersion24WhenVersion23WouldDropFrames) {
    const auto file =
        make("r.mp3", v2Tag(4, v2Text(4, "TIT2", "t") +
                                   v2Frame(4, "RVA2", std::string("track\0\x01\x02\x00\x00", 10)) +
                                   v2Text(4, "TSOP", "Sort")) +
                          audio_);
    ASSERT_TRUE(test::writeNames(file, TagVersion::V2,
                                 std::vector<NameValue>{{NameField::SongTitle, "new"}}));
    const std::string view = independentView(file);
    EXPECT_TRUE(hasLine(view, "v2=2.4")) << view;
    EXPECT_NE(viewLine(view, "raw=").find("RVA2"), std::string::npos) << view;
    EXPECT_TRUE(hasLine(view, "TSOP enc=0 Sort")) << view;
}

TEST_F(Id3Tags, NameFieldsTouchOnlyTheTargetVersion) {
    const std::string v1 = v1Tag("v1 title", "v1 artist", "", "", "", 0, 255);
    const auto file =
        make("n.mp3",
             v2Tag(3, v2Text(3, "TIT2", "v2 title") + v2Text(3, "TRCK", "1"), 200) + audio_ + v1);
    const std::string original = readFile(file);

    ASSERT_TRUE(test::writeNames(file, TagVersion::V2,
                                 std::vector<NameValue>{{NameField::TrackNumber, "07"},
                                                        {NameField::Artist, "First"},
                                                        {NameField::Artist, "Second"},
                                                        {NameField::SongTitle, ""}}));
    std::string now = readFile(file);
    EXPECT_EQ(now.size(), original.size());  // fitted in the old tag's space
    EXPECT_EQ(now.substr(now.size() - 128), v1);
    std::string view = independentView(file);
    EXPECT_TRUE(hasLine(view, "TRCK enc=0 07")) << view;
    EXPECT_TRUE(hasLine(view, "TPE1 enc=0 Second")) << view;
    EXPECT_TRUE(hasLine(view, "TIT2 enc=0 v2 title")) << view;

    const std::string v2Part = now.substr(0, 210);
    ASSERT_TRUE(test::writeNames(
        file, TagVersion::V1,
        std::vector<NameValue>{{NameField::Album, "Álbum"}, {NameField::TrackNumber, "07"}}));
    now = readFile(file);
    EXPECT_EQ(now.substr(0, 210), v2Part);
    EXPECT_TRUE(hasLine(independentView(file), "v1=v1 title|v1 artist|Álbum|||7|255"));
}

TEST_F(Id3Tags, ClearRemovesV2AndBlanksV1InPlace) {
    const auto both = make(
        "b.mp3", v2Tag(3, v2Text(3, "TIT2", "t")) + audio_ + v1Tag("t", "a", "", "", "", 1, 3));
    ASSERT_TRUE(test::clearTags(both));
    std::string view = independentView(both);
    EXPECT_TRUE(hasLine(view, "v2=none")) << view;
    EXPECT_TRUE(hasLine(view, "v1=|||||0|255")) << view;
    EXPECT_EQ(readFile(both).size(), audio_.size() + 128);

    const auto v2Only = make("v2.mp3", v2Tag(4, v2Text(4, "TIT2", "t")) + audio_);
    ASSERT_TRUE(test::clearTags(v2Only));
    EXPECT_EQ(readFile(v2Only), audio_);  // no V1 tag appears

    const auto none = make("none.mp3", audio_);
    const auto stamp = std::filesystem::last_write_time(none);
    EXPECT_TRUE(test::clearTags(none));
    EXPECT_EQ(std::filesystem::last_write_time(none), stamp);
}

// The frame lines of a view in file order, less those of one frame id.
std::vector<std::string> framesInOrderExcept(const std::string& view, std::string_view id) {
    std::vector<std::string> frames;
    for (const std::string& line : test::lines(view)) {
        if (line.size() > 5 && line[4] == ' ' && line.compare(0, 4, id) != 0) {
            frames.push_back(line);
        }
    }
    return frames;
}

TEST_F(Id3Tags, UntouchedFramesKeepTheirPlaceInEveryTagLayout) {
    const std::string title = v2Text(3, "TIT2", "Title \xFF\xE0 here");
    const std::string artist = v2Text(3, "TPE1", "Artist");
    const std::string comment = v2Frame(3, "COMM", std::string("\0engdesc\0text", 13));
    // v2.4 sizes some writers store as plain integers; 200 has the high bit set in a byte.
    const std::string plainSized = "TXXX" + test::bigEndian(200) + std::string(2, '\0') +
                                   std::string(1, '\0') + "k" + std::string(1, '\0') +
                                   std::string(197, 'v');
    // Unsynchronisation puts a 0x00 behind every 0xFF that a sync or a 0x00 follows.
    std::string unsynced;
    const std::string plain = test::bigEndian(6) + std::string(6, '\0') + title + artist;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        unsynced += plain[i];
        const auto next = i + 1 < plain.size() ? static_cast<unsigned char>(plain[i + 1]) : 0;
        if (static_cast<unsigned char>(plain[i]) == 0xFF && (next >= 0xE0 || next == 0)) {
            unsynced += '\0';
        }
    }
    struct Case {
        const char* name;
        std::string tag;
        // What the tag holds, where mutagen's own reading of the old tag is not to be trusted.
        std::vector<std::string> frames = {};
    };
    const std::vector<Case> cases = {
        // Unsynchronised as a whole, with an extended header.
        {"v2.3 unsynchronised, extended header",
         std::string("ID3\x03\x00\xC0", 6) + test::syncsafe(unsynced.size()) + unsynced,
         {"TIT2 enc=0 Title \u00FF\u00E0 here", "TPE1 enc=0 Artist"}},
        {"v2.4 with a footer", std::string("ID3\x04\x00\x10", 6) +
                                   test::syncsafe(v2Text(4, "TPE1", "Artist").size()) +
                                   v2Text(4, "TPE1", "Artist") + std::string("3DI\x04\x00\x10", 6) +
                                   test::syncsafe(v2Text(4, "TPE1", "Artist").size())},
        {"v2.4 frame sized as a plain integer", v2Tag(4, plainSized + v2Text(4, "TPE1", "Artist"))},
        // TagLib stops reading at a frame of size 0: the new value must come before it.
        {"a frame TagLib cannot read", v2Tag(3, "TXXX" + std::string(6, '\0') + artist + comment)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = make("layout.mp3", c.tag + audio_);
        const std::string before = independentView(file);
        ASSERT_EQ(viewLine(before, "v2=").substr(0, 4), "v2=2") << before;
        const std::vector<std::string> frames =
            c.frames.empty() ? framesInOrderExcept(before, "TALB") : c.frames;
        ASSERT_TRUE(test::writeNames(file, TagVersion::V2,
                                     std::vector<NameValue>{{NameField::Album, "New album"}}));
        const std::string after = independentView(file);
        EXPECT_EQ(framesInOrderExcept(after, "TALB"), frames) << "before:\n"
                                                              << before << "after:\n"
                                                              << after;
        EXPECT_TRUE(hasLine(after, viewLine(before, "v2="))) << after;
        EXPECT_EQ(viewLine(after, "body="), viewLine(before, "body="));
        EXPECT_EQ(readId3Summary(file).album, "New album");
    }
}

TEST_F(Id3Tags, TagTagLibCannotFullyParseIsNeverRewritten) {
    // The second frame's size runs past the tag: TagLib reads only the first.
    const std::string broken =
        v2Text(3, "TIT2", "t") + "TPE1" + test::bigEndian(5000) + std::string(2, '\0') + "\0artist";
    const auto file =
        make("broken.mp3", v2Tag(3, broken, 16) + audio_ + v1Tag("t", "", "", "", "", 0, 255));
    const std::string original = readFile(file);
    TagFields fields;
    loadTagFields(file, fields);
    fields.v2.title = "new";
    fields.v1.title = "new";
    EXPECT_FALSE(test::saveTags(file, fields));
    EXPECT_FALSE(
        test::writeNames(file, TagVersion::V2, std::vector<NameValue>{{NameField::Album, "x"}}));
    EXPECT_EQ(readFile(file), original);
    // Leaving V2 as it is, the V1 tag can still be written.
    fields.v2.title = "t";
    EXPECT_TRUE(test::saveTags(file, fields));
    EXPECT_EQ(readFile(file).substr(0, original.size() - 128),
              original.substr(0, original.size() - 128));
}

// Old iTunes tags: every v2.2 frame comes through as its v2.3 counterpart, the picture's image
// format as a MIME type; a frame v2.3 has no name for stops the write and is named.
TEST_F(Id3Tags, Version22TagsAreRewrittenAsVersion23WithEveryFrame) {
    const auto frame = [](std::string_view id, std::string_view body) {
        return std::string(id) + test::bigEndian(body.size()).substr(1) + std::string(body);
    };
    const auto tag22 = [](const std::string& frames) {
        return "ID3" + std::string("\x02\0\0", 3) + test::syncsafe(frames.size()) + frames;
    };
    const std::string frames = frame("TT2", std::string("\0Old", 4)) +
                               frame("TYE", std::string("\0"
                                                        "2010",
                                                        5)) +
                               frame("TDA", std::string("\0"
                                                        "0304",
                                                        5)) +
                               frame("RVA", "\x03\x10\x01\x02\x03\x04") +
                               frame("TCP", std::string("\0"
                                                        "1",
                                                        2)) +
                               frame("PIC", std::string("\0PNG\x03\0", 6) + "\x89PNG data");
    const auto file = make("old.mp3", tag22(frames) + audio_);
    TagFields fields;
    (void)loadTagFields(file, fields);
    EXPECT_EQ(fields.v2.year, "2010-04-03");  // the day TDA holds, as the date it is part of

    fields.v2.title = "New";
    const TagPreview preview = previewTagFields(file, fields);
    ASSERT_EQ(preview.rows.size(), 2U);
    EXPECT_EQ(preview.rows[1].field, "Tag version");
    EXPECT_EQ(preview.rows[1].oldValue + ">" + preview.rows[1].newValue, "ID3v2.2>ID3v2.3");
    const std::string before = independentView(file);
    ASSERT_TRUE(test::saveTags(file, fields));
    const std::string after = independentView(file);
    EXPECT_EQ(viewLine(after, "raw="), "raw=TIT2,TYER,TDAT,RVAD,TCMP,APIC") << after;
    EXPECT_EQ(test::framesExcept(after, {"TIT2"}), test::framesExcept(before, {"TIT2"}));
    EXPECT_NE(after.find("image/png"), std::string::npos) << after;
    (void)loadTagFields(file, fields);
    EXPECT_EQ(fields.v2.year, "2010-04-03");

    const auto odd = make("odd.mp3", tag22(frame("TT2", std::string("\0Old", 4)) +
                                           frame("XYZ", std::string("\0?", 2))) +
                                         audio_);
    const std::string original = readFile(odd);
    fields.v2.title = "New";
    const TagWriteResult refused = saveTagFields(test::journal(), odd, fields);
    EXPECT_EQ(refused, TagWriteOutcome::NotReadWhole);
    EXPECT_EQ(refused.reason, "its ID3v2.2 frame XYZ has no ID3v2.3 name; writing would lose it");
    EXPECT_EQ(readFile(odd), original);
}

TEST_F(Id3Tags, HostileFilesNeverCrashAndFailedWritesChangeNothing) {
    const std::string header = v2Tag(3, v2Text(3, "TIT2", "title"));
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.mp3", ""},
        {"truncated.mp3", header.substr(0, 14)},
        {"text.mp3", "just some text, not audio at all\n"},
        {"garbage.mp3", "ID3\x03" + std::string(2, '\0') + test::syncsafe(300) +
                            std::string(300, '\xEE') + audio_},
        {"past-end.mp3", "ID3\x03" + std::string(2, '\0') + test::syncsafe(100000) +
                             v2Text(3, "TIT2", "t") + audio_},
        {"bad\xff\xfe name.mp3", header + audio_},
        {"tiny-tag.mp3", "ID3\x04" + std::string(2, '\0') + test::syncsafe(3) + "abc"},
    };
    for (const auto& [name, bytes] : files) {
        const auto file = make(name, bytes);
        (void)readCatalogueId3(file);
        (void)readId3Summary(file);
        TagFields fields;
        loadTagFields(file, fields);
        fields.v2.title = "new";
        const bool saved = test::saveTags(file, fields);
        if (!saved) {
            EXPECT_EQ(readFile(file), bytes) << name;
        } else {
            EXPECT_EQ(readId3Summary(file).title, "new") << name;
        }
    }
    EXPECT_EQ(readCatalogueId3(make("bad\xff\xfe name.mp3", header + audio_)), "title;");
    EXPECT_FALSE(test::clearTags(make("past-end2.mp3", files[4].second)));
    EXPECT_EQ(readFile(dir_ / "past-end2.mp3"), files[4].second);

    EXPECT_FALSE(test::saveTags(dir_ / "missing.mp3", TagFields()));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing.mp3"));
    EXPECT_FALSE(test::clearTags(dir_.path()));
    ASSERT_EQ(::mkfifo((dir_ / "fifo.mp3").c_str(), 0600), 0);
    EXPECT_EQ(readCatalogueId3(dir_ / "fifo.mp3"), "");
    EXPECT_FALSE(test::writeNames(dir_ / "fifo.mp3", TagVersion::V1, {}));
}

TEST_F(Id3Tags, AFullDiskPartWayLeavesTheOldFile) {
    const auto file = make("big.mp3", v2Tag(3, v2Text(3, "TIT2", "t")) + mpegAudio(200));
    const std::string original = readFile(file);
    // Writes past this size fail as on a full disk.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 20000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool wrote = test::writeNames(
        file, TagVersion::V2, std::vector<NameValue>{{NameField::Album, std::string(3000, 'a')}});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(readFile(file), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
}

TEST_F(Id3Tags, GrowingTagThroughASymlinkKeepsLinkAndPermissions) {
    const auto file = make("real.mp3", v2Tag(3, v2Text(3, "TIT2", "t")) + audio_);
    std::filesystem::permissions(file, std::filesystem::perms(0640));
    const auto link = dir_ / "link.mp3";
    std::filesystem::create_symlink(file, link);
    ASSERT_TRUE(test::writeNames(
        link, TagVersion::V2, std::vector<NameValue>{{NameField::Album, std::string(5000, 'a')}}));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readCatalogueId3(file), "t;" + std::string(5000, 'a') + ";");
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
    EXPECT_NE(readFile(file).find(audio_), std::string::npos);
}

TEST_F(Id3Tags, ReadOnlyFilesAndFoldersAreNotWritten) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop root";
    }
    const auto file = make("ro.mp3", v2Tag(3, v2Text(3, "TIT2", "t")) + audio_);
    std::filesystem::permissions(file, std::filesystem::perms(0444));
    const std::string original = readFile(file);
    EXPECT_FALSE(test::clearTags(file));
    EXPECT_FALSE(
        test::writeNames(file, TagVersion::V1, std::vector<NameValue>{{NameField::Album, "a"}}));
    EXPECT_EQ(readFile(file), original);
    EXPECT_EQ(readCatalogueId3(file), "t;");

    const auto folder = dir_ / "ro";
    const auto inside = make("ro/w.mp3", v2Tag(3, v2Text(3, "TIT2", "t")) + audio_);
    std::filesystem::permissions(folder, std::filesystem::perms(0555));
    EXPECT_FALSE(
        test::writeNames(inside, TagVersion::V2,
                         std::vector<NameValue>{{NameField::Album, std::string(5000, 'a')}}));
    EXPECT_EQ(readCatalogueId3(inside), "t;");
}

}  // namespace
}  // namespace tunex
