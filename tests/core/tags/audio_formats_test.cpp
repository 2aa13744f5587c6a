// The made audio files themselves: every reader the tag tests rely on must take them as they are.

#include <gtest/gtest.h>
#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <string>

#include "support/audio_files.h"
#include "support/temp_dir.h"

namespace tunex {
namespace {

struct MadeFile {
    std::string_view format;
    std::string titleKey;
    std::string gainKey;
    std::string (*taglibTitle)(const char* path, bool withProperties);
};

// The title TagLib reads, or "invalid" / "no properties" when it refuses the file.
template <class File>
std::string taglibTitle(const char* path, bool withProperties) {
    File file(path, withProperties);
    if (!file.isValid() || file.tag() == nullptr) {
        return "invalid";
    }
    if (withProperties &&
        (file.audioProperties() == nullptr || file.audioProperties()->sampleRate() == 0 ||
         file.audioProperties()->lengthInMilliseconds() == 0)) {
        return "no properties";
    }
    return file.tag()->title().to8Bit(true);
}

const MadeFile kMadeFiles[] = {
    {"flac", "TITLE", "REPLAYGAIN_TRACK_GAIN", taglibTitle<TagLib::FLAC::File>},
    {"ogg", "TITLE", "REPLAYGAIN_TRACK_GAIN", taglibTitle<TagLib::Ogg::Vorbis::File>},
    {"opus", "TITLE", "R128_TRACK_GAIN", taglibTitle<TagLib::Ogg::Opus::File>},
    {"m4a", "\xC2\xA9nam", "----:com.apple.iTunes:replaygain_track_gain",
     taglibTitle<TagLib::MP4::File>},
    {"m4a-tail", "\xC2\xA9nam", "----:com.apple.iTunes:replaygain_track_gain",
     taglibTitle<TagLib::MP4::File>},
    {"wma", "Title", "REPLAYGAIN_TRACK_GAIN", taglibTitle<TagLib::ASF::File>},
    {"ape", "Title", "REPLAYGAIN_TRACK_GAIN", taglibTitle<TagLib::APE::File>},
    {"wv", "Title", "REPLAYGAIN_TRACK_GAIN", taglibTitle<TagLib::WavPack::File>},
    {"aiff", "TIT2", "TXXX:REPLAYGAIN_TRACK_GAIN", taglibTitle<TagLib::RIFF::AIFF::File>},
    {"wav", "TIT2", "TXXX:REPLAYGAIN_TRACK_GAIN", taglibTitle<TagLib::RIFF::WAV::File>},
};

class MadeAudioFile : public ::testing::TestWithParam<MadeFile> {};

TEST_P(MadeAudioFile, OpensInTagLibAndMutagenWithItsTags) {
    const MadeFile& made = GetParam();
    const test::TempDir dir;
    const auto bare = dir / "bare";
    const auto tagged = dir / "tagged";
    ASSERT_TRUE(test::makeAudioFile(made.format, bare));
    ASSERT_TRUE(test::makeAudioFile(made.format, tagged,
                                    {{{made.titleKey, {"Caf\xC3\xA9 Song"}}}, true, true}));

    for (const bool withProperties : {false, true}) {
        SCOPED_TRACE(withProperties ? "with audio properties" : "tags only");
        EXPECT_EQ(made.taglibTitle(bare.c_str(), withProperties), "");
        EXPECT_EQ(made.taglibTitle(tagged.c_str(), withProperties), "Caf\xC3\xA9 Song");
    }

    const test::AudioViewMap before = test::audioViewMap(bare);
    const test::AudioViewMap after = test::audioViewMap(tagged);
    EXPECT_EQ(before.at("pictures"), std::vector<std::string>{"0"});
    EXPECT_EQ(after.at("pictures"), std::vector<std::string>{"1"});
    EXPECT_EQ(after.count("picture"), 1U);
    EXPECT_EQ(after.at(made.titleKey), std::vector<std::string>{"Caf\xC3\xA9 Song"});
    EXPECT_EQ(after.count(made.gainKey), 1U);
    // Tagging by mutagen moves no audio byte, which the write tests take as their reference.
    EXPECT_EQ(before.at("audio"), after.at("audio"));
    if (after.count("ogg") != 0) {
        EXPECT_EQ(after.at("ogg"), std::vector<std::string>{"ok"});
    }
    if (after.count("stco") != 0) {
        EXPECT_EQ(after.at("stco"), std::vector<std::string>{"0,1024,2048,3072"});
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, MadeAudioFile, ::testing::ValuesIn(kMadeFiles),
                         [](const auto& info) {
                             std::string name(info.param.format);
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
}  // namespace tunex
