#include "core/search/result_export.h"
#include "core/search/result_actions.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

namespace tunex {
namespace {

using test::TempDir;

// Cells that break a file written without escaping or quoting.
const std::vector<std::string> kCaptions = {"File Name", "Path", "ID3 Tag Info"};
const std::vector<ResultRow> kRows = {
    {"<script>alert(1)</script>", "/a, b", "say \"hi\";x & y;"},
    {"two\nlines", "crlf\r\nend", "tab\there"},
    {"", "   512.0", "été \xff"},
};

// Parses `file` with python3 and returns what the script printed.
std::string parseWithPython(const TempDir& dir, const std::string& script,
                            const std::filesystem::path& file) {
    test::writeFile(dir / "parse.py", script);
    const std::filesystem::path out = dir / "parsed.txt";
    const std::string command = std::string(TUNEX_PYTHON) + " '" + (dir / "parse.py").string() +
                                "' '" + file.string() + "' > '" + out.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return test::readFile(out);
}

// Every cell as repr, one line per row, so line breaks inside cells stay visible.
const std::string kExpectedCells =
    "['File Name', 'Path', 'ID3 Tag Info']\n"
    "['<script>alert(1)</script>', '/a, b', 'say \"hi\";x & y;']\n"
    "['two\\nlines', 'crlf\\r\\nend', 'tab\\there']\n"
    "['', '   512.0', 'été \\udcff']\n";

TEST(ResultExport, HtmlParsesBackToTheCells) {
    TempDir dir;
    const std::filesystem::path file = dir / "list.htm";
    ASSERT_EQ(exportFormatFor(file), ExportFormat::Html);
    ASSERT_TRUE(writeExportFile(file, ExportFormat::Html, kCaptions, kRows));
    const std::string html = test::readFile(file);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("charset=utf-8"), std::string::npos);
    EXPECT_NE(html.find("<a href=\"" + std::string(kProjectHomePage) + "\"><b>Tunex</b></a>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr ALIGN=CENTER><td>File Name</td><td>Path</td><td>ID3 Tag Info</td>"
                        "</tr>\n\n<tr ALIGN=LEFT><td>&lt;script&gt;"),
              std::string::npos);
    const std::string script = R"(
import sys
from html.parser import HTMLParser
class Cells(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.cell, self.scripts = [], None, 0
    def handle_starttag(self, tag, attrs):
        if tag == 'script': self.scripts += 1
        if tag == 'tr': self.rows.append([])
        if tag == 'td': self.cell = ''
    def handle_endtag(self, tag):
        if tag == 'td': self.rows[-1].append(self.cell); self.cell = None
    def handle_data(self, data):
        if self.cell is not None: self.cell += data
parser = Cells()
parser.feed(open(sys.argv[1], newline='', encoding='utf-8', errors='surrogateescape').read())
assert parser.scripts == 0
for row in parser.rows: print(repr(row))
)";
    EXPECT_EQ(parseWithPython(dir, script, file), kExpectedCells);
}

TEST(ResultExport, CsvIsRfc4180WithAHeaderRow) {
    TempDir dir;
    const std::filesystem::path file = dir / "list.csv";
    ASSERT_EQ(exportFormatFor(file), ExportFormat::Csv);
    ASSERT_TRUE(writeExportFile(file, ExportFormat::Csv, kCaptions, kRows));
    const std::string csv = test::readFile(file);
    EXPECT_EQ(csv.substr(0, 34), "File Name,Path,ID3 Tag Info\r\n<scri");
    EXPECT_EQ(csv.find("<html>"), std::string::npos);
    const std::string script = R"(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8', errors='surrogateescape') as f:
    for row in csv.reader(f, strict=True): print(repr(row))
)";
    EXPECT_EQ(parseWithPython(dir, script, file), kExpectedCells);
}

