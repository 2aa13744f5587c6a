// Tag layouts the mp3 fuzzer reached: every write keeps the bytes that are not tag bytes, or
// refuses and leaves the file alone.

#include "core/tags/id3_tags.h"
#include "core/tags/tag_test_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

namespace tunex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

struct Layout {
    const char* name;
    std::string head;  // bytes before the tag that must stay in front of it
    std::string tag;   // what a write may replace or remove
    std::string audio;
};

std::vector<Layout> layouts() {
    const std::string audio = test::mpegAudio(3);
    const std::string one = test::v2Tag(3, test::v2Text(3, "TIT2", "One"), 16);
    const std::string two = test::v2Tag(3, test::v2Text(3, "TIT2", "Two"), 16);
    std::string footerBit = one;
    footerBit[5] = '\x10';
    return {
        // TagLib folds a second tag right behind the first into it.
        {"two tags in a row", "", one + two, audio},
        // TagLib looks for the tag up to the first audio frame, past junk.
        {"junk before the tag", std::string(2047, 'j'), one, audio},
        // A size TagLib cannot read makes a ten-byte tag.
        {"unreadable tag size", "", std::string("ID3\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 10), audio},
        // Only v2.4 has footers; TagLib counts ten bytes of audio as one here.
        {"footer bit in a v2.3 tag", "", footerBit, audio},
    };
}

using Write = std::function<bool(const std::filesystem::path&)>;

std::vector<std::pair<const char*, Write>> writes() {
    static const std::array<NameValue, 2> values = {
        {{NameField::SongTitle, "Title"}, {NameField::TrackNumber, "7"}}};
    TagFields changed;
    changed.v1.title = "V1";
    changed.v2.title = "V2";
    return {
        {"save unchanged", [](const auto& f) { return test::saveTags(f, TagFields{}); }},
        {"save changed", [changed](const auto& f) { return test::saveTags(f, changed); }},
        {"clear", [](const auto& f) { return test::clearTags(f); }},
        {"names V1", [](const auto& f) { return test::writeNames(f, TagVersion::V1, values); }},
        {"names V2", [](const auto& f) { return test::writeNames(f, TagVersion::V2, values); }},
    };
}

TEST(FuzzFoundTagLayouts, WritesKeepEverythingButTags) {
    TempDir dir;
    const auto file = dir / "song.mp3";
    for (const Layout& layout : layouts()) {
        const std::string original = layout.head + layout.tag + layout.audio;
        for (const auto& [name, write] : writes()) {
            SCOPED_TRACE(std::string(layout.name) + ", " + name);
            writeFile(file, original);
            const bool wrote = write(file);
            std::string after = readFile(file);
            if (!wrote) {
                EXPECT_EQ(after, original);
                continue;
            }
            if (after.size() >= 128 && after.compare(after.size() - 128, 3, "TAG") == 0) {
                after.resize(after.size() - 128);
            }
            ASSERT_GE(after.size(), layout.head.size() + layout.audio.size());
            EXPECT_EQ(after.substr(after.size() - layout.audio.size()), layout.audio);
            EXPECT_EQ(after.substr(0, layout.head.size()), layout.head);
        }
    }
}

}  // namespace
}  // namespace tunex
