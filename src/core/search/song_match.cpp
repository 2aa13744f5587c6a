#include "core/search/song_match.h"

namespace tunex {

SearchTerms::SearchTerms(std::string_view title, std::string_view artist, AccentRule accents)
    : title_(foldForSearch(title, accents)),
      artist_(foldForSearch(artist, accents)),
      accents_(accents) {}

bool SearchTerms::matches(const LoweredFields& fields, Sensitivity sensitivity) const {
    const std::string_view title = title_;
    const std::string_view artist = artist_;
    // Each containment is worked out at most once, and only when the rule gets to it.
    const auto inName = [&](std::string_view term) { return containsFolded(fields.name, term); };
    const auto inId3 = [&](std::string_view term) { return containsFolded(fields.id3Info, term); };
    switch (sensitivity) {
        case Sensitivity::Low:
            return inName(artist) && inName(title);
        case Sensitivity::Medium:
            return (inName(artist) || inId3(artist)) && (inName(title) || inId3(title));
        case Sensitivity::High:
            // Eight combinations, of which these are the ones that can decide. Not a superset of
            // Medium: title and artist must meet in the same field, and the folder counts only
            // for the artist, beside a title found in the name (or no title at all).
            if (artist.empty()) {
                return inName(title) || inId3(title);
            }
            if (title.empty()) {
                return inName(artist) || inId3(artist) || containsFolded(fields.folder, artist);
            }
            return (inName(title) && (inName(artist) || containsFolded(fields.folder, artist))) ||
                   (inId3(title) && inId3(artist));
        default:
            return false;
    }
}

bool SearchTerms::matchesUnlowered(const SongRecordView& record, Sensitivity sensitivity,
                                   std::array<std::string, 3>& scratch) const {
    const auto prepared = [this](std::string_view field, std::string& buffer) {
        return foldBesidesAscii(field, accents_, buffer);
    };
    LoweredFields fields;
    fields.name = prepared(record.name, scratch[0]);
    if (sensitivity == Sensitivity::Medium || sensitivity == Sensitivity::High) {
        fields.id3Info = prepared(record.id3Info, scratch[1]);
    }
    if (sensitivity == Sensitivity::High && !artist_.empty()) {
        fields.folder = prepared(record.folder, scratch[2]);
    }
    return matches(fields, sensitivity);
}

bool songMatches(std::string_view title, std::string_view artist, const SongRecordView& record,
                 Sensitivity sensitivity, AccentRule accents) {
    const SearchTerms terms(title, artist, accents);
    const std::string name = foldForSearch(record.name, accents);
    const std::string folder = foldForSearch(record.folder, accents);
    const std::string id3Info = foldForSearch(record.id3Info, accents);
    return terms.matches({name, folder, id3Info}, sensitivity);
}

}  // namespace tunex
