#include "core/tags/tag_tidy.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string_view>
#include <vector>

#include "core/common/text.h"
#include "core/tags/audio_format.h"
#include "core/tags/batch_scope.h"
#include "core/tags/tag_change.h"

namespace tunex {

namespace {

using icu::UnicodeString;

// Kept lower-case in Title case unless they open or close the text.
constexpr std::array<std::u16string_view, 17> kSmallWords = {
    u"a",   u"an", u"and", u"as", u"at",  u"but", u"by", u"for", u"in",
    u"nor", u"of", u"on",  u"or", u"the", u"to",  u"vs", u"with"};

UnicodeString collapseSpaces(const UnicodeString& text) {
    UnicodeString out;
    bool blank = false;
    for (int32_t i = 0; i < text.length();) {
        const UChar32 c = text.char32At(i);
        i += U16_LENGTH(c);
        if (u_isUWhiteSpace(c) != 0) {
            blank = out.length() > 0;
            continue;
        }
        if (blank) {
            out.append(u' ');
            blank = false;
        }
        out.append(c);
    }
    return out;
}

// A word of two or more capitals and no small letter: an acronym or a name written so.
bool inCapitals(const UnicodeString& word) {
    int capitals = 0;
    for (int32_t i = 0; i < word.length();) {
        const UChar32 c = word.char32At(i);
        i += U16_LENGTH(c);
        if (u_hasBinaryProperty(c, UCHAR_LOWERCASE) != 0) {
            return false;
        }
        capitals += u_hasBinaryProperty(c, UCHAR_UPPERCASE) != 0 ? 1 : 0;
    }
    return capitals >= 2;
}

// The word's first letter in title case, past opening marks ("(love" gives "(Love"); a word that
// starts with a digit ("1st") is left as it is.
UnicodeString capitalised(UnicodeString word) {
    for (int32_t i = 0; i < word.length();) {
        const UChar32 c = word.char32At(i);
        const int32_t length = U16_LENGTH(c);
        if (u_isalpha(c) != 0) {
            UnicodeString letter(c);
            letter.toTitle(nullptr, icu::Locale::getRoot(),
                           U_TITLECASE_NO_LOWERCASE | U_TITLECASE_NO_BREAK_ADJUSTMENT);
            return word.replace(i, length, letter);
        }
        if (u_isdigit(c) != 0) {
            break;
        }
        i += length;
    }
    return word;
}

// Marks around the word ("of," "(the" "vs.") do not hide it.
bool isSmallWord(const UnicodeString& lower) {
    std::u16string_view word(lower.getBuffer(), static_cast<std::size_t>(lower.length()));
    while (!word.empty() && u_isalpha(word.front()) == 0) {
        word.remove_prefix(1);
    }
    while (!word.empty() && u_isalpha(word.back()) == 0) {
        word.remove_suffix(1);
    }
    return std::ranges::find(kSmallWords, word) != kSmallWords.end();
}

// Title or First case, word by word; the blanks between words stay as they are.
UnicodeString wordCase(const UnicodeString& text, TidyCase textCase) {
    struct Word {
        int32_t start;
        int32_t end;
    };
    std::vector<Word> words;
    for (int32_t i = 0; i < text.length();) {
        const UChar32 c = text.char32At(i);
        const int32_t next = i + U16_LENGTH(c);
        if (u_isUWhiteSpace(c) == 0) {
            if (words.empty() || words.back().end != i) {
                words.push_back({i, next});
            } else {
                words.back().end = next;
            }
        }
        i = next;
    }
    UnicodeString out = text;
    // A title of several words all in capitals is shouted, not spelled: its words are not kept as
    // they are ("BACK IN BLACK"), while a name alone ("ABBA", "AC/DC") is.
    const bool shouted = words.size() > 1 && inCapitals(text);
    // From the last word back, so that a word whose length changes leaves the others in place.
    for (std::size_t n = words.size(); n-- > 0;) {
        const Word& at = words[n];
        UnicodeString word(text, at.start, at.end - at.start);
        if (!shouted && inCapitals(word)) {
            continue;
        }
        word.toLower(icu::Locale::getRoot());
        const bool edge = n == 0 || n + 1 == words.size();
        if (n == 0 || (textCase == TidyCase::Title && (edge || !isSmallWord(word)))) {
            word = capitalised(word);
        }
        out.replace(at.start, at.end - at.start, word);
    }
    return out;
}

}  // namespace

std::string tidyText(std::string_view utf8, const TidyRules& rules) {
    // ICU counts in 32 bits: a text past that is no tag field, and is never cut.
    if (utf8.empty() || utf8.size() > INT32_MAX / 2 || !isUtf8(utf8)) {
        return std::string(utf8);
    }
    UnicodeString text =
        UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    if (rules.underscores) {
        text.findAndReplace(u"_", u" ");
    }
    if (rules.spaces) {
        text = collapseSpaces(text);
    }
    switch (rules.textCase) {
        case TidyCase::Keep:
            break;
        case TidyCase::Lower:
            text.toLower(icu::Locale::getRoot());
            break;
        case TidyCase::Upper:
            text.toUpper(icu::Locale::getRoot());
            break;
        case TidyCase::Title:
        case TidyCase::First:
            text = wordCase(text, rules.textCase);
            break;
    }
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string tidyFieldText(std::string_view text, const TidyRules& rules) {
    std::vector<std::string> values = splitValues(text);
    for (std::string& value : values) {
        value = tidyText(value, rules);
    }
    return joinValues(values);
}

std::string_view tidyFieldKey(TagField field) {
    const TagFieldRow* row = findTagField(TagVersion::V2, field);
    return row != nullptr ? singleGroupKey(*row) : std::string_view();
}

std::optional<std::vector<TagField>> parseTidyFields(std::string_view list) {
    std::vector<TagField> fields;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        const auto* found = std::ranges::find_if(
            kTidyFields, [name](TagField field) { return tidyFieldKey(field) == name; });
        if (found == kTidyFields.end()) {
            return std::nullopt;
        }
        if (std::ranges::find(fields, *found) == fields.end()) {
            fields.push_back(*found);
        }
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return fields.empty() ? std::nullopt : std::optional(std::move(fields));
}

void setTidiedFields(TagChangePlanner& planner, const TidyJob& job) {
    TagFields wanted = planner.current();
    std::array<bool, 2> changed{};  // V1, V2
    for (const TagVersion version : {TagVersion::V1, TagVersion::V2}) {
        if (version == TagVersion::V1 && planner.singleGroup()) {
            continue;
        }
        for (const TagField field : job.fields) {
            const TagFieldRow* row = findTagField(version, field);
            std::string* text = row != nullptr ? fieldText(*row, wanted) : nullptr;
            if (text == nullptr) {
                continue;  // V1 has no album artist
            }
            std::string tidied = tidyFieldText(*text, job.rules);
            if (tidied != *text) {
                *text = std::move(tidied);
                changed.at(version == TagVersion::V1 ? 0 : 1) = true;
            }
        }
    }
    // A tag nothing changes in is not handed over, so that it is never rewritten.
    if (changed[0]) {
        planner.setV1(wanted.v1, false);
    }
    if (changed[1]) {
        planner.setV2(wanted.v2);
    }
}

TagPreview previewTidy(const TagScope& scope, const TidyJob& job, PreviewProgress* progress) {
    return previewPlannedScope(
        scope, [&job](TagChangePlanner& planner) { setTidiedFields(planner, job); }, progress);
}

TidyResult runTidy(WriteJournal& journal, const TagScope& scope, const TidyJob& job,
                   const TagWalkProgress& progress) {
    TidyResult result;
    JournaledBatch batch(journal, [&result](const FileChange& change, const WriteResult& written) {
        if (written.outcome != WriteOutcome::Written) {
            result.failed.add(failureLine(change, written));
        } else if (!change.splices.empty()) {
            ++result.written;
        }
    });
    const FolderWalkTotals totals = walkScope(scope, [&](const WalkedFile& file) {
        if (!isTaggableName(file.name)) {
            return WalkStep::Continue;
        }
        TagChangePlanner planner(file.path);
        setTidiedFields(planner, job);
        queueTagChange(batch, planner.plan(), file.path, result.failed, result.wrongContent);
        return progress.afterFile();
    });
    finishBatch(batch, totals, result);
    return result;
}

std::string tidyCaption(std::string_view folder) {
    return "Tunex Tidy for files under " + std::string(folder);
}

UserMessage noTidyRuleMessage() {
    return {"Nothing to tidy. Please choose a case, or tick the spaces or the underscores first.",
            captionFor("Tidy Tags"), MessageIcon::Question};
}

UserMessage noTidyFieldMessage() {
    return {"No field chosen. Please tick at least one field to tidy.", captionFor("Tidy Tags"),
            MessageIcon::Question};
}

UserMessage tidyResultMessage(std::string_view folder, const TidyResult& result) {
    const std::string files =
        std::to_string(result.written) + (result.written == 1 ? " file" : " files");
    std::string text = result.written > 0 || result.stopped
                           ? "Tags tidied in " + files + " under " + std::string(folder) + "."
                           : "No tag under " + std::string(folder) + " needed tidying.";
    if (result.stopped) {
        text.insert(0, "Operation Cancelled. ");
    }
    text +=
        writeFailureText(result.failed, result.wrongContent, result.undoable, result.unreadable);
    const MessageIcon icon = batchResultIcon(result.failed, result.wrongContent, result.unreadable);
    return {std::move(text), captionFor(result.stopped ? "Tidy Stopped" : "Tidy Tags"), icon};
}

}  // namespace tunex
