#pragma once

#include <string_view>

namespace tunex {

// Why the tag tools leave a file alone, in the words messages, batch results and the preview's
// left-alone list use after the file's name ("The file F was left as it is: ...").
inline constexpr std::string_view kNotReadWholeReason = "its tag cannot be read whole";
inline constexpr std::string_view kTwoId3ChunksReason =
    "it holds two ID3 chunks; writing would lose one";
inline constexpr std::string_view kDamagedPictureReason =
    "its picture block is damaged; writing would lose it";
inline constexpr std::string_view kNoAudioReason = "it holds no audio";

}  // namespace tunex
