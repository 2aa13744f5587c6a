#pragma once

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfilestream.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/tags/id3_tags.h"
#include "core/tags/tag_field_table.h"

namespace TagLib::ID3v2 {
class CommentsFrame;
}

namespace tunex {

// TagLib's debug output off, and V1 text rendered with transliteration instead of blanks.
void installTagLibHandlers();

[[nodiscard]] std::string toUtf8(const TagLib::String& s);
[[nodiscard]] TagLib::String fromUtf8(std::string_view s);

// An mp3 file opened read-only through TagLib. TagLib only ever reads; every write goes through
// the write journal.
class TagReader final {
public:
    explicit TagReader(const std::filesystem::path& path);
    // Tags given as bytes: a V2 tag first, a V1 tag last, as in a file without its audio. Reads
    // them back exactly as a file holding them would be read.
    struct InMemory {};
    TagReader(InMemory tag, std::string_view bytes);

    [[nodiscard]] bool ok() const { return file_ != nullptr; }
    [[nodiscard]] TagLib::MPEG::File& file() { return *file_; }
    [[nodiscard]] bool hasV1() const { return file_ && file_->hasID3v1Tag(); }
    [[nodiscard]] bool hasV2() const { return file_ && file_->hasID3v2Tag(); }
    [[nodiscard]] TagLib::ID3v1::Tag* v1() { return hasV1() ? file_->ID3v1Tag() : nullptr; }
    [[nodiscard]] TagLib::ID3v2::Tag* v2() { return hasV2() ? file_->ID3v2Tag() : nullptr; }

private:
    std::unique_ptr<TagLib::IOStream> stream_;
    std::unique_ptr<TagLib::MPEG::File> file_;
};

// A list of values as one text, and the values a field's typed text stands for (see
// takesSeveralValues).
[[nodiscard]] std::string joinedText(const TagLib::StringList& values);
[[nodiscard]] TagLib::StringList valuesOf(TagField field, std::string_view text);

// The first frame's text, as the editor shows it: every string of a text frame.
[[nodiscard]] std::string frameText(TagLib::ID3v2::Tag& tag, const char* id);
// Comments without a description: the one the editor shows. Described comments belong to other
// programs (iTunNORM, MusicMatch...) and are left alone.
[[nodiscard]] bool isPlainComment(const TagLib::ID3v2::Frame& frame);
// A stored genre as the editor shows it: a number 0-147 ("17", "(17)") or a name of the list (as
// genreNumberOfName matches it) selects its entry; any other name stays unselected and is kept in
// `name`.
void readGenre(std::string stored, int& entry, std::string& name);

// The editor's view of the tags TagLib read; see loadTagFields.
LoadedGroups readTagFields(TagReader& reader, TagFields& fields);
// The V2 group's part of it, from any ID3v2 tag (also one inside AIFF or WAV).
void readV2Fields(TagLib::ID3v2::Tag& tag, Id3v2Fields& fields);

}  // namespace tunex
