#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tunex::test {

// Small audio files of the tagged formats besides mp3, made and read by audio_files.py through
// mutagen, so that what a test checks never comes from the code under test.

// Format names of audio_files.py and the file extension each is written under.
struct AudioFormat {
    std::string_view name;  // "m4a-tail" is an MP4 file with its moov after the audio
    std::string_view extension;
};
inline constexpr AudioFormat kAudioFormats[] = {
    {"flac", ".flac"}, {"ogg", ".ogg"},      {"oga", ".oga"}, {"opus", ".opus"},
    {"m4a", ".m4a"},   {"m4a-tail", ".m4a"}, {"wma", ".wma"}, {"ape", ".ape"},
    {"wv", ".wv"},     {"aiff", ".aiff"},    {"wav", ".wav"},
};

// Initial tags in the format's own keys: Vorbis comment names, MP4 atom names ("\xC2\xA9nam",
// "trkn" as "3/12", "----:com.apple.iTunes:X"), ASF attribute names, APEv2 keys, ID3 frame ids
// ("TIT2", "TXXX:desc", "COMM:desc:lang") for AIFF and WAV.
struct AudioTags {
    std::vector<std::pair<std::string, std::vector<std::string>>> fields;
    bool picture = false;     // one PNG cover in the format's picture field
    bool replayGain = false;  // track gain and peak as taggers usually spell them
    int padding = -1;         // bytes of padding mutagen leaves; its own choice when negative
    bool backCover = false;   // with `picture`, a back cover (MP4: a second image) after it
};

// Writes a small valid file of `format` holding `tags`; fails with the script's message.
[[nodiscard]] ::testing::AssertionResult makeAudioFile(std::string_view format,
                                                       const std::filesystem::path& file,
                                                       const AudioTags& tags = {});

// What mutagen sees in `file`, one fact a line, sorted: format=, KEY=value for each value of each
// text field, pictures=N and picture=<sha256> <mime>, audio=<sha256> of the audio payload alone,
// and for MP4 stco= (chunk offsets relative to the audio), for Ogg ogg=ok (checksums and page
// numbers), for AIFF and WAV id3=2.N. A file mutagen cannot read adds a test failure and gives
// "error=" with the reason.
[[nodiscard]] std::string audioView(const std::filesystem::path& file);

// The same facts keyed by the text before the first '=', values in line order.
using AudioViewMap = std::map<std::string, std::vector<std::string>>;
[[nodiscard]] AudioViewMap audioViewMap(const std::filesystem::path& file);

}  // namespace tunex::test
