#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// A field a name pattern names between percent signs: "%artist%", "%track:3%".
enum class PatternField { Artist, AlbumArtist, Album, Title, Track, Disc, Year, Genre, Skip };

// "artist", "albumartist"...: the word between the percent signs.
[[nodiscard]] std::string_view patternFieldWord(PatternField field);

struct PatternPart {
    std::optional<PatternField> field;  // none: `literal` stands as it is
    std::string literal;
    int width = 0;  // digits a number is padded to with zeros; 0: as it is
};

// How a file name is built, e.g. "%artist% - %title%" or "%album%/%track% %title%", where a "/"
// stands for the border between a folder and what is inside it.
struct NamePattern {
    std::vector<PatternPart> parts;

    // How many folders above the file the pattern reaches (its "/" count).
    [[nodiscard]] int folderLevels() const;
    [[nodiscard]] bool names(PatternField field) const;
};

// Reading names into tags allows %skip%; making names from tags does not, and needs a name after
// the last "/".
enum class PatternUse { ReadNames, MakeNames };

struct PatternParse {
    std::optional<NamePattern> pattern;
    std::string error;  // why the text is no pattern, in the user's words
};

[[nodiscard]] PatternParse parseNamePattern(std::string_view text, PatternUse use);

struct PatternValue {
    PatternField field;
    std::string value;
};

// The values a file's name gives by the pattern, read from left to right: a field ends where the
// text after it is next found, and the last one takes the rest. The file's base name stands
// after as many of its folders as the pattern reaches. Values are trimmed; %skip% gives none.
// Nothing when the name does not fit, or a field would be empty.
[[nodiscard]] std::optional<std::vector<PatternValue>> matchNamePattern(const NamePattern& pattern,
                                                                        std::string_view folder,
                                                                        std::string_view baseName);

// The delimiter to cut `text` at: a delimiter without blanks ("-") is taken with a blank on each
// side where the text holds it so, so that "Jean-Luc Quinn - Call" is cut at " - ".
[[nodiscard]] std::string delimiterIn(std::string_view text, std::string_view delimiter);

}  // namespace tunex
