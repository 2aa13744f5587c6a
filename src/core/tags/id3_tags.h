#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/tags/genre_list.h"

namespace tunex {

// V1 is the ID3v1 tag at the end of an mp3 file, V2 the ID3v2 tag at its start.
enum class TagVersion { V1, V2 };

// Typing limits of the V1 fields in the tag editor, in characters. Longer V1 text is cut when the
// tag is written (30 bytes a field, 28 for the comment next to the track byte).
inline constexpr int kV1TextLimit = 30;
inline constexpr int kV1YearLimit = 4;
inline constexpr int kV1TrackLimit = 3;
// The largest numbers the V1 tag holds: a track byte and four year digits. 0 means none.
inline constexpr int kV1TrackMax = 255;
inline constexpr int kV1YearMax = 9999;

// Fields of the tag editor, UTF-8. An empty text means the field is absent. Genres are selection
// entries (see genre_list.h): kGenreEntryEmpty, genre number + 1, or kGenreUnselected. Each member
// has its row in tag_field_table.h, which is how the editor and `tunex-cli tags` find it.
struct Id3v1Fields {
    std::string title;
    std::string artist;
    std::string album;
    std::string comment;
    std::string year;
    std::string track;
    int genre = kGenreUnselected;
};

struct Id3v2Fields {
    std::string title;
    std::string artist;
    std::string album;
    std::string comment;
    std::string year;
    std::string track;
    int genre = kGenreUnselected;
    std::string composer;
    std::string publisher;
    std::string url;
    std::string copyright;
    std::string albumArtist;
    std::string disc;  // "2" or "2/3", as the track
    // A stored genre that is no entry of the list ("Klezmer"), as stored; only read, so that it
    // is shown as itself. It stays while `genre` is kGenreUnselected.
    std::string genreName;
};

struct TagFields {
    Id3v1Fields v1;
    Id3v2Fields v2;
};

struct Id3Summary {
    std::optional<std::string> title;
    std::optional<std::string> artist;
    std::optional<std::string> album;
};

// What one piece of a file name stands for (EasyTag); the first four are the slots' choices.
enum class NameField { Artist, Album, SongTitle, TrackNumber, Year, Genre, AlbumArtist, Disc };

struct NameValue {
    NameField field;
    std::string value;
};

// Reading never fails loudly: a file that cannot be opened or holds no tag simply yields no text.

// The ID3 info a catalogue record keeps: "title;artist;album;" with absent parts left out, all
// from the V2 tag when the file has one, else from the V1 tag; from the one tag of a file of
// another format (FLAC, Ogg, MP4...).
[[nodiscard]] std::string readCatalogueId3(const std::filesystem::path& file);

// Title, artist and album, each from V2 when V2 has it, else from V1.
[[nodiscard]] Id3Summary readId3Summary(const std::filesystem::path& file);

struct LoadedGroups {
    bool v1 = false;
    bool v2 = false;
    // The file is of another format than mp3 (by its name): it has one tag, read into the V2
    // group (v2 says whether it could be read); V1 stays empty.
    bool single = false;
};

// Fills the V1 group only when the file has a V1 tag and the V2 group only when it has a V2 tag,
// and says which groups it filled. A field the tag lacks keeps the value it had; a genre that is
// not a number 0-147 becomes kGenreUnselected. A file of another format fills the V2 group with
// its one tag (see format_tags.h).
LoadedGroups loadTagFields(const std::filesystem::path& file, TagFields& fields);

class WriteJournal;

enum class TagWriteOutcome {
    Written,       // the file now holds what was asked, also when nothing had to change
    WrongContent,  // the content is not the audio its name says (no MPEG audio in an mp3, no
                   // FLAC in a .flac...): never written
    Failed,        // missing, unreadable, or an I/O error; the file is byte for byte as it was
    NotReadWhole,  // TagLib cannot read the tag whole (a frame or comment it cannot follow), so a
                   // write would lose what it missed: never written
};

// What a write of one file came to; `reason` says in the user's words why a refused file is left
// alone, where more is known than the outcome (see refusal_reasons.h).
struct TagWriteResult {
    TagWriteOutcome outcome = TagWriteOutcome::Written;
    std::string reason;

    friend bool operator==(const TagWriteResult& result, TagWriteOutcome outcome) {
        return result.outcome == outcome;
    }
};

// The writing operations change only what differs from what the file holds: the frames of
// other fields keep their bytes, order and encoding. Each goes through the write journal, so a
// kill or a full disk leaves the file as it was or fully written, never in between.

// Writes both tags from the fields: an empty text removes that field, kGenreEntryEmpty removes the
// genre, kGenreUnselected keeps it. The V1 tag is always present afterwards.
[[nodiscard]] TagWriteResult saveTagFields(WriteJournal& journal, const std::filesystem::path& file,
                                           const TagFields& fields);

// Removes the V2 tag and blanks the V1 tag in place. A file with neither tag is not touched.
[[nodiscard]] TagWriteResult clearAllTags(WriteJournal& journal, const std::filesystem::path& file);

// Sets the given fields in one version's tag, later pairs winning over earlier ones of the same
// field. An empty title, artist or album is skipped; an empty track number removes the track. A
// genre is a name of the list or its number; any other is left out.
[[nodiscard]] TagWriteResult writeNameFields(WriteJournal& journal,
                                             const std::filesystem::path& file, TagVersion target,
                                             std::span<const NameValue> values);

// The catalogue text built from separate parts, as readCatalogueId3 builds it.
[[nodiscard]] std::string catalogueId3Text(std::string_view title, std::string_view artist,
                                           std::string_view album);

// `text` with every character Latin-1 cannot hold transliterated (Cyrillic, Greek, CJK, typographic
// quotes and dashes) or, failing that, replaced by '?'. ID3v1 holds Latin-1 only.
[[nodiscard]] std::string latin1Fallback(std::string_view utf8);

}  // namespace tunex
