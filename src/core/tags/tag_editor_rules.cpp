#include "core/tags/tag_editor_rules.h"

#include <algorithm>
#include <climits>

#include "core/common/text.h"
#include "core/tags/audio_format.h"

namespace tunex {

std::string tagEditorCaption(std::string_view path) {
    if (singleTagFormat(path)) {
        return "Tag of " + std::string(path);
    }
    return "ID3 Tag of " + std::string(path);
}

std::string singleTagTitle(AudioFormat format) {
    return std::string(formatFacts(format).tagTitle);
}

int v1TypingLimit(V1TextField field) {
    const TagFieldRow* row = findTagField(TagVersion::V1, field);
    return row != nullptr ? row->typingLimit : 0;
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

namespace {

// The numbers a year or track field holds. `required`: the tag keeps a number only, so text that
// does not start with one would be lost.
struct NumberRule {
    bool required = false;
    int first = 0;
    int limit = INT_MAX;
    bool total = true;  // a "/" and a total after the number, held to the same limit
    std::string_view what = "track numbers";
};

std::optional<NumberRule> numberRuleOf(const TagFieldRow& row, std::optional<AudioFormat> single) {
    const bool v1 = !single && row.version == TagVersion::V1;
    if (row.field == TagField::Year) {
        // Other tags keep the year as text: "2003-11-16" too.
        return v1 ? std::optional(NumberRule{true, 1, kV1YearMax, false, "a year"}) : std::nullopt;
    }
    const bool disc = row.field == TagField::Disc;
    if (row.field != TagField::Track && !disc) {
        return std::nullopt;
    }
    if (v1) {
        return NumberRule{true, 1, kV1TrackMax, false, "a track number"};
    }
    if (single == AudioFormat::Mp4) {
        return NumberRule{true, 1, kMp4TrackMax, true, disc ? "a disc number" : "a track number"};
    }
    // The rest keep text ("A1" too); past INT_MAX a number no longer reads back as itself.
    NumberRule rule;
    rule.what = disc ? "disc numbers" : "track numbers";
    return rule;
}

// The digits at the start of `text`, saturated past INT_MAX; nullopt when there are none.
std::optional<long long> leadingDigits(std::string_view text) {
    std::size_t digits = 0;
    long long value = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        value = std::min(value * 10 + (text[digits] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    return digits > 0 ? std::optional(value) : std::nullopt;
}

bool numberFits(const NumberRule& rule, std::string_view value) {
    const auto number = leadingDigits(value);
    if (!number) {
        return !rule.required;
    }
    if (*number < rule.first || *number > rule.limit) {
        return false;
    }
    // The total as the MP4 writer reads it: the number after the first "/", blanks and sign
    // skipped.
    const std::size_t slash = value.find('/');
    if (!rule.total || slash == std::string_view::npos) {
        return true;
    }
    std::string_view total = value.substr(slash + 1);
    total.remove_prefix(std::min(total.find_first_not_of(" \t\n\v\f\r+"), total.size()));
    return leadingDigits(total).value_or(0) <= rule.limit;
}

std::string numberRefusal(const NumberRule& rule, std::string_view name) {
    const std::string limit = std::to_string(rule.limit);
    std::string text = std::string(name) + " takes " + std::string(rule.what);
    text +=
        rule.required ? " from " + std::to_string(rule.first) + " to " + limit : " up to " + limit;
    return text + (rule.total ? ", and a total after / up to " + limit + "." : ".");
}

}  // namespace

std::optional<std::string> fieldValueRefusal(const TagFieldRow& row,
                                             std::optional<AudioFormat> single,
                                             std::string_view value, std::string_view name) {
    if (!isUtf8(value)) {
        return "The value of " + std::string(name) + " is not UTF-8 text.";
    }
    if (row.typingLimit > 0 && !fitsTypingLimit(value, row.typingLimit)) {
        return std::string(name) + " takes at most " + std::to_string(row.typingLimit) +
               " characters.";
    }
    const auto rule = numberRuleOf(row, single);
    if (rule && !value.empty() && !numberFits(*rule, value)) {
        return numberRefusal(*rule, name);
    }
    return std::nullopt;
}

std::optional<UserMessage> changedFieldsRefusal(const TagFields& loaded, const TagFields& shown,
                                                std::optional<AudioFormat> single) {
    for (const TagFieldRow& row : tagFieldRows()) {
        const std::string* value = fieldText(row, shown);
        if (value == nullptr || *value == *fieldText(row, loaded) ||
            (single && row.version == TagVersion::V1)) {
            continue;
        }
        const std::string group = single ? "" : row.version == TagVersion::V1 ? "V1 " : "V2 ";
        if (auto refusal = fieldValueRefusal(row, single, *value, group + std::string(row.label))) {
            return UserMessage{std::move(*refusal), captionFor("Input Error"),
                               MessageIcon::Warning};
        }
    }
    return std::nullopt;
}

std::string_view genreEntryText(int entry) {
    if (entry <= kGenreEntryEmpty || entry >= kGenreEntryCount) {
        return {};
    }
    return GenreList[static_cast<std::size_t>(entry - 1)];
}

void clearV1Group(Id3v1Fields& fields) {
    fields = Id3v1Fields{};
    fields.genre = kGenreEntryEmpty;
}

void clearV2Group(Id3v2Fields& fields) {
    fields = Id3v2Fields{};
    fields.genre = kGenreEntryEmpty;
}

namespace {

UserMessage leftAloneMessage(std::string_view path, std::string_view reason) {
    return {"The file " + std::string(path) + " was left as it is: " + std::string(reason) + ".",
            captionFor("File Error"), MessageIcon::Error};
}

}  // namespace

UserMessage wrongContentMessage(std::string_view path, std::string_view reason) {
    if (!reason.empty()) {
        return leftAloneMessage(path, reason);
    }
    const auto format = singleTagFormat(path);
    if (!format) {
        return {"The file " + std::string(path) +
                    " does not hold MPEG audio, so no ID3 tag was written into it.",
                captionFor("File Error"), MessageIcon::Error};
    }
    return {"The file " + std::string(path) + " does not hold " +
                std::string(audioFormatName(*format)) + ", so no tag was written into it.",
            captionFor("File Error"), MessageIcon::Error};
}

std::string wrongContentReason(std::span<const std::string> paths) {
    std::optional<AudioFormat> shared;
    for (const std::string& path : paths) {
        const auto format = audioFormatOfName(path);
        if (!format || (shared && *shared != *format)) {
            return "left alone, not the audio their names say";
        }
        shared = format;
    }
    return "left alone, not " + std::string(audioFormatName(shared.value_or(AudioFormat::Mp3)));
}

UserMessage notReadWholeMessage(std::string_view path, std::string_view reason) {
    if (!reason.empty() && reason != kNotReadWholeReason) {
        return leftAloneMessage(path, reason);
    }
    return {"The file " + std::string(path) +
                " was left as it is: " + std::string(kNotReadWholeReason) +
                ", and writing it would lose what could not be read.",
            captionFor("File Error"), MessageIcon::Error};
}

UserMessage tagUpdateFailedMessage(std::string_view path, TagWriteOutcome outcome,
                                   std::string_view reason) {
    if (outcome == TagWriteOutcome::WrongContent) {
        return wrongContentMessage(path, reason);
    }
    if (outcome == TagWriteOutcome::NotReadWhole) {
        return notReadWholeMessage(path, reason);
    }
    const std::string what = singleTagFormat(path) ? "The tag of file " : "The ID3 tags of file ";
    return {what + std::string(path) + " could not be written.", captionFor("File Error"),
            MessageIcon::Error};
}

}  // namespace tunex
