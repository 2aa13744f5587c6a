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
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tfilestream.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <array>

#include "core/common/text.h"
#include "core/tags/flac_in_place.h"
#include "core/tags/format_tag_access.h"
#include "core/tags/genre_list.h"
#include "core/tags/id3_reader.h"
#include "core/tags/id3v2_rewrite_check.h"
#include "core/tags/ogg_in_place.h"
#include "core/tags/refusal_reasons.h"
#include "core/tags/tag_structure.h"

namespace tunex {

namespace {

using TagLib::ByteVector;

constexpr std::array kAllFields = {TagField::Title,   TagField::Artist,    TagField::Album,
                                   TagField::Comment, TagField::Year,      TagField::Track,
                                   TagField::Genre,   TagField::Composer,  TagField::Publisher,
                                   TagField::Url,     TagField::Copyright, TagField::AlbumArtist,
                                   TagField::Disc};

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
        case TagField::AlbumArtist:
            return &Id3v2Fields::albumArtist;
        case TagField::Disc:
            return &Id3v2Fields::disc;
        case TagField::Genre:
            break;
    }
    return nullptr;
}

// Whether the file's first bytes are those of the format; TagLib alone takes junk for some
// formats when it reads no audio properties.
bool startsAsFormat(AudioFormat format, TagLib::IOStream& stream) {
    const FormatFacts& facts = formatFacts(format);
    stream.seek(facts.mayLeadWithId3v2 ? afterLeadingId3v2(stream) : 0);
    const ByteVector head = stream.readBlock(16);
    stream.seek(0);
    const auto at = [&](unsigned offset, std::string_view magic) {
        return head.containsAt(ByteVector(magic.data(), static_cast<unsigned>(magic.size())),
                               offset);
    };
    return std::ranges::any_of(facts.signatures, [&](const FormatSignature& signature) {
        return !signature.magic.empty() && at(signature.at, signature.magic) &&
               (signature.also.empty() || at(signature.alsoAt, signature.also));
    });
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
    access = apeAccess(
        [raw](bool create) { return create || raw->hasAPETag() ? raw->APETag(true) : nullptr; });
    return file;
}

template <class File, class... Options>
bool describesAudio(TagLib::IOStream& stream, Options... options) {
    stream.seek(0);
    const File file(&stream, options...);
    const TagLib::AudioProperties* properties = file.isValid() ? file.audioProperties() : nullptr;
    stream.seek(0);
    return properties != nullptr && properties->sampleRate() > 0 && properties->channels() > 0;
}

}  // namespace

