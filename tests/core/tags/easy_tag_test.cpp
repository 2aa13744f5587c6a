#include "core/tags/easy_tag.h"

#include <gtest/gtest.h>

#include "core/tags/tag_test_support.h"

namespace tunex {
namespace {

using test::hasLine;
using test::independentView;
using test::mpegAudio;
using test::readFile;
using test::v1Tag;
using test::v2Tag;
using test::v2Text;
using test::viewLine;
using test::writeFile;

constexpr NameField A = NameField::Artist;
constexpr NameField L = NameField::Album;
constexpr NameField T = NameField::SongTitle;
constexpr NameField N = NameField::TrackNumber;

struct SplitCase {
    std::string label;
    std::array<std::optional<NameField>, 3> slots;  // empty: slot disabled
    std::string d1;
    std::string d2;
    std::string base;
    std::optional<std::vector<std::string>> values;  // untrimmed; empty: the name does not fit
};

NameFormat formatOf(const SplitCase& c) {
    NameFormat format;
    for (size_t i = 0; i < 3; ++i) {
        format.slots[i].enabled = c.slots[i].has_value();
        format.slots[i].field = c.slots[i].value_or(NameField::Album);
    }
    format.delimiter1 = c.d1;
    format.delimiter2 = c.d2;
    return format;
}

class SplitFileName : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitFileName, CutsAsTheFormatSays) {
    const SplitCase& c = GetParam();
    const NameFormat format = formatOf(c);
    const auto got = splitFileName(c.base, format);
    ASSERT_EQ(got.has_value(), c.values.has_value());
    if (!got) {
        return;
    }
    std::vector<std::string> values;
    std::vector<NameField> fields;
    for (const NameValue& v : *got) {
        values.push_back(v.value);
        fields.push_back(v.field);
    }
    EXPECT_EQ(values, *c.values);
    std::vector<NameField> enabled;
    for (const auto& slot : c.slots) {
        if (slot) {
            enabled.push_back(*slot);
        }
    }
    EXPECT_EQ(fields, enabled);
}

const std::array<std::optional<NameField>, 3> kInitial = {A, T, std::nullopt};
const std::array<std::optional<NameField>, 3> kAll = {A, L, T};

INSTANTIATE_TEST_SUITE_P(
    Formats, SplitFileName,
    ::testing::Values(
        // The worked examples with the initial format.
        // A bare "-" is cut with the blanks around it where the name has them.
        SplitCase{"SpacedPair", kInitial, "-", "-", "Singer - Song",
                  std::vector<std::string>{"Singer", "Song"}},
        SplitCase{"HyphenInNameSpacedDelimiter", kInitial, "-", "-", "Jean-Luc Quinn - Call",
                  std::vector<std::string>{"Jean-Luc Quinn", "Call"}},
        SplitCase{"SeveralCharacters", kInitial, "__", "-", "A_B__C",
                  std::vector<std::string>{"A_B", "C"}},
        SplitCase{"FirstDelimiterOnly", kInitial, "-", "-", "Singer-Song-Live",
                  std::vector<std::string>{"Singer", "Song-Live"}},
        SplitCase{"NoDelimiter", kInitial, "-", "-", "Song", std::nullopt},
        SplitCase{"DelimiterAtStart", kInitial, "-", "-", "-Song", std::nullopt},
        // Position 0 hides even later delimiters: the first one found is the one at the start.
        SplitCase{"DelimiterAtStartAndLater", kInitial, "-", "-", "-Singer-Song", std::nullopt},
        SplitCase{"ThreeSlots", kAll, "-", "-", "A - B - C",
                  std::vector<std::string>{"A", "B", "C"}},
        SplitCase{"ThreeSlotsOneDelimiter", kAll, "-", "-", "A - C", std::nullopt},
        // The last second delimiter lies before the first: the middle is empty.
        SplitCase{"SecondBeforeFirst", kAll, "_", "-", "B-A_C",
                  std::vector<std::string>{"B-A", "", "A_C"}},
        SplitCase{"NoSecondDelimiter", kAll, "-", "_", "A-B", std::nullopt},
        SplitCase{"OnlySlot1",
                  {A, std::nullopt, std::nullopt},
                  "-",
                  "-",
                  "A - B",
                  std::vector<std::string>{"A - B"}},
        SplitCase{"OnlySlot2",
                  {std::nullopt, T, std::nullopt},
                  "-",
                  "-",
                  "A - B",
                  std::vector<std::string>{"A - B"}},
        SplitCase{"OnlySlot3",
                  {std::nullopt, std::nullopt, L},
                  "-",
                  "-",
                  "-A",
                  std::vector<std::string>{"-A"}},
        SplitCase{"Slots2And3UseDelimiter2",
                  {std::nullopt, T, L},
                  "-",
                  "_",
                  "So-ng_Al_bum",
                  std::vector<std::string>{"So-ng", "bum"}},
        SplitCase{"Slots1And3UseDelimiter1",
                  {A, std::nullopt, L},
                  "-",
                  "_",
                  "A-B-C",
                  std::vector<std::string>{"A", "C"}},
        SplitCase{"EmptyDelimiterIsBlank", kInitial, "", "-", "Singer Song",
                  std::vector<std::string>{"Singer", "Song"}},
        SplitCase{"BlankDelimiter", kInitial, " ", "-", "Singer Song Live",
                  std::vector<std::string>{"Singer", "Song Live"}},
        SplitCase{"MultibyteDelimiter", kInitial, "\u2013", "-", "K\u00fcnstler \u2013 Lied",
                  std::vector<std::string>{"K\u00fcnstler", "Lied"}},
        SplitCase{"SameFieldTwice",
                  {A, A, std::nullopt},
                  "-",
                  "-",
                  "X-Y",
                  std::vector<std::string>{"X", "Y"}},
        SplitCase{"EmptyBaseName", kInitial, "-", "-", "", std::nullopt}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return info.param.label; });

TEST(EasyTagNames, BaseNameTrimmingAndTrack) {
    EXPECT_EQ(baseNameOf("Singer - Song.mp3"), "Singer - Song");
    EXPECT_EQ(baseNameOf("x.mp3.bak"), "x.mp3");
    EXPECT_EQ(baseNameOf("noext"), "noext");

    EXPECT_EQ(trimWhiteSpace(" \t Song \r\n"), "Song");
    // No-break, ideographic and em spaces are white space too; inner blanks stay.
    EXPECT_EQ(trimWhiteSpace("\u00a0\u3000Two Words\u2003"), "Two Words");
    EXPECT_EQ(trimWhiteSpace("   "), "");
    // Bytes that are no UTF-8 are kept, never read past.
    EXPECT_EQ(trimWhiteSpace(" \xff\xfe "), "\xff\xfe");
    EXPECT_EQ(trimWhiteSpace("\xe3\x80"), "\xe3\x80");

    NameFormat format;
    format.slots[0].field = N;
    const auto values = nameValuesFor("", "07 - Song.mp3", format);
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 2u);
    EXPECT_EQ((*values)[0].field, N);
    EXPECT_EQ((*values)[0].value, "07");
    EXPECT_EQ((*values)[1].value, "Song");
    EXPECT_FALSE(nameValuesFor("", "Song.mp3", format));
    // A name that is not UTF-8 is read as Latin-1.
    const auto latin1 = nameValuesFor("", "Bj\xf6rk - J\xf3ga.mp3", NameFormat());
    ASSERT_TRUE(latin1 && latin1->size() == 2u);
    EXPECT_EQ((*latin1)[0].value + "|" + (*latin1)[1].value, "Bj\u00f6rk|J\u00f3ga");

