#include "cli/friend_commands.h"

#include "cli/cli_output.h"
#include "core/friend/friend_export.h"
#include "core/friend/friend_search.h"
#include "core/store/workspace.h"

#include <charconv>
#include <optional>

namespace tunex::cli {

namespace {

int usageError(std::ostream& err, std::string_view text) {
    err << "tunex-cli: " << text << '\n';
    return kRefused;
}

std::optional<int> parseCount(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1) {
        return std::nullopt;
    }
    return value;
}

// The list streams out row by row: a search may keep many rows, and each is cut only once.
void printRows(std::ostream& out, const FriendResults& results) {
    for (size_t column = 0; column < kFriendColumns.size(); ++column) {
        out << (column > 0 ? "\t" : "");
        printCell(out, kFriendColumns[column].caption);
    }
    out << '\n';
    for (size_t row = 0; row < results.rows.size(); ++row) {
        for (int column = 0; column < kFriendColumnCount; ++column) {
            out << (column > 0 ? "\t" : "");
            printCell(out, results.cell(row, column));
        }
        out << '\n';
    }
}

}  // namespace

int runFriendExport(const Workspace& workspace, const std::vector<std::string>& arguments,
                    CliRun& run) {
    if (arguments.size() != 2) {
        return usageError(run.err, "friend-export takes NAME EMAIL");
    }
    const FriendExportResult result = exportFriendFile(
        workspace.paths(), workspace.catalogue().collectionCount(), arguments[0], arguments[1]);
    printMessage(run.err, result.message);
    switch (result.outcome) {
        case FriendExportOutcome::Exported:
            return kDone;
        case FriendExportOutcome::Refused:
            return kRefused;
        case FriendExportOutcome::FileError:
            return kFileError;
    }
    return kFileError;
}

int runFriendSearch(const Workspace& workspace, const std::vector<std::string>& arguments,
                    CliRun& run) {
    std::vector<std::string> words;
    int maxResults = workspace.settings().maxResults;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--max") {
            const std::optional<int> count =
                i + 1 < arguments.size() ? parseCount(arguments[i + 1]) : std::nullopt;
            if (!count) {
                return usageError(run.err, "--max takes a number of 1 or more");
            }
            maxResults = *count;
            ++i;
        } else {
            words.push_back(arguments[i]);
        }
    }
    if (words.size() != 2) {
        return usageError(run.err, "friend-search takes FILE KEYWORD [--max N]");
    }
    const FriendSearchResult result =
        searchFriendFile(words[0], words[1], maxResults, accentRuleOf(workspace.settings()));
    switch (result.outcome) {
        case FriendSearchOutcome::Refused:
            printMessage(run.err, *result.message);
            return kRefused;
        case FriendSearchOutcome::NotFound:
            printMessage(run.err, *result.message);
            return kFileError;
        case FriendSearchOutcome::Damaged:
            printMessage(run.err, *result.message);
            printStatus(run.err, result.status);
            return kFileError;
        case FriendSearchOutcome::Searched:
            break;
    }
    printRows(run.out, result.results);
    if (result.message) {
        printMessage(run.err, *result.message);
    }
    printStatus(run.err, result.status);
    return kDone;
}

void addFriendCommands(CommandTable& table) {
    table["friend-export"] = [](Workspace& w, const std::vector<std::string>& arguments,
                                CliRun& run) { return runFriendExport(w, arguments, run); };
    table["friend-search"] = [](Workspace& w, const std::vector<std::string>& arguments,
                                CliRun& run) { return runFriendSearch(w, arguments, run); };
}

}  // namespace tunex::cli
