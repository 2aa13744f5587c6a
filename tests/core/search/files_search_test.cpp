#include "core/search/files_search.h"
#include "core/search/search_messages.h"
#include "core/store/catalogue.h"
#include "core/store/store_paths.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

using test::TempDir;

struct Line {
    std::string name, folder, type, id3, size, date;
};

// Every matching case below is run on these records twice: held in memory and read from disk.
const std::vector<Line> kRecords = {
    {"Love Me Do", "/music/Beatles", "mp3", "Love Me Do;Beatles;Help;", "  3584.0", "2003-11-16"},
    {"glove", "/music/misc", "wma", "", "   512.0", "2003-11-17"},
    {"Yesterday", "/music/Beatles", "MP3", "", "  4096.5", "2004-02-29"},  // edited by hand
    {"Ärger", "/musik/Über", "ogg", "Ärger;Die Ärzte;", "1048576.0", "1999-12-31"},
    {"undated", "/old", "mp3", "", "     0.1", ""},
    {"broken", "/old", "flac", "", "junk", "2003-02-30"},
};

std::string recordLine(const Line& r) {
    return "<?>" + r.name + "<|>" + r.folder + "<:>" + r.type + "</>" + r.id3 + "<\\>" + r.size +
           "<*>" + r.date + "\n";
}

// Collection 0 ("Mem") holds the records behind enough filler to pass the memory threshold, so
// collection 1 ("Disk", the same records) and 2 ("Other") are read from disk. Filler has no size,
// no date and a type no case asks for, so no case below finds it.
void writeCatalogue(const std::filesystem::path& base) {
    const StorePaths paths(base);
    std::filesystem::create_directories(paths.systemFolder());
    std::string memory = "**Mem\n";
    for (int i = 0; i <= Catalogue::kMemoryRecordLimit; ++i) {
        memory += recordLine({"x", "/x", "fil", "", "", ""});
    }
    std::string disk = "**Disk\n";
    for (const Line& record : kRecords) {
        memory += recordLine(record);
        disk += recordLine(record);
    }
    test::writeFile(paths.collectionFileName(0), memory + "@*EOF");
    test::writeFile(paths.collectionFileName(1), disk + "@*EOF");
    test::writeFile(
        paths.collectionFileName(2),
        "**Other\n" + recordLine({"solo", "/o", "mp3", "", "   1.0", "2010-01-01"}) + "@*EOF");
}

const std::vector<ResultColumn> kAllColumns = shownColumns({1, 1, 1, 1, 1, 1});

class FilesSearchTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        base_ = new TempDir;
        writeCatalogue(base_->path());
    }
    static void TearDownTestSuite() {
        delete base_;
        base_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(catalogue_.load(StorePaths(base_->path()), 3)); }

    SearchOutcome run(const FilesQuery& query, int maxResults = 3000) const {
        const SearchSettings settings{maxResults, Sensitivity::High, 0, {1, 1, 1, 1, 1, 1}};
        return runFilesSearch(catalogue_, StorePaths(base_->path()), settings, kAllColumns, query);
    }
    // The File Names of the rows from one collection, in list order.
    static std::vector<std::string> namesFrom(const ResultTable& table, const std::string& disc) {
        std::vector<std::string> names;
        for (const ResultRow& row : table.rows) {
            if (row[2] == disc) {
                names.push_back(row[0]);
            }
        }
        return names;
    }

    static TempDir* base_;
    Catalogue catalogue_;
};

TempDir* FilesSearchTest::base_ = nullptr;

struct MatchCase {
    const char* label;
    FilesQuery query;
    std::vector<std::string> found;  // sorted by File Name, as the list shows them
};

