#include "core/tags/frame_words.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/privateframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include "core/common/text.h"

namespace tunex {

namespace {

namespace ID3v2 = TagLib::ID3v2;

std::string utf8(const TagLib::String& text) {
    return text.to8Bit(true);
}

std::string pictureType(ID3v2::AttachedPictureFrame::Type type) {
    switch (type) {
        case ID3v2::AttachedPictureFrame::FrontCover:
            return "front cover";
        case ID3v2::AttachedPictureFrame::BackCover:
            return "back cover";
        case ID3v2::AttachedPictureFrame::Artist:
            return "artist";
        default:
            return "type " + std::to_string(static_cast<int>(type));
    }
}

// "REPLAYGAIN_TRACK_GAIN" as "ReplayGain track gain"; other descriptions as they are.
std::string userTextWords(const std::string& description) {
    constexpr std::string_view kReplayGain = "replaygain_";
    const std::string lowered = toLowerUtf8(description);
    if (!lowered.starts_with(kReplayGain)) {
        return "User text (" + description + ")";
    }
    std::string rest = lowered.substr(kReplayGain.size());
    for (char& c : rest) {
        c = c == '_' ? ' ' : c;
    }
    return "ReplayGain " + rest;
}

}  // namespace

FrameWords frameWords(const ID3v2::Frame& frame) {
    const std::string id(frame.frameID().data(), frame.frameID().size());
    if (const auto* picture = dynamic_cast<const ID3v2::AttachedPictureFrame*>(&frame)) {
        const auto kb = (picture->picture().size() + 1023) / 1024;
        return {"Picture (" + pictureType(picture->type()) + ", " + std::to_string(kb) + " KB)",
                {}};
    }
    if (const auto* user = dynamic_cast<const ID3v2::UserTextIdentificationFrame*>(&frame)) {
        const TagLib::StringList fields = user->fieldList();
        return {userTextWords(utf8(user->description())),
                fields.size() > 1 ? utf8(fields[1]) : std::string()};
    }
    if (const auto* secret = dynamic_cast<const ID3v2::PrivateFrame*>(&frame)) {
        return {"Private frame (" + utf8(secret->owner()) + ")", {}};
    }
    if (const auto* lyrics = dynamic_cast<const ID3v2::UnsynchronizedLyricsFrame*>(&frame)) {
        return {"Lyrics", utf8(lyrics->text())};
    }
    if (const auto* comment = dynamic_cast<const ID3v2::CommentsFrame*>(&frame)) {
        return {"Comment (" + utf8(comment->description()) + ")", utf8(comment->text())};
    }
    if (dynamic_cast<const ID3v2::TextIdentificationFrame*>(&frame) != nullptr) {
        return {"Text frame " + id, utf8(frame.toString())};
    }
    return {"Frame " + id, {}};
}

}  // namespace tunex
