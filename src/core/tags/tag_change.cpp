#include "core/tags/tag_change.h"

#include <fcntl.h>

#include <taglib/id3v2header.h>

#include <array>

#include "core/common/text.h"
#include "core/journal/file_guard.h"
#include "core/tags/easy_tag.h"
#include "core/tags/format_tags.h"
#include "core/tags/id3_cover.h"
#include "core/tags/id3_reader.h"
#include "core/tags/id3v2_layout.h"
#include "core/tags/id3v2_rewrite_check.h"
#include "core/tags/overlay_stream.h"
#include "core/tags/tag_editor_rules.h"

namespace tunex {

namespace {

using TagLib::ByteVector;
namespace ID3v1 = TagLib::ID3v1;
namespace ID3v2 = TagLib::ID3v2;

constexpr std::int64_t kV1Size = 128;

std::string toStd(const ByteVector& v) {
    return std::string(v.data(), v.size());
}

std::string readBytes(TagLib::MPEG::File& file, long offset, long size) {
    file.seek(offset);
    return toStd(file.readBlock(static_cast<unsigned long>(size)));
}

// Other containers whose names may still end in .mp3; TagLib's frame search could find a
// stray frame sync in their data.
bool startsLikeOtherContainer(const std::string& head) {
    static constexpr std::array<std::string_view, 7> kMagic = {
        "RIFF", "fLaC", "OggS", "FORM", "MAC ", "wvpk", "\x30\x26\xB2\x75"};
    for (std::string_view magic : kMagic) {
        if (head.compare(0, magic.size(), magic) == 0) {
            return true;
        }
    }
    return head.size() >= 8 && head.compare(4, 4, "ftyp") == 0;
}

unsigned int v1NumberOf(const std::string& text, unsigned int limit) {
    const int number = leadingInteger(text);
    return number > 0 && static_cast<unsigned>(number) <= limit ? static_cast<unsigned>(number) : 0;
}

// Byte ranges of the V1 fields: title, artist, album, year, comment with track, genre.
struct V1Range {
    std::size_t offset;
    std::size_t length;
};
constexpr V1Range kV1Title{3, 30};
constexpr V1Range kV1Artist{33, 30};
constexpr V1Range kV1Album{63, 30};
constexpr V1Range kV1Year{93, 4};
constexpr V1Range kV1CommentAndTrack{97, 30};
constexpr V1Range kV1Genre{127, 1};

// Where a V2 tag and any copies right behind it end; TagLib counts such copies as padding.
long endOfTagAndCopies(TagLib::MPEG::File& file, long end) {
    for (;;) {
        file.seek(end);
        const ByteVector head = file.readBlock(ID3v2::Header::size());
        if (head.size() != ID3v2::Header::size() || !head.startsWith("ID3")) {
            return end;
        }
        const ID3v2::Header header(head);
        const long next = end + storedTagSize(header);
        if (header.tagSize() == 0 || next > file.length()) {
            return end;
        }
        end = next;
    }
}

}  // namespace

bool isMpegAudio(TagReader& reader) {
    TagLib::MPEG::File& file = reader.file();
    long start = 0;
    if (reader.hasV2()) {
        start =
            file.find(ID3v2::Header::fileIdentifier()) + storedTagSize(*file.ID3v2Tag()->header());
    }
    if (startsLikeOtherContainer(readBytes(file, 0, 12)) ||
        startsLikeOtherContainer(readBytes(file, start, 12))) {
        return false;
    }
    return file.firstFrameOffset() >= 0;
}

// A file of another format: TagLib saves into a stream that keeps its writes in memory, and
// what it would have written comes out as splices.
struct TagChangePlanner::FormatPlan {
    UniqueFd fd;
    std::unique_ptr<OverlayStream> stream;
    std::unique_ptr<FormatTag> tag;
    AudioFormat format = AudioFormat::Flac;
    std::optional<Id3v2Fields> after;
};

TagChangePlanner::TagChangePlanner(const std::filesystem::path& file) {
    std::error_code error;
    path_ = std::filesystem::absolute(file, error).string();
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    // Held while planning, so that no Tunex process is half way through writing what we read.
    const bool held = fd && journal::lockFile(fd.get(), false);
    const auto identity = held ? identityOf(fd.get()) : std::nullopt;
    if (error || !identity) {
        refusal_ = TagWriteOutcome::Failed;
        return;
    }
    identity_ = *identity;
    const auto format = audioFormatOfName(file.filename().string());
    if (format && *format != AudioFormat::Mp3) {
        formatPlan_ = std::make_unique<FormatPlan>();
        formatPlan_->format = *format;
        formatPlan_->stream = std::make_unique<OverlayStream>(fd.get(), identity_.size, path_);
        formatPlan_->fd = std::move(fd);
        formatPlan_->tag = std::make_unique<FormatTag>(*format, *formatPlan_->stream);
        const FormatTag& tag = *formatPlan_->tag;
        reason_ = tag.problem();
        if (formatPlan_->stream->readFailed()) {
            refusal_ = TagWriteOutcome::Failed;
        } else if (!tag.valid()) {
            refusal_ = TagWriteOutcome::WrongContent;
        } else {
            current_.v2 = formatPlan_->tag->read();
            if (!tag.rewritable()) {
                refusal_ = TagWriteOutcome::NotReadWhole;  // shown, but never written over
            } else if (!formatHoldsAudio(*format, *formatPlan_->stream)) {
                refusal_ = TagWriteOutcome::WrongContent;
                reason_ = kNoAudioReason;  // headers without audio
            }
        }
        return;
    }
    readHold_ = std::move(fd);
    reader_ = std::make_unique<TagReader>(path_);
    if (!reader_->ok()) {
        refusal_ = TagWriteOutcome::Failed;
        return;
    }
    if (!isMpegAudio(*reader_)) {
        refusal_ = TagWriteOutcome::WrongContent;
        return;
    }
    (void)readTagFields(*reader_, current_);
    TagLib::MPEG::File& mpeg = reader_->file();
    if (reader_->hasV1()) {
        v1Location_ = identity_.size - kV1Size;
        v1Original_ = readBytes(mpeg, static_cast<long>(v1Location_), kV1Size);
    }
    if (reader_->hasV2()) {
        // TagLib's tag is the first "ID3" before the audio, which is the first in the file.
        v2Location_ = mpeg.find(ID3v2::Header::fileIdentifier());
        const long size = storedTagSize(*mpeg.ID3v2Tag()->header());
        v2Original_ = readBytes(mpeg, static_cast<long>(v2Location_), size);
        if (v2Location_ < 0 || static_cast<long>(v2Original_.size()) != size) {
            refusal_ = TagWriteOutcome::Failed;
        }
    }
}

TagChangePlanner::~TagChangePlanner() = default;

void TagChangePlanner::setV1(const Id3v1Fields& wanted, bool create) {
    if (singleGroup()) {
        return;
    }
    v1Wanted_ = wanted;
    createV1_ = createV1_ || create;
}

void TagChangePlanner::setV2(const Id3v2Fields& wanted) {
    v2Edits_ = v2EditsBetween(current_.v2, wanted);
}

void TagChangePlanner::clearAll() {
    clear_ = true;
}

void TagChangePlanner::setCover(CoverEdit edit) {
    (void)cover();  // read before the plan changes TagLib's model
    coverEdit_ = std::move(edit);
}

const CoverInfo& TagChangePlanner::cover() {
    if (!coverNow_) {
        if (formatPlan_) {
            coverNow_ = formatPlan_->tag->valid() ? formatPlan_->tag->readCover() : CoverInfo{};
        } else if (reader_ && reader_->hasV2()) {
            coverNow_ = coverOfId3(*reader_->v2());
        } else {
            coverNow_ = CoverInfo{};
        }
    }
    return *coverNow_;
}

bool TagChangePlanner::coverAsAsked(const CoverInfo& after) {
    if (!coverEdit_) {
        return true;
    }
    const CoverEdit& asked = *coverEdit_;
    const std::optional<Picture>& got = after.front;
    const std::optional<Picture>& before = cover().front;
    // MP4 names no picture type: once its first image is gone, the next one is the cover.
    const bool nextTookOver = !asked && got && before && got->bytes != before->bytes &&
                              after.pictures == cover().pictures - 1;
    if (!nextTookOver &&
        (asked.has_value() != got.has_value() || (asked && asked->bytes != got->bytes))) {
        return false;
    }
    if (before.has_value() != got.has_value() || (before && before->bytes != got->bytes)) {
        coverChange_ = std::pair(coverWords(before), coverWords(got));
    }
    return true;
}

std::optional<std::pair<std::string, std::string>> TagChangePlanner::coverChange() const {
    return coverChange_;
}

std::optional<Splice> TagChangePlanner::v2Splice() {
    if (clear_) {
        if (v2Location_ < 0) {
            return std::nullopt;
        }
        const long end = endOfTagAndCopies(
            reader_->file(), static_cast<long>(v2Location_ + std::ssize(v2Original_)));
        return Splice{v2Location_, end - v2Location_, {}};
    }
    if (v2Edits_.empty() && !coverEdit_) {
        return std::nullopt;
    }
    if (v2Location_ < 0) {
        V2Layout layout;
        applyV2Edits(layout, v2Edits_);
        if (coverEdit_) {
            setId3Cover(layout, *coverEdit_);
        }
        if (layout.frames.empty()) {
            return std::nullopt;
        }
        return Splice{0, 0, renderV2Layout(layout.majorVersion, layout.frames, 0)};
    }
    const auto size = std::ssize(v2Original_);
    std::string unmappedV22;
    if (auto layout = parseV2Layout(v2Original_, &unmappedV22)) {
        applyV2Edits(*layout, v2Edits_);
        if (coverEdit_) {
            setId3Cover(*layout, *coverEdit_);
        }
        if (layout->frames.empty()) {
            return Splice{v2Location_, size, {}};
        }
        return Splice{
            v2Location_, size,
            renderV2Layout(layout->majorVersion, layout->frames, static_cast<std::size_t>(size))};
    }
    // A tag only TagLib can rewrite (v2.2, unsynchronised v2.4): the library's rendering, and
    // only when it keeps every frame.
    ID3v2::Tag& tag = *reader_->v2();
    if (!unmappedV22.empty() ||
        !taglibKeepsEveryFrame(reader_->file(), static_cast<long>(v2Location_), tag)) {
        refusal_ = TagWriteOutcome::NotReadWhole;
        if (!unmappedV22.empty()) {
            reason_ =
                "its ID3v2.2 frame " + unmappedV22 + " has no ID3v2.3 name; writing would lose it";
        }
        return std::nullopt;
    }
    const ID3v2::Version version = renderVersionFor(tag);
    applyV2Edits(tag, version, v2Edits_);
    if (coverEdit_) {
        setId3Cover(tag, *coverEdit_);
    }
    return Splice{v2Location_, size,
                  tag.frameList().isEmpty() ? std::string() : toStd(tag.render(version))};
}

std::optional<Splice> TagChangePlanner::v1Splice() {
    const bool hasV1 = v1Location_ >= 0;
    if (clear_) {
        if (!hasV1) {
            return std::nullopt;
        }
        return Splice{v1Location_, kV1Size, toStd(ID3v1::Tag().render())};
    }
    if (!v1Wanted_) {
        return std::nullopt;
    }
    const Id3v1Fields& wanted = *v1Wanted_;
    const Id3v1Fields& now = current_.v1;
    ID3v1::Tag tag;
    tag.setTitle(fromUtf8(wanted.title));
    tag.setArtist(fromUtf8(wanted.artist));
    tag.setAlbum(fromUtf8(wanted.album));
    tag.setYear(v1NumberOf(wanted.year, kV1YearMax));
    tag.setComment(fromUtf8(wanted.comment));
    tag.setTrack(v1NumberOf(wanted.track, kV1TrackMax));
    const int genre = wanted.genre == kGenreUnselected ? now.genre : wanted.genre;
    tag.setGenreNumber(genre > 0 && genre <= kGenreCount ? static_cast<unsigned>(genre - 1) : 255);
    const std::string rendered = toStd(tag.render());
    if (!hasV1) {
        const bool anyField = wanted.title != now.title || wanted.artist != now.artist ||
                              wanted.album != now.album || wanted.year != now.year ||
                              wanted.comment != now.comment || wanted.track != now.track ||
                              wanted.genre != kGenreUnselected;
        if (!createV1_ && !anyField) {
            return std::nullopt;
        }
        return Splice{identity_.size, 0, rendered};
    }
    // Fields that keep their value keep their bytes, whatever TagLib would render for them.
    std::string block = v1Original_;
    const auto take = [&](bool changed, V1Range range) {
        if (changed) {
            block.replace(range.offset, range.length, rendered, range.offset, range.length);
        }
    };
    take(wanted.title != now.title, kV1Title);
    take(wanted.artist != now.artist, kV1Artist);
    take(wanted.album != now.album, kV1Album);
    take(wanted.year != now.year, kV1Year);
    take(wanted.comment != now.comment || wanted.track != now.track, kV1CommentAndTrack);
    take(wanted.genre != kGenreUnselected && wanted.genre != now.genre, kV1Genre);
    if (block == v1Original_) {
        return std::nullopt;
    }
    return Splice{v1Location_, kV1Size, std::move(block)};
}

void TagChangePlanner::refuse(TagChange& result) const {
    result.refusal = refusal_;
    result.reason = reason_;
}

TagChange TagChangePlanner::planFormat() {
    TagChange result;
    result.change.path = path_;
    result.change.before = identity_;
    FormatPlan& plan = *formatPlan_;
    plan.after.reset();
    coverChange_.reset();
    if (refusal_ != TagWriteOutcome::Written) {
        refuse(result);
        return result;
    }
    if (!clear_ && v2Edits_.empty() && !coverEdit_) {
        return result;
    }
    if (clear_) {
        if (!plan.tag->clear()) {
            return result;  // nothing to clear: the file is not touched
        }
    } else {
        plan.tag->apply(v2Edits_);
        if (coverEdit_ && coverAsAsked(cover())) {
            coverEdit_.reset();  // the file holds that cover already
        } else if (coverEdit_) {
            plan.tag->setCover(*coverEdit_);
        }
        if (v2Edits_.empty() && !coverEdit_) {
            return result;
        }
    }
    if (!plan.tag->save() || plan.stream->readFailed() ||
        !plan.stream->splices(result.change.splices)) {
        refusal_ = TagWriteOutcome::Failed;
        refuse(result);
        result.change.splices.clear();
        return result;
    }
    // Read back from what was saved, as the file will be read once written.
    FormatTag saved(plan.format, *plan.stream);
    plan.after = saved.valid() ? saved.read() : Id3v2Fields{};
    if (!saved.valid() || plan.stream->readFailed() ||
        !fieldsAsAsked(plan.format, current_.v2,
                       clear_ ? std::span<const V2Edit>() : std::span<const V2Edit>(v2Edits_),
                       clear_, *plan.after) ||
        !coverAsAsked(saved.valid() ? saved.readCover() : CoverInfo{})) {
        refusal_ = TagWriteOutcome::Failed;
        refuse(result);
        result.change.splices.clear();
        plan.after.reset();
        coverChange_.reset();
    }
    return result;
}

TagChange TagChangePlanner::plan() {
    if (formatPlan_) {
        return planFormat();
    }
    TagChange result;
    result.change.path = path_;
    result.change.before = identity_;
    v2After_ = v2Original_;
    v1After_ = v1Original_;
    coverChange_.reset();
    if (coverEdit_ && coverAsAsked(cover())) {
        coverEdit_.reset();  // the file holds that cover already
    }
    if (refusal_ != TagWriteOutcome::Written) {
        refuse(result);
        return result;
    }
    // The V2 splice first: in an empty file both start at 0 and V1 must come last.
    auto v2 = v2Splice();
    if (refusal_ != TagWriteOutcome::Written) {
        refuse(result);
        return result;
    }
    if (v2 && !(v2->length == std::ssize(v2->bytes) &&
                v2->bytes == v2Original_.substr(0, v2->bytes.size()))) {
        v2After_ = v2->bytes;
        result.change.splices.push_back(std::move(*v2));
    }
    if (auto v1 = v1Splice()) {
        if (v1->length == 0 || v1->bytes != v1Original_) {
            v1After_ = v1->bytes;
            result.change.splices.push_back(std::move(*v1));
        }
    }
    if (coverEdit_) {
        // Read back as the file will be read, so that a frame TagLib would not see is caught.
        TagReader after(TagReader::InMemory{}, v2After_);
        if (!coverAsAsked(after.ok() && after.hasV2() ? coverOfId3(*after.v2()) : CoverInfo{})) {
            refusal_ = TagWriteOutcome::Failed;
            refuse(result);
            result.change.splices.clear();
            coverChange_.reset();
        }
    }
    return result;
}

TagFields TagChangePlanner::fieldsAfter() const {
    if (formatPlan_) {
        TagFields fields = current_;
        if (formatPlan_->after) {
            fields.v2 = *formatPlan_->after;
        }
        return fields;
    }
    if (v2After_ == v2Original_ && v1After_ == v1Original_) {
        return current_;
    }
    // The tags alone, without the audio between them, read as the file will be read.
    TagReader after(TagReader::InMemory{}, v2After_ + v1After_);
    TagFields fields;
    if (after.ok()) {
        (void)readTagFields(after, fields);
    }
    return fields;
}

std::optional<std::pair<std::string, std::string>> TagChangePlanner::v2VersionChange() const {
    constexpr std::size_t kVersionByte = 3;
    if (v2Original_.size() <= kVersionByte || v2After_.size() <= kVersionByte ||
        v2Original_[kVersionByte] == v2After_[kVersionByte]) {
        return std::nullopt;
    }
    const auto name = [](char major) { return "ID3v2." + std::to_string(major); };
    return std::pair(name(v2Original_[kVersionByte]), name(v2After_[kVersionByte]));
}

std::vector<FrameWords> TagChangePlanner::framesClearRemoves() const {
    std::vector<FrameWords> words;
    if (!clear_ || !reader_ || !reader_->hasV2() || refusal_ != TagWriteOutcome::Written) {
        return words;
    }
    for (const ID3v2::Frame* frame : reader_->v2()->frameList()) {
        if (!shownByEditor(*frame)) {
            words.push_back(frameWords(*frame));
        }
    }
    return words;
}

void queueTagChange(JournaledBatch& batch, TagChange change, const std::string& path,
                    WriteFailures& failed, WriteFailures& wrongContent) {
    switch (change.refusal) {
        case TagWriteOutcome::Written:
            batch.add(std::move(change.change));
            break;
        case TagWriteOutcome::WrongContent:
            // Files that merely hold no audio are listed with the reason, not as another format.
            if (change.reason.empty()) {
                wrongContent.add(path);
            } else {
                failed.add(path + " (" + change.reason + ")");
            }
            break;
        case TagWriteOutcome::Failed:
            failed.add(path);
            break;
        case TagWriteOutcome::NotReadWhole:
            failed.add(path + " (" +
                       (change.reason.empty() ? std::string(kNotReadWholeReason) : change.reason) +
                       ")");
            break;
    }
}

}  // namespace tunex
