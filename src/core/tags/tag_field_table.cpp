#include "core/tags/tag_field_table.h"

#include <algorithm>
#include <array>

namespace tunex {

namespace {

using enum TagField;

constexpr TagFieldRow v1Row(TagField field, std::string_view key, std::string_view label, int limit,
                            EditorCell cell, std::string Id3v1Fields::*text = nullptr) {
    return {TagVersion::V1, field, key, label, limit, cell, text, nullptr};
}

constexpr TagFieldRow v2Row(TagField field, std::string_view key, std::string_view label,
                            EditorCell cell, std::string Id3v2Fields::*text = nullptr) {
    return {TagVersion::V2, field, key, label, 0, cell, nullptr, text};
}

// Rows follow the structs; the editor lays them out by their cells instead, down the left column
// and then the right one.
constexpr std::array kRows = {
    v1Row(Title, "v1.title", "Title", kV1TextLimit, {0, 0}, &Id3v1Fields::title),
    v1Row(Artist, "v1.artist", "Artist", kV1TextLimit, {1, 0}, &Id3v1Fields::artist),
    v1Row(Album, "v1.album", "Album", kV1TextLimit, {2, 0}, &Id3v1Fields::album),
    v1Row(Comment, "v1.comment", "Comment", kV1TextLimit, {0, 1}, &Id3v1Fields::comment),
    v1Row(Year, "v1.year", "Year", kV1YearLimit, {1, 1}, &Id3v1Fields::year),
    v1Row(Track, "v1.track", "Track #", kV1TrackLimit, {2, 1}, &Id3v1Fields::track),
    v1Row(Genre, "v1.genre", "Genre", 0, {3, 0}),
    v2Row(Title, "v2.title", "Title", {0, 0}, &Id3v2Fields::title),
    v2Row(Artist, "v2.artist", "Artist", {1, 0}, &Id3v2Fields::artist),
    v2Row(Album, "v2.album", "Album", {2, 0}, &Id3v2Fields::album),
    v2Row(Comment, "v2.comment", "Comment", {4, 1}, &Id3v2Fields::comment),
    v2Row(Year, "v2.year", "Year", {5, 1}, &Id3v2Fields::year),
    v2Row(Track, "v2.track", "Track #", {2, 1}, &Id3v2Fields::track),
    v2Row(Genre, "v2.genre", "Genre", {1, 1}),
    v2Row(Composer, "v2.composer", "Composer", {4, 0}, &Id3v2Fields::composer),
    v2Row(Publisher, "v2.publisher", "Publisher", {5, 0}, &Id3v2Fields::publisher),
    v2Row(Url, "v2.url", "File URL", {6, 0}, &Id3v2Fields::url),
    v2Row(Copyright, "v2.copyright", "Copyright", {0, 1}, &Id3v2Fields::copyright),
    // Last in `tags show`, so that its earlier lines stay where scripts read them; in the editor
    // beside the album and the track.
    v2Row(AlbumArtist, "v2.albumartist", "Album Artist", {3, 0}, &Id3v2Fields::albumArtist),
    v2Row(Disc, "v2.disc", "Disc #", {3, 1}, &Id3v2Fields::disc),
};

// One body for the const and the mutable lookup.
template <class Fields>
auto* textIn(const TagFieldRow& row, Fields& fields) {
    if (row.version == TagVersion::V1) {
        return row.v1Text != nullptr ? &(fields.v1.*row.v1Text) : nullptr;
    }
    return row.v2Text != nullptr ? &(fields.v2.*row.v2Text) : nullptr;
}

const TagFieldRow* findRow(auto matches) {
    const auto found = std::find_if(kRows.begin(), kRows.end(), matches);
    return found != kRows.end() ? &*found : nullptr;
}

}  // namespace

std::span<const TagFieldRow> tagFieldRows() {
    return kRows;
}

const TagFieldRow* findTagField(std::string_view key) {
    return findRow([key](const TagFieldRow& row) { return row.key == key; });
}

const TagFieldRow* findTagField(TagVersion version, TagField field) {
    return findRow(
        [=](const TagFieldRow& row) { return row.version == version && row.field == field; });
}

std::string_view singleGroupKey(const TagFieldRow& row) {
    return row.key.substr(row.key.find('.') + 1);
}

const TagFieldRow* findSingleGroupField(std::string_view key) {
    return findRow([key](const TagFieldRow& row) {
        return row.version == TagVersion::V2 && singleGroupKey(row) == key;
    });
}

std::string* fieldText(const TagFieldRow& row, TagFields& fields) {
    return textIn(row, fields);
}

const std::string* fieldText(const TagFieldRow& row, const TagFields& fields) {
    return textIn(row, fields);
}

int& genreEntryOf(TagVersion version, TagFields& fields) {
    return version == TagVersion::V1 ? fields.v1.genre : fields.v2.genre;
}

int genreEntryOf(TagVersion version, const TagFields& fields) {
    return version == TagVersion::V1 ? fields.v1.genre : fields.v2.genre;
}

bool takesSeveralValues(TagField field) {
    switch (field) {
        case Title:
        case Artist:
        case Album:
        case Composer:
        case Publisher:
        case Copyright:
        case AlbumArtist:
            return true;
        case Comment:
        case Year:
        case Track:
        case Genre:
        case Url:
        case Disc:
            break;
    }
    return false;
}

std::string joinValues(std::span<const std::string> values) {
    std::string text;
    for (const std::string& value : values) {
        if (value.empty()) {
            continue;
        }
        if (!text.empty()) {
            text.append(kValueSeparator);
        }
        text.append(value);
    }
    return text;
}

std::vector<std::string> splitValues(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    std::vector<std::string> values;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(kValueSeparator, start);
        const std::string_view part = text.substr(start, end - start);
        if (part.empty()) {
            return {std::string(text)};
        }
        values.emplace_back(part);
        if (end == std::string_view::npos) {
            return values;
        }
        start = end + kValueSeparator.size();
    }
}

}  // namespace tunex
