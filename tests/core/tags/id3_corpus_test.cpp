#include <gtest/gtest.h>

#include <filesystem>

#include "core/tags/id3_tags.h"
#include "core/tags/tag_test_support.h"

namespace tunex {
namespace {

namespace fs = std::filesystem;
using test::independentView;
using test::readFile;
using test::viewLine;

// Every file of the shared corpus is read, then written on a copy; what our writes leave is checked
// with mutagen. A write may be refused, but then the copy must be byte for byte the original.
TEST(Id3Corpus, EveryFileSurvivesReadsAndWrites) {
    const fs::path corpus = TUNEX_CORPUS_DIR;
    if (!fs::is_directory(corpus)) {
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    test::TempDir dir;
    int files = 0;
    int refused = 0;
    int noAudio = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const fs::path source = entry.path();
        if (source.extension() != ".mp3" && source.extension() != ".id3") {
            continue;
        }
        ++files;
        SCOPED_TRACE(source.filename().string());
        const std::string original = readFile(source);
        (void)readCatalogueId3(source);
        (void)readId3Summary(source);
        TagFields loaded;
        const bool hasV2 = loadTagFields(source, loaded).v2;
        const std::string before = independentView(source);
        // Behind junk (TagLib still finds a tag there) mutagen cannot tell the tag from the audio.
        const bool sameBody = !(hasV2 && viewLine(before, "v2=") == "v2=none");

        // A V2 title: only TIT2 may change, nothing outside the V2 tag.
        const fs::path titled = dir / ("t-" + source.filename().string());
        fs::copy_file(source, titled);
        const TagWriteOutcome titling =
            writeNameFields(test::journal(), titled, TagVersion::V2,
                            std::vector<NameValue>{{NameField::SongTitle, "Tunex Ωmega"}})
                .outcome;
        if (titling == TagWriteOutcome::Written) {
            const std::string after = independentView(titled);
            EXPECT_EQ(readId3Summary(titled).title, "Tunex Ωmega");
            if (sameBody) {
                EXPECT_EQ(viewLine(after, "body="), viewLine(before, "body=")) << after;
            }
            EXPECT_EQ(viewLine(after, "v1="), viewLine(before, "v1="));
            if (viewLine(before, "v2=").find("error") == std::string::npos) {
                EXPECT_EQ(test::framesExcept(after, {"TIT2"}), test::framesExcept(before, {"TIT2"}))
                    << "before:\n"
                    << before << "after:\n"
                    << after;
            }
        } else {
            // Tag-only files and cut-off ones hold no audio at all.
            ++(titling == TagWriteOutcome::WrongContent ? noAudio : refused);
            EXPECT_EQ(readFile(titled), original);
        }

        // The editor's Update with the loaded values and a new V1 title.
        const fs::path saved = dir / ("s-" + source.filename().string());
        fs::copy_file(source, saved);
        TagFields fields = loaded;
        fields.v1.title = "Tunex";
        if (test::saveTags(saved, fields)) {
            const std::string after = independentView(saved);
            // A V2 tag whose size runs past the end hides the new V1 tag from the view.
            if (viewLine(before, "v2=").find("error") == std::string::npos) {
                EXPECT_EQ(viewLine(after, "v1=").rfind("v1=Tunex|", 0), 0u) << after;
            }
            if (sameBody) {
                EXPECT_EQ(viewLine(after, "body="), viewLine(before, "body=")) << after;
            }
        } else {
            EXPECT_EQ(readFile(saved), original);
        }

        const fs::path cleared = dir / ("c-" + source.filename().string());
        fs::copy_file(source, cleared);
        if (test::clearTags(cleared)) {
            const std::string after = independentView(cleared);
            EXPECT_EQ(readCatalogueId3(cleared), "");
            if (sameBody) {
                EXPECT_EQ(viewLine(after, "body="), viewLine(before, "body=")) << after;
            }
        } else {
            EXPECT_EQ(readFile(cleared), original);
        }
    }
    EXPECT_GE(files, 48);
    // Every file with audio is writable, v2.2 tags too (rewritten as v2.3 with every frame).
    EXPECT_EQ(refused, 0);
    EXPECT_LE(noAudio, 12);
    RecordProperty("refused", refused);
    RecordProperty("noAudio", noAudio);
}

}  // namespace
}  // namespace tunex
