#include "core/tags/id3_cover.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>

#include <memory>
#include <optional>

namespace tunex {

namespace {

using TagLib::ByteVector;
namespace ID3v2 = TagLib::ID3v2;

bool isFrontCover(const ID3v2::Frame& frame) {
    const auto* picture = dynamic_cast<const ID3v2::AttachedPictureFrame*>(&frame);
    return picture != nullptr && picture->type() == ID3v2::AttachedPictureFrame::FrontCover;
}

ByteVector byteVector(std::string_view bytes) {
    return {bytes.data(), static_cast<unsigned>(bytes.size())};
}

// A front cover frame as TagLib builds it; the tag takes it over.
ID3v2::AttachedPictureFrame* newCoverFrame(const Picture& picture) {
    auto frame = std::make_unique<ID3v2::AttachedPictureFrame>();
    frame->setTextEncoding(TagLib::String::Latin1);
    frame->setMimeType(TagLib::String(picture.mime));
    frame->setType(ID3v2::AttachedPictureFrame::FrontCover);
    frame->setPicture(byteVector(picture.bytes));
    return frame.release();
}

// Read by TagLib itself, so that the frame replaced is one this program shows as the cover.
bool isFrontCover(const RawFrame& frame, const ID3v2::Header& header) {
    if (frame.id() != "APIC") {
        return false;
    }
    const std::unique_ptr<ID3v2::Frame> parsed(
        ID3v2::FrameFactory::instance()->createFrame(byteVector(frame.bytes), &header));
    return parsed != nullptr && isFrontCover(*parsed);
}

}  // namespace

CoverInfo coverOfId3(ID3v2::Tag& tag) {
    CoverInfo info;
    for (const ID3v2::Frame* frame : tag.frameList("APIC")) {
        ++info.pictures;
        if (!info.front && isFrontCover(*frame)) {
            const auto& picture = static_cast<const ID3v2::AttachedPictureFrame&>(*frame);
            const ByteVector bytes = picture.picture();
            info.front =
                Picture{std::string(bytes.data(), bytes.size()), picture.mimeType().to8Bit(true)};
        }
    }
    return info;
}

void setId3Cover(V2Layout& layout, const CoverEdit& edit) {
    ID3v2::Header header;
    header.setMajorVersion(static_cast<unsigned>(layout.majorVersion));
    std::vector<RawFrame> kept;
    std::optional<std::size_t> first;
    for (RawFrame& frame : layout.frames) {
        if (isFrontCover(frame, header)) {
            first = first.value_or(kept.size());
        } else {
            kept.push_back(std::move(frame));
        }
    }
    if (edit) {
        ID3v2::Tag scratch;
        scratch.addFrame(newCoverFrame(*edit));
        const ByteVector rendered =
            scratch.render(layout.majorVersion == 4 ? ID3v2::v4 : ID3v2::v3);
        std::vector<RawFrame> cover =
            framesOfRendered(std::string_view(rendered.data(), rendered.size()));
        const auto at = kept.begin() + static_cast<std::ptrdiff_t>(first.value_or(kept.size()));
        kept.insert(at, std::make_move_iterator(cover.begin()),
                    std::make_move_iterator(cover.end()));
    }
    layout.frames = std::move(kept);
}

void setId3Cover(ID3v2::Tag& tag, const CoverEdit& edit) {
    std::vector<ID3v2::Frame*> covers;
    for (ID3v2::Frame* frame : tag.frameList("APIC")) {
        if (isFrontCover(*frame)) {
            covers.push_back(frame);
        }
    }
    for (ID3v2::Frame* frame : covers) {
        tag.removeFrame(frame);
    }
    if (edit) {
        tag.addFrame(newCoverFrame(*edit));
    }
}

}  // namespace tunex
