#include "core/tags/id3v2_rewrite_check.h"

#include <taglib/id3v2extendedheader.h>
#include <taglib/id3v2footer.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>

#include <algorithm>
#include <array>
#include <memory>

namespace tunex {

namespace {

using TagLib::ByteVector;
namespace ID3v2 = TagLib::ID3v2;

// The "discard this frame when the tag is altered" flag, read from the frame's own header.
bool discardedOnAlteration(const ByteVector& data, long position, unsigned majorVersion) {
    if (majorVersion < 3 || position + 9 >= static_cast<long>(data.size())) {
        return false;
    }
    const auto status = static_cast<unsigned char>(data.at(static_cast<unsigned>(position + 8)));
    return (status & (majorVersion == 3 ? 0x80 : 0x40)) != 0;
}

}  // namespace

long storedTagSize(const ID3v2::Header& header) {
    const bool footer = header.footerPresent() && header.majorVersion() >= 4;
    return static_cast<long>(ID3v2::Header::size()) + static_cast<long>(header.tagSize()) +
           (footer ? static_cast<long>(ID3v2::Footer::size()) : 0L);
}

bool taglibKeepsEveryFrame(TagLib::File& file, long location, ID3v2::Tag& tag) {
    file.seek(location);
    const ByteVector head = file.readBlock(ID3v2::Header::size());
    if (head.size() != ID3v2::Header::size()) {
        return false;
    }
    const ID3v2::Header header(head);
    ByteVector data = file.readBlock(header.tagSize());
    if (data.size() != header.tagSize()) {
        return false;
    }
    const long end = location + storedTagSize(header);
    if (end > file.length()) {
        return false;
    }
    file.seek(end);
    if (file.readBlock(3) == ID3v2::Header::fileIdentifier()) {
        return false;
    }
    if (header.unsynchronisation() && header.majorVersion() <= 3) {
        data = ID3v2::SynchData::decode(data);
    }
    long position = 0;
    long dataEnd = data.size();
    if (header.extendedHeader()) {
        ID3v2::ExtendedHeader extended;
        extended.setData(data);
        if (extended.size() <= data.size()) {
            position = extended.size();
        }
    }
    if (header.footerPresent() && dataEnd >= 10) {
        dataEnd -= 10;
    }
    const long frameHeader = ID3v2::Frame::headerSize(header.majorVersion());
    const ID3v2::FrameFactory* factory = ID3v2::FrameFactory::instance();
    while (position + static_cast<long>(ID3v2::Header::size()) < dataEnd) {
        if (data.at(static_cast<unsigned>(position)) == 0) {
            break;
        }
        const std::unique_ptr<ID3v2::Frame> frame(
            factory->createFrame(data.mid(static_cast<unsigned>(position)), &header));
        if (!frame || frame->size() == 0 ||
            discardedOnAlteration(data, position, header.majorVersion())) {
            return false;
        }
        position += static_cast<long>(frame->size()) + frameHeader;
    }
    for (; position < dataEnd; ++position) {
        if (data.at(static_cast<unsigned>(position)) != 0) {
            return false;
        }
    }
    return std::all_of(tag.frameList().begin(), tag.frameList().end(),
                       [](const ID3v2::Frame* frame) { return frame->frameID().size() == 4; });
}

ID3v2::Version renderVersionFor(ID3v2::Tag& tag) {
    static constexpr std::array<const char*, 11> kV24Only = {
        "ASPI", "EQU2", "RVA2", "SEEK", "SIGN", "TDRL", "TDTG", "TMOO", "TPRO", "TSST", "TMCL"};
    const bool needsV24 = std::any_of(kV24Only.begin(), kV24Only.end(),
                                      [&](const char* id) { return !tag.frameList(id).isEmpty(); });
    return needsV24 ? ID3v2::v4 : ID3v2::v3;
}

}  // namespace tunex
