#include "core/tags/id3_tags.h"

#include "core/common/text.h"
#include "core/tags/format_tags.h"
#include "core/tags/id3_reader.h"
#include "core/tags/tag_change.h"

namespace tunex {

namespace ID3v1 = TagLib::ID3v1;
namespace ID3v2 = TagLib::ID3v2;

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

namespace {

// The format the name says when it is not mp3.
std::optional<AudioFormat> otherFormatOf(const std::filesystem::path& file) {
    return singleTagFormat(file.string());
}

std::optional<std::string> present(std::string text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
}

// A genre given by a name of the list or its number there ("17").
std::optional<int> genreOf(std::string_view text) {
    if (text.size() > 3 || !isAllDigits(text)) {
        return genreNumberOfName(text);
    }
    const int number = leadingInteger(text);
    return number < kGenreCount ? std::optional<int>(number) : std::nullopt;
}

}  // namespace

std::string readCatalogueId3(const std::filesystem::path& file) {
    if (const auto format = otherFormatOf(file)) {
        const auto fields = readFormatFields(file, *format);
        return fields ? catalogueId3Text(fields->title, fields->artist, fields->album)
                      : std::string();
    }
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
    if (const auto format = otherFormatOf(file)) {
        Id3Summary summary;
        if (auto fields = readFormatFields(file, *format)) {
            summary.title = present(std::move(fields->title));
            summary.artist = present(std::move(fields->artist));
            summary.album = present(std::move(fields->album));
        }
        return summary;
    }
    TagReader reader(file);
    ID3v1::Tag* v1 = reader.v1();
    ID3v2::Tag* v2 = reader.v2();
    auto pick = [&](const char* id, TagLib::String (ID3v1::Tag::*v1Field)() const) {
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
    if (const auto format = otherFormatOf(file)) {
        LoadedGroups loaded;
        loaded.single = true;
        if (auto read = readFormatFields(file, *format)) {
            fields.v2 = std::move(*read);
            loaded.v2 = true;
        }
        return loaded;
    }
    TagReader reader(file);
    return readTagFields(reader, fields);
}

TagChange planTagFields(const std::filesystem::path& file, const TagFields& fields) {
    TagChangePlanner planner(file);
    setTagFields(planner, fields);
    return planner.plan();
}

void setTagFields(TagChangePlanner& planner, const TagFields& fields) {
    planner.setV1(fields.v1, true);
    planner.setV2(fields.v2);
}

TagChange planClearAll(const std::filesystem::path& file) {
    TagChangePlanner planner(file);
    planner.clearAll();
    return planner.plan();
}

TagChange planNameFields(const std::filesystem::path& file, TagVersion target,
                         std::span<const NameValue> values) {
    TagChangePlanner planner(file);
    setNameFields(planner, target, values);
    return planner.plan();
}

void setNameFields(TagChangePlanner& planner, TagVersion target,
                   std::span<const NameValue> values) {
    TagFields wanted = planner.current();
    // A file with one tag takes the values there, whichever version was chosen.
    const bool v1 = target == TagVersion::V1 && !planner.singleGroup();
    for (const NameValue& pair : values) {
        if (pair.field != NameField::TrackNumber && pair.value.empty()) {
            continue;
        }
        switch (pair.field) {
            case NameField::Artist:
                (v1 ? wanted.v1.artist : wanted.v2.artist) = pair.value;
                break;
            case NameField::Album:
                (v1 ? wanted.v1.album : wanted.v2.album) = pair.value;
                break;
            case NameField::SongTitle:
                (v1 ? wanted.v1.title : wanted.v2.title) = pair.value;
                break;
            case NameField::TrackNumber:
                (v1 ? wanted.v1.track : wanted.v2.track) = pair.value;
                break;
            case NameField::Year:
                (v1 ? wanted.v1.year : wanted.v2.year) = pair.value;
                break;
            case NameField::AlbumArtist:
            case NameField::Disc:
                // The V1 tag has no room for them.
                if (!v1) {
                    (pair.field == NameField::Disc ? wanted.v2.disc : wanted.v2.albumArtist) =
                        pair.value;
                }
                break;
            case NameField::Genre:
                if (const auto number = genreOf(pair.value)) {
                    (v1 ? wanted.v1.genre : wanted.v2.genre) = genreEntryForNumber(*number);
                }
                break;
        }
    }
    if (v1) {
        planner.setV1(wanted.v1, true);
    } else {
        planner.setV2(wanted.v2);
    }
}

TagWriteResult writeTagChange(WriteJournal& journal, TagChange change) {
    if (change.refusal != TagWriteOutcome::Written || change.change.splices.empty()) {
        return {change.refusal, std::move(change.reason)};
    }
    WriteOutcome outcome = WriteOutcome::Failed;
    JournaledBatch batch(journal,
                         [&](const FileChange&, const WriteResult& r) { outcome = r.outcome; });
    batch.add(std::move(change.change));
    batch.finish();
    return {outcome == WriteOutcome::Written ? TagWriteOutcome::Written : TagWriteOutcome::Failed,
            {}};
}

TagWriteResult saveTagFields(WriteJournal& journal, const std::filesystem::path& file,
                             const TagFields& fields) {
    return writeTagChange(journal, planTagFields(file, fields));
}

TagWriteResult clearAllTags(WriteJournal& journal, const std::filesystem::path& file) {
    return writeTagChange(journal, planClearAll(file));
}

TagWriteResult writeNameFields(WriteJournal& journal, const std::filesystem::path& file,
                               TagVersion target, std::span<const NameValue> values) {
    return writeTagChange(journal, planNameFields(file, target, values));
}

}  // namespace tunex
