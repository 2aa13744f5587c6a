#include "core/tags/format_tags.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/opusfile.h>
#include <taglib/tfilestream.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <array>
#include <functional>

#include "core/common/text.h"
#include "core/tags/genre_list.h"
#include "core/tags/id3_reader.h"
#include "core/tags/id3v2_rewrite_check.h"
#include "core/tags/tag_structure.h"

namespace tunex {

namespace {

using TagLib::ByteVector;
using TagLib::String;

constexpr std::array kAllFields = {TagField::Title,   TagField::Artist,   TagField::Album,
                                   TagField::Comment, TagField::Year,     TagField::Track,
                                   TagField::Genre,   TagField::Composer, TagField::Publisher,
                                   TagField::Url,     TagField::Copyright};

std::string Id3v2Fields::*textMember(TagField field) {
    switch (field) {
        case TagField::Title:
            return &Id3v2Fields::title;
        case TagField::Artist:
            return &Id3v2Fields::artist;
        case TagField::Album:
            return &Id3v2Fields::album;
        case TagField::Comment:
            return &Id3v2Fields::comment;
        case TagField::Year:
            return &Id3v2Fields::year;
        case TagField::Track:
            return &Id3v2Fields::track;
        case TagField::Composer:
            return &Id3v2Fields::composer;
        case TagField::Publisher:
            return &Id3v2Fields::publisher;
        case TagField::Url:
            return &Id3v2Fields::url;
        case TagField::Copyright:
            return &Id3v2Fields::copyright;
        case TagField::Genre:
            break;
    }
    return nullptr;
}

// A genre stored as text: a number 0-147 ("17", "(17)") or a name of the list.
int genreEntryOfText(std::string text) {
    if (text.size() > 2 && text.front() == '(' && text.back() == ')') {
        text = text.substr(1, text.size() - 2);
    }
    if (!text.empty() && text.size() <= 3 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return genreEntryForNumber(leadingInteger(text));
    }
    const auto number = genreNumberOfName(text);
    return number ? *number + 1 : kGenreUnselected;
}

std::string genreName(int entry) {
    return entry > 0 && entry <= kGenreCount ? std::string(GenreList[entry - 1]) : std::string();
}

// The names a field goes by in a tag of keys and values; the first is written when the tag has
// none of them. Reading takes the first one present.
using KeyNames = std::array<std::string_view, 3>;

struct FieldKeys {
    TagField field = TagField::Title;
    KeyNames names{};
};

constexpr std::array<FieldKeys, 10> kXiphKeys = {{
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
}};

constexpr std::array<FieldKeys, 11> kApeKeys = {{
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
}};

constexpr std::array<FieldKeys, 9> kMp4Keys = {{
    {TagField::Title, {"\251nam"}},
    {TagField::Artist, {"\251ART"}},
    {TagField::Album, {"\251alb"}},
    {TagField::Comment, {"\251cmt"}},
    {TagField::Year, {"\251day"}},
    {TagField::Track, {"trkn"}},
    {TagField::Genre, {"\251gen"}},
    {TagField::Composer, {"\251wrt"}},
    {TagField::Copyright, {"cprt"}},
}};

// The content description holds title, author, description and copyright; the rest are
// attributes.
constexpr std::array<FieldKeys, 11> kAsfKeys = {{
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
}};

String latin1(std::string_view key) {
    return {std::string(key), String::Latin1};
}

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

// Reads and writes one value by key in the format's tag.
class FormatTag::Access {
public:
    Access() = default;
    Access(const Access&) = delete;
    Access& operator=(const Access&) = delete;
    Access(Access&&) = delete;
    Access& operator=(Access&&) = delete;
    virtual ~Access() = default;
    [[nodiscard]] virtual std::span<const FieldKeys> keys() const = 0;
    [[nodiscard]] virtual std::string get(std::string_view key) = 0;
    [[nodiscard]] virtual bool has(std::string_view key) = 0;
    virtual void set(std::string_view key, const std::string& value) = 0;
    virtual void remove(std::string_view key) = 0;

