// Tags TagLib cannot read whole are never written over: TagLib would write only what it read and
// lose the rest. Found by the damaged-file run of every format.

#include "core/tags/id3_tags.h"
#include "core/tags/refusal_reasons.h"
#include "support/audio_files.h"
#include "support/temp_dir.h"
#include "support/test_journal.h"

#include <gtest/gtest.h>

#include <functional>

namespace tunex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// The chunk whose id is `id` written twice, the outer chunk's size (big-endian in AIFF) grown.
void doubleChunk(std::string& bytes, std::string_view id, bool bigEndian) {
    const std::size_t at = bytes.find(id, 12);
    ASSERT_NE(at, std::string::npos) << id;
    const auto sizeAt = [&](std::size_t position) {
        std::uint32_t size = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<unsigned char>(bytes[position + (bigEndian ? i : 3 - i)]);
            size = (size << 8) | byte;
        }
        return size;
    };
    const std::uint32_t size = sizeAt(at + 4);
    const std::string chunk = bytes.substr(at, 8 + size + (size & 1));
    bytes.insert(at + chunk.size(), chunk);
    std::uint32_t outer = sizeAt(4) + static_cast<std::uint32_t>(chunk.size());
    for (int i = 0; i < 4; ++i) {
        bytes[4 + (bigEndian ? 3 - i : i)] = static_cast<char>(outer & 0xFF);
        outer >>= 8;
    }
}

TEST(DamagedFormatTag, WritesThatWouldLoseFieldsAreRefused) {
    TempDir dir;
    // A frame TagLib stops at in the ID3 chunk of AIFF and WAV: the artist and picture behind it
    // are still there for other readers. In MP4 a child of the tag list whose size runs past it:
    // TagLib would add a new tag and move no chunk offset; and a chunk offset table counting more
    // entries than it holds, which TagLib would write past into the audio.
    struct Case {
        std::string_view format;
        std::string_view name;
        test::AudioTags tags;
        std::function<void(std::string&)> damage;
        std::string_view reason = {};  // where the refusal says more than "cannot be read whole"
    };
    const auto replace = [](std::string from, std::string to) {
        return [from, to](std::string& bytes) {
            const std::size_t at = bytes.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            bytes.replace(at, to.size(), to);
        };
    };
    // The first item's size, just behind the list's header, grown past the list; or the table's
    // count, behind its version and flags, saying 20 where it holds 4.
    const auto poke = [](std::string_view atom, std::size_t offset, char value) {
        return [atom, offset, value](std::string& bytes) {
            const std::size_t at = bytes.find(atom);
            ASSERT_NE(at, std::string::npos) << atom;
            bytes[at + offset] = value;
        };
    };
    const std::string_view artist =
        "\xC2\xA9"
        "ART";
    const std::vector<Case> cases = {
        {"aiff",
         "a.aiff",
         {{{"TIT2", {"Old"}}, {"TPE1", {"Artist"}}}, true},
         replace("TIT2", "TITx")},
        {"wav",
         "a.wav",
         {{{"TIT2", {"Old"}}, {"TPE1", {"Artist"}}}, true},
         replace("TIT2", "TIT\x01")},
        {"m4a",
         "a.m4a",
         {{{"\xC2\xA9nam", {"Old"}}, {std::string(artist), {"Artist"}}}, true},
         poke("ilst", 4, '\x7f')},
        {"m4a", "b.m4a", {{{"\xC2\xA9nam", {"Old"}}}, true}, poke("stco", 11, '\x14')},
        // A FLAC comment of bytes that are not UTF-8, which TagLib would write back changed.
        {"flac",
         "a.flac",
         {{{"TITLE", {"Old"}}, {"MOOD", {"calm"}}}, true},
         replace("calm", "c\xff")},
        // An Ogg comment without its "=", which TagLib would drop.
        {"ogg", "c.ogg", {{{"TITLE", {"Old"}}, {"MOOD", {"calm"}}}}, replace("MOOD=", "MOOD_")},
        // A picture whose MIME type's length runs past its block: TagLib would drop the block.
        {"flac",
         "b.flac",
         {{{"TITLE", {"Old"}}}, true},
         replace(std::string("\0\0\0\x09image/png", 13), std::string("\0\0\xff", 3)),
         kDamagedPictureReason},
        // Two ID3 chunks: TagLib reads and writes one.
        {"aiff",
         "b.aiff",
         {{{"TIT2", {"Old"}}}},
         [](std::string& b) { doubleChunk(b, "ID3 ", true); },
         kTwoId3ChunksReason},
        {"wav",
         "b.wav",
         {{{"TIT2", {"Old"}}}},
         [](std::string& b) { doubleChunk(b, "id3 ", false); },
         kTwoId3ChunksReason},
    };
    for (const Case& c : cases) {
        const auto file = dir / std::string(c.name);
        ASSERT_TRUE(test::makeAudioFile(c.format, file, c.tags));
        std::string bytes = readFile(file);
        c.damage(bytes);
        writeFile(file, bytes);
        TagFields fields;
        (void)loadTagFields(file, fields);
        fields.v2.album = "New";
        const TagWriteResult saved = saveTagFields(test::journal(), file, fields);
        EXPECT_EQ(saved, TagWriteOutcome::NotReadWhole) << c.name;
        EXPECT_EQ(saved.reason,
                  c.reason.empty() && c.format == "flac" ? kNotReadWholeReason : c.reason)
            << c.name;
        EXPECT_EQ(clearAllTags(test::journal(), file), TagWriteOutcome::NotReadWhole) << c.name;
        EXPECT_EQ(readFile(file), bytes) << c.name;
    }
}

}  // namespace
}  // namespace tunex

namespace tunex {
namespace {

// A title of bytes that are not UTF-8 reads as empty, yet Clear must take it too: TagLib would
// otherwise write it back as an empty title. Found by the formats run (a damaged MP4 title).
TEST(DamagedFormatTag, ClearTakesAFieldThatReadsEmpty) {
    test::TempDir dir;
    const auto file = dir / "a.m4a";
    ASSERT_TRUE(test::makeAudioFile("m4a", file,
                                    {{{"\xC2\xA9nam", {"Title"}},
                                      {"\xC2\xA9"
                                       "alb",
                                       {"Album"}}}}));
    std::string bytes = test::readFile(file);
    bytes.replace(bytes.find("Title"), 2, "T\xe3");
    test::writeFile(file, bytes);
    ASSERT_EQ(clearAllTags(test::journal(), file), TagWriteOutcome::Written);
    const test::AudioViewMap after = test::audioViewMap(file);
    EXPECT_FALSE(after.contains("\xC2\xA9nam"));
    EXPECT_FALSE(
        after.contains("\xC2\xA9"
                       "alb"));
}

}  // namespace
}  // namespace tunex
