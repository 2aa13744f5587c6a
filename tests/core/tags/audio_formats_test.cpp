// Tags of every format besides mp3: the made files themselves first, then what the tag operations
// leave in them, as mutagen reads it.

#include <gtest/gtest.h>
#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "core/journal/write_journal.h"
#include "core/tags/audio_format.h"
#include "core/tags/genre_list.h"
#include "core/tags/id3_tags.h"
#include "core/tags/refusal_reasons.h"
#include "core/tags/tag_test_support.h"
#include "support/audio_files.h"
#include "support/temp_dir.h"
#include "support/test_journal.h"

namespace tunex {
namespace {

// The editor's fields, in the order of FormatCase::keys.
enum Field {
    Title,
    Artist,
    Album,
    Comment,
    Year,
    Track,
    Genre,
    Composer,
    Publisher,
    Url,
    Copyright,
    AlbumArtist,
    Disc
};
constexpr int kFieldCount = Disc + 1;

struct FormatCase {
    std::string_view format;
    std::string_view extension;
    // Where each field lives in the format's own tag; empty where the format has no place for it.
    std::array<std::string_view, kFieldCount> keys;
    // How a written track "7" and genre Jazz are stored.
    std::string_view trackStored;
    std::string_view genreStored;
    std::string_view gainKey;
    std::string_view otherKey;  // a field the editor does not know
    std::string (*taglibTitle)(const char* path, bool withProperties);
};

// The title TagLib reads, or "invalid" / "no properties" when it refuses the file.
template <class File>
std::string taglibTitle(const char* path, bool withProperties) {
    File file(path, withProperties);
    if (!file.isValid() || file.tag() == nullptr) {
        return "invalid";
    }
    if (withProperties &&
        (file.audioProperties() == nullptr || file.audioProperties()->sampleRate() == 0 ||
         file.audioProperties()->lengthInMilliseconds() == 0)) {
        return "no properties";
    }
    return file.tag()->title().to8Bit(true);
}

constexpr std::array<std::string_view, kFieldCount> kVorbisKeys = {
    "TITLE",    "ARTIST",    "ALBUM", "COMMENT",   "DATE",        "TRACKNUMBER", "GENRE",
    "COMPOSER", "PUBLISHER", "",      "COPYRIGHT", "ALBUMARTIST", "DISCNUMBER"};
constexpr std::array<std::string_view, kFieldCount> kMp4Keys = {
    "\u00A9nam", "\u00A9ART", "\u00A9alb", "\u00A9cmt", "\u00A9day", "trkn", "\u00A9gen",
    "\u00A9wrt", "",          "",          "cprt",      "aART",      "disk"};
constexpr std::array<std::string_view, kFieldCount> kAsfKeys = {
    "Title",          "Author",         "WM/AlbumTitle", "Description",  "WM/Year",
    "WM/TrackNumber", "WM/Genre",       "WM/Composer",   "WM/Publisher", "WM/AudioFileURL",
    "Copyright",      "WM/AlbumArtist", "WM/PartOfSet"};
constexpr std::array<std::string_view, kFieldCount> kApeKeys = {
    "Title",    "Artist",    "Album", "Comment",   "Year",         "Track", "Genre",
    "Composer", "Publisher", "File",  "Copyright", "Album Artist", "Disc"};
// AIFF and WAV carry an ID3v2.3 tag, written as the mp3 one is.
constexpr std::array<std::string_view, kFieldCount> kId3Keys = {
    "TIT2", "TPE1", "TALB", "COMM::XXX", "TYER", "TRCK", "TCON",
    "TCOM", "TPUB", "WOAF", "TCOP",      "TPE2", "TPOS"};

constexpr std::string_view kMp4Gain = "----:com.apple.iTunes:replaygain_track_gain";

const FormatCase kFormats[] = {
    {"flac", ".flac", kVorbisKeys, "7", "Jazz", "REPLAYGAIN_TRACK_GAIN", "MOOD",
     taglibTitle<TagLib::FLAC::File>},
    {"ogg", ".ogg", kVorbisKeys, "7", "Jazz", "REPLAYGAIN_TRACK_GAIN", "MOOD",
     taglibTitle<TagLib::Ogg::Vorbis::File>},
    {"oga", ".oga", kVorbisKeys, "7", "Jazz", "REPLAYGAIN_TRACK_GAIN", "MOOD",
     taglibTitle<TagLib::Ogg::FLAC::File>},
    {"opus", ".opus", kVorbisKeys, "7", "Jazz", "R128_TRACK_GAIN", "MOOD",
     taglibTitle<TagLib::Ogg::Opus::File>},
    {"m4a", ".m4a", kMp4Keys, "7/0", "Jazz", kMp4Gain, "----:com.apple.iTunes:MOOD",
     taglibTitle<TagLib::MP4::File>},
    {"m4a-tail", ".m4a", kMp4Keys, "7/0", "Jazz", kMp4Gain, "----:com.apple.iTunes:MOOD",
     taglibTitle<TagLib::MP4::File>},
    {"wma", ".wma", kAsfKeys, "7", "Jazz", "REPLAYGAIN_TRACK_GAIN", "WM/Mood",
     taglibTitle<TagLib::ASF::File>},
    {"ape", ".ape", kApeKeys, "7", "Jazz", "REPLAYGAIN_TRACK_GAIN", "Mood",
     taglibTitle<TagLib::APE::File>},
    {"wv", ".wv", kApeKeys, "7", "Jazz", "REPLAYGAIN_TRACK_GAIN", "Mood",
     taglibTitle<TagLib::WavPack::File>},
    {"aiff", ".aiff", kId3Keys, "7", "(8)", "TXXX:REPLAYGAIN_TRACK_GAIN", "TXXX:MOOD",
     taglibTitle<TagLib::RIFF::AIFF::File>},
    {"wav", ".wav", kId3Keys, "7", "(8)", "TXXX:REPLAYGAIN_TRACK_GAIN", "TXXX:MOOD",
     taglibTitle<TagLib::RIFF::WAV::File>},
};

constexpr int kJazz = 8;

void PrintTo(const FormatCase& format, std::ostream* out) {
    *out << format.format;
}

class FormatTags : public ::testing::TestWithParam<FormatCase> {
protected:
    [[nodiscard]] std::string key(Field field) const { return std::string(GetParam().keys[field]); }