bool formatHoldsAudio(AudioFormat format, TagLib::IOStream& stream) {
    switch (format) {
        case AudioFormat::Flac:
            return describesAudio<TagLib::FLAC::File>(stream,
                                                      TagLib::ID3v2::FrameFactory::instance());
        case AudioFormat::OggVorbis:
        case AudioFormat::Opus:
            return describesAudio<TagLib::Ogg::Vorbis::File>(stream) ||
                   describesAudio<TagLib::Ogg::FLAC::File>(stream) ||
                   describesAudio<TagLib::Ogg::Opus::File>(stream);
        case AudioFormat::Mp4:
            return describesAudio<TagLib::MP4::File>(stream);
        case AudioFormat::Asf:
            return describesAudio<TagLib::ASF::File>(stream);
        case AudioFormat::Ape:
            return describesAudio<TagLib::APE::File>(stream);
        case AudioFormat::WavPack:
            return describesAudio<TagLib::WavPack::File>(stream);
        case AudioFormat::Aiff:
            return describesAudio<TagLib::RIFF::AIFF::File>(stream);
        case AudioFormat::Wav:
            return describesAudio<TagLib::RIFF::WAV::File>(stream);
        case AudioFormat::Mp3:
            break;
    }
    return true;  // mp3 has its own check
}

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
        return field == TagField::Track || field == TagField::Disc ? numbersMatch(want, got)
               : field == TagField::Year                           ? want.empty() == got.empty()
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
            access_ = xiphAccess([raw](bool create) {
                return create || raw->hasXiphComment() ? raw->xiphComment(true) : nullptr;
            });
            file = std::move(flac);
            break;
        }
        case AudioFormat::OggVorbis:
        case AudioFormat::Opus: {
            // Any of them may sit in a file named for another; ".oga" is Vorbis or FLAC in Ogg.
            std::unique_ptr<TagLib::File> ogg =
                std::make_unique<TagLib::Ogg::Vorbis::File>(&stream, false);
            if (!ogg->isValid()) {
                stream.seek(0);
                ogg = std::make_unique<TagLib::Ogg::FLAC::File>(&stream, false);
            }
            if (!ogg->isValid()) {
                stream.seek(0);
                ogg = std::make_unique<TagLib::Ogg::Opus::File>(&stream, false);
            }
            auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(ogg->tag());
            access_ = xiphAccess([comment](bool) { return comment; });
            file = std::move(ogg);
            break;
        }
        case AudioFormat::Mp4: {
            auto mp4 = std::make_unique<TagLib::MP4::File>(&stream, false);
            if (mp4->isValid() && mp4->tag() != nullptr) {
                access_ = mp4Access(*mp4->tag());
            }
            file = std::move(mp4);
            break;
        }
        case AudioFormat::Asf: {
            auto asf = std::make_unique<TagLib::ASF::File>(&stream, false);
            if (asf->isValid() && asf->tag() != nullptr) {
                access_ = asfAccess(*asf->tag());
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

FormatTag::FormatTag(AudioFormat format, TagLib::IOStream& stream)
    : format_(format), stream_(&stream) {
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
        if (format == AudioFormat::Flac && flacBlocksProblem(stream) == kDamagedPictureReason) {
            problem_ = kDamagedPictureReason;  // TagLib takes some such files for no FLAC at all
        }
        stream.seek(0);
        return;
    }
    rewritable_ = true;
    if (id3_ != nullptr) {
        const std::vector<long> chunks = id3ChunkOffsets(stream, format == AudioFormat::Aiff);
        // One ID3 chunk TagLib read whole, or none at all: a chunk it did not see (its size runs
        // past the end) would stay beside a new one, and a clear would leave it.
        rewritable_ = chunks.size() < 2 && chunks.empty() != taglibSawId3 &&
                      (chunks.empty() || taglibKeepsEveryFrame(*file_, chunks.front(), *id3_));
        problem_ = chunks.size() >= 2 ? kTwoId3ChunksReason : std::string_view();
    } else if (format == AudioFormat::Mp4) {
        rewritable_ = mp4AtomsWhole(stream, 0, stream.length(), 0, false);
    } else if (format == AudioFormat::Flac) {
        problem_ = flacBlocksProblem(stream);
        rewritable_ = problem_.empty();
    } else if (auto* ogg = dynamic_cast<TagLib::Ogg::File*>(file_.get())) {
        rewritable_ = oggCommentWhole(*ogg);
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
            if (!value.empty()) {
                readGenre(std::move(value), fields.genre, fields.genreName);
            }
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
            present = access_->holds(field);  // a genre of any name, a value TagLib reads empty
        }
        if (present) {
            edits.push_back({field, {}, kGenreEntryEmpty});
        }
    }
    apply(edits);
    return !edits.empty();
}

namespace {

// The comment packet TagLib's save would write for a Vorbis or Opus stream.
std::optional<TagLib::ByteVector> oggCommentPacket(TagLib::File& file) {
    if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(&file)) {
        TagLib::ByteVector packet("\x03vorbis", 7);
        packet.append(vorbis->tag()->render(true));
        return packet;
    }
    if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(&file)) {
        TagLib::ByteVector packet("OpusTags", 8);
        packet.append(opus->tag()->render(false));
        return packet;
    }
    return std::nullopt;
}

}  // namespace

bool FormatTag::save() {
    if (!file_) {
        return false;
    }
    if (format_ == AudioFormat::Aiff) {
        return static_cast<TagLib::RIFF::AIFF::File&>(*file_).save(renderVersionFor(*id3_));
    }
    if (format_ == AudioFormat::Flac && !picturesChanged_) {
        // Where the padding allows, the comment is written in place and the audio stays put.
        const auto* comment = static_cast<TagLib::FLAC::File&>(*file_).xiphComment(false);
        if (comment != nullptr && writeFlacCommentInPlace(*stream_, comment->render(false))) {
            return true;
        }
    }
    if (const auto packet = oggCommentPacket(*file_)) {
        // Where the old packet has room, the pages keep their sizes and the audio stays put.
        if (writeOggCommentInPlace(*stream_, *packet)) {
            return true;
        }
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