    NameFormat none;
    for (auto& slot : none.slots) {
        slot.enabled = false;
    }
    EXPECT_FALSE(none.anySlotEnabled());
    EXPECT_TRUE(NameFormat().anySlotEnabled());
    EXPECT_EQ(nameFieldCaption(T), "Song Title");
    EXPECT_EQ(nameFieldCaption(N), "Track Number");
}

struct PatternCase {
    std::string pattern;
    std::string folder;
    std::string base;
    std::string expected;  // "field=value|..." , "-" for no fit, or "error: ..." for no pattern
};

TEST(NamePatterns, ParseAndReadLeftToRight) {
    const std::vector<PatternCase> cases = {
        {"%artist% - %title%", "/m", "Jean-Luc Quinn - Call", "artist=Jean-Luc Quinn|title=Call"},
        {"%artist% - %title%", "/m", "A - B - C", "artist=A|title=B - C"},
        {"%track% - %skip% - %title%", "/m", "07 - Live - Song", "track=07|title=Song"},
        {"%artist%/%album%/%track% %title%", "/m/Abba/Gold", "01 Dancing Queen",
         "artist=Abba|album=Gold|track=01|title=Dancing Queen"},
        // Too few folders above, a number that is none, text left over, an empty field.
        {"%artist%/%album%/%title%", "/Gold", "Song", "-"},
        {"%track% %title%", "/m", "Jean-Luc Quinn", "-"},
        {"%disc%-%track% (live)", "/m", "1-07 (live) x", "-"},
        {"%artist% - %title%", "/m", " - Song", "-"},
        {"%disc%-%track% (live)", "/m", "1-07 (live)", "disc=1|track=07"},
        {"100%% %genre%", "/m", "100% Jazz", "genre=Jazz"},
        {"%track%%title%", "", "", "error: %track% and %title% need some text between them"},
        {"%title", "", "", "error: the % at character 1 is not closed"},
        {"%year:2%", "", "",
         "error: only %track% and %disc% take a width, from 1 to 9, as in %track:3%"},
        {"plain", "", "",
         "error: the pattern names no field (the fields are %artist% "
         "%albumartist% %album% %title% %track% %disc% %year% %genre% %skip%)"},
    };
    for (const PatternCase& c : cases) {
        const PatternParse parse = parseNamePattern(c.pattern, PatternUse::ReadNames);
        std::string got = parse.pattern ? "-" : "error: " + parse.error;
        if (parse.pattern) {
            if (const auto values = matchNamePattern(*parse.pattern, c.folder, c.base)) {
                got.clear();
                for (const PatternValue& v : *values) {
                    got += (got.empty() ? "" : "|") + std::string(patternFieldWord(v.field)) + "=" +
                           v.value;
                }
            }
        }
        EXPECT_EQ(got, c.expected) << c.pattern << " on " << c.base;
    }
    EXPECT_EQ(parseNamePattern("%skip% %title%", PatternUse::MakeNames).error,
              "unknown field %skip% (the fields are %artist% %albumartist% %album% %title% "
              "%track% %disc% %year% %genre%)");
    EXPECT_FALSE(parseNamePattern("%album%/", PatternUse::MakeNames).pattern);
}

