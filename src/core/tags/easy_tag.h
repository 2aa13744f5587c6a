#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/user_message.h"
#include "core/tags/id3_tags.h"
#include "core/tags/name_pattern.h"
#include "core/tags/tag_walk.h"

namespace tunex {
class WriteJournal;
}

namespace tunex {

inline constexpr std::array<NameField, 4> kNameFields = {
    NameField::Artist, NameField::Album, NameField::SongTitle, NameField::TrackNumber};

// "Artist", "Album", "Song Title", "Track Number", "Year", "Genre", "Album Artist", "Disc Number".
[[nodiscard]] std::string_view nameFieldCaption(NameField field);

struct NameSlot {
    bool enabled = false;
    NameField field = NameField::Artist;
};

// How a file name is built: slot 1, delimiter 1, slot 2, delimiter 2, slot 3. The initial values
// are those the dialog opens with: artist "-" song title, slot 3 (album) off, written to V2.
struct NameFormat {
    std::array<NameSlot, 3> slots{
        {{true, NameField::Artist}, {true, NameField::SongTitle}, {false, NameField::Album}}};
    std::string delimiter1 = "-";  // as typed, one character or more; empty stands for a blank
    std::string delimiter2 = "-";
    TagVersion target = TagVersion::V2;
    // When set, the name is read by this pattern instead of the slots.
    std::optional<NamePattern> pattern;

    [[nodiscard]] bool anySlotEnabled() const;
    // A pattern, or at least one slot enabled.
    [[nodiscard]] bool describesNames() const;
};

// An empty delimiter edit counts as a single blank.
[[nodiscard]] std::string effectiveDelimiter(std::string_view typed);

// Cuts the values of the enabled slots, in slot order, out of a base name (the file name before
// its last "."). Values are not trimmed. Empty when the name does not fit the format. Delimiters
// found at position 0 count as not found; a bare delimiter is taken with the blanks around it
// where the name has them (delimiterIn).
[[nodiscard]] std::optional<std::vector<NameValue>> splitFileName(std::string_view baseName,
                                                                  const NameFormat& format);

// The text before the last "." of a file name (the whole name without one).
[[nodiscard]] std::string_view baseNameOf(std::string_view fileName);

// Removes Unicode white space from both ends.
[[nodiscard]] std::string trimWhiteSpace(std::string_view text);

// The trimmed values the format gives for a file name in `folder` (which a pattern may read
// too), read as Latin-1 when it is not UTF-8; empty when the name does not fit.
[[nodiscard]] std::optional<std::vector<NameValue>> nameValuesFor(std::string_view folder,
                                                                  std::string_view fileName,
                                                                  const NameFormat& format);

// What the format reads from one file, for the dialog to show as the user types: the name, then
// "Artist: ...", one line a value, or that the name does not fit.
[[nodiscard]] std::string nameSampleText(std::string_view path, const NameFormat& format);

// Files whose tags could not be written, with the first few paths to show.
struct WriteFailures {
    int count = 0;
    std::vector<std::string> firstPaths;  // at most kListedFailures

    void add(std::string path);
};
inline constexpr std::size_t kListedFailures = 10;

struct EasyTagResult {
    int written = 0;  // files whose tag now holds the values; files that failed are not counted
    WriteFailures failed;
    WriteFailures wrongContent;  // holding other content than their names say: left alone
    bool undoable = true;        // the write journal kept every earlier tag of the run
    UnreadableFolders unreadable;
    bool stopped = false;  // only when the caller's cancel test answered true
};

// Applies the format to every mp3 file (isMp3Name) of the scope, through the write journal.
// `step` of `progress` runs for each file whose extension is in `settingsFileTypes` (the settings'
// "<ft>" list), before that file is written; `cancelled` is asked after such a file. The dialog
// passes no cancel test: a run cannot be stopped once started.
[[nodiscard]] EasyTagResult runEasyTag(WriteJournal& journal, const TagScope& scope,
                                       const NameFormat& format, std::string_view settingsFileTypes,
                                       const TagWalkProgress& progress = {});

// How many files runEasyTag steps its progress for: those of the scope whose extension is in
// `settingsFileTypes`.
[[nodiscard]] int countEasyTagSteps(const TagScope& scope, std::string_view settingsFileTypes);

// "Tunex EasyTag for files under " + folder.
[[nodiscard]] std::string easyTagCaption(std::string_view folder);
inline constexpr std::string_view kEasyTagProgressTitle = "Tunex - Setting tags based on filename";
inline constexpr std::string_view kEasyTagProgressMessage = "Setting ID3 tags in progress......";

// OK with no slot enabled; the dialog stays open.
[[nodiscard]] UserMessage noNameFormatMessage();
// OK with a pattern that is none; `error` says why (parseNamePattern).
[[nodiscard]] UserMessage badNamePatternMessage(std::string_view error);
// The result after a run, naming `folder` as given; failures add how many files (and which) could
// not be written, with the warning icon.
[[nodiscard]] UserMessage easyTagResultMessage(std::string_view folder,
                                               const EasyTagResult& result);

// The lines added to a batch's result message for folders the walk could not read, files that
// could not be written, files skipped as no MPEG audio, and a batch the journal could not keep
// whole; empty when there is nothing to say.
[[nodiscard]] std::string writeFailureText(const WriteFailures& failures,
                                           const WriteFailures& wrongContent = {},
                                           bool undoable = true,
                                           const UnreadableFolders& unreadable = {});
// "\nN files " + what + ":" and the first paths, "..." after them when there are more; empty for
// none.
[[nodiscard]] std::string fileListText(const WriteFailures& files, std::string_view what);
// Warning when any file or folder of a batch was missed, else Information.
[[nodiscard]] MessageIcon batchResultIcon(const WriteFailures& failures,
                                          const WriteFailures& wrongContent,
                                          const UnreadableFolders& unreadable);

}  // namespace tunex
