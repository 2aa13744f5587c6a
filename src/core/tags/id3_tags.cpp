#include "core/tags/id3_tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2extendedheader.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>
#include <taglib/urllinkframe.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <vector>

#include "core/common/atomic_file.h"
#include "core/common/text.h"

namespace tunex {

namespace {

using TagLib::ByteVector;
using TagLib::String;
namespace ID3v1 = TagLib::ID3v1;
namespace ID3v2 = TagLib::ID3v2;

constexpr long kV1Size = 128;

// TagLib's own complaints about broken files are of no use to the user.
class SilentDebugListener final : public TagLib::DebugListener {
public:
    void printMessage(const String&) override {}
};

// TagLib blanks a whole V1 field that Latin-1 cannot hold; keep what can be kept instead.
class V1StringHandler final : public ID3v1::StringHandler {
public:
    ByteVector render(const String& s) const override {
        if (s.isLatin1()) {
            return s.data(String::Latin1);
        }
        return String(latin1Fallback(s.to8Bit(true)), String::UTF8).data(String::Latin1);
    }
};

void installHandlers() {
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

// An mp3 file opened read-only through TagLib. TagLib only ever reads here; every write goes
// through applySplices so that no write can leave the file half-moved.
class TagReader final {
public:
    explicit TagReader(const std::filesystem::path& path) {
        installHandlers();
        std::error_code ec;
        // A FIFO or device would block or never end.
        if (!std::filesystem::is_regular_file(path, ec)) {
            return;
        }
        stream_ = std::make_unique<TagLib::FileStream>(path.c_str(), true);
        if (!stream_->isOpen()) {
            stream_.reset();
            return;
        }
        file_ = std::make_unique<TagLib::MPEG::File>(stream_.get(), ID3v2::FrameFactory::instance(),
                                                     false);
        if (!file_->isValid()) {
            file_.reset();
        }
    }

    [[nodiscard]] bool ok() const { return file_ != nullptr; }
    void close() {
        file_.reset();
        stream_.reset();
    }
    [[nodiscard]] TagLib::MPEG::File& file() { return *file_; }
    [[nodiscard]] bool hasV1() const { return file_ && file_->hasID3v1Tag(); }
    [[nodiscard]] bool hasV2() const { return file_ && file_->hasID3v2Tag(); }
    [[nodiscard]] ID3v1::Tag* v1() { return hasV1() ? file_->ID3v1Tag() : nullptr; }
    [[nodiscard]] ID3v2::Tag* v2() { return hasV2() ? file_->ID3v2Tag() : nullptr; }

private:
    std::unique_ptr<TagLib::FileStream> stream_;
    std::unique_ptr<TagLib::MPEG::File> file_;
};

std::string frameText(ID3v2::Tag& tag, const char* id) {
    const ID3v2::FrameList& frames = tag.frameList(id);
    return frames.isEmpty() ? std::string() : toUtf8(frames.front()->toString());
}

// The comment the editor shows is the one without a description; described comments belong to
// other programs (iTunNORM, MusicMatch...) and are left alone.
std::vector<ID3v2::CommentsFrame*> plainComments(ID3v2::Tag& tag) {
    std::vector<ID3v2::CommentsFrame*> found;
    for (ID3v2::Frame* frame : tag.frameList("COMM")) {
        auto* comment = dynamic_cast<ID3v2::CommentsFrame*>(frame);
        if (comment != nullptr && comment->description().isEmpty()) {
            found.push_back(comment);
        }
    }
    return found;
}

std::string v2Comment(ID3v2::Tag& tag) {
    const auto comments = plainComments(tag);
    return comments.empty() ? std::string() : toUtf8(comments.front()->text());
}

std::string v2Year(ID3v2::Tag& tag) {
    std::string year = frameText(tag, "TDRC");
    return year.empty() ? frameText(tag, "TYER") : year;
}

// TagLib turns "(17)" into "17" and "(17)Rock" into "17" plus "Rock" or just "Rock" when it reads;
// the first field that is a number 0-147, or failing that a name of the list, is the genre.
int v2GenreEntry(ID3v2::Tag& tag) {
    const ID3v2::FrameList& frames = tag.frameList("TCON");
    if (frames.isEmpty()) {
        return kGenreUnselected;
    }
    auto* text = dynamic_cast<ID3v2::TextIdentificationFrame*>(frames.front());
    const TagLib::StringList fields =
        text != nullptr ? text->fieldList() : TagLib::StringList(frames.front()->toString());
    if (fields.isEmpty()) {
        return kGenreUnselected;
    }
    const std::string first = toUtf8(fields.front());
    if (!first.empty() && first.size() <= 3 &&
        std::all_of(first.begin(), first.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return genreEntryForNumber(leadingInteger(first));
    }
    const auto number = genreNumberOfName(first);
    return number ? *number + 1 : kGenreUnselected;
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

// ---- editing a V2 tag; each helper notes whether the tag changed ----

class V2Editor final {
public:
    V2Editor(ID3v2::Tag& tag, ID3v2::Version version) : tag_(tag), version_(version) {}

    [[nodiscard]] bool changed() const { return changed_; }

    void setText(const char* id, const std::string& value) {
        const ID3v2::FrameList& existing = tag_.frameList(id);
        if (value.empty()) {
            remove(id);
            return;
        }
        const String text = fromUtf8(value);
        if (existing.size() == 1 && existing.front()->toString() == text) {
            return;
        }
        remove(id);
        // TagLib picks UTF-16 by itself when Latin-1 cannot hold the text.
        auto* frame = new ID3v2::TextIdentificationFrame(ByteVector(id), String::Latin1);
        frame->setText(text);
        tag_.addFrame(frame);
        changed_ = true;
    }

    void setUrl(const char* id, const std::string& value) {
        const ID3v2::FrameList& existing = tag_.frameList(id);
        if (value.empty()) {
            remove(id);
            return;
        }
        const String url = fromUtf8(value);
        if (existing.size() == 1 && existing.front()->toString() == url) {
            return;
        }
        remove(id);
        auto* frame = new ID3v2::UrlLinkFrame(ByteVector(id));
        frame->setUrl(url);
        tag_.addFrame(frame);
        changed_ = true;
    }

    void setComment(const std::string& value) {
        const auto existing = plainComments(tag_);
        const String text = fromUtf8(value);
        if (value.empty() ? existing.empty()
                          : existing.size() == 1 && existing.front()->text() == text) {
            return;
        }
        for (ID3v2::CommentsFrame* frame : existing) {
            tag_.removeFrame(frame);
        }
        if (!value.empty()) {
            auto* frame = new ID3v2::CommentsFrame(String::Latin1);
            frame->setLanguage("XXX");
            frame->setText(text);
            tag_.addFrame(frame);
        }
        changed_ = true;
    }

    // v2.3 keeps the year verbatim in TYER; a full date goes in TDRC, which TagLib splits into
    // TYER, TDAT and TIME for v2.3.
    void setYear(const std::string& value) {
        if (value == v2Year(tag_) &&
            tag_.frameList("TDRC").size() + tag_.frameList("TYER").size() <= 1) {
            return;
        }
        remove("TDRC");
        remove("TYER");
        if (value.empty()) {
            return;
        }
        const bool fullDate = value.size() >= 10 && value[4] == '-' && value[7] == '-';
        const char* id = version_ == ID3v2::v4 || fullDate ? "TDRC" : "TYER";
        auto* frame = new ID3v2::TextIdentificationFrame(ByteVector(id), String::Latin1);
        frame->setText(fromUtf8(value));
        tag_.addFrame(frame);
        changed_ = true;
    }

    void setGenre(int entry) {
        if (entry == kGenreUnselected || entry == v2GenreEntry(tag_)) {
            return;
        }
        remove("TCON");
        if (entry > 0 && entry <= kGenreCount) {
            // Written as "(17)" in v2.3, the form the old readers expect.
            auto* frame = new ID3v2::TextIdentificationFrame("TCON", String::Latin1);
            frame->setText(String::number(entry - 1));
            tag_.addFrame(frame);
            changed_ = true;
        }
    }

private:
    void remove(const char* id) {
        if (!tag_.frameList(id).isEmpty()) {
            tag_.removeFrames(id);
            changed_ = true;
        }
    }

    ID3v2::Tag& tag_;
    ID3v2::Version version_;
    bool changed_ = false;
};

// ---- deciding whether a V2 tag can be rewritten ----

// TagLib 1.13 keeps a frame's header protected, yet whether rendering keeps a frame depends on it.
struct FrameHeaderAccess : ID3v2::Frame {
    static ID3v2::Frame::Header* of(const ID3v2::Frame& frame) {
        return (frame.*(&FrameHeaderAccess::header))();
    }
};

// Frames a v2.3 rendering drops or merges; a tag holding one is written back as v2.4.
bool needsV24(ID3v2::Tag& tag) {
    static constexpr std::array<const char*, 11> kV24Only = {
        "ASPI", "EQU2", "RVA2", "SEEK", "SIGN", "TDRL", "TDTG", "TMOO", "TPRO", "TSST", "TMCL"};
    return std::any_of(kV24Only.begin(), kV24Only.end(),
                       [&](const char* id) { return !tag.frameList(id).isEmpty(); });
}

// TagLib stops parsing at the first frame it cannot read and drops the rest when it renders the
// tag again. Walk the frames the way TagLib does and insist that only zero padding is left, that
// no second tag follows (TagLib would blank it) and that every frame can be rendered again.
bool fullyParsed(TagLib::MPEG::File& file, long location, ID3v2::Tag& tag) {
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
    const long end = location + static_cast<long>(header.completeTagSize());
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
        if (!frame || frame->size() == 0) {
            return false;
        }
        position += static_cast<long>(frame->size()) + frameHeader;
    }
    for (; position < dataEnd; ++position) {
        if (data.at(static_cast<unsigned>(position)) != 0) {
            return false;
        }
    }
    for (ID3v2::Frame* frame : tag.frameList()) {
        if (frame->frameID().size() != 4 || FrameHeaderAccess::of(*frame)->tagAlterPreservation()) {
            return false;
        }
    }
    return true;
}

// ---- writing ----

// Bytes [offset, offset + length) of the file are replaced by `bytes`.
struct Splice {
    long offset = 0;
    long length = 0;
    std::string bytes;
};

std::string toStd(const ByteVector& v) {
    return std::string(v.data(), v.size());
}

bool writeAll(int fd, const std::string& bytes, off_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                       offset + static_cast<off_t>(done));
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Tags that keep their size are overwritten in place and a new V1 tag is appended: the audio never
// moves. Anything else is written as a copy beside the file and renamed over it, so an interrupted
// write leaves the old file.
bool applySplices(const std::filesystem::path& path, long expectedLength,
                  std::vector<Splice> splices) {
    if (splices.empty()) {
        return true;
    }
    std::stable_sort(splices.begin(), splices.end(),
                     [](const Splice& a, const Splice& b) { return a.offset < b.offset; });
    long previousEnd = 0;
    for (const Splice& s : splices) {
        if (s.offset < previousEnd || s.offset + s.length > expectedLength) {
            return false;
        }
        previousEnd = s.offset + s.length;
    }
    std::error_code ec;
    std::filesystem::path target = std::filesystem::canonical(path, ec);
    if (ec) {
        return false;
    }
    // The folder may allow a replacement even where the file itself is read-only.
    if (::access(target.c_str(), W_OK) != 0) {
        return false;
    }
    const auto appends = [&](const Splice& s) {
        return s.offset == expectedLength && s.length == 0;
    };
    // Two appends (both tags into an empty file) would overwrite each other in place.
    const bool inPlace = std::count_if(splices.begin(), splices.end(), appends) <= 1 &&
                         std::all_of(splices.begin(), splices.end(), [&](const Splice& s) {
                             return static_cast<long>(s.bytes.size()) == s.length || appends(s);
                         });
    if (inPlace) {
        const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        struct stat info {};
        bool ok = ::fstat(fd, &info) == 0 && info.st_size == expectedLength;
        for (const Splice& s : splices) {
            ok = ok && writeAll(fd, s.bytes, s.offset);
        }
        ok = ok && ::fsync(fd) == 0;
        if (!ok && ::fstat(fd, &info) == 0 && info.st_size > expectedLength) {
            // A failed append must not leave half a tag behind.
            (void)::ftruncate(fd, expectedLength);
        }
        ::close(fd);
        return ok;
    }

    const int source = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(source, &info) != 0 || info.st_size != expectedLength) {
        ::close(source);
        return false;
    }
    AtomicFileWriter writer(target);
    bool ok = writer.open();
    std::vector<char> buffer(1 << 16);
    auto copy = [&](long from, long to) {
        while (ok && from < to) {
            const size_t want =
                static_cast<size_t>(std::min<long>(to - from, static_cast<long>(buffer.size())));
            const ssize_t got = ::pread(source, buffer.data(), want, from);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                ok = false;
                break;
            }
            ok = writer.write(std::string_view(buffer.data(), static_cast<size_t>(got)));
            from += got;
        }
    };
    long position = 0;
    for (const Splice& s : splices) {
        copy(position, s.offset);
        ok = ok && writer.write(s.bytes);
        position = s.offset + s.length;
    }
    copy(position, expectedLength);
    ::close(source);
    ok = ok && writer.commit();
    if (!ok) {
        writer.discard();
    }
    return ok;
}

// What a write operation changes in one file, gathered from a single parse.
class TagWriter final {
public:
    explicit TagWriter(const std::filesystem::path& path) : path_(path), reader_(path) {
        if (!reader_.ok()) {
            return;
        }
        TagLib::MPEG::File& file = reader_.file();
        length_ = file.length();
        if (reader_.hasV1()) {
            v1Location_ = length_ - kV1Size;
            file.seek(v1Location_);
            v1Original_ = toStd(file.readBlock(kV1Size));
        }
        if (reader_.hasV2()) {
            // TagLib's tag is the first "ID3" before the audio, which is the first in the file.
            v2Location_ = file.find(ID3v2::Header::fileIdentifier());
            v2Size_ = static_cast<long>(file.ID3v2Tag()->header()->completeTagSize());
        }
    }

