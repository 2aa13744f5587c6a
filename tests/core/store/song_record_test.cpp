#include "core/store/song_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>

namespace tunex {
namespace {

// Dates are local time; pin the zone so the expected dates hold everywhere.
class UtcZone final {
public:
    UtcZone() {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
        }
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    ~UtcZone() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    UtcZone(const UtcZone&) = delete;
    UtcZone& operator=(const UtcZone&) = delete;

private:
    std::optional<std::string> old_;
};

constexpr std::time_t k2003_11_16 = 1068984000;  // 2003-11-16 12:00 UTC

SongRecord parsed(std::string_view line, bool hasLineEnd = true) {
    return toSongRecord(parseSongRecordLine(line, hasLineEnd));
}

struct MakeCase {
    FoundFile file;
    std::string id3;
    std::string line;
};

void PrintTo(const MakeCase& c, std::ostream* out) {
    *out << c.file.folder << "/" << c.file.fileName;
}

class MakeSongRecordLine : public ::testing::TestWithParam<MakeCase> {};

TEST_P(MakeSongRecordLine, WritesTheFieldsAndReadsThemBack) {
    const UtcZone zone;
    const MakeCase& c = GetParam();
    const std::string line = makeSongRecordLine(c.file, c.id3);
    EXPECT_EQ(line, c.line);

    ASSERT_FALSE(line.empty());
    const SongRecordView back =
        parseSongRecordLine(std::string_view(line).substr(0, line.size() - 1));
    EXPECT_EQ(back.folder, c.file.folder);
    EXPECT_EQ(back.id3Info, c.id3);
}

INSTANTIATE_TEST_SUITE_P(
    Names, MakeSongRecordLine,
    ::testing::Values(
        MakeCase{{"Song.mp3", "/music", 3670016, k2003_11_16},
                 "",
                 "<?>Song<|>/music<:>mp3</><\\>  3584.0<*>2003-11-16\n"},
        MakeCase{{"a.b.c.Mp3", "/m/x y", 100, k2003_11_16},
                 "Title;Artist;",
                 "<?>a.b.c<|>/m/x y<:>mp3</>Title;Artist;<\\>     0.1<*>2003-11-16\n"},
        MakeCase{{"README", "/m", 0, std::nullopt}, "", "<?>README<|>/m<:></><\\>     0.0<*>\n"},
        MakeCase{{"song.", "/m", 1024, std::nullopt}, "", "<?>song<|>/m<:></><\\>     1.0<*>\n"},
        MakeCase{
            {"SONG.WMA", "/m", 2048, std::nullopt}, "", "<?>SONG<|>/m<:>wma</><\\>     2.0<*>\n"},
        MakeCase{{"Über.MÜX", "/m", 0, std::nullopt}, "", "<?>Über<|>/m<:>müx</><\\>     0.0<*>\n"},
        // A file directly under "/": the folder is empty and folder + "/" + name is its path.
        MakeCase{{"root.mp3", "", 512, std::nullopt}, "", "<?>root<|><:>mp3</><\\>     0.5<*>\n"},
        MakeCase{{".hidden", "/m", 0, std::nullopt}, "", "<?><|>/m<:>hidden</><\\>     0.0<*>\n"}));

TEST(SizeText, FullSizesInKilobytes) {
    EXPECT_EQ(sizeText(0), "     0.0");
    EXPECT_EQ(sizeText(100), "     0.1");
    EXPECT_EQ(sizeText(3670016), "  3584.0");
    EXPECT_EQ(sizeText(1023999948), "999999.9");
    EXPECT_EQ(sizeText(1024000000), "1000000.0");
    // Not taken modulo 4 GiB.
    EXPECT_EQ(sizeText(4294967296ULL + 102), "4194304.1");
    EXPECT_EQ(sizeText(5368709120ULL), "5242880.0");
}

TEST(DateText, LocalYearMonthDay) {
    const UtcZone zone;
    EXPECT_EQ(dateText(k2003_11_16), "2003-11-16");
    EXPECT_EQ(dateText(std::time_t{0}), "1970-01-01");
    EXPECT_EQ(dateText(std::nullopt), "");
}

TEST(ParseSongRecordLine, FieldsBetweenFirstOccurrencesOfTheMarkers) {
    const SongRecord example = parsed("<?>Song<|>D:<:>mp3</><\\>  3584.0<*>2003-11-16");
    EXPECT_EQ(example, (SongRecord{0, " Song", "D:", "mp3", "", "  3584.0", "2003-11-16"}));
    EXPECT_EQ(example.displayName(), "Song");

    // Without its line end the date is empty, everything else stays.
    EXPECT_EQ(parsed("<?>Song<|>D:<:>mp3</><\\>  3584.0<*>2003-11-16", false),
              (SongRecord{0, " Song", "D:", "mp3", "", "  3584.0", ""}));

    // Missing markers leave their stretches empty.
    EXPECT_EQ(parsed("<?>Song"), (SongRecord{0, " ", "", "", "", "", ""}));
    EXPECT_EQ(parsed("<?>"), (SongRecord{0, " ", "", "", "", "", ""}));
    EXPECT_EQ(parsed("<?>Song<|>D:"), (SongRecord{0, " Song", "", "", "", "", ""}));
    EXPECT_EQ(parsed("<?>S<|>F<:>mp3</>id<*>2001-01-01"),
              (SongRecord{0, " S", "F", "mp3", "", "", "2001-01-01"}));

    // Markers out of order: a stretch ending before it starts is empty.
    EXPECT_EQ(parsed("<?>A<:>B<|>C</>D<\\>E<*>F"),
              (SongRecord{0, " A<:>B", "", "B<|>C", "D", "E", "F"}));

    // A marker inside the tag text spoils that record's size and date only.
    EXPECT_EQ(parsed("<?>S<|>F<:>mp3</>Ti<*>tle;<\\>  1.0<*>2001-01-01"),
              (SongRecord{0, " S", "F", "mp3", "Ti<*>tle;", "", "tle;<\\>  1.0<*>2001-01-01"}));
}

TEST(ParseSongRecordLine, LongLinesKeepTheirSizeAndDate) {
    const std::string folder = "/" + std::string(400, 'f');
    const std::string id3(600, 'i');
    const std::string line =
        "<?>Song<|>" + folder + "<:>mp3</>" + id3 + "<\\>  3584.0<*>2003-11-16";
    ASSERT_GT(line.size(), 1000U);
    EXPECT_EQ(parsed(line), (SongRecord{0, " Song", folder, "mp3", id3, "  3584.0", "2003-11-16"}));
}

}  // namespace
}  // namespace tunex
