#include "core/tags/format_tag_access.h"

#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/mp4tag.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <optional>

#include "core/common/text.h"
#include "core/tags/genre_list.h"
#include "core/tags/id3_reader.h"

namespace tunex {

namespace {

using TagLib::String;

constexpr std::array<FieldKeys, 12> kXiphKeys = {{
    {TagField::Title, {"TITLE"}},
    {TagField::Artist, {"ARTIST"}},
    {TagField::Album, {"ALBUM"}},
    {TagField::Comment, {"COMMENT", "DESCRIPTION"}},
    {TagField::Year, {"DATE", "YEAR"}},
    {TagField::Track, {"TRACKNUMBER"}},
    {TagField::Genre, {"GENRE"}},
    {TagField::Composer, {"COMPOSER"}},
    {TagField::Publisher, {"PUBLISHER", "LABEL", "ORGANIZATION"}},
    {TagField::Copyright, {"COPYRIGHT"}},
    {TagField::AlbumArtist, {"ALBUMARTIST"}},
    {TagField::Disc, {"DISCNUMBER"}},
}};

constexpr std::array<FieldKeys, 13> kApeKeys = {{
    {TagField::Title, {"Title"}},
    {TagField::Artist, {"Artist"}},
    {TagField::Album, {"Album"}},
    {TagField::Comment, {"Comment"}},
    {TagField::Year, {"Year"}},
    {TagField::Track, {"Track"}},
    {TagField::Genre, {"Genre"}},
    {TagField::Composer, {"Composer"}},
    {TagField::Publisher, {"Publisher"}},
    {TagField::Url, {"File"}},
    {TagField::Copyright, {"Copyright"}},
    {TagField::AlbumArtist, {"Album Artist"}},
    {TagField::Disc, {"Disc"}},
}};

constexpr std::array<FieldKeys, 11> kMp4Keys = {{
    {TagField::Title, {"\251nam"}},
    {TagField::Artist, {"\251ART"}},
    {TagField::Album, {"\251alb"}},
    {TagField::Comment, {"\251cmt"}},
    {TagField::Year, {"\251day"}},
    {TagField::Track, {"trkn"}},
    {TagField::Genre, {"\251gen"}},
    {TagField::Composer, {"\251wrt"}},
    {TagField::Copyright, {"cprt"}},
    {TagField::AlbumArtist, {"aART"}},
    {TagField::Disc, {"disk"}},
}};

// The content description holds title, author, description and copyright; the rest are
// attributes.
constexpr std::array<FieldKeys, 13> kAsfKeys = {{
    {TagField::Title, {"Title"}},
    {TagField::Artist, {"Author"}},
    {TagField::Album, {"WM/AlbumTitle"}},
    {TagField::Comment, {"Description"}},
    {TagField::Year, {"WM/Year"}},
    {TagField::Track, {"WM/TrackNumber"}},
    {TagField::Genre, {"WM/Genre"}},
    {TagField::Composer, {"WM/Composer"}},
    {TagField::Publisher, {"WM/Publisher"}},
    {TagField::Url, {"WM/AudioFileURL"}},
    {TagField::Copyright, {"Copyright"}},
    {TagField::AlbumArtist, {"WM/AlbumArtist"}},
    {TagField::Disc, {"WM/PartOfSet"}},
}};

// MP4 keeps the track and the disc as number pairs.
bool isNumberPair(std::string_view key) {
    return key == "trkn" || key == "disk";
}

String latin1(std::string_view key) {
    return {std::string(key), String::Latin1};
}

std::vector<std::string> texts(const TagLib::StringList& values) {
    std::vector<std::string> out;
    out.reserve(values.size());
    for (const String& value : values) {
        out.push_back(toUtf8(value));
    }
    return out;
}

std::vector<std::string> oneText(std::string text) {
    std::vector<std::string> out;
    if (!text.empty()) {
        out.push_back(std::move(text));
    }
    return out;
}

// Vorbis comments of FLAC, Ogg Vorbis and Opus. FLAC makes its comment block on the first write.
class XiphAccess final : public FormatTag::Access {
public:
    explicit XiphAccess(std::function<TagLib::Ogg::XiphComment*(bool create)> comment)
        : comment_(std::move(comment)) {}
    [[nodiscard]] std::span<const FieldKeys> keys() const override { return kXiphKeys; }
    [[nodiscard]] bool has(std::string_view key) override {
        TagLib::Ogg::XiphComment* tag = comment_(false);
        return tag != nullptr && tag->contains(latin1(key));
    }
    [[nodiscard]] std::vector<std::string> get(std::string_view key) override {
        return texts(comment_(false)->fieldListMap()[latin1(key)]);
    }
    void set(std::string_view key, std::span<const std::string> values) override {
        TagLib::Ogg::XiphComment* comment = comment_(true);
        comment->removeFields(latin1(key));
        for (const std::string& value : values) {
            comment->addField(latin1(key), fromUtf8(value), false);
        }
    }
    void remove(std::string_view key) override { comment_(false)->removeFields(latin1(key)); }

private:
    std::function<TagLib::Ogg::XiphComment*(bool)> comment_;
};

// APEv2 items of Monkey's Audio and WavPack; TagLib keys them upper-cased.
class ApeAccess final : public FormatTag::Access {
public:
    explicit ApeAccess(std::function<TagLib::APE::Tag*(bool create)> tag) : tag_(std::move(tag)) {}
    [[nodiscard]] std::span<const FieldKeys> keys() const override { return kApeKeys; }
    [[nodiscard]] bool has(std::string_view key) override {
        TagLib::APE::Tag* tag = tag_(false);
        return tag != nullptr && tag->itemListMap().contains(latin1(key).upper());
    }
    [[nodiscard]] std::vector<std::string> get(std::string_view key) override {
        const TagLib::APE::Item& item = tag_(false)->itemListMap()[latin1(key).upper()];
        if (item.type() != TagLib::APE::Item::Text) {
            return {};
        }
        return texts(item.values());
    }
    void set(std::string_view key, std::span<const std::string> values) override {
        TagLib::APE::Tag* tag = tag_(true);
        tag->removeItem(latin1(key));
        for (const std::string& value : values) {
            tag->addValue(latin1(key), fromUtf8(value), false);
        }
    }
    void remove(std::string_view key) override { tag_(false)->removeItem(latin1(key)); }

private:
    std::function<TagLib::APE::Tag*(bool)> tag_;
};

// MP4 atoms. The track and the disc are number pairs; a genre may also be an ID3v1 number in
// "gnre", which a written text genre replaces.
class Mp4Access final : public FormatTag::Access {
public:
    explicit Mp4Access(TagLib::MP4::Tag& tag) : tag_(tag) {}
    [[nodiscard]] std::span<const FieldKeys> keys() const override { return kMp4Keys; }
    [[nodiscard]] bool has(std::string_view key) override {
        return tag_.contains(latin1(key)) || (key == "\251gen" && tag_.contains("gnre"));
    }
    [[nodiscard]] std::vector<std::string> get(std::string_view key) override {
        if (isNumberPair(key)) {
            const auto pair = tag_.item(latin1(key)).toIntPair();
            if (pair.first <= 0) {
                return {};
            }
            return oneText(std::to_string(pair.first) +
                           (pair.second > 0 ? "/" + std::to_string(pair.second) : std::string()));
        }
        if (key == "\251gen" && !tag_.contains(latin1(key))) {
            return oneText(genreName(tag_.item("gnre").toInt()));
        }
        return texts(tag_.item(latin1(key)).toStringList());
    }
    void set(std::string_view key, std::span<const std::string> values) override {
        if (isNumberPair(key)) {
            const std::string& value = values.front();
            const int number = leadingInteger(value);
            const std::size_t slash = value.find('/');
            const int total =
                slash == std::string::npos ? 0 : leadingInteger(value.substr(slash + 1));
            if (number <= 0) {
                tag_.removeItem(latin1(key));
            } else {
                tag_.setItem(latin1(key), TagLib::MP4::Item(number, std::max(total, 0)));
            }
            return;
        }
        if (key == "\251gen") {
            tag_.removeItem("gnre");
        }
        TagLib::StringList list;
        for (const std::string& value : values) {
            list.append(fromUtf8(value));
        }
        tag_.setItem(latin1(key), list);
    }
    void remove(std::string_view key) override {
        if (key == "\251gen") {
            tag_.removeItem("gnre");
        }
        tag_.removeItem(latin1(key));
    }

private:
    TagLib::MP4::Tag& tag_;
};

// ASF: the content description's four strings, and attributes, which may be numbers. Only the
// first value counts: TagLib reads further attributes of a name out of their order in the file.
class AsfAccess final : public FormatTag::Access {
public:
    explicit AsfAccess(TagLib::ASF::Tag& tag) : tag_(tag) {}
    [[nodiscard]] std::span<const FieldKeys> keys() const override { return kAsfKeys; }
    [[nodiscard]] bool keepsLists() const override { return false; }
    [[nodiscard]] bool has(std::string_view key) override {
        if (const auto member = described(key); member && !(tag_.*member->get)().isEmpty()) {
            return true;
        }
        return tag_.contains(latin1(key));
    }
    [[nodiscard]] std::vector<std::string> get(std::string_view key) override {
        return oneText(first(key));
    }
    void set(std::string_view key, std::span<const std::string> values) override {
        const std::string& value = values.front();
        if (const auto member = described(key)) {
            // Further values some writers keep as attributes of the same name go with it.
            (tag_.*member->set)(fromUtf8(value));
            tag_.removeItem(latin1(key));
        } else if (key == "WM/TrackNumber" && isAllDigits(value) && value.size() < 10) {
            // Windows keeps the track as a number.
            tag_.setAttribute(latin1(key),
                              TagLib::ASF::Attribute(static_cast<unsigned>(leadingInteger(value))));
        } else {
            tag_.setAttribute(latin1(key), TagLib::ASF::Attribute(fromUtf8(value)));
        }
    }
    void remove(std::string_view key) override {
        if (const auto member = described(key)) {
            (tag_.*member->set)(String());
        }
        tag_.removeItem(latin1(key));
    }

private:
    [[nodiscard]] std::string first(std::string_view key) {
        if (const auto member = described(key); member && !(tag_.*member->get)().isEmpty()) {
            return toUtf8((tag_.*member->get)());
        }
        const TagLib::ASF::AttributeList values = tag_.attribute(latin1(key));
        if (values.isEmpty()) {
            return {};
        }
        const TagLib::ASF::Attribute& value = values.front();
        switch (value.type()) {
            case TagLib::ASF::Attribute::UnicodeType:
                return toUtf8(value.toString());
            case TagLib::ASF::Attribute::DWordType:
                return std::to_string(value.toUInt());
            case TagLib::ASF::Attribute::QWordType:
                return std::to_string(value.toULongLong());
            case TagLib::ASF::Attribute::WordType:
                return std::to_string(value.toUShort());
            default:
                return {};
        }
    }

