#include "cli/tags_command.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "cli/cli_output.h"
#include "cli/cover_command.h"
#include "cli/journal_commands.h"
#include "cli/tidy_command.h"
#include "core/common/unique_fd.h"
#include "core/journal/write_journal.h"
#include "core/tags/audio_format.h"
#include "core/tags/id3_tags.h"
#include "core/tags/local_listing.h"
#include "core/tags/tag_clearing.h"
#include "core/tags/tag_editor_rules.h"
#include "core/tags/tag_field_table.h"
#include "core/tags/tag_undo.h"

namespace tunex {

namespace {

using cli::kDone;
using cli::kFileError;
using cli::kRefused;

int usage(std::ostream& err) {
    return cli::printRefusal(err,
                             "Usage: tags catalogue FILE | summary FILE | show FILE | "
                             "set FILE KEY=VALUE... | clear FILE | "
                             "cover FILE --set IMAGE | --remove | --export OUT | undo | waiting | "
                             "forget FILE | tidy FOLDER OPTIONS");
}

// A name outside the list is printed as stored.
std::string genreText(int entry, const std::string& storedName) {
    if (entry == kGenreUnselected) {
        return storedName.empty() ? "unset" : storedName;
    }
    if (entry == kGenreEntryEmpty) {
        return "none";
    }
    return std::to_string(entry - 1);
}

// "none", "unset" or a genre number 0-147 as a selection entry; nullopt when it is none of these.
std::optional<int> parseGenre(std::string_view text) {
    if (text == "none") {
        return kGenreEntryEmpty;
    }
    if (text == "unset") {
        return kGenreUnselected;
    }
    if (text.empty() || text.size() > 3) {
        return std::nullopt;
    }
    int number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    return number < kGenreCount ? std::optional<int>(number + 1) : std::nullopt;
}

bool takesRow(const TagFieldRow& row, std::optional<AudioFormat> single) {
    return !single || (row.version == TagVersion::V2 && formatHasField(*single, row.field));
}

std::string_view keyOf(const TagFieldRow& row, std::optional<AudioFormat> single) {
    return single ? singleGroupKey(row) : row.key;
}

// "title, artist, ..." in the table's order: what a refusal offers instead.
std::string keysText(std::optional<AudioFormat> single) {
    std::string text;
    for (const TagFieldRow& row : tagFieldRows()) {
        if (takesRow(row, single)) {
            text.append(text.empty() ? "" : ", ").append(keyOf(row, single));
        }
    }
    return text;
}

void printGroup(std::ostream& out, const TagFields& fields, TagVersion version,
                std::optional<AudioFormat> single) {
    for (const TagFieldRow& row : tagFieldRows()) {
        if (row.version != version || !takesRow(row, single)) {
            continue;
        }
        out << keyOf(row, single) << '=';
        if (row.isGenre()) {
            out << genreText(genreEntryOf(version, fields),
                             version == TagVersion::V2 ? fields.v2.genreName : std::string());
        } else {
            out << *fieldText(row, fields);
        }
        out << '\n';
    }
}

int show(const std::string& file, std::ostream& out, std::ostream& err) {
    // A file that is not there has no tags to show, which is not the same as empty tags.
    if (const UniqueFd readable(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        !readable) {
        cli::printMessage(err, {file + " could not be read: " + std::strerror(errno) + ".",
                                captionFor("File Error"), MessageIcon::Error});
        return kFileError;
    }
    TagFields fields;
    const LoadedGroups loaded = loadTagFields(file, fields);
    const auto single = singleTagFormat(file);
    if (loaded.v1) {
        printGroup(out, fields, TagVersion::V1, single);
    }
    if (loaded.v2) {
        printGroup(out, fields, TagVersion::V2, single);
    }
    printCoverLines(file, out);
    return kDone;
}

// The row `key` names in a file of that format; nullptr when the file does not take the key.
const TagFieldRow* rowOfKey(std::string_view key, std::optional<AudioFormat> single) {
    const TagFieldRow* row = single ? findSingleGroupField(key) : findTagField(key);
    return row != nullptr && takesRow(*row, single) ? row : nullptr;
}

// Why `file` does not take `key`, and which keys it takes instead.
std::string keyRefusal(const std::string& file, const std::string& key,
                       std::optional<AudioFormat> single) {
    const std::string offer = "; " + file + " takes " + keysText(single) + ".";
    const std::string quoted = "\"" + key + "\"";
    if (single && findSingleGroupField(key) != nullptr) {
        return std::string(audioFormatName(*single)) + " has no " + quoted + " field" + offer;
    }
    if (single && findTagField(key) != nullptr) {
        return quoted + " is a key of mp3 files" + offer;
    }
    if (!single && findSingleGroupField(key) != nullptr) {
        return quoted + " is a key of files other than mp3" + offer;
    }
    return "Unknown tag field " + quoted + offer;
}

// Takes one KEY=VALUE into `fields` as the editor would take the typing; kDone or the refusal.
int assign(TagFields& fields, const std::string& file, const std::string& assignment,
           std::ostream& err) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        return cli::printRefusal(err, "Expected KEY=VALUE instead of \"" + assignment + "\".");
    }
    const std::string key = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    const auto single = singleTagFormat(file);
    const TagFieldRow* row = rowOfKey(key, single);
    if (row == nullptr) {
        return cli::printRefusal(err, keyRefusal(file, key, single));
    }
    if (row->isGenre()) {
        const auto genre = parseGenre(value);
        if (!genre) {
            return cli::printRefusal(err, key + " takes a genre number 0-147, none or unset.");
        }
        genreEntryOf(row->version, fields) = *genre;
        return kDone;
    }
    if (const auto refusal = fieldValueRefusal(*row, single, value, key)) {
        return cli::printRefusal(err, *refusal);
    }
    *fieldText(*row, fields) = value;
    return kDone;
}

// A journal that could not be opened is the reason every write fails: say so.
void printWriteFailure(std::ostream& err, const WriteJournal& journal, UserMessage message) {
    cli::printMessage(err, withJournalProblem(std::move(message), journal));
}

int set(WriteJournal& journal, const std::string& file, std::span<const std::string> assignments,
        std::ostream& err) {
    if (assignments.empty()) {
        return usage(err);
    }
    TagFields fields;
    (void)loadTagFields(file, fields);
    for (const std::string& assignment : assignments) {
        if (const int refused = assign(fields, file, assignment, err); refused != kDone) {
            return refused;
        }
    }
    const TagWriteResult result = saveTagFields(journal, file, fields);
    if (result.outcome != TagWriteOutcome::Written) {
        printWriteFailure(err, journal,
                          tagUpdateFailedMessage(file, result.outcome, result.reason));
        return kFileError;
    }
    return kDone;
}

int clear(WriteJournal& journal, const std::string& file, std::ostream& err) {
    const TagWriteResult result = clearAllTags(journal, file);
    const UserMessage told = clearThisTagResult(file, result.outcome, result.reason);
    if (result.outcome != TagWriteOutcome::Written) {
        printWriteFailure(err, journal, told);
        return kFileError;
    }
    cli::printMessage(err, told);
    return kDone;
}

}  // namespace