TEST(EasyTagMessages, ResultsAndFailures) {
    EasyTagResult result;
    EXPECT_EQ(easyTagResultMessage("/m", result),
              (UserMessage{"No tags written under /m due to\n1. No music file found OR\n2. No "
                           "tag data found OR\n3. Invalid filename format.",
                           "Tunex Easy Tag - Process Done", MessageIcon::Information}));
    result.written = 3;
    EXPECT_EQ(easyTagResultMessage("/m", result).text, "Tags written to 3 files under /m.");
    for (int i = 0; i < 12; ++i) {
        result.failed.add("/m/f" + std::to_string(i) + ".mp3");
    }
    const UserMessage failed = easyTagResultMessage("/m", result);
    EXPECT_EQ(failed.icon, MessageIcon::Warning);
    EXPECT_EQ(failed.text.rfind("Tags written to 3 files under /m.\n12 files could not be written:"
                                "\n/m/f0.mp3\n",
                                0),
              0u)
        << failed.text;
    EXPECT_TRUE(failed.text.ends_with("\n/m/f9.mp3\n...")) << failed.text;
    EXPECT_EQ(failed.text.find("f10"), std::string::npos);
    EXPECT_EQ(noNameFormatMessage().caption, "Tunex Easy Tag - No filename format");
    EXPECT_EQ(easyTagCaption("/m"), "Tunex EasyTag for files under /m");
}

constexpr std::string_view kSettingsTypes = "mp3;mp2;wmv;wma;dat;";

class EasyTagRun : public ::testing::Test {
protected:
    std::filesystem::path make(const std::string& relative, const std::string& bytes) {
        const auto path = dir_ / relative;
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, bytes);
        return path;
    }
    std::string folder() const { return dir_.path().string(); }

    test::TempDir dir_;
    const std::string audio_ = mpegAudio(5);
    const std::string v1_ = v1Tag("v1 title", "v1 artist", "", "1999", "", 3, 17);
};