    [[nodiscard]] bool ok() const { return reader_.ok() && (!reader_.hasV2() || v2Location_ >= 0); }
    [[nodiscard]] TagReader& reader() { return reader_; }

    // The V1 tag, created empty when the file has none; its bytes are written by commit().
    ID3v1::Tag& v1() {
        v1Touched_ = true;
        return *reader_.file().ID3v1Tag(true);
    }

    ID3v2::Tag& v2() { return *reader_.file().ID3v2Tag(true); }

    [[nodiscard]] ID3v2::Version v2Version() { return needsV24(v2()) ? ID3v2::v4 : ID3v2::v3; }

    void markV2Changed() { v2Changed_ = true; }

    void blankV1() { blankV1_ = true; }
    void removeV2() { removeV2_ = true; }

    [[nodiscard]] bool commit() {
        if (!ok()) {
            return false;
        }
        TagLib::MPEG::File& file = reader_.file();
        std::vector<Splice> splices;
        if (removeV2_ && v2Location_ >= 0) {
            splices.push_back({v2Location_, v2Size_, std::string()});
        } else if (v2Changed_) {
            ID3v2::Tag& tag = v2();
            const ID3v2::Version version = v2Version();
            if (v2Location_ >= 0 && !fullyParsed(file, v2Location_, tag)) {
                return false;
            }
            const std::string bytes =
                tag.frameList().isEmpty() ? std::string() : toStd(tag.render(version));
            if (v2Location_ >= 0) {
                splices.push_back({v2Location_, v2Size_, bytes});
            } else if (!bytes.empty()) {
                splices.push_back({0, 0, bytes});
            }
        }
        // Pushed after the V2 splice: in an empty file both start at 0 and V1 must come last.
        if (v1Touched_ || blankV1_) {
            const std::string bytes =
                blankV1_ ? toStd(ID3v1::Tag().render()) : toStd(file.ID3v1Tag(true)->render());
            if (v1Location_ >= 0) {
                if (bytes != v1Original_) {
                    splices.push_back({v1Location_, kV1Size, bytes});
                }
            } else {
                splices.push_back({length_, 0, bytes});
            }
        }
        const long length = length_;
        // TagLib's handle must not outlive the rename.
        reader_.close();
        return applySplices(path_, length, std::move(splices));
    }

private:
    std::filesystem::path path_;
    TagReader reader_;
    long length_ = 0;
    long v1Location_ = -1;
    std::string v1Original_;
    long v2Location_ = -1;
    long v2Size_ = 0;
    bool v1Touched_ = false;
    bool v2Changed_ = false;
    bool blankV1_ = false;
    bool removeV2_ = false;
};

void setV1Text(ID3v1::Tag& tag, void (ID3v1::Tag::*setter)(const String&), const std::string& v) {
    (tag.*setter)(fromUtf8(v));
}

unsigned int v1NumberOf(const std::string& text, unsigned int limit) {
    const int number = leadingInteger(text);
    return number > 0 && static_cast<unsigned>(number) <= limit ? static_cast<unsigned>(number) : 0;
}

}  // namespace

std::string catalogueId3Text(std::string_view title, std::string_view artist,
                             std::string_view album) {
    std::string text;
    for (std::string_view part : {title, artist, album}) {
        if (!part.empty()) {
            text.append(part);
            text += ';';
        }
    }
    return text;
}

std::string readCatalogueId3(const std::filesystem::path& file) {
    TagReader reader(file);
    if (ID3v2::Tag* v2 = reader.v2()) {
        return catalogueId3Text(frameText(*v2, "TIT2"), frameText(*v2, "TPE1"),
                                frameText(*v2, "TALB"));
    }
    if (ID3v1::Tag* v1 = reader.v1()) {
        return catalogueId3Text(toUtf8(v1->title()), toUtf8(v1->artist()), toUtf8(v1->album()));
    }
    return std::string();
}

Id3Summary readId3Summary(const std::filesystem::path& file) {
    TagReader reader(file);
    ID3v1::Tag* v1 = reader.v1();
    ID3v2::Tag* v2 = reader.v2();
    auto pick = [&](const char* id, String (ID3v1::Tag::*v1Field)() const) {
        std::string text = v2 != nullptr ? frameText(*v2, id) : std::string();
        if (text.empty() && v1 != nullptr) {
            text = toUtf8((v1->*v1Field)());
        }
        return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
    };
    Id3Summary summary;
    summary.title = pick("TIT2", &ID3v1::Tag::title);
    summary.artist = pick("TPE1", &ID3v1::Tag::artist);
    summary.album = pick("TALB", &ID3v1::Tag::album);
    return summary;
}

LoadedGroups loadTagFields(const std::filesystem::path& file, TagFields& fields) {
    TagReader reader(file);
    LoadedGroups loaded;
    if (ID3v1::Tag* v1 = reader.v1()) {
        keepIfPresent(fields.v1.title, toUtf8(v1->title()));
        keepIfPresent(fields.v1.artist, toUtf8(v1->artist()));
        keepIfPresent(fields.v1.album, toUtf8(v1->album()));
        keepIfPresent(fields.v1.comment, toUtf8(v1->comment()));
        keepIfPresent(fields.v1.year, v1Number(v1->year()));
        keepIfPresent(fields.v1.track, v1Number(v1->track()));
        fields.v1.genre = v1GenreEntry(*v1);
        loaded.v1 = true;
    }
    if (ID3v2::Tag* v2 = reader.v2()) {
        keepIfPresent(fields.v2.title, frameText(*v2, "TIT2"));
        keepIfPresent(fields.v2.artist, frameText(*v2, "TPE1"));
        keepIfPresent(fields.v2.album, frameText(*v2, "TALB"));
        keepIfPresent(fields.v2.comment, v2Comment(*v2));
        keepIfPresent(fields.v2.year, v2Year(*v2));
        keepIfPresent(fields.v2.track, frameText(*v2, "TRCK"));
        fields.v2.genre = v2GenreEntry(*v2);
        keepIfPresent(fields.v2.composer, frameText(*v2, "TCOM"));
        keepIfPresent(fields.v2.publisher, frameText(*v2, "TPUB"));
        keepIfPresent(fields.v2.url, frameText(*v2, "WOAF"));
        keepIfPresent(fields.v2.copyright, frameText(*v2, "TCOP"));
        loaded.v2 = true;
    }
    return loaded;
}

bool saveTagFields(const std::filesystem::path& file, const TagFields& fields) {
    TagWriter writer(file);
    if (!writer.ok()) {
        return false;
    }
    ID3v1::Tag& v1 = writer.v1();
    setV1Text(v1, &ID3v1::Tag::setTitle, fields.v1.title);
    setV1Text(v1, &ID3v1::Tag::setArtist, fields.v1.artist);
    setV1Text(v1, &ID3v1::Tag::setAlbum, fields.v1.album);
    v1.setYear(v1NumberOf(fields.v1.year, 9999));
    setV1Text(v1, &ID3v1::Tag::setComment, fields.v1.comment);
    v1.setTrack(v1NumberOf(fields.v1.track, 255));
    if (fields.v1.genre == kGenreEntryEmpty) {
        v1.setGenreNumber(255);
    } else if (fields.v1.genre > 0 && fields.v1.genre <= kGenreCount) {
        v1.setGenreNumber(static_cast<unsigned>(fields.v1.genre - 1));
    }

    V2Editor v2(writer.v2(), writer.v2Version());
    v2.setText("TIT2", fields.v2.title);
    v2.setText("TPE1", fields.v2.artist);
    v2.setText("TALB", fields.v2.album);
    v2.setYear(fields.v2.year);
    v2.setComment(fields.v2.comment);
    v2.setGenre(fields.v2.genre);
    v2.setText("TCOM", fields.v2.composer);
    v2.setText("TPUB", fields.v2.publisher);
    v2.setUrl("WOAF", fields.v2.url);
    v2.setText("TCOP", fields.v2.copyright);
    v2.setText("TRCK", fields.v2.track);
    if (v2.changed()) {
        writer.markV2Changed();
    }
    return writer.commit();
}

bool clearAllTags(const std::filesystem::path& file) {
    TagWriter writer(file);
    if (!writer.ok()) {
        return false;
    }
    if (writer.reader().hasV1()) {
        writer.blankV1();
    }
    if (writer.reader().hasV2()) {
        writer.removeV2();
    }
    return writer.commit();
}

bool writeNameFields(const std::filesystem::path& file, TagVersion target,
                     std::span<const NameValue> values) {
    TagWriter writer(file);
    if (!writer.ok()) {
        return false;
    }
    if (target == TagVersion::V1) {
        ID3v1::Tag& v1 = writer.v1();
        for (const NameValue& pair : values) {
            if (pair.field == NameField::TrackNumber) {
                v1.setTrack(v1NumberOf(pair.value, 255));
                continue;
            }
            if (pair.value.empty()) {
                continue;
            }
            switch (pair.field) {
                case NameField::Artist:
                    setV1Text(v1, &ID3v1::Tag::setArtist, pair.value);
                    break;
                case NameField::Album:
                    setV1Text(v1, &ID3v1::Tag::setAlbum, pair.value);
                    break;
                case NameField::SongTitle:
                    setV1Text(v1, &ID3v1::Tag::setTitle, pair.value);
                    break;
                case NameField::TrackNumber:
                    break;
            }
        }
        return writer.commit();
    }
    V2Editor v2(writer.v2(), writer.v2Version());
    for (const NameValue& pair : values) {
        if (pair.field != NameField::TrackNumber && pair.value.empty()) {
            continue;
        }
        switch (pair.field) {
            case NameField::Artist:
                v2.setText("TPE1", pair.value);
                break;
            case NameField::Album:
                v2.setText("TALB", pair.value);
                break;
            case NameField::SongTitle:
                v2.setText("TIT2", pair.value);
                break;
            case NameField::TrackNumber:
                v2.setText("TRCK", pair.value);
                break;
        }
    }
    if (v2.changed()) {
        writer.markV2Changed();
    }
    return writer.commit();
}

}  // namespace tunex
