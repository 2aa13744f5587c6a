// Both tags written into an mp3 file that has none: each must land in its place, neither over
// the other. An empty file holds no MPEG audio and is left alone.

#include "core/tags/id3_tags.h"
#include "core/tags/tag_test_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(EmptyMp3Write, EmptyFileIsNoAudioAndStaysEmpty) {
    TempDir dir;
    const auto file = dir / "empty.mp3";
    writeFile(file, "");
    TagFields fields;
    fields.v1.title = "Short";
    fields.v2.title = "Long title";
    EXPECT_EQ(saveTagFields(test::journal(), file, fields), TagWriteOutcome::WrongContent);
    EXPECT_EQ(readFile(file), "");
}

TEST(EmptyMp3Write, BothTagsLandAndASecondWriteKeepsThem) {
    TempDir dir;
    const auto file = dir / "bare.mp3";
    const std::string audio = test::mpegAudio(3);
    writeFile(file, audio);

    TagFields fields;
    fields.v1.title = "One";
    fields.v2.title = "Two";
    ASSERT_TRUE(test::saveTags(file, fields));
    const std::string bytes = readFile(file);
    ASSERT_GT(bytes.size(), audio.size() + 128);
    EXPECT_EQ(bytes.substr(0, 3), "ID3");
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 6), "TAGOne");
    EXPECT_NE(bytes.find(audio), std::string::npos);

    fields.v1.artist = "Three";
    fields.v2.artist = "Four";
    ASSERT_TRUE(test::saveTags(file, fields));
    TagFields read;
    (void)loadTagFields(file, read);
    EXPECT_EQ(read.v1.title, "One");
    EXPECT_EQ(read.v1.artist, "Three");
    EXPECT_EQ(read.v2.title, "Two");
    EXPECT_EQ(read.v2.artist, "Four");
}

}  // namespace
}  // namespace tunex
