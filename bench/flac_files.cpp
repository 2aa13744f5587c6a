#include "flac_files.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace tunex::bench {

namespace {

constexpr std::uint64_t kSampleRate = 44'100;
constexpr std::uint64_t kChannels = 2;
constexpr std::uint64_t kBitsPerSample = 16;
constexpr std::size_t kFrameBytes = 4'000;

void appendBigEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

void appendLittleEndian32(std::string& out, std::size_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

void appendBlock(std::string& out, int type, bool last, const std::string& body) {
    out.push_back(static_cast<char>(type | (last ? 0x80 : 0)));
    appendBigEndian(out, body.size(), 3);
    out += body;
}

std::string streamInfo() {
    std::string body;
    appendBigEndian(body, 4'096, 2);  // smallest and largest block, in samples
    appendBigEndian(body, 4'096, 2);
    appendBigEndian(body, 0, 3);  // frame sizes not known
    appendBigEndian(body, 0, 3);
    const std::uint64_t samples = kSampleRate;  // one second
    appendBigEndian(
        body, kSampleRate << 44 | (kChannels - 1) << 41 | (kBitsPerSample - 1) << 36 | samples, 8);
    body.append(16, '\0');  // no MD5 of the audio
    return body;
}

std::string vorbisComment(std::initializer_list<std::pair<std::string_view, std::string>> fields) {
    static constexpr std::string_view kVendor = "tunex-bench";
    std::string body;
    appendLittleEndian32(body, kVendor.size());
    body += kVendor;
    appendLittleEndian32(body, fields.size());
    for (const auto& [key, value] : fields) {
        appendLittleEndian32(body, key.size() + 1 + value.size());
        body.append(key);
        body.push_back('=');
        body += value;
    }
    return body;
}

}  // namespace

std::string flacFile(const std::string& title, const std::string& artist, const std::string& album,
                     int number, std::size_t padding) {
    std::string file = "fLaC";
    appendBlock(file, 0, false, streamInfo());
    appendBlock(file, 4, false,
                vorbisComment({{"TITLE", title},
                               {"ARTIST", artist},
                               {"ALBUM", album},
                               {"DATE", "2001"},
                               {"TRACKNUMBER", std::to_string(number % 20 + 1)}}));
    appendBlock(file, kFlacPaddingBlock, true, std::string(padding, '\0'));
    // A frame header's sync code, then bytes nobody decodes: readers of the tags stop before them.
    file += "\xFF\xF8\x69\x18";
    for (std::size_t i = 0; i < kFrameBytes; ++i) {
        file.push_back(static_cast<char>(0x80 + (i * 7 + static_cast<std::size_t>(number)) % 0x60));
    }
    return file;
}

std::optional<std::vector<FlacBlock>> flacBlocks(std::string_view bytes) {
    if (!bytes.starts_with("fLaC")) {
        return std::nullopt;
    }
    std::vector<FlacBlock> blocks;
    std::size_t at = 4;
    for (bool last = false; !last;) {
        if (bytes.size() - at < 4) {
            return std::nullopt;
        }
        const auto header = static_cast<unsigned char>(bytes[at]);
        last = (header & 0x80) != 0;
        std::size_t size = 0;
        for (std::size_t i = 1; i <= 3; ++i) {
            size = size << 8 | static_cast<unsigned char>(bytes[at + i]);
        }
        at += 4;
        if (size > bytes.size() - at) {
            return std::nullopt;
        }
        blocks.push_back({header & 0x7F, at, size});
        at += size;
    }
    return blocks;
}

}  // namespace tunex::bench