    [[nodiscard]] const KeyNames* namesOf(TagField field) const {
        for (const FieldKeys& entry : keys()) {
            if (entry.field == field) {
                return &entry.names;
            }
        }
        return nullptr;
    }
    [[nodiscard]] std::string read(TagField field) {
        const KeyNames* names = namesOf(field);
        if (names == nullptr) {
            return {};
        }
        for (std::string_view key : *names) {
            if (!key.empty() && has(key)) {
                std::string value = get(key);
                if (!value.empty()) {
                    return value;
                }
            }
        }
        return {};
    }
    // An empty value removes every name of the field; else the name already in use is set.
    void write(TagField field, const std::string& value) {
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
            if (!key.empty() && has(key) && !get(key).empty()) {
                target = key;
                break;
            }
        }
        set(target, value);
    }
};

namespace {

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
    [[nodiscard]] std::string get(std::string_view key) override {
        const TagLib::StringList& values = comment_(false)->fieldListMap()[latin1(key)];
        return values.isEmpty() ? std::string() : toUtf8(values.front());
    }
    void set(std::string_view key, const std::string& value) override {
        comment_(true)->addField(latin1(key), fromUtf8(value), true);
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
    [[nodiscard]] std::string get(std::string_view key) override {
        const TagLib::APE::Item& item = tag_(false)->itemListMap()[latin1(key).upper()];
        if (item.type() != TagLib::APE::Item::Text || item.values().isEmpty()) {
            return {};
        }
        return toUtf8(item.values().front());
    }
    void set(std::string_view key, const std::string& value) override {
        tag_(true)->addValue(latin1(key), fromUtf8(value), true);
    }
    void remove(std::string_view key) override { tag_(false)->removeItem(latin1(key)); }

private:
    std::function<TagLib::APE::Tag*(bool)> tag_;
};

// MP4 atoms. The track is a number pair; a genre may also be an ID3v1 number in "gnre", which a
// written text genre replaces.
class Mp4Access final : public FormatTag::Access {
public:
    explicit Mp4Access(TagLib::MP4::Tag& tag) : tag_(tag) {}
    [[nodiscard]] std::span<const FieldKeys> keys() const override { return kMp4Keys; }
    [[nodiscard]] bool has(std::string_view key) override {
        return tag_.contains(latin1(key)) || (key == "\251gen" && tag_.contains("gnre"));
    }
    [[nodiscard]] std::string get(std::string_view key) override {
        if (key == "trkn") {
            const auto pair = tag_.item("trkn").toIntPair();
            if (pair.first <= 0) {
                return {};
            }
            return std::to_string(pair.first) +
                   (pair.second > 0 ? "/" + std::to_string(pair.second) : std::string());
        }
        if (key == "\251gen" && !tag_.contains(latin1(key))) {
            return genreName(tag_.item("gnre").toInt());
        }
        const TagLib::StringList values = tag_.item(latin1(key)).toStringList();
        return values.isEmpty() ? std::string() : toUtf8(values.front());
    }
    void set(std::string_view key, const std::string& value) override {
        if (key == "trkn") {
            const int number = leadingInteger(value);
            const std::size_t slash = value.find('/');
            const int total =
                slash == std::string::npos ? 0 : leadingInteger(value.substr(slash + 1));
            if (number <= 0) {
                tag_.removeItem("trkn");
            } else {
                tag_.setItem("trkn", TagLib::MP4::Item(number, std::max(total, 0)));
            }
            return;
        }
        if (key == "\251gen") {
            tag_.removeItem("gnre");
        }
        tag_.setItem(latin1(key), TagLib::StringList(fromUtf8(value)));
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

// ASF: the content description's four strings, and attributes, which may be numbers.
class AsfAccess final : public FormatTag::Access {
public:
    explicit AsfAccess(TagLib::ASF::Tag& tag) : tag_(tag) {}
    [[nodiscard]] std::span<const FieldKeys> keys() const override { return kAsfKeys; }
    [[nodiscard]] bool has(std::string_view key) override {
        if (const auto member = described(key); member && !(tag_.*member->get)().isEmpty()) {
            return true;
        }
        return tag_.contains(latin1(key));
    }
    [[nodiscard]] std::string get(std::string_view key) override {
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
    void set(std::string_view key, const std::string& value) override {
        if (const auto member = described(key)) {
            // Further values some writers keep as attributes of the same name go with it.
            (tag_.*member->set)(fromUtf8(value));
            tag_.removeItem(latin1(key));
        } else if (key == "WM/TrackNumber" && allDigits(value) && value.size() < 10) {
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

// Whether the file's first bytes are those of the format (after an ID3v2 tag some FLAC files
// carry); TagLib alone takes junk for some formats when it reads no audio properties.
bool startsAsFormat(AudioFormat format, TagLib::IOStream& stream) {
    stream.seek(format == AudioFormat::Flac ? flacStart(stream) : 0);
    const ByteVector head = stream.readBlock(16);
    stream.seek(0);
    const auto at = [&](unsigned offset, const char* magic) {
        return head.containsAt(ByteVector(magic), offset);
    };
    switch (format) {
        case AudioFormat::Flac:
            return at(0, "fLaC");
        case AudioFormat::OggVorbis:
        case AudioFormat::Opus:
            return at(0, "OggS");
        case AudioFormat::Mp4:
            return at(4, "ftyp") || at(4, "moov") || at(4, "free") || at(4, "wide") ||
                   at(4, "skip") || at(4, "mdat");
        case AudioFormat::Asf:
            return head.startsWith(ByteVector("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8));
        case AudioFormat::Ape:
            return at(0, "MAC ");
        case AudioFormat::WavPack:
            return at(0, "wvpk");
        case AudioFormat::Aiff:
            return at(0, "FORM") && (at(8, "AIFF") || at(8, "AIFC"));
        case AudioFormat::Wav:
            return at(0, "RIFF") && at(8, "WAVE");
        case AudioFormat::Mp3:
            break;
    }
    return false;
}

// The data offsets of the ID3 chunks of an AIFF (big-endian sizes) or WAV file, as far as its
// chunk list can be followed.
std::vector<long> id3ChunkOffsets(TagLib::IOStream& stream, bool bigEndian) {
    std::vector<long> offsets;
    const long end = stream.length();
    long position = 12;
    while (position + 8 <= end) {
        stream.seek(position);
        const ByteVector header = stream.readBlock(8);
        if (header.size() != 8) {
            break;
        }
        const long size = header.toUInt(4U, bigEndian);
        const ByteVector id = header.mid(0, 4);
        if (id == "ID3 " || id == "id3 ") {
            offsets.push_back(position + 8);
        }
        position += 8 + size + (size & 1);
    }
    stream.seek(0);
    return offsets;
}

bool numbersMatch(const std::string& asked, const std::string& read) {
    return asked == read ||
           (leadingInteger(asked) > 0 && leadingInteger(asked) == leadingInteger(read));
}

// Monkey's Audio and WavPack keep an APEv2 tag, made on the first write.
template <typename File>
std::unique_ptr<TagLib::File> openApeTagged(TagLib::IOStream& stream,
                                            std::unique_ptr<FormatTag::Access>& access) {
    auto file = std::make_unique<File>(&stream, false);
    File* raw = file.get();
    access = std::make_unique<ApeAccess>(
        [raw](bool create) { return create || raw->hasAPETag() ? raw->APETag(true) : nullptr; });
    return file;
}

}  // namespace

bool fieldsAsAsked(AudioFormat format, const Id3v2Fields& before, std::span<const V2Edit> edits,
                   bool cleared, const Id3v2Fields& after) {
    Id3v2Fields asked = before;
    if (cleared) {
        asked = Id3v2Fields{};
    }
    for (const V2Edit& edit : edits) {
        if (edit.field == TagField::Genre) {
            if (edit.genre != kGenreUnselected) {
                asked.genre = edit.genre;
            }
        } else {
            asked.*textMember(edit.field) = edit.text;
        }
    }
    if (asked.genre == kGenreEntryEmpty) {
        asked.genre = kGenreUnselected;  // no genre reads as none chosen
    }
    return std::ranges::all_of(kAllFields, [&](TagField field) {
        if (!formatHasField(format, field)) {
            return true;
        }
        if (field == TagField::Genre) {
            return !(cleared || asked.genre != before.genre) || asked.genre == after.genre;
        }
        const std::string& want = asked.*textMember(field);
        const std::string& got = after.*textMember(field);
        return field == TagField::Track  ? numbersMatch(want, got)
               : field == TagField::Year ? want.empty() == got.empty()
                                         : want == got;
    });
}

// Opens the format's TagLib file over the stream and finds its tag; `sawId3` says whether TagLib
// read an ID3 chunk of AIFF or WAV.
std::unique_ptr<TagLib::File> FormatTag::openFile(TagLib::IOStream& stream, bool& sawId3) {
    std::unique_ptr<TagLib::File> file;
    const AudioFormat format = format_;
    switch (format) {
        case AudioFormat::Flac: {
            auto flac = std::make_unique<TagLib::FLAC::File>(
                &stream, TagLib::ID3v2::FrameFactory::instance(), false);
            TagLib::FLAC::File* raw = flac.get();
            access_ = std::make_unique<XiphAccess>([raw](bool create) {
                return create || raw->hasXiphComment() ? raw->xiphComment(true) : nullptr;
            });
            file = std::move(flac);
            break;
        }
        case AudioFormat::OggVorbis:
        case AudioFormat::Opus: {
            // Either may sit in a file named for the other.
            std::unique_ptr<TagLib::File> ogg;
            auto vorbis = std::make_unique<TagLib::Ogg::Vorbis::File>(&stream, false);
            if (vorbis->isValid()) {
                ogg = std::move(vorbis);
            } else {
                stream.seek(0);
                ogg = std::make_unique<TagLib::Ogg::Opus::File>(&stream, false);
            }
            auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(ogg->tag());
            access_ = std::make_unique<XiphAccess>([comment](bool) { return comment; });
            file = std::move(ogg);
            break;
        }
        case AudioFormat::Mp4: {
            auto mp4 = std::make_unique<TagLib::MP4::File>(&stream, false);
            if (mp4->isValid() && mp4->tag() != nullptr) {
                access_ = std::make_unique<Mp4Access>(*mp4->tag());
            }
            file = std::move(mp4);
            break;
        }
        case AudioFormat::Asf: {
            auto asf = std::make_unique<TagLib::ASF::File>(&stream, false);
            if (asf->isValid() && asf->tag() != nullptr) {
                access_ = std::make_unique<AsfAccess>(*asf->tag());
            }
            file = std::move(asf);
            break;
        }
        case AudioFormat::Ape:
            file = openApeTagged<TagLib::APE::File>(stream, access_);
            break;
        case AudioFormat::WavPack:
            file = openApeTagged<TagLib::WavPack::File>(stream, access_);
            break;
        case AudioFormat::Aiff: {
            auto aiff = std::make_unique<TagLib::RIFF::AIFF::File>(&stream, false);
            id3_ = aiff->isValid() ? aiff->tag() : nullptr;
            sawId3 = aiff->isValid() && aiff->hasID3v2Tag();
            file = std::move(aiff);
            break;
        }
        case AudioFormat::Wav: {
            auto wav = std::make_unique<TagLib::RIFF::WAV::File>(&stream, false);
            id3_ = wav->isValid() ? wav->ID3v2Tag() : nullptr;
            sawId3 = wav->isValid() && wav->hasID3v2Tag();
            file = std::move(wav);
            break;
        }
        case AudioFormat::Mp3:
            break;
    }
    return file;
}

FormatTag::FormatTag(AudioFormat format, TagLib::IOStream& stream) : format_(format) {
    installTagLibHandlers();
    if (!startsAsFormat(format, stream)) {
        return;
    }
    bool taglibSawId3 = false;
    std::unique_ptr<TagLib::File> file = openFile(stream, taglibSawId3);
    if (file && file->isValid() && (access_ || id3_ != nullptr)) {
        file_ = std::move(file);
    } else {
        access_.reset();
        id3_ = nullptr;
        return;
    }
    rewritable_ = true;
    if (id3_ != nullptr) {
        const std::vector<long> chunks = id3ChunkOffsets(stream, format == AudioFormat::Aiff);
        // One ID3 chunk TagLib read whole, or none at all: a chunk it did not see (its size runs
        // past the end) would stay beside a new one, and a clear would leave it.
        rewritable_ = chunks.size() < 2 && chunks.empty() != taglibSawId3 &&
                      (chunks.empty() || taglibKeepsEveryFrame(*file_, chunks.front(), *id3_));
    } else if (format == AudioFormat::Mp4) {
        rewritable_ = mp4AtomsWhole(stream, 0, stream.length(), 0, false);
    } else if (format == AudioFormat::Flac) {
        rewritable_ = flacCommentsWhole(stream);
    }
    stream.seek(0);
}

FormatTag::~FormatTag() = default;

Id3v2Fields FormatTag::read() {
    Id3v2Fields fields;
    if (id3_ != nullptr) {
        readV2Fields(*id3_, fields);
        return fields;
    }
    if (!access_) {
        return fields;
    }
    for (const TagField field : kAllFields) {
        if (!formatHasField(format_, field)) {
            continue;
        }
        std::string value = access_->read(field);
        if (field == TagField::Genre) {
            fields.genre = value.empty() ? kGenreUnselected : genreEntryOfText(std::move(value));
        } else {
            fields.*textMember(field) = std::move(value);
        }
    }
    return fields;
}

void FormatTag::apply(std::span<const V2Edit> edits) {
    if (id3_ != nullptr) {
        applyV2Edits(*id3_, renderVersionFor(*id3_),
                     std::vector<V2Edit>(edits.begin(), edits.end()));
        return;
    }
    if (!access_) {
        return;
    }
    for (const V2Edit& edit : edits) {
        if (!formatHasField(format_, edit.field)) {
            continue;
        }
        if (edit.field != TagField::Genre) {
            access_->write(edit.field, edit.text);
        } else if (edit.genre != kGenreUnselected) {
            access_->write(edit.field, genreName(edit.genre));
        }
    }
}

bool FormatTag::clear() {
    std::vector<V2Edit> edits;
    const Id3v2Fields now = id3_ != nullptr ? read() : Id3v2Fields{};
    for (const TagField field : kAllFields) {
        bool present = false;
        if (id3_ != nullptr) {
            present = field == TagField::Genre ? !id3_->frameList("TCON").isEmpty()
                                               : !(now.*textMember(field)).empty();
        } else if (access_ && formatHasField(format_, field)) {
            present = !access_->read(field).empty();  // a genre of any name counts
        }
        if (present) {
            edits.push_back({field, {}, kGenreEntryEmpty});
        }
    }
    apply(edits);
    return !edits.empty();
}

bool FormatTag::save() {
    if (!file_) {
        return false;
    }
    if (format_ == AudioFormat::Aiff) {
        return static_cast<TagLib::RIFF::AIFF::File&>(*file_).save(renderVersionFor(*id3_));
    }
    if (format_ == AudioFormat::Wav) {
        // Only the ID3 chunk: an INFO list beside it stays as it is.
        return static_cast<TagLib::RIFF::WAV::File&>(*file_).save(
            TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripNone, renderVersionFor(*id3_));
    }
    return file_->save();
}

std::optional<Id3v2Fields> readFormatFields(const std::filesystem::path& file, AudioFormat format) {
    std::error_code error;
    // A FIFO or device would block or never end.
    if (!std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    TagLib::FileStream stream(file.c_str(), true);
    if (!stream.isOpen()) {
        return std::nullopt;
    }
    FormatTag tag(format, stream);
    if (!tag.valid()) {
        return std::nullopt;
    }
    return tag.read();
}

}  // namespace tunex
