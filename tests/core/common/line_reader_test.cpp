#include "core/common/line_reader.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tunex {
namespace {

using test::TempDir;
using test::writeFile;

struct Line {
    std::string text;
    bool hasLineEnd = false;
    friend bool operator==(const Line&, const Line&) = default;
};

void PrintTo(const Line& line, std::ostream* out) {
    *out << (line.text.size() > 40
                 ? line.text.substr(0, 40) + "...(" + std::to_string(line.text.size()) + " bytes)"
                 : line.text)
         << (line.hasLineEnd ? "|LF" : "|none");
}

struct ReadBack {
    std::vector<Line> lines;
    int overlong = 0;
    bool mapped = false;
};

ReadBack readLines(LineReader& reader) {
    ReadBack back;
    back.mapped = reader.isMapped();
    TextLine line;
    while (reader.next(line)) {
        back.lines.push_back({std::string(line.text), line.hasLineEnd});
    }
    back.overlong = reader.overlongLines();
    return back;
}

ReadBack readFile(const std::filesystem::path& path, ReadMode mode) {
    LineReader reader;
    EXPECT_TRUE(reader.open(path, mode));
    return readLines(reader);
}

// The same file split by nextBlock and nextLineOf.
std::vector<Line> readBlocks(const std::filesystem::path& path, ReadMode mode) {
    LineReader reader;
    EXPECT_TRUE(reader.open(path, mode));
    std::vector<Line> lines;
    std::string_view block;
    TextLine line;
    while (reader.nextBlock(block)) {
        while (nextLineOf(block, line)) {
            lines.push_back({std::string(line.text), line.hasLineEnd});
        }
    }
    return lines;
}

std::string numberedLines(int count, const std::string& lineEnd = "\n") {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "line " + std::to_string(i) + lineEnd;
    }
    return text;
}

struct ContentCase {
    std::string label;
    std::string content;
    std::vector<Line> expected;  // empty: only the two ways are compared
    int overlong = 0;
};

void PrintTo(const ContentCase& c, std::ostream* out) {
    *out << c.label;
}

std::vector<Line> numberedExpected(int count) {
    std::vector<Line> lines;
    for (int i = 0; i < count; ++i) {
        lines.push_back({"line " + std::to_string(i), true});
    }
    return lines;
}

std::vector<ContentCase> contentCases() {
    const std::string big = numberedLines(20000);  // about 230 KiB: mapped
    std::vector<Line> bigLines = numberedExpected(20000);
    std::vector<ContentCase> cases = {
        {"empty", "", {}, 0},
        {"small, no final line end", "a\nb\r\nc", {{"a", true}, {"b", true}, {"c", false}}, 0},
        {"large, CR LF", numberedLines(20000, "\r\n"), bigLines, 0},
    };
    std::vector<Line> withTail = bigLines;
    withTail.push_back({"tail", false});
    cases.push_back({"large, no final line end", big + "tail", withTail, 0});
    // Lines about the length cap, away from the start so they straddle a chunk's end.
    std::vector<Line> capped = bigLines;
    capped.push_back({std::string(kMaxLineLength - 1, 'a'), true});
    capped.push_back({std::string(kMaxLineLength, 'b'), true});
    capped.push_back({"after", true});
    cases.push_back({"lines about the cap",
                     big + std::string(kMaxLineLength - 1, 'a') + "\n" +
                         std::string(kMaxLineLength + 1, 'b') + "\nafter\n",
                     capped, 1});
    cases.push_back(
        {"a line of exactly the cap, and an endless one",
         big + std::string(kMaxLineLength, 'c') + "\n" + std::string(3 * kMaxLineLength, 'd'),
         {},
         2});
    return cases;
}

class LineReaderContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(LineReaderContent, MappedAndCopiedGiveTheSameLines) {
    const ContentCase& c = GetParam();
    const TempDir dir;
    const std::filesystem::path file = dir / "lines.txt";
    writeFile(file, c.content);
    const ReadBack copied = readFile(file, ReadMode::Copied);
    const ReadBack mapped = readFile(file, ReadMode::Mapped);
    EXPECT_FALSE(copied.mapped);
    // Only a file worth it is mapped; a small or empty one is read.
    EXPECT_EQ(mapped.mapped, c.content.size() >= 64 * 1024);
    if (!c.expected.empty() || c.content.empty()) {
        EXPECT_EQ(copied.lines, c.expected);
    }
    EXPECT_EQ(mapped.lines, copied.lines);
    EXPECT_EQ(copied.overlong, c.overlong);
    EXPECT_EQ(mapped.overlong, copied.overlong);
    for (const ReadMode mode : {ReadMode::Copied, ReadMode::Mapped}) {
        EXPECT_EQ(readBlocks(file, mode), copied.lines);
    }
}

INSTANTIATE_TEST_SUITE_P(Contents, LineReaderContent, ::testing::ValuesIn(contentCases()));

// Another program may cut a mapped file short or add to it while it is read: the reader gives
// what the file holds when it gets there, as reading would, and never touches bytes past the end.
TEST(LineReader, MappedFileCutShortOrGrownIsReadAsItNowIs) {
    const TempDir dir;
    const std::filesystem::path file = dir / "lines.txt";
    const std::string text = numberedLines(300000);  // over 3 MiB
    const auto offsetOfLine = [&text](int line) {
        return text.find("line " + std::to_string(line) + "\n");
    };
    const auto truncateTo = [&file](std::size_t size) { std::filesystem::resize_file(file, size); };

    // Cut before the first line is read, in the middle of a line.
    writeFile(file, text);
    {
        LineReader reader;
        ASSERT_TRUE(reader.open(file, ReadMode::Mapped));
        ASSERT_TRUE(reader.isMapped());
        truncateTo(offsetOfLine(3) + 4);
        std::vector<Line> expected = numberedExpected(3);
        expected.push_back({"line", false});
        EXPECT_EQ(readLines(reader).lines, expected);
        EXPECT_FALSE(reader.failed());
    }
    // Cut to nothing.
    writeFile(file, text);
    {
        LineReader reader;
        ASSERT_TRUE(reader.open(file, ReadMode::Mapped));
        truncateTo(0);
        EXPECT_TRUE(readLines(reader).lines.empty());
    }
    // Cut past the stretch already taken, after a few lines were read.
    writeFile(file, text);
    {
        LineReader reader;
        ASSERT_TRUE(reader.open(file, ReadMode::Mapped));
        TextLine line;
        ASSERT_TRUE(reader.next(line));
        EXPECT_EQ(line.text, "line 0");
        const int lastWhole = 200000;  // past the first MiB
        truncateTo(offsetOfLine(lastWhole + 1) + 2);
        const ReadBack rest = readLines(reader);
        ASSERT_EQ(rest.lines.size(), static_cast<std::size_t>(lastWhole + 1));
        EXPECT_EQ(rest.lines[lastWhole - 1], (Line{"line " + std::to_string(lastWhole), true}));
        EXPECT_EQ(rest.lines.back(), (Line{"li", false}));
    }
    // Lines added after the file was opened are read too, through the same reader.
    writeFile(file, text);
    {
        LineReader reader;
        ASSERT_TRUE(reader.open(file, ReadMode::Mapped));
        std::ofstream(file, std::ios::app) << "added 1\nadded 2";
        const ReadBack all = readLines(reader);
        ASSERT_EQ(all.lines.size(), 300002U);
        EXPECT_EQ(all.lines[299999], (Line{"line 299999", true}));
        EXPECT_EQ(all.lines[300000], (Line{"added 1", true}));
        EXPECT_EQ(all.lines[300001], (Line{"added 2", false}));
    }
}

}  // namespace
}  // namespace tunex
