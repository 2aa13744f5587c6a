// Tags TagLib cannot read whole are never written over: TagLib would write only what it read and
// lose the rest. Found by the damaged-file run of every format.

#include "core/tags/id3_tags.h"
#include "support/audio_files.h"
#include "support/temp_dir.h"
#include "support/test_journal.h"

#include <gtest/gtest.h>

namespace tunex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// `from` overwritten by `to` at its first place in the file.
void overwrite(const std::filesystem::path& file, std::string_view from, std::string_view to) {
    std::string bytes = readFile(file);
    const std::size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    bytes.replace(at, to.size(), to);
    writeFile(file, bytes);
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
        std::string_view from;
        std::string_view to;
    };
    const std::vector<Case> cases = {
        {"aiff", "a.aiff", {{{"TIT2", {"Old"}}, {"TPE1", {"Artist"}}}, true}, "TIT2", "TITx"},
        {"wav", "a.wav", {{{"TIT2", {"Old"}}, {"TPE1", {"Artist"}}}, true}, "TIT2", "TIT\x01"},
        {"m4a",
         "a.m4a",
         {{{"\xC2\xA9nam", {"Old"}},
           {"\xC2\xA9"
            "ART",
            {"Artist"}}},
          true},
         "ilst",
         "ils\x01"},
        {"m4a", "b.m4a", {{{"\xC2\xA9nam", {"Old"}}}, true}, "stco", "stco"},
        // A FLAC comment of bytes that are not UTF-8, which TagLib would write back changed.
        {"flac", "a.flac", {{{"TITLE", {"Old"}}, {"MOOD", {"calm"}}}, true}, "calm", "c\xff"},
    };
    for (const Case& c : cases) {
        const auto file = dir / std::string(c.name);
        ASSERT_TRUE(test::makeAudioFile(c.format, file, c.tags));
        if (c.format == "m4a") {
            // The first item's size, just behind the list's header, grows past the list; or the
            // table's count, behind its version and flags, says 20 where it holds 4.
            std::string bytes = readFile(file);
            const std::size_t at = bytes.find(c.from);
            ASSERT_NE(at, std::string::npos);
            if (c.from == "ilst") {
                bytes[at + 4] = '\x7f';
            } else {
                bytes[at + 11] = '\x14';
            }
            writeFile(file, bytes);
        } else {
            overwrite(file, c.from, c.to);
        }
        const std::string before = readFile(file);
        TagFields fields;
        (void)loadTagFields(file, fields);
        fields.v2.album = "New";
        EXPECT_EQ(saveTagFields(test::journal(), file, fields), TagWriteOutcome::NotReadWhole)
            << c.name;
        EXPECT_EQ(clearAllTags(test::journal(), file), TagWriteOutcome::NotReadWhole) << c.name;
        EXPECT_EQ(readFile(file), before) << c.name;
    }
}

}  // namespace
}  // namespace tunex
