#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tunex {

// ID3v1 genre names: the index of a name is its genre number. Tags only ever store the number.
inline constexpr int kGenreCount = 148;

inline constexpr std::array<std::string_view, kGenreCount> GenreList = {"Blues",
                                                                        "Classic Rock",
                                                                        "Country",
                                                                        "Dance",
                                                                        "Disco",
                                                                        "Funk",
                                                                        "Grunge",
                                                                        "Hip-Hop",
                                                                        "Jazz",
                                                                        "Metal",
                                                                        "New Age",
                                                                        "Oldies",
                                                                        "Other",
                                                                        "Pop",
                                                                        "R&B",
                                                                        "Rap",
                                                                        "Reggae",
                                                                        "Rock",
                                                                        "Techno",
                                                                        "Industrial",
                                                                        "Alternative",
                                                                        "Ska",
                                                                        "Death Metal",
                                                                        "Pranks",
                                                                        "Soundtrack",
                                                                        "Euro-Techno",
                                                                        "Ambient",
                                                                        "Trip Hop",
                                                                        "Vocal",
                                                                        "Jazz Funk",
                                                                        "Fusion",
                                                                        "Trance",
                                                                        "Classical",
                                                                        "Instrumental",
                                                                        "Acid",
                                                                        "House",
                                                                        "Game",
                                                                        "Sound Clip",
                                                                        "Gospel",
                                                                        "Noise",
                                                                        "Alternative Rock",
                                                                        "Bass",
                                                                        "Soul",
                                                                        "Punk",
                                                                        "Space",
                                                                        "Meditative",
                                                                        "Instrumental Pop",
                                                                        "Instrumental Rock",
                                                                        "Ethnic",
                                                                        "Gothic",
                                                                        "Darkwave",
                                                                        "Techno-Industrial",
                                                                        "Electronic",
                                                                        "Pop Folk",
                                                                        "Eurodance",
                                                                        "Dream",
                                                                        "Southern Rock",
                                                                        "Comedy",
                                                                        "Cult",
                                                                        "Gangsta",
                                                                        "Top 40",
                                                                        "Christian Rap",
                                                                        "Pop Funk",
                                                                        "Jungle",
                                                                        "Native American",
                                                                        "Cabaret",
                                                                        "New Wave",
                                                                        "Psychadelic",
                                                                        "Rave",
                                                                        "ShowTunes",
                                                                        "Trailer",
                                                                        "Lo-Fi",
                                                                        "Tribal",
                                                                        "Acid Punk",
                                                                        "Acid Jazz",
                                                                        "Polka",
                                                                        "Retro",
                                                                        "Musical",
                                                                        "Rock & Roll",
                                                                        "Hard Rock",
                                                                        "Folk",
                                                                        "Folk Rock",
                                                                        "National Folk",
                                                                        "Swing",
                                                                        "Fast Fusion",
                                                                        "Bebob",
                                                                        "Latin",
                                                                        "Revival",
                                                                        "Celtic",
                                                                        "Bluegrass",
                                                                        "Avantgarde",
                                                                        "Gothic Rock",
                                                                        "Progressive Rock",
                                                                        "Psychedelic Rock",
                                                                        "Symphonic Rock",
                                                                        "Slow Rock",
                                                                        "Big Band",
                                                                        "Chorus",
                                                                        "Easy Listening",
                                                                        "Acoustic",
                                                                        "Humour",
                                                                        "Speech",
                                                                        "Chanson",
                                                                        "Opera",
                                                                        "Chamber Music",
                                                                        "Sonata",
                                                                        "Symphony",
                                                                        "Booty Bass",
                                                                        "Primus",
                                                                        "Porn Groove",
                                                                        "Satire",
                                                                        "Slow Jam",
                                                                        "Club",
                                                                        "Tango",
                                                                        "Samba",
                                                                        "Folklore",
                                                                        "Ballad",
                                                                        "Power Ballad",
                                                                        "Rhytmic Soul",
                                                                        "Freestyle",
                                                                        "Duet",
                                                                        "Punk Rock",
                                                                        "Drum Solo",
                                                                        "A Capella",
                                                                        "Euro House",
                                                                        "Dance Hall",
                                                                        "Goa",
                                                                        "Drum & Bass",
                                                                        "Club House",
                                                                        "Hardcore",
                                                                        "Terror",
                                                                        "Indie",
                                                                        "BritPop",
                                                                        "Negerpunk",
                                                                        "Polsk Punk",
                                                                        "Beat",
                                                                        "Christian Gangsta Rap",
                                                                        "Heavy Metal",
                                                                        "Black Metal",
                                                                        "Crossover",
                                                                        "Contemporary Christian",
                                                                        "Christian Rock",
                                                                        "Merengue",
                                                                        "Salsa",
                                                                        "Trash Metal",
                                                                        "Anime",
                                                                        "JPop",
                                                                        "SynthPop"};

// A genre selection box lists an empty entry first, so entry n + 1 stands for genre n.
inline constexpr int kGenreEntryEmpty = 0;
// No entry selected: the genre stored in the tag stays as it is.
inline constexpr int kGenreUnselected = -1;

[[nodiscard]] constexpr int genreEntryForNumber(int number) {
    return number >= 0 && number < kGenreCount ? number + 1 : kGenreUnselected;
}

// Whether two genre names are the same spelled the usual ways: "Folk-Rock", "folk rock" and
// "FolkRock" are "Folk Rock", "Jazz+Funk" is "Jazz Funk". ASCII case, blanks, '-', '+' and '/'
// are not compared.
[[nodiscard]] constexpr bool sameGenreName(std::string_view a, std::string_view b) {
    const auto skipped = [](char c) { return c == ' ' || c == '-' || c == '+' || c == '/'; };
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (true) {
        while (i < a.size() && skipped(a[i])) {
            ++i;
        }
        while (j < b.size() && skipped(b[j])) {
            ++j;
        }
        if (i == a.size() || j == b.size()) {
            return i == a.size() && j == b.size();
        }
        if (lower(a[i++]) != lower(b[j++])) {
            return false;
        }
    }
}

// The number of a name of the list, spelled as there or the usual other ways.
[[nodiscard]] constexpr std::optional<int> genreNumberOfName(std::string_view name) {
    for (int i = 0; i < kGenreCount; ++i) {
        if (GenreList[static_cast<size_t>(i)] == name) {
            return i;
        }
    }
    for (int i = 0; i < kGenreCount; ++i) {
        if (sameGenreName(GenreList[static_cast<size_t>(i)], name)) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace tunex