    // A made file named for its format, with a picture, ReplayGain and a field the editor does
    // not know: `full` sets every field the format has a place for, else title and artist.
    std::filesystem::path make(bool full, const std::vector<std::string>& artists = {"Artist"}) {
        test::AudioTags tags{{}, true, true};
        const std::array<std::vector<std::string>, kFieldCount> values = {{
            {"Song"},
            artists,
            {"Album"},
            {"Words"},
            {"2001"},
            {"7/12"},
            {"Jazz"},
            {"Composer"},
            {"Label"},
            {"http://example.org/song"},
            {"2001 Label"},
            {"Band"},
            {"1/2"},
        }};
        for (int field = 0; field < kFieldCount; ++field) {
            if (!key(Field(field)).empty() && (full || field == Title || field == Artist)) {
                tags.fields.emplace_back(key(Field(field)), values[field]);
            }
        }
        tags.fields.push_back({std::string(GetParam().otherKey), {"calm"}});
        const auto path = dir_ / ("song" + std::string(GetParam().extension));
        EXPECT_TRUE(test::makeAudioFile(GetParam().format, path, tags));
        return path;
    }

    // The view `before` would give with each field of `fields` stored, an empty one removed.
    [[nodiscard]] test::AudioViewMap withFields(test::AudioViewMap view,
                                                const Id3v2Fields& fields) const {
        const std::array<std::string, kFieldCount> texts = {
            fields.title,     fields.artist,      fields.album,    fields.comment,   fields.year,
            fields.track,     std::string(),      fields.composer, fields.publisher, fields.url,
            fields.copyright, fields.albumArtist, fields.disc};
        for (int field = 0; field < kFieldCount; ++field) {
            if (key(Field(field)).empty()) {
                continue;
            }
            std::string text = texts[field];
            if (field == Track && !text.empty()) {
                text = std::string(GetParam().trackStored);
            } else if (field == Disc && key(Disc) == "disk" && !text.empty()) {
                text += "/0";  // a pair, as the track
            } else if (field == Genre && fields.genre == genreEntryForNumber(kJazz)) {
                text = std::string(GetParam().genreStored);
            }
            if (text.empty()) {
                view.erase(key(Field(field)));
            } else {
                view[key(Field(field))] = {text};
            }
        }
        return view;
    }