TEST_F(EasyTagRun, WritesNamesKeepsEverythingElseAndCountsFailures) {
    const auto tagged =
        make("Singer - Song.mp3",
             v2Tag(3, v2Text(3, "TIT2", "Old") + v2Text(3, "TCOM", "Composer")) + audio_ + v1_);
    const auto bare = make("sub/deeper/Other - Title.MP3", audio_);
    const auto unfit = make("NoDelimiter.mp3", audio_);
    const auto wma = make("Artist - Title.wma", audio_);
    // The second frame's size runs past the tag: TagLib cannot rewrite it without losing it.
    const std::string broken = v2Tag(3,
                                     v2Text(3, "TIT2", "t") + "TPE1" + test::bigEndian(5000) +
                                         std::string(2, '\0') + "\0artist",
                                     16) +
                               audio_;
    const auto unwritable = make("Broken - Tag.mp3", broken);
    const std::string taggedBody = viewLine(independentView(tagged), "body=");
    const std::string unfitBytes = readFile(unfit);
    const std::string wmaBytes = readFile(wma);

    int steps = 0;
    const EasyTagResult result = runEasyTag(test::journal(), {folder(), true, {}}, NameFormat(),
                                            kSettingsTypes, {[&] { ++steps; }, {}});
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(result.failed.count, 1);
    EXPECT_EQ(result.failed.firstPaths,
              std::vector<std::string>{unwritable.string() + " (its tag cannot be read whole)"});
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(steps, 5);  // every file of a listed type, tagged or not

    const std::string view = independentView(tagged);
    EXPECT_TRUE(hasLine(view, "TPE1 enc=0 Singer")) << view;
    EXPECT_TRUE(hasLine(view, "TIT2 enc=0 Song")) << view;
    EXPECT_TRUE(hasLine(view, "TCOM enc=0 Composer")) << view;
    EXPECT_TRUE(hasLine(view, "v1=v1 title|v1 artist||1999||3|17")) << view;
    EXPECT_EQ(viewLine(view, "body="), taggedBody);

    const std::string deep = independentView(bare);
    EXPECT_TRUE(hasLine(deep, "TPE1 enc=0 Other")) << deep;
    EXPECT_TRUE(hasLine(deep, "TIT2 enc=0 Title")) << deep;
    EXPECT_TRUE(hasLine(deep, "v1=none")) << deep;

    EXPECT_EQ(readFile(unwritable), broken);
    EXPECT_EQ(readFile(unfit), unfitBytes);
    EXPECT_EQ(readFile(wma), wmaBytes);
    const UserMessage message = easyTagResultMessage(folder(), result);
    EXPECT_EQ(message.text,
              "Tags written to 2 files under " + folder() + ".\n1 file could not be written:\n" +
                  unwritable.string() +
                  " (its tag cannot be read whole)\n1 file left alone, not Windows Media (ASF):\n" +
                  wma.string());
}

TEST_F(EasyTagRun, SubfoldersOffTargetV1AndSameFieldTwice) {
    const auto top = make("First-Second.mp3", v2Tag(3, v2Text(3, "TIT2", "v2 stays")) + audio_);
    const auto sub = make("sub/Sub-Song.mp3", audio_);
    const std::string topV2 = readFile(top).substr(0, 30);
    const std::string subBytes = readFile(sub);

    NameFormat format;
    format.slots[1].field = NameField::Artist;
    format.target = TagVersion::V1;
    const EasyTagResult result =
        runEasyTag(test::journal(), {folder() + "/", false, {}}, format, kSettingsTypes);
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(readFile(sub), subBytes);
    EXPECT_EQ(readFile(top).substr(0, 30), topV2);
    const std::string view = independentView(top);
    EXPECT_TRUE(hasLine(view, "v1=|Second||||0|255")) << view;
    EXPECT_TRUE(hasLine(view, "TIT2 enc=0 v2 stays")) << view;
}

TEST_F(EasyTagRun, NamesThatAreNoMp3AndFoldersWithoutOne) {
    make("only.wma", audio_);
    make("song.mp3.bak", audio_);  // mp3 by name: ".mp3" after the first character
    make(".mp3", audio_);
    make("a-b.mp2", audio_);
    const EasyTagResult result = runEasyTag(
        test::journal(), {folder(), true, {}},
        [] {
            NameFormat f;
            f.slots[1].enabled = false;
            return f;
        }(),
        kSettingsTypes);
    EXPECT_EQ(result.written, 1);
    EXPECT_TRUE(hasLine(independentView(dir_ / "song.mp3.bak"), "TPE1 enc=0 song.mp3"));
    EXPECT_EQ(readFile(dir_ / ".mp3"), audio_);

    test::TempDir empty;
    writeFile(empty / "x.wma", audio_);
    EXPECT_EQ(
        runEasyTag(test::journal(), {empty.path().string(), true, {}}, NameFormat(), kSettingsTypes)
            .written,
        0);
    EXPECT_EQ(runEasyTag(test::journal(), {(empty / "missing").string(), true, {}}, NameFormat(),
                         kSettingsTypes)
                  .unreadable.count,
              1);
}

}  // namespace
}  // namespace tunex
