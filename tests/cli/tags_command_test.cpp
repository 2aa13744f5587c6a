#include "core/tags/tag_test_support.h"
#include "support/audio_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tunex {
namespace {

using test::framesExcept;
using test::independentView;
using test::runProgram;

const std::filesystem::path kCli = TUNEX_CLI_PATH;

TEST(CliTagsCommand, ShowSetAndClearWithoutABaseFolder) {
    test::TempDir dir;
    const auto song = dir / "song.mp3";
    test::writeFile(song, test::v2Tag(3, test::v2Text(3, "TIT2", "Yesterday") +
                                             test::v2Text(3, "TPE1", "The Beatles")) +
                              test::mpegAudio(4));
    const std::string file = song.string();

    const auto catalogue = runProgram(kCli, {"tags", "catalogue", file});
    EXPECT_EQ(catalogue.exitCode, 0);
    EXPECT_EQ(catalogue.out, "Yesterday;The Beatles;\n");

    const auto set = runProgram(
        kCli, {"tags", "set", file, "v2.album=Help!", "v2.genre=17", "v1.title=Yesterday"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    const auto shown = runProgram(kCli, {"tags", "show", file});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find("v1.title=Yesterday\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("v2.album=Help!\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("v2.genre=17\n"), std::string::npos) << shown.out;

    // The V1 editor cannot take 31 characters: refused, the file untouched.
    const std::string before = test::readFile(song);
    const auto refused =
        runProgram(kCli, {"tags", "set", file, "v1.title=" + std::string(31, 'x')});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(test::readFile(song), before);
    // Plain keys belong to the one tag of other formats; the refusal names the mp3 keys.
    const auto plain = runProgram(kCli, {"tags", "set", file, "title=Yesterday"});
    EXPECT_EQ(plain.exitCode, 2);
    EXPECT_NE(plain.err.find("\"title\" is a key of files other than mp3; " + file +
                             " takes v1.title, v1.artist, "),
              std::string::npos)
        << plain.err;
    EXPECT_EQ(test::readFile(song), before);

    const auto cleared = runProgram(kCli, {"tags", "clear", file});
    EXPECT_EQ(cleared.exitCode, 0);
    const auto summary = runProgram(kCli, {"tags", "summary", file});
    EXPECT_EQ(summary.out.find("Yesterday"), std::string::npos) << summary.out;

    const auto missing =
        runProgram(kCli, {"tags", "set", (dir / "gone.mp3").string(), "v2.title=x"});
    EXPECT_EQ(missing.exitCode, 3);
    const auto notThere = runProgram(kCli, {"tags", "show", (dir / "gone.mp3").string()});
    EXPECT_EQ(notThere.exitCode, 3);
    EXPECT_NE(notThere.err.find("gone.mp3 could not be read: No such file"), std::string::npos)
        << notThere.err;
}

// Every value of a field shows, joined by "; ": two strings of one v2.4 frame, a Vorbis comment
// given twice.
TEST(CliTagsCommand, AFieldOfTwoValuesShowsBoth) {
    test::TempDir dir;
    const auto mp3 = dir / "two.mp3";
    test::writeFile(mp3,
                    test::v2Tag(4, test::v2Frame(4, "TPE1", std::string("\0piman\0jzig", 11))) +
                        test::mpegAudio(4));
    const auto flac = dir / "two.flac";
    ASSERT_TRUE(test::makeAudioFile("flac", flac, {{{"ARTIST", {"piman", "jzig"}}}}));
    for (const auto& [file, key] : {std::pair{mp3, "v2.artist"}, std::pair{flac, "artist"}}) {
        const std::string shown = runProgram(kCli, {"tags", "show", file.string()}).out;
        EXPECT_NE(shown.find(std::string(key) + "=piman; jzig\n"), std::string::npos) << shown;
        EXPECT_EQ(runProgram(kCli, {"tags", "summary", file.string()}).out,
                  "Artist:\tpiman; jzig\n");
        EXPECT_EQ(runProgram(kCli, {"tags", "catalogue", file.string()}).out, "piman; jzig;\n");
    }
}

// Every key reaches its own field: set all at once with distinct values, `show` prints each back in
// order, and an independent reader finds each in the frame or V1 slot the key names.
TEST(CliTagsCommand, EveryKeySetsItsOwnFieldAndShowsInOrder) {
    test::TempDir dir;
    const auto song = dir / "song.mp3";
    test::writeFile(song, test::mpegAudio(4));
    const std::string file = song.string();
    const std::string shown =
        "v1.title=T1\n"
        "v1.artist=A1\n"
        "v1.album=L1\n"
        "v1.comment=C1\n"
        "v1.year=1999\n"
        "v1.track=255\n"
        "v1.genre=9\n"
        "v2.title=A V2 title runs past thirty characters\n"
        "v2.artist=A2\n"
        "v2.album=L2\n"
        "v2.comment=C2\n"
        "v2.year=2001\n"
        "v2.track=3\n"
        "v2.genre=17\n"
        "v2.composer=Co\n"
        "v2.publisher=Pu\n"
        "v2.url=http://u.example/\n"
        "v2.copyright=Cr\n"
        "v2.albumartist=AA\n"
        "v2.disc=1/2\n";
    std::vector<std::string> args = {"tags", "set", file};
    for (const std::string& line : test::lines(shown)) {
        args.push_back(line);
    }
    const auto set = runProgram(kCli, args);
    ASSERT_EQ(set.exitCode, 0) << set.err;

    const auto show = runProgram(kCli, {"tags", "show", file});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_EQ(show.out, shown);

    const std::string view = independentView(song);
    EXPECT_TRUE(test::hasLine(view, "v1=T1|A1|L1|1999|C1|255|9")) << view;
    const std::vector<std::string> frames = {"COMM XXX||C2",
                                             "TALB L2",
                                             "TCOM Co",
                                             "TCON Rock",
                                             "TCOP Cr",
                                             "TDRC 2001",
                                             "TIT2 A V2 title runs past thirty characters",
                                             "TPE1 A2",
                                             "TPE2 AA",
                                             "TPOS 1/2",
                                             "TPUB Pu",
                                             "TRCK 3",
                                             "WOAF http://u.example/"};
    EXPECT_EQ(framesExcept(view, {}), frames) << view;  // the reader names genre 17: Rock

    // One past each V1 typing limit or number, or text that is not UTF-8: refused, file untouched.
    const std::vector<std::pair<std::string, int>> limits = {{"v1.title", 30}, {"v1.artist", 30},
                                                             {"v1.album", 30}, {"v1.comment", 30},
                                                             {"v1.year", 4},   {"v1.track", 3}};
    std::vector<std::string> refusals = {"v1.track=256", "v2.title=\xff\xfe", "v2.disc=2147483648"};
    for (const auto& [key, limit] : limits) {
        refusals.push_back(key + "=" + std::string(limit + 1, '1'));
    }
    const std::string before = test::readFile(song);
    for (const std::string& assignment : refusals) {
        const auto refused = runProgram(kCli, {"tags", "set", file, "v2.album=x", assignment});
        EXPECT_EQ(refused.exitCode, 2) << assignment;
        EXPECT_NE(refused.err.find(assignment.substr(0, assignment.find('='))), std::string::npos);
    }
    EXPECT_EQ(test::readFile(song), before);
}

// Files of other formats have one tag, set and shown by plain keys. Each case starts from a file
// with a cover, ReplayGain and a field the editor does not know, which every write must keep, and
// checks through mutagen where each value lands in the format's own tag.
struct SingleTagCase {
    std::string_view format;  // audio_files.py's name
    std::string_view extension;
    std::string_view otherKey;  // a field the editor does not show
    // Set as KEY=VALUE lines; `show` prints them back in this order.
    std::string_view shown;
    std::vector<std::string> stored;  // mutagen's lines for them
    std::string_view lackedKey;       // a key of the table the format has no field for
    std::string_view lackedRefusal;
};

void PrintTo(const SingleTagCase& tagCase, std::ostream* out) {
    *out << tagCase.format;
}

constexpr std::string_view kVorbisShown =
    "title=T\nartist=A\nalbum=L\ncomment=C\nyear=2001\ntrack=3\ngenre=17\ncomposer=Co\n"
    "publisher=Pu\ncopyright=Cr\nalbumartist=AA\ndisc=1/2\n";
const std::vector<std::string> kVorbisStored = {
    "ALBUM=L",    "ARTIST=A",     "COMMENT=C", "COMPOSER=Co",   "COPYRIGHT=Cr",   "DATE=2001",
    "GENRE=Rock", "PUBLISHER=Pu", "TITLE=T",   "TRACKNUMBER=3", "ALBUMARTIST=AA", "DISCNUMBER=1/2"};

const SingleTagCase kSingleTagCases[] = {
    {"flac", ".flac", "MOOD", kVorbisShown, kVorbisStored, "url",
     "FLAC audio has no \"url\" field"},
    {"ogg", ".ogg", "MOOD", kVorbisShown, kVorbisStored, "url",
     "Ogg Vorbis audio has no \"url\" field"},
    {"m4a",
     ".m4a",
     "----:com.apple.iTunes:MOOD",
     "title=T\nartist=A\nalbum=L\ncomment=C\nyear=2001\ntrack=3\ngenre=17\ncomposer=Co\n"
     "copyright=Cr\nalbumartist=AA\ndisc=1/2\n",
     {"cprt=Cr", "trkn=3/0", "aART=AA", "disk=1/2", "\u00A9ART=A", "\u00A9alb=L", "\u00A9cmt=C",
      "\u00A9day=2001", "\u00A9gen=Rock", "\u00A9nam=T", "\u00A9wrt=Co"},
     "publisher",
     "MP4 audio has no \"publisher\" field"},
};

class CliSingleTag : public ::testing::TestWithParam<SingleTagCase> {};

TEST_P(CliSingleTag, ShowSetAndClearByPlainKeysKeepEverythingElse) {
    const SingleTagCase& param = GetParam();
    test::TempDir dir;
    const auto song = dir / ("song" + std::string(param.extension));
    const std::string file = song.string();
    ASSERT_TRUE(test::makeAudioFile(param.format, song,
                                    {{{std::string(param.otherKey), {"calm"}}}, true, true}));
    const std::vector<std::string> untouched = test::lines(test::audioView(song));

    std::vector<std::string> args = {"tags", "set", file};
    for (const std::string& line : test::lines(std::string(param.shown))) {
        args.push_back(line);
    }
    const auto set = runProgram(kCli, args);
    ASSERT_EQ(set.exitCode, 0) << set.err;
    std::vector<std::string> expected = untouched;
    expected.insert(expected.end(), param.stored.begin(), param.stored.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::lines(test::audioView(song)), expected);
    // The made file's one picture, a PNG cover, is named after the fields.
    EXPECT_EQ(runProgram(kCli, {"tags", "show", file}).out,
              std::string(param.shown) + "cover=PNG 4\u00D74, 98 bytes (1 picture in all)\n");
    EXPECT_EQ(runProgram(kCli, {"tags", "catalogue", file}).out, "T;A;L;\n");
    EXPECT_EQ(runProgram(kCli, {"tags", "summary", file}).out,
              "Title:\tT\nArtist:\tA\nAlbum:\tL\n");

    // Keys the file does not take are refused before anything is written.
    const std::string before = test::readFile(song);
    for (const std::string& key :
         std::vector<std::string>{"v1.title", "v2.title", std::string(param.lackedKey), "mood"}) {
        const auto refused = runProgram(kCli, {"tags", "set", file, "title=X", key + "=x"});
        EXPECT_EQ(refused.exitCode, 2) << key;
        EXPECT_NE(refused.err.find(file + " takes title, artist, album, comment, year, track, "
                                          "genre, composer, "),
                  std::string::npos)
            << refused.err;
    }
    EXPECT_NE(runProgram(kCli, {"tags", "set", file, std::string(param.lackedKey) + "=x"})
                  .err.find(param.lackedRefusal),
              std::string::npos);
    EXPECT_EQ(runProgram(kCli, {"tags", "set", file, "genre=148"}).exitCode, 2);
    EXPECT_EQ(runProgram(kCli, {"tags", "set", file, "track=2147483648"}).exitCode, 2);
    EXPECT_EQ(runProgram(kCli, {"tags", "set", file, "disc=2147483648"}).exitCode, 2);
    EXPECT_EQ(test::readFile(song), before);

    // Clearing takes the editor's fields only: the file is as it was made.
    const auto cleared = runProgram(kCli, {"tags", "clear", file});
    EXPECT_EQ(cleared.exitCode, 0) << cleared.err;
    EXPECT_EQ(test::lines(test::audioView(song)), untouched);
    EXPECT_EQ(runProgram(kCli, {"tags", "catalogue", file}).out, "\n");
}

INSTANTIATE_TEST_SUITE_P(Formats, CliSingleTag, ::testing::ValuesIn(kSingleTagCases));

// A file whose content is not the format its name says is refused and left byte for byte.
TEST(CliTagsCommand, WrongContentUnderAnotherFormatsNameIsLeftAlone) {
    test::TempDir dir;
    const auto fake = dir / "song.flac";
    const std::string mpeg = test::v2Tag(3, test::v2Text(3, "TIT2", "Title")) + test::mpegAudio(4);
    test::writeFile(fake, mpeg);
    const std::string file = fake.string();
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"tags", "set", file, "title=New"},
          std::vector<std::string>{"tags", "clear", file}}) {
        const auto refused = runProgram(kCli, words);
        EXPECT_EQ(refused.exitCode, 3) << words[1];
        EXPECT_EQ(refused.err, "Tunex - File Error: The file " + file +
                                   " does not hold FLAC audio, so no tag was written into it.\n");
    }
    EXPECT_EQ(test::readFile(fake), mpeg);
    const auto shown = runProgram(kCli, {"tags", "show", file});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.out, "");

    // A comment that runs past its block: TagLib reads none from there on, so a clear that finds
    // nothing or a set that drops the rest must not claim success.
    const auto flac = dir / "cut.flac";
    ASSERT_TRUE(test::makeAudioFile("flac", flac, {{{"ARTIST", {"A"}}, {"MOOD", {"calm"}}}}));
    std::string bytes = test::readFile(flac);
    bytes.replace(bytes.find("ARTIST=") - 4, 4, "\xff\xff\xff\x7f");
    test::writeFile(flac, bytes);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"tags", "clear", flac.string()},
          std::vector<std::string>{"tags", "set", flac.string(), "title=New"}}) {
        const auto refused = runProgram(kCli, words);
        EXPECT_EQ(refused.exitCode, 3) << words[1] << ": " << refused.err;
        EXPECT_NE(refused.err.find("its tag cannot be read whole"), std::string::npos)
            << refused.err;
    }
    EXPECT_EQ(test::readFile(flac), bytes);
}

}  // namespace
}  // namespace tunex
