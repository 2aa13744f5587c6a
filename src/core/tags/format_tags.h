#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "core/tags/audio_format.h"
#include "core/tags/cover_art.h"
#include "core/tags/id3_tags.h"
#include "core/tags/id3v2_fields.h"

namespace TagLib {
class File;
class IOStream;
namespace ID3v2 {
class Tag;
}
}  // namespace TagLib

namespace tunex {

// The one tag of a file in a format other than mp3, opened through TagLib over a stream. It is
// seen as the tag editor's single group, in Id3v2Fields: each field lives under the name the
// format's own tag gives it (Vorbis comments, MP4 atoms, ASF attributes, APEv2 items, the ID3v2
// chunk of AIFF and WAV). Fields are only ever set or removed one by one, so pictures,
// ReplayGain and every field the editor does not show stay as they were.
class FormatTag final {
public:
    class Access;

    FormatTag(AudioFormat format, TagLib::IOStream& stream);
    ~FormatTag();
    FormatTag(const FormatTag&) = delete;
    FormatTag& operator=(const FormatTag&) = delete;
    FormatTag(FormatTag&&) = delete;
    FormatTag& operator=(FormatTag&&) = delete;

    // TagLib found the format's headers, and the file starts as the format does.
    [[nodiscard]] bool valid() const { return file_ != nullptr; }
    // Saving would keep what the tag holds: TagLib read all of it (no frame of an ID3 chunk it
    // could not parse, one ID3 chunk only) and, in MP4, every atom it walks is whole, so that the
    // chunk offsets it moves when the tag grows are all found.
    [[nodiscard]] bool rewritable() const { return rewritable_; }
    // Why the file is not valid or not rewritable, where more is known than that (a reason of
    // refusal_reasons.h); empty otherwise.
    [[nodiscard]] std::string_view problem() const { return problem_; }
    // What the tag holds; a genre that is no listed name or number 0-147 reads as
    // kGenreUnselected, so it is kept unless the user picks another.
    [[nodiscard]] Id3v2Fields read();
    // Sets or removes the edited fields; a field the format has no place for is left out.
    void apply(std::span<const V2Edit> edits);
    // Removes every field of the group; false when there was none to remove.
    [[nodiscard]] bool clear();
    // The front cover and the count of pictures (format_cover.cpp); setCover puts in or takes out
    // the front cover alone.
    [[nodiscard]] CoverInfo readCover();
    void setCover(const CoverEdit& edit);
    [[nodiscard]] bool save();

private:
    [[nodiscard]] std::unique_ptr<TagLib::File> openFile(TagLib::IOStream& stream, bool& sawId3);

    AudioFormat format_;
    TagLib::IOStream* stream_;
    std::unique_ptr<TagLib::File> file_;
    std::unique_ptr<Access> access_;
    TagLib::ID3v2::Tag* id3_ = nullptr;  // AIFF and WAV: owned by file_
    bool rewritable_ = false;
    bool picturesChanged_ = false;  // FLAC: the picture blocks must be written, not the comment
    std::string_view problem_;
};

// Whether TagLib finds audio it can describe (a sample rate and channels) in a file of the
// format: one with the headers but no audio is never written, as an mp3 without MPEG audio is not.
[[nodiscard]] bool formatHoldsAudio(AudioFormat format, TagLib::IOStream& stream);

// Whether the fields read back after a write are those asked for: the edits of the fields the
// format has, on what the file held (a track number compared by its number, a year by being
// there). TagLib reports success on some damaged files without writing.
[[nodiscard]] bool fieldsAsAsked(AudioFormat format, const Id3v2Fields& before,
                                 std::span<const V2Edit> edits, bool cleared,
                                 const Id3v2Fields& after);

// What a file of a non-mp3 format holds, read-only; nothing when it cannot be opened or is not
// of its format.
[[nodiscard]] std::optional<Id3v2Fields> readFormatFields(const std::filesystem::path& file,
                                                          AudioFormat format);

}  // namespace tunex
