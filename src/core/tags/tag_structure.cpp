#include "core/tags/tag_structure.h"

#include "core/common/text.h"
#include "core/tags/refusal_reasons.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tunex {

namespace {

using TagLib::ByteVector;

// Atoms TagLib reads the children of; "meta" and "stsd" have a few bytes before theirs.
bool isMp4Container(const ByteVector& type) {
    static constexpr std::array<const char*, 11> kContainers = {
        "moov", "udta", "mdia", "meta", "ilst", "stbl", "minf", "moof", "traf", "trak", "stsd"};
    return std::any_of(kContainers.begin(), kContainers.end(),
                       [&](const char* name) { return type == name; });
}

}  // namespace

// NOLINTNEXTLINE(misc-no-recursion): as deep as the atoms nest, at most kDeepest levels
bool mp4AtomsWhole(TagLib::IOStream& stream, long begin, long end, int depth, bool items) {
    constexpr int kDeepest = 16;
    if (depth > kDeepest) {
        return false;
    }
    long position = begin;
    while (position < end) {
        stream.seek(position);
        const ByteVector header = stream.readBlock(16);
        if (end - position < 8 || header.size() < 8) {
            return false;
        }
        long size = static_cast<long>(header.toUInt(0U, true));
        long headerSize = 8;
        if (size == 1) {
            if (header.size() < 16 || header.toLongLong(8U, true) > end - position) {
                return false;
            }
            size = static_cast<long>(header.toLongLong(8U, true));
            headerSize = 16;
        } else if (size == 0 && depth == 0) {
            size = end - position;  // the last atom runs to the end of the file
        }
        if (size < headerSize || size > end - position) {
            return false;
        }
        const ByteVector type = header.mid(4, 4);
        if (type == "stco" || type == "co64") {
            // TagLib moves every entry the count names when the audio moves, whatever the
            // atom's size: a count running past the table would overwrite what follows it.
            stream.seek(position + headerSize + 4);
            const ByteVector count = stream.readBlock(4);
            const long entry = type == "stco" ? 4 : 8;
            if (count.size() != 4 ||
                static_cast<long long>(count.toUInt(0U, true)) * entry > size - headerSize - 8) {
                return false;
            }
        }
        if (items || isMp4Container(type)) {
            long children = position + headerSize;
            if (type == "stsd") {
                children += 8;
            } else if (type == "meta") {
                // A full atom has version and flags first; QuickTime's has not.
                stream.seek(children + 4);
                children += stream.readBlock(4) == "hdlr" ? 0 : 4;
            }
            if (children > position + size ||
                !mp4AtomsWhole(stream, children, position + size, depth + 1, type == "ilst")) {
                return false;
            }
        }
        position += size;
    }
    return position == end;
}

namespace {

constexpr int kVorbisCommentBlock = 4;
constexpr int kPictureBlock = 6;

// Whether a picture block's lengths (MIME type, description, picture data) add up within it.
bool pictureFits(const ByteVector& block) {
    const auto size = static_cast<unsigned long long>(block.size());
    unsigned long long position = 4;  // the picture type
    for (int length = 0; length < 2; ++length) {
        if (position + 4 > size) {
            return false;
        }
        position += 4ULL + block.toUInt(static_cast<unsigned>(position), true);
    }
    position += 16;  // width, height, colour depth, colours used
    if (position + 4 > size) {
        return false;
    }
    return position + 4 + block.toUInt(static_cast<unsigned>(position), true) <= size;
}

// A comment as TagLib keeps it: UTF-8, with a key of ASCII from space to "}" but "=" before the
// first "="; it drops any other when it writes the tag, and writes other bytes back changed.
bool keptComment(std::string_view comment) {
    const std::size_t equals = comment.find('=');
    return equals != 0 && equals != std::string_view::npos &&
           std::all_of(comment.begin(), comment.begin() + static_cast<std::ptrdiff_t>(equals),
                       [](char c) { return c >= 0x20 && c <= 0x7D; }) &&
           isUtf8(comment);
}

}  // namespace