TEST(ResultExport, CsvCellsASpreadsheetWouldRunAsFormulasAreQuotedAsText) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"=cmd|calc!A0.mp3", "\"'=cmd|calc!A0.mp3\""},
        {"+1+2", "\"'+1+2\""},
        {"-2+3", "\"'-2+3\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\t=1", "\"'\t=1\""},
        {"\r=1", "\"'\r=1\""},
        {"=HYPERLINK(\"x\",\"y\")", "\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\""},
        // Only the first character counts.
        {"a=b", "a=b"},
        {" =1", " =1"},
        {"1-2", "1-2"},
        {"'=1", "'=1"},
        {"", ""},
    };
    for (const auto& [cell, written] : cases) {
        EXPECT_EQ(renderExport(ExportFormat::Csv, std::vector<std::string>{"File Name"},
                               std::vector<ResultRow>{{cell}}),
                  "File Name\r\n" + written + "\r\n")
            << cell;
    }
    // Captions go through the same rule.
    EXPECT_EQ(renderExport(ExportFormat::Csv, std::vector<std::string>{"-x", "y"}, {}),
              "\"'-x\",y\r\n");

    // HTML and text are not read as formulas and keep the cell as it is.
    const std::vector<std::string> captions = {"File Name"};
    const std::vector<ResultRow> rows = {{"=cmd|calc!A0.mp3"}};
    EXPECT_EQ(renderExport(ExportFormat::Text, captions, rows), "File Name:\t=cmd|calc!A0.mp3\n\n");
    EXPECT_NE(renderExport(ExportFormat::Html, captions, rows).find("<td>=cmd|calc!A0.mp3</td>"),
              std::string::npos);
}

TEST(ResultExport, TextHasCaptionValueLinesPerRow) {
    EXPECT_EQ(renderExport(ExportFormat::Text, std::vector<std::string>{"File Name", "File Type"},
                           std::vector<ResultRow>{{"a", "mp3"}, {"b", "wma"}}),
              "File Name:\ta\nFile Type:\tmp3\n\nFile Name:\tb\nFile Type:\twma\n\n");
    // A line break inside a cell continues behind a TAB, so rows still end at the empty line.
    EXPECT_EQ(renderExport(ExportFormat::Text, kCaptions, std::vector<ResultRow>{kRows[1]}),
              "File Name:\ttwo\n\tlines\nPath:\tcrlf\n\tend\nID3 Tag Info:\ttab\there\n\n");
    for (const char* name : {"list.HTM", "list.txt", "list", "list.htm.bak", ".csv.txt"}) {
        EXPECT_EQ(exportFormatFor(name), ExportFormat::Text) << name;
    }
    EXPECT_EQ(exportFormatFor("/a.b/.htm"), ExportFormat::Html);
}

TEST(ResultExport, RefusesNothingToExport) {
    const UserMessage refusal{"No search result available. Export Aborted.", "Tunex - Export",
                              MessageIcon::Question};
    EXPECT_EQ(checkExportable(std::vector<ResultRow>{}), refusal);
    EXPECT_EQ(checkExportable(std::vector<ResultRow>{{"No File Found.", "", ""}}), refusal);
    EXPECT_EQ(checkExportable(std::vector<ResultRow>{{"No File Found."}}), refusal);
    // A real song of that name, and the empty-catalogue placeholder, are exported.
    EXPECT_FALSE(checkExportable(std::vector<ResultRow>{{"No File Found.", "mp3"}}).has_value());
    EXPECT_FALSE(
        checkExportable(std::vector<ResultRow>{{"The database is currently empty."}}).has_value());
}

TEST(ResultExport, WriteFailuresLeaveNoFileAndSaySo) {
    TempDir dir;
    const UserMessage failed{"File Error when creating export file. Export Aborted.",
                             "Tunex - File Error", MessageIcon::Error};
    const ExportOutcome missing = exportResults(dir / "no such folder" / "x.htm", kCaptions, kRows);
    EXPECT_FALSE(missing.written);
    EXPECT_EQ(missing.message, failed);

    std::filesystem::create_directory(dir / "taken.csv");  // a folder where the file must go
    EXPECT_EQ(exportResults(dir / "taken.csv", kCaptions, kRows).message, failed);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.csv"));

    // A disk that fills up part-way: the earlier file stays as it was.
    const std::filesystem::path file = dir / "full.txt";
    test::writeFile(file, "earlier export");
    std::vector<ResultRow> many(20000, ResultRow{"a long enough cell text", "b", "c"});
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(exportResults(file, kCaptions, many).written ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test::readFile(file), "earlier export");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);  // full.txt and taken.csv: no temporary file left behind

    const ExportOutcome done = exportResults(file, kCaptions, kRows);
    EXPECT_TRUE(done.written);
    EXPECT_EQ(done.message.text, "Search Result exported to " + file.string() + ".");
    EXPECT_EQ(done.message.caption, "Tunex - Export");
}

