// Front covers: image headers, each format's picture place, and the batch over folders.

#include <gtest/gtest.h>

#include <string>

#include "core/tags/cover_setting.h"
#include "core/tags/tag_test_support.h"
#include "support/audio_files.h"
#include "support/temp_dir.h"
#include "support/test_journal.h"

namespace tunex {
namespace {

using test::journal;
using test::readFile;
using test::writeFile;

std::string be16(int n) {
    return {static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
}

// A JPEG's markers up to its frame header: enough for the size, not for a decoder.
std::string jpeg(int width, int height, char sof = '\xC0', std::string_view before = {}) {
    return std::string("\xFF\xD8\xFF\xE0", 4) + be16(16) +
           std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14) + std::string(before) + "\xFF" + sof +
           be16(17) + "\x08" + be16(height) + be16(width) + std::string(12, '\1') + "\xFF\xD9";
}

std::string png(int width, int height) {
    return std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) + test::bigEndian(width) +
           test::bigEndian(height) + std::string("\x08\x02\0\0\0", 5);
}

TEST(CoverArt, ImageHeadersGiveKindAndSize) {
    const struct {
        std::string bytes;
        std::string words;  // coverWords of it
    } cases[] = {
        {png(4, 4), "PNG 4\u00D74, 29 bytes"},
        {jpeg(600, 400), "JPEG 600\u00D7400, 43 bytes"},
        {jpeg(1, 65535, '\xC2', std::string("\xFF\xFE", 2) + be16(4) + "hi"),
         "JPEG 1\u00D765535, 49 bytes"},
        // Scan data before any frame header, a GIF, a cut-off header: named by the MIME alone.
        {std::string("\xFF\xD8\xFF\xDA", 4) + be16(2) + jpeg(9, 9).substr(2), "JPEG, 47 bytes"},
        {std::string("GIF89a\4\0\4\0", 10), "JPEG, 10 bytes"},
        {jpeg(600, 400).substr(0, 26), "JPEG, 26 bytes"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(coverWords(Picture{c.bytes, "image/jpeg"}), c.words);
    }
    EXPECT_EQ(coverWords(std::nullopt), "none");
    EXPECT_EQ(byteSizeWords(1023), "1023 bytes");
    EXPECT_EQ(byteSizeWords(1024), "1 KB");
    EXPECT_EQ(byteSizeWords(49152), "48 KB");
    EXPECT_EQ(byteSizeWords(1024 * 1024), "1.0 MB");

    const test::TempDir dir;
    writeFile(dir / "a.gif", "GIF89a\4\1\4\1");
    EXPECT_EQ(loadCoverImage(dir / "a.gif").problem,
              "The file " + (dir / "a.gif").string() +
                  " is not a JPEG or PNG image; a cover must be one.");
    writeFile(dir / "b.png", png(2, 3));
    EXPECT_EQ(loadCoverImage(dir / "b.png").picture->mime, "image/png");
}

std::vector<std::string> pictureLines(const test::AudioViewMap& view) {
    const auto found = view.find("picture");
    return found == view.end() ? std::vector<std::string>{} : found->second;
}

// Every format: a front and a back picture; Set replaces the front one, Remove takes it, the
// back one stays, and undo gives back every byte.
TEST(CoverArt, SetAndRemoveKeepOtherPicturesInEveryFormat) {
    const test::TempDir dir;
    const Picture cover{jpeg(600, 600), "image/jpeg"};
    for (const test::AudioFormat& format : test::kAudioFormats) {
        SCOPED_TRACE(format.name);
        const auto file = dir / ("song" + std::string(format.extension));
        ASSERT_TRUE(test::makeAudioFile(format.name, file,
                                        {.fields = {},
                                         .picture = true,
                                         .replayGain = false,
                                         .padding = -1,
                                         .backCover = true}));
        const std::string original = readFile(file);
        const auto before = pictureLines(test::audioViewMap(file));
        ASSERT_EQ(before.size(), 2U);
        ASSERT_EQ(readCover(file)->pictures, 2);

        bool changed = false;
        ASSERT_EQ(writeCover(journal(), file, cover, changed), TagWriteOutcome::Written);
        EXPECT_TRUE(changed);
        const auto set = pictureLines(test::audioViewMap(file));
        ASSERT_EQ(set.size(), 2U);
        const int keptCount = static_cast<int>(std::ranges::count(before, set[0]) +
                                               std::ranges::count(before, set[1]));
        EXPECT_EQ(keptCount, 1);
        EXPECT_EQ(readCover(file)->front->bytes, cover.bytes);
        EXPECT_EQ(writeCover(journal(), file, cover, changed), TagWriteOutcome::Written);
        EXPECT_FALSE(changed);

        ASSERT_EQ(writeCover(journal(), file, std::nullopt, changed), TagWriteOutcome::Written);
        const auto removed = pictureLines(test::audioViewMap(file));
        ASSERT_EQ(removed.size(), 1U);
        EXPECT_EQ(std::ranges::count(before, removed[0]), 1);
        // MP4 has no picture types: its remaining image is the cover now.
        EXPECT_EQ(readCover(file)->front.has_value(), format.extension == ".m4a");

        (void)journal().undoLast();
        (void)journal().undoLast();
        EXPECT_EQ(readFile(file), original);
    }
}

std::string apic(int type, std::string_view data) {
    return test::v2Frame(
        3, "APIC",
        std::string("\0image/png\0", 11) + static_cast<char>(type) + '\0' + std::string(data));
}

TEST(CoverArt, Mp3KeepsEveryOtherFrameByteForByte) {
    const test::TempDir dir;
    const std::string back = apic(4, png(8, 8));
    const std::string title = test::v2Text(3, "TIT2", "Song");
    const auto file = dir / "a.mp3";
    writeFile(file, test::v2Tag(3, title + apic(3, png(4, 4)) + back, 64) + test::mpegAudio(4));
    bool changed = false;
    const Picture cover{jpeg(300, 300), "image/jpeg"};
    ASSERT_EQ(writeCover(journal(), file, cover, changed), TagWriteOutcome::Written);
    const std::string written = readFile(file);
    EXPECT_NE(written.find(title), std::string::npos);
    EXPECT_NE(written.find(back), std::string::npos);
    EXPECT_EQ(readCover(file)->pictures, 2);
    EXPECT_EQ(readCover(file)->front->bytes, cover.bytes);
    EXPECT_NE(test::independentView(file).find("APIC"), std::string::npos);

    // A file without a V2 tag gets one holding the cover alone.
    const auto bare = dir / "b.mp3";
    writeFile(bare, test::mpegAudio(4));
    ASSERT_EQ(writeCover(journal(), bare, cover, changed), TagWriteOutcome::Written);
    EXPECT_EQ(readCover(bare)->pictures, 1);
    ASSERT_EQ(writeCover(journal(), bare, std::nullopt, changed), TagWriteOutcome::Written);
    EXPECT_EQ(readFile(bare), test::mpegAudio(4));
}

TEST(CoverArt, BatchTakesEachFoldersImage) {
    const test::TempDir dir;
    std::filesystem::create_directories(dir / "a");
    std::filesystem::create_directories(dir / "b");
    writeFile(dir / "a" / "Cover.JPG", jpeg(500, 500));
    writeFile(dir / "a" / "front.png", png(1, 1));  // cover comes first
    writeFile(dir / "a" / "1.mp3", test::mpegAudio(4));
    ASSERT_TRUE(test::makeAudioFile("flac", dir / "a" / "2.flac"));
    writeFile(dir / "a" / "notes.txt", "x");
    writeFile(dir / "b" / "3.mp3", test::mpegAudio(4));
    const TagScope scope{dir.path().string(), true, std::nullopt};

    CoverSource previewSource = CoverSource::besideEachFile();
    const TagPreview preview = previewCovers(scope, previewSource);
    ASSERT_EQ(preview.rows.size(), 2U);
    EXPECT_EQ(preview.rows[0].field, "Cover");
    EXPECT_EQ(preview.rows[0].oldValue, "none");
    EXPECT_EQ(preview.rows[0].newValue, "JPEG 500\u00D7500, 43 bytes");
    ASSERT_EQ(preview.skipped.size(), 1U);
    EXPECT_EQ(preview.skipped[0].reason, kNoFolderImageReason);

    CoverSource source = CoverSource::besideEachFile();
    int steps = 0;
    const CoverBatchResult result =
        setCoversUnder(journal(), scope, source, {[&steps] { ++steps; }, {}});
    EXPECT_EQ(result.changed, 2);
    EXPECT_EQ(result.noImage.count, 1);
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(readCover(dir / "a" / "2.flac")->front->bytes, jpeg(500, 500));
    EXPECT_EQ(coverBatchResultMessage("/m", result).icon, MessageIcon::Warning);

    CoverSource again = CoverSource::oneImage({jpeg(500, 500), "image/jpeg"});
    EXPECT_EQ(setCoversUnder(journal(), scope, again).unchanged, 2);
}

}  // namespace
}  // namespace tunex