TEST_F(FilesSearchTest, EachFieldAndTheirCombinationsFindTheSameInMemoryAndOnDisk) {
    ASSERT_EQ(catalogue_.firstDiskCollection(), 1);
    const std::vector<MatchCase> cases = {
        {"one type, any case in the file",
         {.types = "mp3"},
         {"Love Me Do", "undated", "Yesterday"}},
        {"several, blanks, dots, case", {.types = " .WMA , ogg,"}, {"glove", "Ärger"}},
        {"a pattern", {.types = "*.flac,*.mp3"}, {"broken", "Love Me Do", "undated", "Yesterday"}},
        {"a type is whole", {.types = "mp"}, {}},
        {"keyword in folder and tag", {.keyword = "BEATLES"}, {"Love Me Do", "Yesterday"}},
        {"keyword inside names", {.keyword = "love"}, {"glove", "Love Me Do"}},
        {"non-ASCII folder", {.keyword = "über"}, {"Ärger"}},
        {"non-ASCII tag", {.keyword = "DIE ÄRZTE"}, {"Ärger"}},
        {"keyword never spans fields", {.keyword = "do<|>/music"}, {}},
        {"the type is not keyword text", {.keyword = "wma"}, {}},
        {"date from, undated and bad dates left out",
         {.dateFrom = "2003-11-17"},
         {"glove", "Yesterday"}},
        {"date to", {.dateTo = "2003-11-16"}, {"Love Me Do", "Ärger"}},
        {"one day, both ends inclusive",
         {.dateFrom = "2003-11-16", .dateTo = "2003-11-16"},
         {"Love Me Do"}},
        {"a leap day", {.dateFrom = "2004-02-29", .dateTo = "2004-2-29"}, {"Yesterday"}},
        {"size from", {.sizeFrom = "4096.5"}, {"Yesterday", "Ärger"}},
        {"size to, bad sizes left out", {.sizeTo = " 0.1 "}, {"undated"}},
        {"size range in whole KB", {.sizeFrom = "500", .sizeTo = "3584"}, {"glove", "Love Me Do"}},
        {"all four fields",
         {.types = "mp3", .keyword = "beatles", .dateFrom = "2004-01-01", .sizeTo = "5000"},
         {"Yesterday"}},
        {"fields that contradict", {.types = "wma", .keyword = "beatles"}, {}},
        {"type and size",
         {.types = "mp3,ogg", .sizeFrom = "1000"},
         {"Love Me Do", "Yesterday", "Ärger"}},
    };
    for (const MatchCase& c : cases) {
        const SearchOutcome outcome = run(c.query);
        ASSERT_EQ(outcome.kind, SearchOutcome::Kind::Done) << c.label;
        EXPECT_EQ(namesFrom(outcome.table, "Mem"), c.found) << c.label;
        EXPECT_EQ(namesFrom(outcome.table, "Disk"), c.found) << c.label;
        // "Other" holds one more mp3 of 2010 that some cases find as well.
        const std::size_t rows = c.found.size() * 2 + namesFrom(outcome.table, "Other").size();
        EXPECT_EQ(outcome.statusLine, std::to_string(rows) + " songs found.") << c.label;
        if (c.found.empty()) {
            EXPECT_EQ(outcome.table.rows,
                      (std::vector<ResultRow>{{"No File Found.", "", "", "", "", "", ""}}))
                << c.label;
        }
    }
}