    struct Described {
        String (TagLib::ASF::Tag::*get)() const;
        void (TagLib::ASF::Tag::*set)(const String&);
    };
    static std::optional<Described> described(std::string_view key) {
        using TagLib::ASF::Tag;
        if (key == "Title") {
            return Described{&Tag::title, &Tag::setTitle};
        }
        if (key == "Author") {
            return Described{&Tag::artist, &Tag::setArtist};
        }
        if (key == "Description") {
            return Described{&Tag::comment, &Tag::setComment};
        }
        if (key == "Copyright") {
            return Described{&Tag::copyright, &Tag::setCopyright};
        }
        return std::nullopt;
    }

    TagLib::ASF::Tag& tag_;
};

}  // namespace

const KeyNames* FormatTag::Access::namesOf(TagField field) const {
    for (const FieldKeys& entry : keys()) {
        if (entry.field == field) {
            return &entry.names;
        }
    }
    return nullptr;
}

bool FormatTag::Access::holds(TagField field) {
    const KeyNames* names = namesOf(field);
    return names != nullptr && std::ranges::any_of(*names, [this](std::string_view key) {
               return !key.empty() && has(key);
           });
}

std::string FormatTag::Access::text(TagField field, std::string_view key) {
    if (key.empty() || !has(key)) {
        return {};
    }
    const std::vector<std::string> values = get(key);
    // A genre is one selection: the first value names it.
    if (field == TagField::Genre) {
        return values.empty() ? std::string() : values.front();
    }
    return joinValues(values);
}

std::string FormatTag::Access::read(TagField field) {
    const KeyNames* names = namesOf(field);
    if (names == nullptr) {
        return {};
    }
    for (std::string_view key : *names) {
        if (std::string value = text(field, key); !value.empty()) {
            return value;
        }
    }
    return {};
}

void FormatTag::Access::write(TagField field, const std::string& value) {
    const KeyNames* names = namesOf(field);
    if (names == nullptr) {
        return;
    }
    if (value.empty()) {
        for (std::string_view key : *names) {
            if (!key.empty() && has(key)) {
                remove(key);
            }
        }
        return;
    }
    std::string_view target = names->front();
    for (std::string_view key : *names) {
        if (!text(field, key).empty()) {
            target = key;
            break;
        }
    }
    if (takesSeveralValues(field) && keepsLists()) {
        set(target, splitValues(value));
    } else {
        set(target, std::span(&value, 1));
    }
}

std::string genreName(int entry) {
    return entry > 0 && entry <= kGenreCount ? std::string(GenreList[entry - 1]) : std::string();
}

std::unique_ptr<FormatTag::Access> xiphAccess(
    std::function<TagLib::Ogg::XiphComment*(bool create)> comment) {
    return std::make_unique<XiphAccess>(std::move(comment));
}

std::unique_ptr<FormatTag::Access> apeAccess(std::function<TagLib::APE::Tag*(bool create)> tag) {
    return std::make_unique<ApeAccess>(std::move(tag));
}

std::unique_ptr<FormatTag::Access> mp4Access(TagLib::MP4::Tag& tag) {
    return std::make_unique<Mp4Access>(tag);
}

std::unique_ptr<FormatTag::Access> asfAccess(TagLib::ASF::Tag& tag) {
    return std::make_unique<AsfAccess>(tag);
}

}  // namespace tunex