TEST(ResultActions, PlayingNeedsTypeAndPath) {
    EXPECT_EQ(checkPlayableColumns(shownColumns({0, 1, 0, 1, 1, 1}))->text,
              "\"File Type\" column is removed. Cannot play the song.\nYou can enable this "
              "function by inserting \"File Type\" column in <Setting>.");
    EXPECT_EQ(checkPlayableColumns(shownColumns({1, 1, 0, 1, 1, 1}))->caption,
              "Tunex - Playing Song Abort");
    EXPECT_FALSE(checkPlayableColumns(shownColumns({1, 0, 1, 0, 0, 0})).has_value());
    EXPECT_EQ(mediaFilePath("/a", "b", "mp3"), "/a/b.mp3");
    EXPECT_EQ(mediaFilePath("/a", "b", ""), "/a/b");
    EXPECT_EQ(mediaFilePath("", "b", " "), "/b");
    EXPECT_EQ(insertCdMessage("Party").text,
              "The file is on a CD-ROM drive. Please insert the CD (Party) into CD-ROM.");
    EXPECT_EQ(insertCdMessage(std::nullopt).text,
              "The file is on a CD-ROM drive. Please insert the CD into CD-ROM.");
}

// Records keep the type lower-cased; the folder decides which file a record means.
TEST(ResultActions, FindMediaFileTakesTheExtensionCaseFromTheFolder) {
    const TempDir dir;
    const std::string folder = dir.path().string();
    struct Case {
        std::vector<std::string> files;
        const char* name;
        const char* type;
        std::optional<std::string> found;  // leaf under `folder`
    };
    const std::vector<Case> cases = {
        {{"LOUD SONG.MP3"}, "LOUD SONG", "mp3", "LOUD SONG.MP3"},
        {{"b.Mp3"}, "b", "mp3", "b.Mp3"},
        {{"a.mp3", "a.MP3"}, "a", "mp3", "a.mp3"},       // the exact name wins
        {{"a.MP3", "a.mP3"}, "a", "mp3", std::nullopt},  // two guesses: neither is taken
        {{"c.MP3"}, "C", "mp3", std::nullopt},           // the name itself must match exactly
        {{"d.x.MP3"}, "d", "x.mp3", std::nullopt},       // the name ends at the last dot
        {{"e.MP3"}, "e", "", std::nullopt},
        {{"f"}, "f", "", "f"},
        {{"\xc3\x89T\xc3\x89.\xc3\x89"},
         "\xc3\x89T\xc3\x89",
         "\xc3\xa9",
         "\xc3\x89T\xc3\x89.\xc3\x89"},
        {{"g.mp3.bak"}, "g", "mp3", std::nullopt},
        {{}, "h", "mp3", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::filesystem::path sub = dir / c.name;
        std::filesystem::remove_all(sub);
        std::filesystem::create_directories(sub);
        for (const std::string& file : c.files) {
            test::writeFile(sub / file, "x");
        }
        const std::optional<std::string> found = findMediaFile(sub.string(), c.name, c.type);
        EXPECT_EQ(found, c.found ? std::optional((sub / *c.found).string()) : std::nullopt)
            << c.name << "." << c.type;
    }
    // A folder that cannot be listed finds nothing.
    EXPECT_EQ(findMediaFile(folder + "/missing", "a", "mp3"), std::nullopt);
}

}  // namespace
}  // namespace tunex