namespace {

// Restored files go to standard output, one a line; the message, with any file left alone, to
// standard error.
int undo(WriteJournal& journal, std::ostream& out, std::ostream& err,
         const std::function<void(const UndoReport&)>& afterUndo) {
    const UndoReport report = journal.undoLast();
    if (afterUndo) {
        afterUndo(report);
    }
    for (const std::string& path : report.restoredPaths) {
        cli::printCell(out, path);
        out << '\n';
    }
    cli::printMessage(err, undoResultMessage(report));
    switch (report.result) {
        case UndoReport::Result::Undone:
            return report.leftAlonePaths.empty() ? kDone : kFileError;
        case UndoReport::Result::NothingToUndo:
        case UndoReport::Result::NotKept:
            return kRefused;
        case UndoReport::Result::Failed:
            break;
    }
    return kFileError;
}

}  // namespace

std::filesystem::path userJournalFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::filesystem::path(state) / "tunex" / "journal";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        return {};  // no place of the user's own: writes are refused with a message
    }
    return std::filesystem::path(home) / ".local" / "state" / "tunex" / "journal";
}

int runTagsCommand(WriteJournal& journal, std::span<const std::string> args, std::ostream& out,
                   std::ostream& err, const std::function<void(const UndoReport&)>& afterUndo) {
    if (args.size() == 1 && args[0] == "undo") {
        return undo(journal, out, err, afterUndo);
    }
    if (args.size() == 1 && args[0] == "waiting") {
        return listWaiting(journal, out);
    }
    if (args.size() == 2 && args[0] == "forget") {
        return forgetWaiting(journal, args[1], out, err);
    }
    if (!args.empty() && args[0] == "tidy") {
        return runTidyCommand(journal, args.subspan(1), out, err);
    }
    if (args.size() < 2) {
        return usage(err);
    }
    const std::string& command = args[0];
    const std::string& file = args[1];
    const bool single = args.size() == 2;
    if (command == "catalogue" && single) {
        out << readCatalogueId3(file) << '\n';
        return kDone;
    }
    if (command == "summary" && single) {
        out << tagSummaryLines(readId3Summary(file));
        return kDone;
    }
    if (command == "show" && single) {
        return show(file, out, err);
    }
    if (command == "set") {
        return set(journal, file, args.subspan(2), err);
    }
    if (command == "clear" && single) {
        return clear(journal, file, err);
    }
    if (command == "cover") {
        return runCoverCommand(journal, file, args.subspan(2), err);
    }
    return usage(err);
}

}  // namespace tunex
