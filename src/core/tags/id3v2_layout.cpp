#include "core/tags/id3v2_layout.h"

#include "core/tags/id3v22_upgrade.h"

namespace tunex {

namespace {

constexpr std::size_t kHeaderSize = 10;
constexpr unsigned char kUnsynchronised = 0x80;
constexpr unsigned char kExtendedHeader = 0x40;
constexpr unsigned char kFooter = 0x10;

unsigned char byteAt(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

std::optional<std::uint32_t> syncsafeAt(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const unsigned char b = byteAt(bytes, at + i);
        if ((b & 0x80) != 0) {
            return std::nullopt;
        }
        value = (value << 7) | b;
    }
    return value;
}

std::uint32_t bigEndianAt(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | byteAt(bytes, at + i);
    }
    return value;
}

void appendSyncsafe(std::string& out, std::size_t n) {
    for (int shift = 21; shift >= 0; shift -= 7) {
        out.push_back(static_cast<char>((n >> shift) & 0x7F));
    }
}

// v2.3 unsynchronisation of the whole tag: every 0xFF 0x00 stands for 0xFF.
std::string withoutUnsynchronisation(std::string_view data) {
    std::string out;
    out.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        if (byteAt(data, i) == 0xFF && i + 1 < data.size() && data[i + 1] == '\0') {
            ++i;
        }
    }
    return out;
}

// Frames and zero padding that fill `data` exactly.
std::optional<std::vector<RawFrame>> splitFrames(std::string_view data, int majorVersion) {
    std::vector<RawFrame> frames;
    std::size_t position = 0;
    while (position < data.size()) {
        if (data[position] == '\0') {
            for (std::size_t i = position; i < data.size(); ++i) {
                if (data[i] != '\0') {
                    return std::nullopt;
                }
            }
            break;
        }
        if (data.size() - position < kHeaderSize) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < 4; ++i) {
            if (!isFrameIdChar(data[position + i])) {
                return std::nullopt;
            }
        }
        std::uint32_t size = 0;
        if (majorVersion == 4) {
            // As TagLib reads it: sizes some writers stored as plain integers count as such.
            const auto syncsafe = syncsafeAt(data, position + 4);
            size = syncsafe ? *syncsafe : bigEndianAt(data, position + 4);
        } else {
            size = bigEndianAt(data, position + 4);
        }
        if (size > data.size() - position - kHeaderSize) {
            return std::nullopt;
        }
        frames.push_back({std::string(data.substr(position, kHeaderSize + size))});
        position += kHeaderSize + size;
    }
    return frames;
}

}  // namespace

bool RawFrame::encoded(int majorVersion) const {
    if (bytes.size() < kHeaderSize) {
        return true;
    }
    const unsigned char format = byteAt(bytes, 9);
    // v2.3: compression, encryption; v2.4: compression, encryption, unsynchronisation.
    return majorVersion == 4 ? (format & 0x0E) != 0 : (format & 0xC0) != 0;
}

std::optional<V2Layout> parseV2Layout(std::string_view tag, std::string* unmappedV22) {
    if (tag.size() < kHeaderSize || tag.substr(0, 3) != "ID3") {
        return std::nullopt;
    }
    const int major = byteAt(tag, 3);
    const unsigned char flags = byteAt(tag, 5);
    const auto size = syncsafeAt(tag, 6);
    if (major < 2 || major > 4 || !size || *size > tag.size() - kHeaderSize) {
        return std::nullopt;
    }
    // v2.4 unsynchronises frame by frame; v2.2 had compression with no method ever defined.
    if ((major == 4 && (flags & kUnsynchronised) != 0) || (major == 2 && (flags & 0x40) != 0)) {
        return std::nullopt;
    }
    std::string data(tag.substr(kHeaderSize, *size));
    if (major < 4 && (flags & kUnsynchronised) != 0) {
        data = withoutUnsynchronisation(data);
    }
    if (major == 2) {
        std::string unmapped;
        auto frames = upgradeV22Frames(data, unmapped);
        if (unmappedV22 != nullptr) {
            *unmappedV22 = std::move(unmapped);
        }
        return frames ? std::optional(V2Layout{3, std::move(*frames)}) : std::nullopt;
    }
    std::size_t start = 0;
    // The extended header only holds facts about the old tag (its CRC, its padding): dropped.
    if ((flags & kExtendedHeader) != 0) {
        if (data.size() < 6) {
            return std::nullopt;
        }
        if (major == 3) {
            start = 4 + bigEndianAt(data, 0);
        } else {
            const auto extended = syncsafeAt(data, 0);
            if (!extended) {
                return std::nullopt;
            }
            start = *extended;
        }
        if (start < 6 || start > data.size()) {
            return std::nullopt;
        }
    }
    (void)kFooter;  // a footer follows the data and is simply not written again
    auto frames = splitFrames(std::string_view(data).substr(start), major);
    if (!frames) {
        return std::nullopt;
    }
    return V2Layout{major, std::move(*frames)};
}

std::string renderV2Layout(int majorVersion, std::span<const RawFrame> frames,
                           std::size_t fitInto) {
    std::size_t framesSize = 0;
    for (const RawFrame& frame : frames) {
        framesSize += frame.bytes.size();
    }
    const std::size_t total =
        framesSize + kHeaderSize <= fitInto ? fitInto : framesSize + kHeaderSize + kV2GrowthPadding;
    std::string tag = "ID3";
    tag.push_back(static_cast<char>(majorVersion));
    tag.push_back('\0');
    tag.push_back('\0');
    appendSyncsafe(tag, total - kHeaderSize);
    for (const RawFrame& frame : frames) {
        tag += frame.bytes;
    }
    tag.resize(total, '\0');
    return tag;
}

std::vector<RawFrame> framesOfRendered(std::string_view tag) {
    const auto layout = parseV2Layout(tag);
    return layout ? layout->frames : std::vector<RawFrame>{};
}

}  // namespace tunex
