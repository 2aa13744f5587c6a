#include "core/tags/ogg_in_place.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tunex {

namespace {

using TagLib::ByteVector;

constexpr long kPageHeader = 27;
constexpr int kCrcAt = 22;

struct Piece {
    long offset = 0;
    long length = 0;
};

// Where the comment packet lies: its pieces in the page bodies, and the pages that hold them.
struct PacketPlace {
    std::vector<Piece> pieces;
    std::vector<long> pages;
    long length = 0;
};

std::uint32_t oggCrc(const ByteVector& page) {
    static constexpr std::array<std::uint32_t, 256> kTable = [] {
        std::array<std::uint32_t, 256> table{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) {
                r = (r & 0x80000000U) != 0 ? (r << 1) ^ 0x04C11DB7U : r << 1;
            }
            table[i] = r;
        }
        return table;
    }();
    std::uint32_t crc = 0;
    for (const char c : page) {
        crc = (crc << 8) ^ kTable[((crc >> 24) ^ static_cast<unsigned char>(c)) & 0xFFU];
    }
    return crc;
}

// The second packet of the stream, read from the pages' lacing values.
std::optional<PacketPlace> commentPlace(TagLib::IOStream& stream) {
    PacketPlace place;
    const long length = stream.length();
    std::optional<unsigned> serial;
    int packet = 0;
    for (long page = 0; page + kPageHeader <= length;) {
        stream.seek(page);
        const ByteVector header = stream.readBlock(kPageHeader);
        const unsigned pageSerial = header.toUInt(14U, false);
        if (!header.startsWith("OggS") || (serial && *serial != pageSerial)) {
            return std::nullopt;
        }
        serial = pageSerial;
        const auto segments = static_cast<unsigned char>(header[26]);
        const ByteVector lacing = stream.readBlock(segments);
        if (lacing.size() < segments) {
            return std::nullopt;
        }
        long body = page + kPageHeader + segments;
        for (int i = 0; i < segments && packet < 2; ++i) {
            const auto size = static_cast<unsigned char>(lacing[i]);
            if (packet == 1) {
                if (place.pages.empty() || place.pages.back() != page) {
                    place.pages.push_back(page);
                    place.pieces.push_back({body, 0});
                }
                place.pieces.back().length += size;
                place.length += size;
            }
            body += size;
            packet += size < 255 ? 1 : 0;
        }
        if (packet >= 2) {
            return place;
        }
        page = body;
    }
    return std::nullopt;
}

// Works the page's checksum out again over its new bytes.
void resealPage(TagLib::IOStream& stream, long page) {
    stream.seek(page);
    ByteVector bytes = stream.readBlock(kPageHeader);
    const ByteVector lacing = stream.readBlock(static_cast<unsigned char>(bytes[26]));
    long bodySize = 0;
    for (const char size : lacing) {
        bodySize += static_cast<unsigned char>(size);
    }
    bytes.append(lacing);
    bytes.append(stream.readBlock(static_cast<unsigned long>(bodySize)));
    for (int i = kCrcAt; i < kCrcAt + 4; ++i) {
        bytes[i] = '\0';
    }
    stream.seek(page + kCrcAt);
    stream.writeBlock(ByteVector::fromUInt(oggCrc(bytes), false));
}

}  // namespace

bool writeOggCommentInPlace(TagLib::IOStream& stream, const ByteVector& packet) {
    const std::optional<PacketPlace> place = commentPlace(stream);
    if (!place || static_cast<long>(packet.size()) > place->length) {
        return false;
    }
    ByteVector bytes = packet;
    bytes.resize(static_cast<unsigned>(place->length), '\0');
    unsigned done = 0;
    for (const Piece& piece : place->pieces) {
        stream.seek(piece.offset);
        stream.writeBlock(bytes.mid(done, static_cast<unsigned>(piece.length)));
        done += static_cast<unsigned>(piece.length);
    }
    for (const long page : place->pages) {
        resealPage(stream, page);
    }
    return true;
}

}  // namespace tunex
