// The pictures of FormatTag: each format keeps them in its own place.
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/oggfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include "core/tags/format_tags.h"
#include "core/tags/id3_cover.h"

namespace tunex {

namespace {

using TagLib::ByteVector;

// APEv2 keeps a picture as "file name", NUL, bytes; the key says which picture it is.
constexpr const char* kApeFrontKey = "Cover Art (Front)";
constexpr std::string_view kApePicturePrefix = "COVER ART (";

ByteVector byteVector(std::string_view bytes) {
    return {bytes.data(), static_cast<unsigned>(bytes.size())};
}

std::string toStd(const ByteVector& bytes) {
    return {bytes.data(), bytes.size()};
}

std::string mimeOfBytes(std::string_view bytes) {
    const auto facts = imageFacts(bytes);
    return facts ? std::string(facts->mime) : std::string();
}

template <typename Pictures>
CoverInfo coverOfFlacPictures(const Pictures& pictures) {
    CoverInfo info;
    for (const TagLib::FLAC::Picture* picture : pictures) {
        ++info.pictures;
        if (!info.front && picture->type() == TagLib::FLAC::Picture::FrontCover) {
            info.front = Picture{toStd(picture->data()), picture->mimeType().to8Bit(true)};
        }
    }
    return info;
}

TagLib::FLAC::Picture* newFlacPicture(const Picture& cover) {
    auto picture = std::make_unique<TagLib::FLAC::Picture>();
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(TagLib::String(cover.mime));
    picture->setData(byteVector(cover.bytes));
    if (const auto facts = imageFacts(cover.bytes)) {
        picture->setWidth(facts->width);
        picture->setHeight(facts->height);
        picture->setColorDepth(24);
    }
    return picture.release();
}

// FLAC blocks and Vorbis comments alike; the new cover goes last, as neither keeps an order
// readers rely on.
template <typename Holder>
void setFlacPictures(Holder& holder, const CoverEdit& edit) {
    std::vector<TagLib::FLAC::Picture*> covers;
    for (TagLib::FLAC::Picture* picture : holder.pictureList()) {
        if (picture->type() == TagLib::FLAC::Picture::FrontCover) {
            covers.push_back(picture);
        }
    }
    for (TagLib::FLAC::Picture* picture : covers) {
        holder.removePicture(picture, true);
    }
    if (edit) {
        holder.addPicture(newFlacPicture(*edit));
    }
}

// MP4 names no picture type: the first `covr` image stands for the front cover.
CoverInfo coverOfMp4(TagLib::MP4::Tag& tag) {
    CoverInfo info;
    if (!tag.contains("covr")) {
        return info;
    }
    const TagLib::MP4::CoverArtList list = tag.item("covr").toCoverArtList();
    info.pictures = static_cast<int>(list.size());
    if (!list.isEmpty()) {
        const TagLib::MP4::CoverArt& first = list.front();
        const std::string bytes = toStd(first.data());
        const std::string_view mime = first.format() == TagLib::MP4::CoverArt::JPEG  ? "image/jpeg"
                                      : first.format() == TagLib::MP4::CoverArt::PNG ? "image/png"
                                      : first.format() == TagLib::MP4::CoverArt::GIF ? "image/gif"
                                      : first.format() == TagLib::MP4::CoverArt::BMP ? "image/bmp"
                                                                                     : "";
        info.front = Picture{bytes, std::string(mime)};
    }
    return info;
}

void setMp4Cover(TagLib::MP4::Tag& tag, const CoverEdit& edit) {
    TagLib::MP4::CoverArtList list;
    if (tag.contains("covr")) {
        list = tag.item("covr").toCoverArtList();
    }
    if (!list.isEmpty()) {
        list.erase(list.begin());
    }
    if (edit) {
        const auto format =
            edit->mime == "image/png" ? TagLib::MP4::CoverArt::PNG : TagLib::MP4::CoverArt::JPEG;
        list.prepend(TagLib::MP4::CoverArt(format, byteVector(edit->bytes)));
    }
    if (list.isEmpty()) {
        tag.removeItem("covr");
    } else {
        tag.setItem("covr", TagLib::MP4::Item(list));
    }
}

CoverInfo coverOfAsf(TagLib::ASF::Tag& tag) {
    CoverInfo info;
    for (const TagLib::ASF::Attribute& attribute : tag.attribute("WM/Picture")) {
        ++info.pictures;
        const TagLib::ASF::Picture picture = attribute.toPicture();
        if (!info.front && picture.isValid() &&
            picture.type() == TagLib::ASF::Picture::FrontCover) {
            info.front = Picture{toStd(picture.picture()), picture.mimeType().to8Bit(true)};
        }
    }
    return info;
}

void setAsfCover(TagLib::ASF::Tag& tag, const CoverEdit& edit) {
    TagLib::ASF::AttributeList kept;
    std::optional<unsigned> first;
    for (const TagLib::ASF::Attribute& attribute : tag.attribute("WM/Picture")) {
        const TagLib::ASF::Picture picture = attribute.toPicture();
        if (picture.isValid() && picture.type() == TagLib::ASF::Picture::FrontCover) {
            first = first.value_or(kept.size());
        } else {
            kept.append(attribute);
        }
    }
    if (edit) {
        TagLib::ASF::Picture picture;
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setMimeType(TagLib::String(edit->mime));
        picture.setPicture(byteVector(edit->bytes));
        auto at = kept.begin();
        std::advance(at, first.value_or(kept.size()));
        kept.insert(at, TagLib::ASF::Attribute(picture));
    }
    if (kept.isEmpty()) {
        tag.removeItem("WM/Picture");
    } else {
        tag.setAttribute("WM/Picture", kept);
    }
}

CoverInfo coverOfApe(const TagLib::APE::Tag* tag) {
    CoverInfo info;
    if (tag == nullptr) {
        return info;
    }
    for (const auto& [key, item] : tag->itemListMap()) {
        if (!key.upper().to8Bit(true).starts_with(kApePicturePrefix) ||
            item.type() != TagLib::APE::Item::Binary) {
            continue;
        }
        ++info.pictures;
        if (key.upper() == TagLib::String(kApeFrontKey).upper()) {
            const ByteVector data = item.binaryData();
            const int end = data.find('\0');
            const std::string bytes =
                end < 0 ? toStd(data) : toStd(data.mid(static_cast<unsigned>(end) + 1));
            info.front = Picture{bytes, mimeOfBytes(bytes)};
        }
    }
    return info;
}

void setApeCover(TagLib::APE::Tag& tag, const CoverEdit& edit) {
    if (!edit) {
        tag.removeItem(kApeFrontKey);
        return;
    }
    const std::string name = edit->mime == "image/png" ? "cover.png" : "cover.jpg";
    ByteVector data(name.c_str(), static_cast<unsigned>(name.size() + 1));
    data.append(byteVector(edit->bytes));
    tag.setItem(kApeFrontKey, TagLib::APE::Item(kApeFrontKey, data, true));
}

TagLib::APE::Tag* apeTagOf(TagLib::File& file, bool create) {
    if (auto* ape = dynamic_cast<TagLib::APE::File*>(&file)) {
        return create || ape->hasAPETag() ? ape->APETag(create) : nullptr;
    }
    if (auto* wavpack = dynamic_cast<TagLib::WavPack::File*>(&file)) {
        return create || wavpack->hasAPETag() ? wavpack->APETag(create) : nullptr;
    }
    return nullptr;
}

}  // namespace

CoverInfo FormatTag::readCover() {
    if (!file_) {
        return {};
    }
    if (id3_ != nullptr) {
        return coverOfId3(*id3_);
    }
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file_.get())) {
        return coverOfFlacPictures(flac->pictureList());
    }
    if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(file_->tag())) {
        return coverOfFlacPictures(comment->pictureList());
    }
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file_.get())) {
        return mp4->tag() != nullptr ? coverOfMp4(*mp4->tag()) : CoverInfo{};
    }
    if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file_.get())) {
        return asf->tag() != nullptr ? coverOfAsf(*asf->tag()) : CoverInfo{};
    }
    return coverOfApe(apeTagOf(*file_, false));
}

void FormatTag::setCover(const CoverEdit& edit) {
    if (!file_) {
        return;
    }
    picturesChanged_ = true;
    if (id3_ != nullptr) {
        setId3Cover(*id3_, edit);
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file_.get())) {
        setFlacPictures(*flac, edit);
    } else if (auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(file_->tag())) {
        setFlacPictures(*comment, edit);
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file_.get())) {
        if (mp4->tag() != nullptr) {
            setMp4Cover(*mp4->tag(), edit);
        }
    } else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file_.get())) {
        if (asf->tag() != nullptr) {
            setAsfCover(*asf->tag(), edit);
        }
    } else if (TagLib::APE::Tag* ape = apeTagOf(*file_, edit.has_value())) {
        setApeCover(*ape, edit);
    }
}

}  // namespace tunex