    test::TempDir dir_;
    std::unique_ptr<WriteJournal> journal_ = WriteJournal::open(dir_ / "journal");
};

TEST_P(FormatTags, MadeFilesOpenInTagLibAndMutagen) {
    const FormatCase& made = GetParam();
    const auto bare = dir_ / "bare";
    const auto tagged = dir_ / "tagged";
    ASSERT_TRUE(test::makeAudioFile(made.format, bare));
    ASSERT_TRUE(
        test::makeAudioFile(made.format, tagged, {{{key(Title), {"Caf\u00E9 Song"}}}, true, true}));

    for (const bool withProperties : {false, true}) {
        SCOPED_TRACE(withProperties ? "with audio properties" : "tags only");
        EXPECT_EQ(made.taglibTitle(bare.c_str(), withProperties), "");
        EXPECT_EQ(made.taglibTitle(tagged.c_str(), withProperties), "Caf\u00E9 Song");
    }

    const test::AudioViewMap before = test::audioViewMap(bare);
    const test::AudioViewMap after = test::audioViewMap(tagged);
    EXPECT_EQ(before.at("pictures"), std::vector<std::string>{"0"});
    EXPECT_EQ(after.at("pictures"), std::vector<std::string>{"1"});
    EXPECT_EQ(after.count("picture"), 1U);
    EXPECT_EQ(after.at(key(Title)), std::vector<std::string>{"Caf\u00E9 Song"});
    EXPECT_EQ(after.count(std::string(made.gainKey)), 1U);
    // Tagging by mutagen moves no audio byte: the write tests take it as their reference.
    EXPECT_EQ(before.at("audio"), after.at("audio"));
    if (after.count("ogg") != 0) {
        EXPECT_EQ(after.at("ogg"), std::vector<std::string>{"ok"});
    }
    if (after.count("stco") != 0) {
        EXPECT_EQ(after.at("stco"), std::vector<std::string>{"0,1024,2048,3072"});
    }
}

TEST_P(FormatTags, ReadsTheOneTagAsTheSingleGroup) {
    const auto file = make(true);
    EXPECT_EQ(readCatalogueId3(file), "Song;Artist;Album;");
    const Id3Summary summary = readId3Summary(file);
    EXPECT_EQ(summary.title, "Song");
    EXPECT_EQ(summary.artist, "Artist");
    EXPECT_EQ(summary.album, "Album");

    TagFields fields;
    const LoadedGroups groups = loadTagFields(file, fields);
    EXPECT_TRUE(groups.single);
    EXPECT_TRUE(groups.v2);
    EXPECT_FALSE(groups.v1);
    const auto has = [&](Field field) { return !key(field).empty(); };
    const Id3v2Fields& v2 = fields.v2;
    EXPECT_EQ(v2.title, "Song");
    EXPECT_EQ(v2.artist, "Artist");
    EXPECT_EQ(v2.album, "Album");
    EXPECT_EQ(v2.comment, "Words");
    EXPECT_EQ(v2.year, "2001");
    EXPECT_EQ(v2.track, "7/12");
    EXPECT_EQ(v2.genre, genreEntryForNumber(kJazz));
    EXPECT_EQ(v2.composer, "Composer");
    EXPECT_EQ(v2.publisher, has(Publisher) ? "Label" : "");
    EXPECT_EQ(v2.url, has(Url) ? "http://example.org/song" : "");
    EXPECT_EQ(v2.copyright, "2001 Label");
    EXPECT_EQ(v2.albumArtist, "Band");
    EXPECT_EQ(v2.disc, "1/2");
    EXPECT_EQ(fields.v1.title, "");

    // A file with no tag at all reads as an empty group, not as a failure.
    const auto bare = dir_ / ("bare" + std::string(GetParam().extension));
    ASSERT_TRUE(test::makeAudioFile(GetParam().format, bare));
    EXPECT_EQ(readCatalogueId3(bare), "");
    TagFields none;
    EXPECT_TRUE(loadTagFields(bare, none).single);
    EXPECT_EQ(none.v2.title, "");
}

TEST_P(FormatTags, SavingChangesOnlyTheEditedFieldsAndUndoGivesBackEveryByte) {
    const auto file = make(false);
    const std::string original = test::readFile(file);
    const test::AudioViewMap before = test::audioViewMap(file);

    TagFields fields;
    (void)loadTagFields(file, fields);
    fields.v2 = {"Nouveau titre \u00E9t\u00E9",
                 "Artist Two",
                 "Album Two",
                 "Comment two",
                 "1999",
                 "7",
                 genreEntryForNumber(kJazz),
                 "Composer Two",
                 "Label Two",
                 "http://example.org/two",
                 "1999 Label Two",
                 "Band Two",
                 "2",
                 {}};
    ASSERT_EQ(saveTagFields(*journal_, file, fields), TagWriteOutcome::Written);
    // Picture, ReplayGain, the unknown field, the audio (and MP4's chunk offsets) as they were.
    EXPECT_EQ(test::audioViewMap(file), withFields(before, fields.v2));
    const std::string afterFirst = test::readFile(file);

    // Far past any padding: the audio moves in the file (MP4: its chunk offsets must follow).
    fields.v2.comment = std::string(4000, 'c');
    fields.v2.artist.clear();
    ASSERT_EQ(saveTagFields(*journal_, file, fields), TagWriteOutcome::Written);
    EXPECT_EQ(test::audioViewMap(file), withFields(before, fields.v2));
    EXPECT_GT(test::readFile(file).size(), original.size() + 3000);

    EXPECT_EQ(journal_->undoLast().result, UndoReport::Result::Undone);
    EXPECT_TRUE(test::readFile(file) == afterFirst);
    EXPECT_EQ(journal_->undoLast().result, UndoReport::Result::Undone);
    EXPECT_TRUE(test::readFile(file) == original);
}

// Vorbis comments, APEv2 and ASF may hold a field several times: an edit or a clear takes every
// value, or other players would go on showing the old ones. (In ID3v2.3 they are one text.) Typed
// as "One; Two", they are written as two values, but in ASF, whose order TagLib does not keep.
TEST_P(FormatTags, AFieldOfSeveralValuesIsReplacedWhole) {
    const auto file = make(false, {"Artist", "Second"});
    TagFields fields;
    (void)loadTagFields(file, fields);
    fields.v2.artist = "One; Two";
    fields.v2.albumArtist = "One; Two";
    ASSERT_EQ(saveTagFields(*journal_, file, fields), TagWriteOutcome::Written);
    const std::vector<std::string> stored = key(Artist) == "Author"
                                                ? std::vector<std::string>{"One; Two"}
                                                : std::vector<std::string>{"One", "Two"};
    EXPECT_EQ(test::audioViewMap(file)[key(Artist)], stored);
    EXPECT_EQ(test::audioViewMap(file)[key(AlbumArtist)], stored);
    ASSERT_EQ(clearAllTags(*journal_, file), TagWriteOutcome::Written);
    EXPECT_EQ(test::audioViewMap(file).count(key(Artist)), 0U);
}

// Monkey's Audio 3.99 and some taggers put an ID3v2 tag before the stream: read past, kept as is.
TEST_P(FormatTags, ALeadingId3v2TagIsSkippedWhereTheFormatMayCarryOne) {
    const std::string_view format = GetParam().format;
    // TagLib reads no WavPack stream behind one.
    if (format != "ape" && format != "flac") {
        GTEST_SKIP() << "no leading ID3v2 tag in " << format;
    }
    const auto file = make(false);
    const std::string lead = test::v2Tag(3, test::v2Text(3, "TIT2", "Lead"));
    test::writeFile(file, lead + test::readFile(file));
    ASSERT_EQ(GetParam().taglibTitle(file.c_str(), true), "Song");
    TagFields fields;
    ASSERT_TRUE(loadTagFields(file, fields).v2);
    EXPECT_EQ(fields.v2.title, "Song");
    fields.v2.title = "New";
    ASSERT_EQ(saveTagFields(*journal_, file, fields), TagWriteOutcome::Written);
    // TagLib writes a FLAC file's leading tag again as version 4, with its frames.
    const std::string written = test::readFile(file);
    EXPECT_TRUE(written.starts_with("ID3") && written.find("Lead") < lead.size() + 8);
    EXPECT_EQ(GetParam().taglibTitle(file.c_str(), true), "New");
}

// A file that never had a tag: the writer makes the whole tag (MP4: udta, meta and ilst in a moov
// that may stand before the audio).
TEST_P(FormatTags, GivesABareFileItsFirstTag) {
    const auto file = dir_ / ("bare" + std::string(GetParam().extension));
    ASSERT_TRUE(test::makeAudioFile(GetParam().format, file));
    const test::AudioViewMap before = test::audioViewMap(file);
    // With nothing to clear, the file is not touched.
    const std::string bare = test::readFile(file);
    ASSERT_EQ(clearAllTags(*journal_, file), TagWriteOutcome::Written);
    EXPECT_TRUE(test::readFile(file) == bare);
    TagFields fields;
    (void)loadTagFields(file, fields);
    fields.v2.title = "First";
    fields.v2.track = "7";
    ASSERT_EQ(saveTagFields(*journal_, file, fields), TagWriteOutcome::Written);
    test::AudioViewMap wanted = withFields(before, fields.v2);
    if (key(Title) == "TIT2") {
        wanted["id3"] = {"2.3"};  // as mp3 files get it
    }
    EXPECT_EQ(test::audioViewMap(file), wanted);
}

TEST_P(FormatTags, ClearingKeepsPicturesReplayGainAndOtherFields) {
    const auto file = make(true);
    const test::AudioViewMap before = test::audioViewMap(file);
    ASSERT_EQ(clearAllTags(*journal_, file), TagWriteOutcome::Written);
    Id3v2Fields empty;
    empty.genre = kGenreEntryEmpty;
    EXPECT_EQ(test::audioViewMap(file), withFields(before, empty));
    TagFields fields;
    (void)loadTagFields(file, fields);
    EXPECT_EQ(fields.v2.title, "");
    EXPECT_EQ(fields.v2.genre, kGenreUnselected);
}

TEST_P(FormatTags, NamePartsGoIntoTheTag) {
    const auto file = make(false);
    const test::AudioViewMap before = test::audioViewMap(file);
    const std::vector<NameValue> values = {{NameField::Artist, "Name Artist"},
                                           {NameField::SongTitle, "Name Title"},
                                           {NameField::TrackNumber, "7"}};
    ASSERT_EQ(writeNameFields(*journal_, file, TagVersion::V2, values), TagWriteOutcome::Written);
    Id3v2Fields expected;
    expected.title = "Name Title";
    expected.artist = "Name Artist";
    expected.track = "7";
    test::AudioViewMap wanted = withFields(before, expected);
    // Only the three named fields are written; the rest of `expected` is not a removal here.
    for (const Field untouched :
         {Album, Comment, Year, Genre, Composer, Publisher, Url, Copyright, AlbumArtist, Disc}) {
        if (!key(untouched).empty() && before.count(key(untouched)) != 0) {
            wanted[key(untouched)] = before.at(key(untouched));
        }
    }
    EXPECT_EQ(test::audioViewMap(file), wanted);
}

// A name of the format holding something else, or no audio: never written, whatever the
// operation.
TEST_P(FormatTags, OtherContentUnderTheNameIsLeftAlone) {
    const std::string extension(GetParam().extension);
    const std::string mp3 = test::v2Tag(3, test::v2Text(3, "TIT2", "Mp3 Title")) +
                            test::mpegAudio(8) + test::v1Tag("Mp3 Title", "", "", "", "", 1, 0);
    std::string junk;
    for (int i = 0; i < 3000; ++i) {
        junk += static_cast<char>((i * 31 + 7) % 256);
    }
    std::vector<std::pair<std::string, std::string>> cases = {{"mp3", mp3}, {"junk", junk}};
    if (GetParam().format == "wav") {
        // The headers of a WAV file and no audio: 30 bytes, a 2-byte fmt chunk, an empty data one.
        cases.emplace_back("headers only", std::string("RIFF\x16\0\0\0WAVEfmt \x02\0\0\0\x01\0"
                                                       "data\0\0\0\0",
                                                       30));
    }
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const auto file = dir_ / (name + extension);
        test::writeFile(file, bytes);
        EXPECT_EQ(readCatalogueId3(file), "");
        TagFields fields;
        // Headers without audio still show their (empty) group.
        EXPECT_EQ(loadTagFields(file, fields).v2, name == "headers only");
        fields.v2.title = "New";
        const TagWriteResult saved = saveTagFields(*journal_, file, fields);
        EXPECT_EQ(saved, TagWriteOutcome::WrongContent);
        EXPECT_EQ(saved.reason, name == "headers only" ? kNoAudioReason : "");
        EXPECT_EQ(clearAllTags(*journal_, file), TagWriteOutcome::WrongContent);
        const std::vector<NameValue> values = {{NameField::SongTitle, "New"}};
        EXPECT_EQ(writeNameFields(*journal_, file, TagVersion::V2, values),
                  TagWriteOutcome::WrongContent);
        EXPECT_TRUE(test::readFile(file) == bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FormatTags, ::testing::ValuesIn(kFormats),
                         [](const auto& info) {
                             std::string name(info.param.format);
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
}  // namespace tunex

namespace tunex {
namespace {

// A comment is written where it was while the padding has room, as metaflac and mutagen do, so
// the file keeps its size: TagLib alone would cut a FLAC padding to 4 KiB and drop an Ogg one,
// moving the audio. A comment past the padding moves it.
TEST(CommentPadding, IsKeptAndTheAudioStaysInPlace) {
    for (const std::string_view format : {"flac", "ogg", "opus", "m4a"}) {
        SCOPED_TRACE(format);
        test::TempDir dir;
        const auto file = dir / ("padded." + std::string(format));
        ASSERT_TRUE(test::makeAudioFile(format, file, {{{"TITLE", {"Old"}}}, true, false, 8192}));
        const std::string original = test::readFile(file);
        const std::vector<std::string> audio = test::audioViewMap(file)["audio"];
        for (const std::size_t comment : {std::size_t{0}, std::size_t{8100}, std::size_t{9000}}) {
            TagFields fields;
            (void)loadTagFields(file, fields);
            fields.v2.title = "A new and longer title";
            fields.v2.comment = std::string(comment, 'c');
            ASSERT_EQ(saveTagFields(test::journal(), file, fields), TagWriteOutcome::Written);
            const std::string now = test::readFile(file);
            EXPECT_EQ(now.size() == original.size(), comment < 8192) << comment;
            EXPECT_EQ(test::audioViewMap(file)["audio"], audio);
            TagFields after;
            (void)loadTagFields(file, after);
            EXPECT_EQ(after.v2.comment.size(), comment);
            EXPECT_EQ(test::audioViewMap(file)["pictures"], std::vector<std::string>{"1"});
            if (format == "ogg" || format == "opus") {
                EXPECT_EQ(test::audioViewMap(file)["ogg"], std::vector<std::string>{"ok"});
            }
        }
    }
}

TEST(AudioFormatNames, TheLastExtensionDecides) {
    const std::vector<std::pair<std::string_view, std::optional<AudioFormat>>> cases = {
        {"a.FLAC", AudioFormat::Flac},
        {"song.mp3.flac", AudioFormat::Flac},
        {"x.mp3.bak", AudioFormat::Mp3},
        {"x.Mp3", AudioFormat::Mp3},
        {"a.aifc", AudioFormat::Aiff},
        {"b.oga", AudioFormat::OggVorbis},
        {"v.wmv", AudioFormat::Asf},
        {"notes.txt", std::nullopt},
        {".flac", std::nullopt},
        {"flac", std::nullopt},
        {"x.", std::nullopt},
    };
    for (const auto& [name, format] : cases) {
        EXPECT_EQ(audioFormatOfName(name), format) << name;
    }
}

}  // namespace
}  // namespace tunex
