#include "core/tags/name_pattern.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/common/text.h"
#include "core/tags/easy_tag.h"

namespace tunex {

namespace {

using enum PatternField;

constexpr std::array<std::pair<PatternField, std::string_view>, 9> kWords = {{
    {Artist, "artist"},
    {AlbumArtist, "albumartist"},
    {Album, "album"},
    {Title, "title"},
    {Track, "track"},
    {Disc, "disc"},
    {Year, "year"},
    {Genre, "genre"},
    {Skip, "skip"},
}};

std::string knownFields(PatternUse use) {
    std::string text;
    for (const auto& [field, word] : kWords) {
        if (field != Skip || use == PatternUse::ReadNames) {
            text.append(text.empty() ? "%" : " %").append(word).append("%");
        }
    }
    return text;
}

// One "%...%" of the pattern, `inside` being what stands between the percent signs.
std::optional<PatternPart> fieldPart(std::string_view inside, PatternUse use, std::string& error) {
    const std::size_t colon = inside.find(':');
    const std::string_view word = inside.substr(0, colon);
    const auto* const known = std::find_if(
        kWords.begin(), kWords.end(), [word](const auto& entry) { return entry.second == word; });
    if (known == kWords.end() || (known->first == Skip && use == PatternUse::MakeNames)) {
        error =
            "unknown field %" + std::string(inside) + "% (the fields are " + knownFields(use) + ")";
        return std::nullopt;
    }
    PatternPart part{known->first, {}, 0};
    if (colon != std::string_view::npos) {
        const std::string_view digits = inside.substr(colon + 1);
        const bool number = known->first == Track || known->first == Disc;
        if (!number || digits.size() != 1 || digits[0] < '1' || digits[0] > '9') {
            error = "only %track% and %disc% take a width, from 1 to 9, as in %track:3%";
            return std::nullopt;
        }
        part.width = digits[0] - '0';
    }
    return part;
}

// Numbers are what a name gives them as: "7", "07", "7/12"; text in their place means the name is
// built another way.
bool fitsField(PatternField field, std::string_view value) {
    switch (field) {
        case Track:
        case Disc: {
            const std::size_t slash = value.find('/');
            return isAllDigits(value.substr(0, slash)) &&
                   (slash == std::string_view::npos || isAllDigits(value.substr(slash + 1)));
        }
        case Year:
            return isAllDigits(value) && value.size() <= 4;
        default:
            return true;
    }
}

std::string checkParts(const NamePattern& pattern, PatternUse use) {
    const auto& parts = pattern.parts;
    if (std::none_of(parts.begin(), parts.end(), [](const PatternPart& p) { return p.field; })) {
        return "the pattern names no field (the fields are " + knownFields(use) + ")";
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (use == PatternUse::ReadNames && parts[i].field && parts[i - 1].field) {
            return "%" + std::string(patternFieldWord(*parts[i - 1].field)) + "% and %" +
                   std::string(patternFieldWord(*parts[i].field)) + "% need some text between them";
        }
    }
    if (use == PatternUse::MakeNames) {
        std::string literals;
        for (const PatternPart& part : parts) {
            literals += part.field ? "x" : part.literal;
        }
        if (literals.starts_with('/') || literals.ends_with('/') ||
            literals.find("//") != std::string_view::npos) {
            return "a \"/\" of the pattern must stand between two names";
        }
    }
    return {};
}

}  // namespace

std::string_view patternFieldWord(PatternField field) {
    return kWords.at(static_cast<std::size_t>(field)).second;
}

int NamePattern::folderLevels() const {
    int levels = 0;
    for (const PatternPart& part : parts) {
        levels += static_cast<int>(std::count(part.literal.begin(), part.literal.end(), '/'));
    }
    return levels;
}

bool NamePattern::names(PatternField field) const {
    return std::any_of(parts.begin(), parts.end(),
                       [field](const PatternPart& part) { return part.field == field; });
}

PatternParse parseNamePattern(std::string_view text, PatternUse use) {
    NamePattern pattern;
    std::string error;
    for (std::size_t at = 0; at < text.size() && error.empty();) {
        const std::size_t open = text.find('%', at);
        const std::string_view before = text.substr(at, open - at);
        if (!before.empty()) {
            if (pattern.parts.empty() || pattern.parts.back().field) {
                pattern.parts.push_back({});
            }
            pattern.parts.back().literal.append(before);
        }
        if (open == std::string_view::npos) {
            break;
        }
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            error = "the % at character " + std::to_string(open + 1) + " is not closed";
        } else if (close == open + 1) {
            // "%%" stands for a percent sign.
            if (pattern.parts.empty() || pattern.parts.back().field) {
                pattern.parts.push_back({});
            }
            pattern.parts.back().literal += '%';
        } else if (auto part = fieldPart(text.substr(open + 1, close - open - 1), use, error)) {
            pattern.parts.push_back(std::move(*part));
        }
        at = close == std::string_view::npos ? text.size() : close + 1;
    }
    if (error.empty()) {
        error = text.empty() ? "the pattern is empty" : checkParts(pattern, use);
    }
    if (!error.empty()) {
        return {std::nullopt, std::move(error)};
    }
    return {std::move(pattern), {}};
}

std::string delimiterIn(std::string_view text, std::string_view delimiter) {
    if (delimiter.empty() || delimiter.find(' ') != std::string_view::npos) {
        return std::string(delimiter);
    }
    std::string spaced = " " + std::string(delimiter) + " ";
    return text.find(spaced) != std::string_view::npos ? spaced : std::string(delimiter);
}

std::optional<std::vector<PatternValue>> matchNamePattern(const NamePattern& pattern,
                                                          std::string_view folder,
                                                          std::string_view baseName) {
    // The folders the pattern reaches, then the name.
    std::string text(baseName);
    std::string_view above = folder;
    for (int level = pattern.folderLevels(); level > 0; --level) {
        while (above.ends_with('/')) {
            above.remove_suffix(1);
        }
        const std::size_t slash = above.rfind('/');
        const std::string_view name = above.substr(slash == std::string_view::npos ? 0 : slash + 1);
        if (name.empty()) {
            return std::nullopt;
        }
        text.insert(0, 1, '/').insert(0, name);
        above = above.substr(0, slash == std::string_view::npos ? 0 : slash);
    }

    std::vector<PatternValue> values;
    std::size_t pos = 0;
    const auto& parts = pattern.parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i].field) {
            if (!std::string_view(text).substr(pos).starts_with(parts[i].literal)) {
                return std::nullopt;
            }
            pos += parts[i].literal.size();
            continue;
        }
        const PatternField field = *parts[i].field;
        std::size_t end = text.size();
        std::size_t next = end;
        if (i + 1 < parts.size()) {
            const std::string& literal = parts[++i].literal;
            const std::string delimiter =
                literal.find('/') != std::string_view::npos
                    ? literal
                    : delimiterIn(std::string_view(text).substr(pos), literal);
            // A field is never empty: its text starts one character further on at least.
            end = text.find(delimiter, pos + 1);
            if (end == std::string::npos) {
                return std::nullopt;
            }
            next = end + delimiter.size();
        }
        const std::string_view raw = std::string_view(text).substr(pos, end - pos);
        std::string value = trimWhiteSpace(raw);
        if (value.empty() || raw.find('/') != std::string_view::npos || !fitsField(field, value)) {
            return std::nullopt;
        }
        if (field != Skip) {
            values.push_back({field, std::move(value)});
        }
        pos = next;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return values;
}

}  // namespace tunex
