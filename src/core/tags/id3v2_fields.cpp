#include "core/tags/id3v2_fields.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/textidentificationframe.h>
#include <taglib/urllinkframe.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

#include "core/tags/id3_reader.h"

namespace tunex {

namespace {

using TagLib::ByteVector;
using TagLib::String;
namespace ID3v2 = TagLib::ID3v2;

struct FieldFrames {
    V2Field field;
    std::array<const char*, 6> ids;  // frames the field owns; nullptr ends the list
};

// Year owns the date frames TagLib merges into it when it reads a v2.3 tag, and those of a v2.2
// tag it keeps as they are (TDA, TIM), which the year shows too.
constexpr std::array<FieldFrames, 13> kFieldFrames = {{
    {V2Field::Title, {"TIT2"}},
    {V2Field::Artist, {"TPE1"}},
    {V2Field::Album, {"TALB"}},
    {V2Field::Comment, {"COMM"}},
    {V2Field::Year, {"TDRC", "TYER", "TDAT", "TIME", "TDA", "TIM"}},
    {V2Field::Track, {"TRCK"}},
    {V2Field::Genre, {"TCON"}},
    {V2Field::Composer, {"TCOM"}},
    {V2Field::Publisher, {"TPUB"}},
    {V2Field::Url, {"WOAF"}},
    {V2Field::Copyright, {"TCOP"}},
    {V2Field::AlbumArtist, {"TPE2"}},
    {V2Field::Disc, {"TPOS"}},
}};

const FieldFrames& framesOf(V2Field field) {
    return *std::find_if(kFieldFrames.begin(), kFieldFrames.end(),
                         [field](const FieldFrames& f) { return f.field == field; });
}

bool idOwnedBy(V2Field field, std::string_view id) {
    return std::ranges::any_of(framesOf(field).ids,
                               [id](const char* owned) { return owned != nullptr && id == owned; });
}

// Whether TagLib's frame belongs to the field; comments only when they have no description.
bool owns(V2Field field, const ID3v2::Frame& frame) {
    const ByteVector id = frame.frameID();
    if (!idOwnedBy(field, std::string_view(id.data(), id.size()))) {
        return false;
    }
    return field != V2Field::Comment || isPlainComment(frame);
}

bool owns(V2Field field, const RawFrame& frame, const ID3v2::Header& header) {
    if (!idOwnedBy(field, frame.id())) {
        return false;
    }
    if (field != V2Field::Comment) {
        return true;
    }
    // Read by TagLib itself, so that the comment replaced is the one the editor showed.
    const std::unique_ptr<ID3v2::Frame> parsed(ID3v2::FrameFactory::instance()->createFrame(
        ByteVector(frame.bytes.data(), static_cast<unsigned>(frame.bytes.size())), &header));
    return parsed != nullptr && isPlainComment(*parsed);
}

bool readableByTagLib(const RawFrame& frame, const ID3v2::Header& header) {
    const std::unique_ptr<ID3v2::Frame> parsed(ID3v2::FrameFactory::instance()->createFrame(
        ByteVector(frame.bytes.data(), static_cast<unsigned>(frame.bytes.size())), &header));
    return parsed != nullptr && parsed->size() > 0;
}

// Several values are the frame's strings, NUL-separated in v2.3 too, as TagLib writes them.
std::unique_ptr<ID3v2::Frame> textFrame(const char* id, const TagLib::StringList& values) {
    // TagLib picks UTF-16 (v2.3) or UTF-8 (v2.4) by itself when Latin-1 cannot hold the text.
    auto frame = std::make_unique<ID3v2::TextIdentificationFrame>(ByteVector(id), String::Latin1);
    frame->setText(values);
    return frame;
}

// The frames that hold an edit's value, as TagLib builds them.
std::vector<std::unique_ptr<ID3v2::Frame>> newFrames(const V2Edit& edit, ID3v2::Version version) {
    std::vector<std::unique_ptr<ID3v2::Frame>> frames;
    if (edit.field == V2Field::Genre) {
        if (edit.genre > 0 && edit.genre <= kGenreCount) {
            // Written as "(17)" in v2.3, the form the old readers expect.
            frames.push_back(textFrame("TCON", String(std::to_string(edit.genre - 1))));
        }
        return frames;
    }
    if (edit.text.empty()) {
        return frames;
    }
    switch (edit.field) {
        case V2Field::Comment: {
            auto comment = std::make_unique<ID3v2::CommentsFrame>(String::Latin1);
            comment->setLanguage("XXX");
            comment->setText(fromUtf8(edit.text));
            frames.push_back(std::move(comment));
            break;
        }
        case V2Field::Url: {
            auto url = std::make_unique<ID3v2::UrlLinkFrame>(ByteVector("WOAF"));
            url->setUrl(fromUtf8(edit.text));
            frames.push_back(std::move(url));
            break;
        }
        case V2Field::Year: {
            // v2.3 keeps the year verbatim in TYER; a full date goes in TDRC, which TagLib
            // splits into TYER, TDAT and TIME for v2.3.
            const std::string& v = edit.text;
            const bool fullDate = v.size() >= 10 && v[4] == '-' && v[7] == '-';
            frames.push_back(
                textFrame(version == ID3v2::v4 || fullDate ? "TDRC" : "TYER", fromUtf8(v)));
            break;
        }
        default: {
            const char* id = framesOf(edit.field).ids.front();
            frames.push_back(textFrame(id, valuesOf(edit.field, edit.text)));
            break;
        }
    }
    return frames;
}

// Frames rendered by TagLib for the given version, then taken out of the tag it rendered.
std::vector<RawFrame> renderFrames(std::vector<std::unique_ptr<ID3v2::Frame>> frames,
                                   ID3v2::Version version) {
    if (frames.empty()) {
        return {};
    }
    ID3v2::Tag scratch;
    for (auto& frame : frames) {
        scratch.addFrame(frame.release());
    }
    const ByteVector rendered = scratch.render(version);
    return framesOfRendered(std::string_view(rendered.data(), rendered.size()));
}

void addEdit(std::vector<V2Edit>& edits, V2Field field, const std::string& current,
             const std::string& wanted) {
    if (current != wanted) {
        edits.push_back({field, wanted});
    }
}

}  // namespace

std::vector<V2Edit> v2EditsBetween(const Id3v2Fields& current, const Id3v2Fields& wanted) {
    std::vector<V2Edit> edits;
    addEdit(edits, V2Field::Title, current.title, wanted.title);
    addEdit(edits, V2Field::Artist, current.artist, wanted.artist);
    addEdit(edits, V2Field::Album, current.album, wanted.album);
    addEdit(edits, V2Field::Year, current.year, wanted.year);
    addEdit(edits, V2Field::Comment, current.comment, wanted.comment);
    if (wanted.genre != kGenreUnselected && wanted.genre != current.genre) {
        edits.push_back({V2Field::Genre, {}, wanted.genre});
    }
    addEdit(edits, V2Field::Composer, current.composer, wanted.composer);
    addEdit(edits, V2Field::Publisher, current.publisher, wanted.publisher);
    addEdit(edits, V2Field::Url, current.url, wanted.url);
    addEdit(edits, V2Field::Copyright, current.copyright, wanted.copyright);
    addEdit(edits, V2Field::Track, current.track, wanted.track);
    addEdit(edits, V2Field::AlbumArtist, current.albumArtist, wanted.albumArtist);
    addEdit(edits, V2Field::Disc, current.disc, wanted.disc);
    return edits;
}

void applyV2Edits(V2Layout& layout, const std::vector<V2Edit>& edits) {
    ID3v2::Header header;
    header.setMajorVersion(static_cast<unsigned>(layout.majorVersion));
    const ID3v2::Version version = layout.majorVersion == 4 ? ID3v2::v4 : ID3v2::v3;
    for (const V2Edit& edit : edits) {
        std::vector<RawFrame> replacement = renderFrames(newFrames(edit, version), version);
        std::vector<RawFrame> kept;
        std::optional<std::size_t> first;
        std::optional<std::size_t> unreadable;
        for (RawFrame& frame : layout.frames) {
            if (!unreadable && !readableByTagLib(frame, header)) {
                unreadable = kept.size();
            }
            if (owns(edit.field, frame, header)) {
                first = first.value_or(kept.size());
            } else {
                kept.push_back(std::move(frame));
            }
        }
        // TagLib reads no further than a frame it cannot parse: the new value goes before it, or
        // this program would never show it.
        const std::size_t index =
            std::min(first.value_or(kept.size()), unreadable.value_or(kept.size()));
        const auto at = kept.begin() + static_cast<std::ptrdiff_t>(index);
        kept.insert(at, std::make_move_iterator(replacement.begin()),
                    std::make_move_iterator(replacement.end()));
        layout.frames = std::move(kept);
    }
}

void applyV2Edits(ID3v2::Tag& tag, ID3v2::Version version, const std::vector<V2Edit>& edits) {
    for (const V2Edit& edit : edits) {
        std::vector<ID3v2::Frame*> owned;
        for (ID3v2::Frame* frame : tag.frameList()) {
            if (owns(edit.field, *frame)) {
                owned.push_back(frame);
            }
        }
        for (ID3v2::Frame* frame : owned) {
            tag.removeFrame(frame);
        }
        for (auto& frame : newFrames(edit, version)) {
            tag.addFrame(frame.release());
        }
    }
}

bool shownByEditor(const TagLib::ID3v2::Frame& frame) {
    return std::ranges::any_of(kFieldFrames,
                               [&frame](const FieldFrames& f) { return owns(f.field, frame); });
}

}  // namespace tunex
