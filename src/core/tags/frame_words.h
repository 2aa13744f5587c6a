#pragma once

#include <taglib/id3v2frame.h>

#include <string>

namespace tunex {

// What an ID3v2 frame the editor does not show holds, in words a user knows ("Picture (front
// cover, 120 KB)", "ReplayGain track gain", "Private frame (owner)"), and its text if it has one.
struct FrameWords {
    std::string what;
    std::string text;
};

[[nodiscard]] FrameWords frameWords(const TagLib::ID3v2::Frame& frame);

}  // namespace tunex
