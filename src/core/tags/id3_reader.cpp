#include "core/tags/id3_reader.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/tdebuglistener.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unknownframe.h>

#include <algorithm>

#include "core/common/text.h"

namespace tunex {

namespace {

using TagLib::ByteVector;
using TagLib::String;
namespace ID3v1 = TagLib::ID3v1;
namespace ID3v2 = TagLib::ID3v2;

// TagLib's own complaints about broken files are of no use to the user.
class SilentDebugListener final : public TagLib::DebugListener {
public:
    void printMessage(const String& /*message*/) override {}
};

// TagLib blanks a whole V1 field that Latin-1 cannot hold; keep what can be kept instead.
// TagLib's base class has no virtual destructor; ours is never deleted through it.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class V1StringHandler final : public ID3v1::StringHandler {
public:
    [[nodiscard]] ByteVector render(const String& s) const override {
        if (s.isLatin1()) {
            return s.data(String::Latin1);
        }
        return String(latin1Fallback(s.to8Bit(true)), String::UTF8).data(String::Latin1);
    }
};

std::string v2Comment(ID3v2::Tag& tag) {
    for (ID3v2::Frame* frame : tag.frameList("COMM")) {
        if (isPlainComment(*frame)) {
            return toUtf8(static_cast<ID3v2::CommentsFrame*>(frame)->text());
        }
    }
    return {};
}

// The digits of a v2.2 frame TagLib keeps as it found it.
std::string unknownFrameDigits(ID3v2::Tag& tag, const char* id) {
    const ID3v2::FrameList& frames = tag.frameList(id);
    const auto* frame =
        frames.isEmpty() ? nullptr : dynamic_cast<const ID3v2::UnknownFrame*>(frames.front());
    std::string digits;
    if (frame != nullptr) {
        for (const char c : frame->data()) {
            if (c >= '0' && c <= '9') {
                digits.push_back(c);
            }
        }
    }
    return digits;
}

std::string v2Year(ID3v2::Tag& tag) {
    std::string year = frameText(tag, "TDRC");
    if (year.empty()) {
        year = frameText(tag, "TYER");
    }
    // TagLib joins a v2.3 tag's day (TDAT, DDMM) and time (TIME, HHMM) to the year, as in
    // "2004-03-15T12:30"; a v2.2 tag's TDA and TIM are left as it found them.
    const std::string day = unknownFrameDigits(tag, "TDA");
    if (year.size() == 4 && day.size() == 4) {
        year += "-" + day.substr(2, 2) + "-" + day.substr(0, 2);
        if (const std::string time = unknownFrameDigits(tag, "TIM"); time.size() == 4) {
            year += "T" + time.substr(0, 2) + ":" + time.substr(2, 2);
        }
    }
    return year;
}

// The year as V1 stores it where it is digits: TagLib reads "0" as no year at all.
std::string v1Year(TagLib::MPEG::File& file, const ID3v1::Tag& tag) {
    constexpr long kYearFromEnd = 128 - 93;
    if (tag.year() != 0) {
        return std::to_string(tag.year());
    }
    file.seek(-kYearFromEnd, TagLib::File::End);
    const ByteVector stored = file.readBlock(4);
    std::string year(stored.data(), stored.size());
    year.erase(std::min(year.find('\0'), year.size()));
    return isAllDigits(year) ? year : std::string();
}

int v1GenreEntry(const ID3v1::Tag& tag) {
    return genreEntryForNumber(static_cast<int>(tag.genreNumber()));
}

std::string v1Number(unsigned int value) {
    return value == 0 ? std::string() : std::to_string(value);
}

void keepIfPresent(std::string& member, std::string value) {
    if (!value.empty()) {
        member = std::move(value);
    }
}

}  // namespace

void installTagLibHandlers() {
    static const bool installed = [] {
        static SilentDebugListener listener;
        TagLib::setDebugListener(&listener);
        static V1StringHandler handler;
        ID3v1::Tag::setStringHandler(&handler);
        return true;
    }();
    (void)installed;
}

std::string toUtf8(const String& s) {
    return s.to8Bit(true);
}

String fromUtf8(std::string_view s) {
    return String(std::string(s), String::UTF8);
}

TagReader::TagReader(const std::filesystem::path& path) {
    installTagLibHandlers();
    std::error_code ec;
    // A FIFO or device would block or never end.
    if (!std::filesystem::is_regular_file(path, ec)) {
        return;
    }
    auto stream = std::make_unique<TagLib::FileStream>(path.c_str(), true);
    if (!stream->isOpen()) {
        return;
    }
    stream_ = std::move(stream);
    file_ =
        std::make_unique<TagLib::MPEG::File>(stream_.get(), ID3v2::FrameFactory::instance(), false);
    if (!file_->isValid()) {
        file_.reset();
    }
}

TagReader::TagReader(InMemory /*unused*/, std::string_view bytes) {
    installTagLibHandlers();
    stream_ = std::make_unique<TagLib::ByteVectorStream>(
        ByteVector(bytes.data(), static_cast<unsigned int>(bytes.size())));
    file_ =
        std::make_unique<TagLib::MPEG::File>(stream_.get(), ID3v2::FrameFactory::instance(), false);
    if (!file_->isValid()) {
        file_.reset();
    }
}

