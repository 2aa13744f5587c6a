#include "cli/search_commands.h"

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/duplicates_command.h"
#include "cli/files_commands.h"
#include "core/search/catalogue_search.h"
#include "core/search/result_export.h"
#include "core/search/setting_rules.h"
#include "core/store/workspace.h"

#include <filesystem>
#include <system_error>

namespace tunex::cli {

namespace {

std::optional<int> numberIn(const std::string& text, int low, int high) {
    const std::optional<int> value = parseWholeNumber(text);
    if (!value || *value < low || *value > high || text.find_first_of(" \t") != std::string::npos) {
        return std::nullopt;
    }
    return value;
}

bool isColumnFlags(const std::string& text) {
    return text.size() == kOptionalColumnCount && text.find_first_not_of("01") == std::string::npos;
}

// The settings of this run: those of the settings file, with the overrides (never saved).
SearchSettings runSettings(const Workspace& workspace, const SearchArguments& arguments) {
    SearchSettings settings = searchSettingsFrom(workspace.settings());
    settings.maxResults = arguments.maxResults.value_or(settings.maxResults);
    if (arguments.sensitivity) {
        settings.sensitivity = static_cast<Sensitivity>(*arguments.sensitivity);  // 1 to 3
    }
    settings.sortColumn = arguments.sortColumn.value_or(settings.sortColumn);
    if (arguments.exactAccents) {
        settings.accents = AccentRule::Exact;
    }
    if (arguments.columns) {
        for (std::size_t i = 0; i < settings.showColumns.size(); ++i) {
            settings.showColumns[i] = (*arguments.columns)[i] - '0';
        }
    }
    return settings;
}

int refuseWords(CliRun& run, const std::string& error) {
    run.err << "tunex-cli: " << error << '\n';
    return kRefused;
}

// Runs Search or List All as the Songs page does and prints what the page would show besides the
// list: the refusal or error, the status line, then the result-limit notice.
std::optional<SearchOutcome> runSearchOrListAll(const Workspace& workspace,
                                                const SearchArguments& arguments,
                                                const SearchSettings& settings, bool listAll,
                                                CliRun& run, int& exitCode) {
    const std::vector<ResultColumn> columns = shownColumns(settings.showColumns);
    SearchOutcome outcome =
        listAll ? runListAll(workspace.catalogue(), settings, columns)
                : runSongSearch(workspace.catalogue(), settings, columns,
                                arguments.title.value_or(""), arguments.artist.value_or(""));
    switch (outcome.kind) {
        case SearchOutcome::Kind::Refused:
            printMessage(run.err, *outcome.message);
            exitCode = kRefused;
            return std::nullopt;
        case SearchOutcome::Kind::Failed:
            exitCode = kFileError;
            return outcome;
        case SearchOutcome::Kind::Done:
            printStatus(run.err, outcome.statusLine);
            exitCode = kDone;
            return outcome;
    }
    return outcome;
}

int runListing(Workspace& workspace, const std::vector<std::string>& words, CliRun& run,
               bool listAll) {
    const SearchArguments arguments = parseSearchArguments(words, false);
    if (!arguments.error.empty()) {
        return refuseWords(run, arguments.error);
    }
    if (listAll && (arguments.title || arguments.artist || arguments.all)) {
        return refuseWords(run, "list-all takes no terms");
    }
    if (!listAll && arguments.all) {
        return refuseWords(run, "search takes no --all");
    }
    int exitCode = kDone;
    const std::optional<SearchOutcome> outcome = runSearchOrListAll(
        workspace, arguments, runSettings(workspace, arguments), listAll, run, exitCode);
    if (!outcome) {
        return exitCode;
    }
    // The list shows the rows found so far even when the search broke off.
    printTable(run.out, outcome->table.captions(), outcome->table.rows);
    if (outcome->message) {
        printMessage(run.err, *outcome->message);
    }
    return exitCode;
}

int runExport(Workspace& workspace, const std::vector<std::string>& words, CliRun& run) {
    const SearchArguments arguments = parseSearchArguments(words, true);
    if (!arguments.error.empty()) {
        return refuseWords(run, arguments.error);
    }
    if (!arguments.file) {
        return refuseWords(run, "export needs a file name");
    }
    if (arguments.all == (arguments.title || arguments.artist)) {
        return refuseWords(run, "export takes either --all or search terms");
    }
    int exitCode = kDone;
    const std::optional<SearchOutcome> outcome = runSearchOrListAll(
        workspace, arguments, runSettings(workspace, arguments), arguments.all, run, exitCode);
    if (!outcome) {
        return exitCode;
    }
    if (outcome->message) {
        printMessage(run.err, *outcome->message);
    }
    if (outcome->kind != SearchOutcome::Kind::Done) {
        return exitCode;
    }
    const ResultTable& table = outcome->table;
    if (const std::optional<UserMessage> refusal = checkExportable(table.rows)) {
        printMessage(run.err, *refusal);
        return kRefused;
    }
    std::error_code error;
    std::filesystem::path file = std::filesystem::absolute(*arguments.file, error);
    if (error) {
        file = *arguments.file;
    }
    const ExportOutcome exported = exportResults(file, table.captions(), table.rows);
    printMessage(run.err, exported.message);
    return exported.written ? kDone : kFileError;
}

}  // namespace

SearchArguments parseSearchArguments(const std::vector<std::string>& words, bool takesFile) {
    SearchArguments parsed;
    for (std::size_t i = 0; i < words.size() && parsed.error.empty(); ++i) {
        const std::string& word = words[i];
        const bool hasValue = i + 1 < words.size();
        const auto value = [&]() -> const std::string& { return words[++i]; };
        if (word == "--all") {
            parsed.all = true;
        } else if (word == "--exact-accents") {
            parsed.exactAccents = true;
        } else if (word == "--title" || word == "--artist" || word == "--max" ||
                   word == "--sensitivity" || word == "--sort" || word == "--columns") {
            if (!hasValue) {
                parsed.error = word + " needs a value";
                break;
            }
            const std::string& text = value();
            if (word == "--title") {
                parsed.title = text;
            } else if (word == "--artist") {
                parsed.artist = text;
            } else if (word == "--max") {
                parsed.maxResults = parseRowLimit(text);
                if (!parsed.maxResults) {
                    parsed.error = kRowLimitError;
                }
            } else if (word == "--sensitivity") {
                parsed.sensitivity = numberIn(text, 1, 3);
                if (!parsed.sensitivity) {
                    parsed.error = "--sensitivity takes 1, 2 or 3";
                }
            } else if (word == "--sort") {
                parsed.sortColumn = numberIn(text, 0, 6);
                if (!parsed.sortColumn) {
                    parsed.error = "--sort takes a number from 0 to 6";
                }
            } else {
                parsed.columns = text;
                if (!isColumnFlags(text)) {
                    parsed.error = "--columns takes six digits 0 or 1";
                }
            }
        } else if (takesFile && !parsed.file && !word.starts_with("--")) {
            parsed.file = word;
        } else {
            parsed.error = "unexpected argument " + word;
        }
    }
    return parsed;
}

void addSearchCommands(CommandTable& table) {
    table["search"] = [](Workspace& w, const std::vector<std::string>& words, CliRun& run) {
        return runListing(w, words, run, false);
    };
    table["list-all"] = [](Workspace& w, const std::vector<std::string>& words, CliRun& run) {
        return runListing(w, words, run, true);
    };
    table["export"] = [](Workspace& w, const std::vector<std::string>& words, CliRun& run) {
        return runExport(w, words, run);
    };
    addFilesCommands(table);
    addDuplicatesCommand(table);
}

}  // namespace tunex::cli