TEST_F(FilesSearchTest, BadInputIsRefusedNamingTheField) {
    const auto refusal = [](const std::string& text) {
        return UserMessage{text, "Tunex - Input Error", MessageIcon::Warning};
    };
    const std::string dateHint = " is not a date.\nType a date as YYYY-MM-DD, such as 2003-11-16.";
    const std::string sizeHint =
        " is not a size.\nType a size in KB as a number, such as 3584 or 512.5.";
    const std::vector<std::pair<FilesQuery, std::string>> cases = {
        {{}, "Please input a file type, a keyword, a file date range or a file size range."},
        {{.types = " , *. "},
         "File Type: \" , *. \" names no file type.\nType one or several, such as mp3,wma."},
        {{.dateFrom = "2003-13-01"}, "File Date from: \"2003-13-01\"" + dateHint},
        {{.dateFrom = "2003-02-29"}, "File Date from: \"2003-02-29\"" + dateHint},
        {{.dateTo = "16.11.2003"}, "File Date to: \"16.11.2003\"" + dateHint},
        {{.dateTo = "03-11-16"}, "File Date to: \"03-11-16\"" + dateHint},
        {{.dateTo = "2003-11-16x"}, "File Date to: \"2003-11-16x\"" + dateHint},
        {{.dateFrom = "2004-01-01", .dateTo = "2003-12-31"},
         "File Date from (2004-01-01) is after File Date to (2003-12-31)."},
        {{.sizeFrom = "ten"}, "File Size from: \"ten\"" + sizeHint},
        {{.sizeFrom = "-1"}, "File Size from: \"-1\"" + sizeHint},
        {{.sizeTo = "1,5"}, "File Size to: \"1,5\"" + sizeHint},
        {{.sizeTo = "nan"}, "File Size to: \"nan\"" + sizeHint},
        {{.sizeTo = "1e999"}, "File Size to: \"1e999\"" + sizeHint},
        {{.sizeFrom = "100", .sizeTo = "99.9"},
         "File Size from (100) is larger than File Size to (99.9)."},
        // The first bad field is named; a bad date comes before a bad size.
        {{.dateTo = "x", .sizeFrom = "y"}, "File Date to: \"x\"" + dateHint},
    };
    for (const auto& [query, text] : cases) {
        const SearchOutcome outcome = run(query);
        EXPECT_EQ(outcome.kind, SearchOutcome::Kind::Refused) << text;
        EXPECT_EQ(outcome.message, refusal(text));
        EXPECT_TRUE(outcome.table.rows.empty());
    }
    EXPECT_EQ(run({.collection = 3}).message, noCdChosenMessage());
    EXPECT_EQ(run({.collection = -1}).message, noCdChosenMessage());
}

TEST_F(FilesSearchTest, ThePagesInitialRangesLeaveNothingOut) {
    const FilesQuery page{
        .keyword = "e", .dateFrom = "1900-01-01", .sizeFrom = "0.0", .sizeTo = "1000000.0"};
    const FilesQuery open = withInitialBoundsOpen(page);
    EXPECT_EQ(open.dateFrom, "");
    EXPECT_EQ(open.sizeTo, "");
    // Undated, damaged and files over 1000000 KB are found as well.
    EXPECT_EQ(namesFrom(run(open).table, "Disk"),
              (std::vector<std::string>{"broken", "glove", "Love Me Do", "undated", "Yesterday",
                                        "Ärger"}));
    // Only the initial text itself is open; anything else typed there is a bound.
    EXPECT_EQ(withInitialBoundsOpen({.dateFrom = "1900-01-02", .sizeTo = "1000000"}).sizeTo,
              "1000000");
    EXPECT_EQ(run(withInitialBoundsOpen(page)).statusLine, run(open).statusLine);
    // With only the initial texts the page still asks for something to search for.
    EXPECT_EQ(run(withInitialBoundsOpen(
                      {.dateFrom = "1900-01-01", .sizeFrom = "0.0", .sizeTo = "1000000.0"}))
                  .kind,
              SearchOutcome::Kind::Refused);
}

TEST_F(FilesSearchTest, SearchByCdListsOneCollectionFromMemoryOrItsOwnFile) {
    const SearchOutcome disk = run({.collection = 1});
    ASSERT_EQ(disk.kind, SearchOutcome::Kind::Done);
    EXPECT_EQ(disk.statusLine, "6 songs found on CD <Disk>.");
    EXPECT_EQ(namesFrom(disk.table, "Disk").size(), 6U);
    EXPECT_EQ(disk.table.rows.size(), 6U);

    const SearchOutcome memory = run({.collection = 0}, 0);
    EXPECT_EQ(memory.table.rows.size(),
              static_cast<std::size_t>(Catalogue::kMemoryRecordLimit) + 7);
    EXPECT_FALSE(memory.message.has_value());  // no limit, no notice

    // Other fields narrow the listing.
    const SearchOutcome narrowed = run({.types = "mp3", .collection = 2});
    EXPECT_EQ(narrowed.statusLine, "1 song found on CD <Other>.");
    EXPECT_EQ(run({.types = "wma", .collection = 2}).statusLine, "0 songs found on CD <Other>.");
}

