// Both tags written into an empty mp3 file: each must land in its place, neither over the other.

#include "core/tags/id3_tags.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(EmptyMp3Write, BothTagsLandAndReadBack) {
    TempDir dir;
    const auto file = dir / "empty.mp3";
    writeFile(file, "");

    TagFields fields;
    fields.v1.title = "Short";
    fields.v2.title = "Long title";
    ASSERT_TRUE(saveTagFields(file, fields));

    const std::string bytes = readFile(file);
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_EQ(bytes.substr(0, 3), "ID3");
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 8), "TAGShort");

    TagFields read;
    (void)loadTagFields(file, read);
    EXPECT_EQ(read.v1.title, "Short");
    EXPECT_EQ(read.v2.title, "Long title");
}

TEST(EmptyMp3Write, SecondWriteKeepsBothTags) {
    TempDir dir;
    const auto file = dir / "empty.mp3";
    writeFile(file, "");
    TagFields fields;
    fields.v1.title = "One";
    fields.v2.title = "Two";
    ASSERT_TRUE(saveTagFields(file, fields));
    fields.v1.artist = "Three";
    fields.v2.artist = "Four";
    ASSERT_TRUE(saveTagFields(file, fields));

    TagFields read;
    (void)loadTagFields(file, read);
    EXPECT_EQ(read.v1.title, "One");
    EXPECT_EQ(read.v1.artist, "Three");
    EXPECT_EQ(read.v2.title, "Two");
    EXPECT_EQ(read.v2.artist, "Four");
}

}  // namespace
}  // namespace tunex
