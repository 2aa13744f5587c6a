#pragma once

#include "support/temp_dir.h"

#include "core/store/workspace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tunex::test {

// A base folder with an empty catalogue, opened as the program opens it.
inline std::unique_ptr<Workspace> openEmptyBase(const TempDir& dir,
                                                std::string_view settings = "<ts>0\n<tf>0\n@*EOF") {
    writeFile(dir / "system/system.ifo", settings);
    UserMessage failure;
    auto workspace = Workspace::open(dir.path(), failure);
    EXPECT_TRUE(workspace) << failure.text;
    return workspace;
}

// A small mp3: an ID3v2.3 tag with the given text frames (empty ones left out), then a few
// MPEG-1 Layer III frames of silence at 128 kbit/s, 44.1 kHz.
inline std::string mp3WithTag(std::string_view title, std::string_view artist,
                              std::string_view album) {
    std::string frames;
    const auto addFrame = [&frames](std::string_view id, std::string_view text) {
        if (text.empty()) {
            return;
        }
        const std::uint32_t size = static_cast<std::uint32_t>(text.size() + 1);
        frames.append(id);
        for (int shift = 24; shift >= 0; shift -= 8) {
            frames.push_back(static_cast<char>((size >> shift) & 0xFF));
        }
        frames.append(2, '\0');  // flags
        frames.push_back('\0');  // Latin-1
        frames.append(text);
    };
    addFrame("TIT2", title);
    addFrame("TPE1", artist);
    addFrame("TALB", album);
    std::string file = "ID3";
    file.push_back('\x03');
    file.push_back('\0');
    file.push_back('\0');
    const auto size = static_cast<std::uint32_t>(frames.size());
    for (int shift = 21; shift >= 0; shift -= 7) {
        file.push_back(static_cast<char>((size >> shift) & 0x7F));
    }
    file += frames;
    for (int frame = 0; frame < 4; ++frame) {
        std::string audio(417, '\0');
        audio[0] = '\xFF';
        audio[1] = '\xFB';
        audio[2] = '\x90';
        file += audio;
    }
    return file;
}

}  // namespace tunex::test