TEST_F(FilesSearchTest, LimitSortAndHiddenColumns) {
    // The first rows met, memory before disk, then sorted; the notice says the list is cut.
    const SearchOutcome limited = run({.types = "mp3"}, 4);
    EXPECT_EQ(limited.statusLine, "4 of 7 songs shown.");
    EXPECT_EQ(limited.message, resultLimitMessage(4));
    EXPECT_EQ(namesFrom(limited.table, "Mem").size(), 3U);
    EXPECT_EQ(namesFrom(limited.table, "Disk").size(), 1U);
    EXPECT_EQ(run({.types = "mp3"}, 0).table.rows.size(), 7U);

    // Sorted by the settings' column: Create Date here.
    const SearchSettings byDate{3000, Sensitivity::High, 5, {1, 1, 1, 1, 1, 1}};
    const SearchOutcome dated = runFilesSearch(catalogue_, StorePaths(base_->path()), byDate,
                                               kAllColumns, {.collection = 1});
    EXPECT_EQ(dated.table.rows.front()[0], "undated");
    EXPECT_EQ(dated.table.rows.back()[0], "Yesterday");

    // Hidden columns still take part in the match.
    const std::vector<ResultColumn> nameOnly = shownColumns({0, 0, 0, 0, 0, 0});
    const SearchOutcome narrow = runFilesSearch(catalogue_, StorePaths(base_->path()), byDate,
                                                nameOnly, {.types = "ogg", .dateTo = "2000-1-1"});
    EXPECT_EQ(narrow.table.rows, (std::vector<ResultRow>{{"Ärger"}, {"Ärger"}}));
}

TEST(FilesSearch, VanishedCollectionFileFailsTheWholeSearchButNotAnotherCd) {
    TempDir base;
    writeCatalogue(base.path());
    Catalogue catalogue;
    const StorePaths paths(base.path());
    ASSERT_TRUE(catalogue.load(paths, 3));
    std::filesystem::remove(paths.collectionFileName(2));
    const SearchSettings settings{3000, Sensitivity::High, 0, {1, 1, 1, 1, 1, 1}};

    const SearchOutcome whole =
        runFilesSearch(catalogue, paths, settings, kAllColumns, {.types = "ogg"});
    EXPECT_EQ(whole.kind, SearchOutcome::Kind::Failed);
    EXPECT_EQ(whole.message, searchFailedMessage());
    EXPECT_EQ(whole.table.rows.size(), 2U);  // found before the missing file
    EXPECT_EQ(whole.statusLine, "");

    EXPECT_EQ(runFilesSearch(catalogue, paths, settings, kAllColumns, {.collection = 1}).kind,
              SearchOutcome::Kind::Done);
    EXPECT_EQ(runFilesSearch(catalogue, paths, settings, kAllColumns, {.collection = 2}).kind,
              SearchOutcome::Kind::Failed);
}

TEST(FilesSearch, DatesAndSizesAsTypedAndAsStored) {
    // Typed: a four-digit year, one or two digits for month and day, a real calendar day.
    const std::vector<std::pair<std::string, std::optional<int>>> typedDays = {
        {" 2003-1-5 ", 20030105},     {"2000-02-29", 20000229},  {"1900-02-29", std::nullopt},
        {"2003-04-31", std::nullopt}, {"2003-11", std::nullopt}, {"-2003-11-16", std::nullopt}};
    for (const auto& [text, day] : typedDays) {
        EXPECT_EQ(parseDayText(text), day) << text;
    }
    // Stored dates come from "%d-%.2d-%.2d": any year length, nothing around them.
    EXPECT_EQ(recordDay("987-03-04"), 9870304);
    EXPECT_EQ(recordDay(" 2003-11-16"), std::nullopt);

    const std::vector<std::pair<std::string, std::optional<double>>> sizes = {
        {"   512.5", 512.5},    {".5", 0.5},          {"1e3", 1000.0},
        {"0x10", std::nullopt}, {"+1", std::nullopt}, {"inf", std::nullopt}};
    for (const auto& [text, size] : sizes) {
        EXPECT_EQ(parseKilobytes(text), size) << text;
    }
}

}  // namespace
}  // namespace tunex