bool commentsFit(const ByteVector& block) {
    const auto size = static_cast<unsigned long long>(block.size());
    if (size < 8) {
        return false;
    }
    unsigned long long position = 4ULL + block.toUInt(0U, false);
    if (position + 4 > size) {
        return false;
    }
    const unsigned count = block.toUInt(static_cast<unsigned>(position), false);
    position += 4;
    for (unsigned i = 0; i < count; ++i) {
        if (position + 4 > size) {
            return false;
        }
        const unsigned long long length = block.toUInt(static_cast<unsigned>(position), false);
        position += 4;
        if (length > size - position ||
            !keptComment(
                std::string_view(block.data() + position, static_cast<std::size_t>(length)))) {
            return false;
        }
        position += length;
    }
    return true;
}

namespace {

// The comment packet of an Ogg stream without its header: "\x03vorbis", "OpusTags", or in Ogg
// FLAC the header of the metadata block that holds the comment.
std::optional<ByteVector> oggComment(TagLib::Ogg::File& file) {
    constexpr unsigned kFlacPackets = 32;
    const ByteVector first = file.packet(1);
    if (first.startsWith(ByteVector("\x03vorbis", 7))) {
        return first.mid(7);
    }
    if (first.startsWith("OpusTags")) {
        return first.mid(8);
    }
    for (unsigned i = 1; i < kFlacPackets; ++i) {
        const ByteVector block = i == 1 ? first : file.packet(i);
        if (block.isEmpty()) {
            break;
        }
        if ((static_cast<unsigned char>(block[0]) & 0x7f) == kVorbisCommentBlock) {
            return block.mid(4);
        }
    }
    return std::nullopt;
}

}  // namespace

bool oggCommentWhole(TagLib::Ogg::File& file) {
    const auto comment = oggComment(file);
    return !comment || commentsFit(*comment);
}

long afterLeadingId3v2(TagLib::IOStream& stream) {
    stream.seek(0);
    const ByteVector head = stream.readBlock(10);
    if (head.size() < 10 || !head.startsWith("ID3")) {
        return 0;
    }
    long size = 0;
    for (int i = 6; i < 10; ++i) {
        size = size * 128 + (static_cast<unsigned char>(head[i]) & 0x7f);
    }
    return 10 + size + ((static_cast<unsigned char>(head[5]) & 0x10) != 0 ? 10 : 0);
}

FlacBlocks flacMetadataBlocks(TagLib::IOStream& stream) {
    FlacBlocks found;
    found.start = afterLeadingId3v2(stream) + 4;  // behind "fLaC"
    const long length = stream.length();
    long position = found.start;
    for (bool last = false; !last;) {
        stream.seek(position);
        const ByteVector header = stream.readBlock(4);
        if (header.size() < 4) {
            return found;
        }
        last = (static_cast<unsigned char>(header[0]) & 0x80) != 0;
        const long size = static_cast<long>(header.toUInt(0U, true) & 0xFFFFFFU);
        if (size > length - position - 4) {
            return found;
        }
        found.blocks.push_back({position, static_cast<unsigned char>(header[0]) & 0x7f, size});
        position += 4 + size;
    }
    found.whole = true;
    return found;
}

std::string_view flacBlocksProblem(TagLib::IOStream& stream) {
    const FlacBlocks found = flacMetadataBlocks(stream);
    int commentBlocks = 0;
    std::string_view problem;
    for (const FlacBlock& block : found.blocks) {
        stream.seek(block.position + 4);
        const auto content = [&] {
            return stream.readBlock(static_cast<unsigned long>(block.size));
        };
        if (block.type == kVorbisCommentBlock && (++commentBlocks > 1 || !commentsFit(content()))) {
            problem = kNotReadWholeReason;
        } else if (block.type == kPictureBlock && !pictureFits(content())) {
            problem = kDamagedPictureReason;
        }
        if (!problem.empty()) {
            break;
        }
    }
    stream.seek(0);
    return problem.empty() && !found.whole ? kNotReadWholeReason : problem;
}

}  // namespace tunex
