#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/tags/id3_tags.h"

namespace tunex {

// A field of the tag editor, whichever tag holds it.
enum class TagField {
    Title,
    Artist,
    Album,
    Comment,
    Year,
    Track,
    Genre,
    Composer,
    Publisher,
    Url,
    Copyright,
    AlbumArtist,
    Disc
};

// Where the Tag Info editor shows a field in its group: a line, and the left (0) or right (1)
// column of label and field.
struct EditorCell {
    int row = 0;
    int column = 0;
};

// One field of one tag. The editor and `tunex-cli tags` take their fields from these rows alone, so
// a member added to Id3v1Fields or Id3v2Fields reaches both with a row. Which frames hold it is
// id3_reader.cpp's and id3v2_fields.cpp's business.
struct TagFieldRow {
    TagVersion version = TagVersion::V1;
    TagField field = TagField::Title;
    std::string_view key;    // as `tunex-cli tags set` takes it
    std::string_view label;  // the editor's caption beside the field
    int typingLimit = 0;     // characters the editor takes; 0: any length
    EditorCell cell;
    // The member holding a text field's value in the group of `version`; both are null for the
    // genre, which is a selection entry in the group's `genre`.
    std::string Id3v1Fields::*v1Text = nullptr;
    std::string Id3v2Fields::*v2Text = nullptr;

    [[nodiscard]] bool isGenre() const { return field == TagField::Genre; }
};

// A field holding several values (an ID3v2.4 frame of several strings, a Vorbis comment given
// twice, an APEv2 or MP4 list) shows them as one text, joined by "; ", wherever it is shown or
// catalogued.
inline constexpr std::string_view kValueSeparator = "; ";
// Whether the field typed as "a; b" is written back as two values: names and titles are lists in
// the tag formats; a comment, date, track, genre or URL is one value, written as typed.
[[nodiscard]] bool takesSeveralValues(TagField field);
// The values as one text; empty values are left out.
[[nodiscard]] std::string joinValues(std::span<const std::string> values);
// The values a typed text stands for: its parts between "; ", or the whole text when a part would
// be empty, so that joining them always gives the text back. None for an empty text.
[[nodiscard]] std::vector<std::string> splitValues(std::string_view text);

// Every row: V1 before V2, each group in the order of its struct, which is the order
// `tunex-cli tags show` prints.
[[nodiscard]] std::span<const TagFieldRow> tagFieldRows();

// nullptr when no row has the key, or the tag has no such field.
[[nodiscard]] const TagFieldRow* findTagField(std::string_view key);
[[nodiscard]] const TagFieldRow* findTagField(TagVersion version, TagField field);

// A file of another format than mp3 has one tag, held in the V2 rows; `tunex-cli tags` names its
// fields without the version: "title" for the row of "v2.title".
[[nodiscard]] std::string_view singleGroupKey(const TagFieldRow& row);
// The V2 row of such a key; nullptr for any other key, "v2.title" included.
[[nodiscard]] const TagFieldRow* findSingleGroupField(std::string_view key);

// The text a row's field holds; nullptr for the genre.
[[nodiscard]] std::string* fieldText(const TagFieldRow& row, TagFields& fields);
[[nodiscard]] const std::string* fieldText(const TagFieldRow& row, const TagFields& fields);

// The genre selection entry of one tag (see genre_list.h).
[[nodiscard]] int& genreEntryOf(TagVersion version, TagFields& fields);
[[nodiscard]] int genreEntryOf(TagVersion version, const TagFields& fields);

}  // namespace tunex