std::string joinedText(const TagLib::StringList& values) {
    std::vector<std::string> texts;
    texts.reserve(values.size());
    for (const String& value : values) {
        texts.push_back(toUtf8(value));
    }
    return joinValues(texts);
}

TagLib::StringList valuesOf(TagField field, std::string_view text) {
    if (!takesSeveralValues(field)) {
        return TagLib::StringList(fromUtf8(text));
    }
    TagLib::StringList values;
    for (const std::string& value : splitValues(text)) {
        values.append(fromUtf8(value));
    }
    return values;
}

std::string frameText(ID3v2::Tag& tag, const char* id) {
    const ID3v2::FrameList& frames = tag.frameList(id);
    if (frames.isEmpty()) {
        return {};
    }
    // TagLib's own text runs the strings together with blanks.
    if (const auto* text = dynamic_cast<const ID3v2::TextIdentificationFrame*>(frames.front())) {
        TagLib::StringList fields = text->fieldList();
        if (text->textEncoding() == String::Latin1) {
            // A byte-order mark some taggers write into Latin-1 text reads as "þÿ": not text.
            for (String& field : fields) {
                if (field.size() >= 2 && ((field[0] == 0xFE && field[1] == 0xFF) ||
                                          (field[0] == 0xFF && field[1] == 0xFE))) {
                    field = field.substr(2);
                }
            }
        }
        return joinedText(fields);
    }
    return toUtf8(frames.front()->toString());
}

bool isPlainComment(const ID3v2::Frame& frame) {
    const auto* comment = dynamic_cast<const ID3v2::CommentsFrame*>(&frame);
    return comment != nullptr && comment->description().isEmpty();
}

void readGenre(std::string stored, int& entry, std::string& name) {
    if (stored.size() > 2 && stored.front() == '(' && stored.back() == ')') {
        stored = stored.substr(1, stored.size() - 2);
    }
    if (stored.size() <= 3 && isAllDigits(stored)) {
        entry = genreEntryForNumber(leadingInteger(stored));
        return;
    }
    const auto number = genreNumberOfName(stored);
    entry = number ? *number + 1 : kGenreUnselected;
    name = number ? std::string() : std::move(stored);
}

namespace {

// TagLib turns "(17)" into "17" and "(17)Rock" into "17" plus "Rock" or just "Rock" when it reads:
// the first field is the genre.
void readV2Genre(ID3v2::Tag& tag, Id3v2Fields& fields) {
    const ID3v2::FrameList& frames = tag.frameList("TCON");
    if (frames.isEmpty()) {
        fields.genre = kGenreUnselected;
        return;
    }
    auto* text = dynamic_cast<ID3v2::TextIdentificationFrame*>(frames.front());
    const TagLib::StringList values =
        text != nullptr ? text->fieldList() : TagLib::StringList(frames.front()->toString());
    fields.genre = kGenreUnselected;
    if (!values.isEmpty()) {
        readGenre(toUtf8(values.front()), fields.genre, fields.genreName);
    }
}

}  // namespace

LoadedGroups readTagFields(TagReader& reader, TagFields& fields) {
    LoadedGroups loaded;
    if (ID3v1::Tag* v1 = reader.v1()) {
        keepIfPresent(fields.v1.title, toUtf8(v1->title()));
        keepIfPresent(fields.v1.artist, toUtf8(v1->artist()));
        keepIfPresent(fields.v1.album, toUtf8(v1->album()));
        keepIfPresent(fields.v1.comment, toUtf8(v1->comment()));
        keepIfPresent(fields.v1.year, v1Year(reader.file(), *v1));
        keepIfPresent(fields.v1.track, v1Number(v1->track()));
        fields.v1.genre = v1GenreEntry(*v1);
        loaded.v1 = true;
    }
    if (ID3v2::Tag* v2 = reader.v2()) {
        readV2Fields(*v2, fields.v2);
        loaded.v2 = true;
    }
    return loaded;
}

void readV2Fields(ID3v2::Tag& tag, Id3v2Fields& fields) {
    keepIfPresent(fields.title, frameText(tag, "TIT2"));
    keepIfPresent(fields.artist, frameText(tag, "TPE1"));
    keepIfPresent(fields.album, frameText(tag, "TALB"));
    keepIfPresent(fields.comment, v2Comment(tag));
    keepIfPresent(fields.year, v2Year(tag));
    keepIfPresent(fields.track, frameText(tag, "TRCK"));
    readV2Genre(tag, fields);
    keepIfPresent(fields.composer, frameText(tag, "TCOM"));
    keepIfPresent(fields.publisher, frameText(tag, "TPUB"));
    keepIfPresent(fields.url, frameText(tag, "WOAF"));
    keepIfPresent(fields.copyright, frameText(tag, "TCOP"));
    keepIfPresent(fields.albumArtist, frameText(tag, "TPE2"));
    keepIfPresent(fields.disc, frameText(tag, "TPOS"));
}

}  // namespace tunex
