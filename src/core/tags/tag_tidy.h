#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/user_message.h"
#include "core/tags/easy_tag.h"
#include "core/tags/tag_field_table.h"
#include "core/tags/tag_preview.h"
#include "core/tags/tag_walk.h"

namespace tunex {

class WriteJournal;

enum class TidyCase {
    Keep,   // letters as they are
    Title,  // "The Sound of Silence": small words lower-case but first and last
    Lower,
    Upper,
    First,  // "The sound of silence": the text's first letter only
};

// What Tidy does to each chosen text. Underscores go first, so that "a__b" collapses to one blank
// when spaces are tidied too.
struct TidyRules {
    TidyCase textCase = TidyCase::Keep;
    bool spaces = false;       // trims the ends and makes each run of white space one blank
    bool underscores = false;  // "_" becomes a blank

    [[nodiscard]] bool any() const { return textCase != TidyCase::Keep || spaces || underscores; }
};

// The fields Tidy may change, in the order the dialog and `--fields` name them.
inline constexpr std::array<TagField, 4> kTidyFields = {TagField::Title, TagField::Artist,
                                                        TagField::Album, TagField::AlbumArtist};

struct TidyJob {
    TidyRules rules;
    std::vector<TagField> fields = {TagField::Title, TagField::Artist, TagField::Album};
};

// One text as the rules leave it. Case follows Unicode ("élan" gives "Élan", "straße" in upper
// case "STRASSE"); in Title and First case a word written in capitals of two letters or more
// ("ABBA", "AC/DC") stays as it is. Text that is not UTF-8 is returned unchanged.
[[nodiscard]] std::string tidyText(std::string_view utf8, const TidyRules& rules);

// A field's text: each of several values ("a; b") tidied on its own, so that a value's first and
// last words and its ends are its own. A value that ends up empty is dropped; an empty field
// stays empty.
[[nodiscard]] std::string tidyFieldText(std::string_view text, const TidyRules& rules);

// The `--fields` word of a field ("title", "albumartist"), its key as `tunex-cli tags` names it.
[[nodiscard]] std::string_view tidyFieldKey(TagField field);
// The fields a comma-separated list names; nullopt when a name is not one of kTidyFields or the
// list names none.
[[nodiscard]] std::optional<std::vector<TagField>> parseTidyFields(std::string_view list);

// The fields of the job tidied in every tag the file has (V1 and V2 of an mp3, the one tag of
// other formats); the planner gets only the tags that change.
class TagChangePlanner;
void setTidiedFields(TagChangePlanner& planner, const TidyJob& job);

[[nodiscard]] TagPreview previewTidy(const TagScope& scope, const TidyJob& job,
                                     PreviewProgress* progress = nullptr);

struct TidyResult {
    int written = 0;  // files whose tags changed
    WriteFailures failed;
    WriteFailures wrongContent;  // holding other content than their names say: left alone
    bool undoable = true;
    UnreadableFolders unreadable;
    bool stopped = false;
};

// Tidies every music file (isTaggableName) of the scope through the write journal; after each
// the progress steps and the cancel test is asked.
[[nodiscard]] TidyResult runTidy(WriteJournal& journal, const TagScope& scope, const TidyJob& job,
                                 const TagWalkProgress& progress = {});

// The dialog's caption, and what its OK says when the choice would do nothing.
[[nodiscard]] std::string tidyCaption(std::string_view folder);
[[nodiscard]] UserMessage noTidyRuleMessage();
[[nodiscard]] UserMessage noTidyFieldMessage();

inline constexpr std::string_view kTidyProgressTitle = "Tunex - Tidying Tags";
inline constexpr std::string_view kTidyProgressMessage = "Tidying tags in progress......";

// "Tags tidied in N files under FOLDER.", or that none needed it; then what was missed.
[[nodiscard]] UserMessage tidyResultMessage(std::string_view folder, const TidyResult& result);

}  // namespace tunex
