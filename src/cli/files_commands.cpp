#include "cli/files_commands.h"

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "core/search/files_search.h"
#include "core/search/setting_rules.h"
#include "core/store/workspace.h"

#include <map>

namespace tunex::cli {

namespace {

int runFilesSearchCommand(Workspace& workspace, const std::vector<std::string>& words,
                          CliRun& run) {
    FilesSearchArguments arguments = parseFilesSearchArguments(words);
    if (!arguments.error.empty()) {
        run.err << "tunex-cli: " << arguments.error << '\n';
        return kRefused;
    }
    const Catalogue& catalogue = workspace.catalogue();
    if (arguments.cd) {
        arguments.query.collection = collectionIndexOf(catalogue, *arguments.cd);
        if (!arguments.query.collection) {
            printMessage(run.err, unknownCdMessage(*arguments.cd));
            return kRefused;
        }
    }
    SearchSettings settings = searchSettingsFrom(workspace.settings());
    settings.maxResults = arguments.maxResults.value_or(settings.maxResults);
    const SearchOutcome outcome =
        runFilesSearch(catalogue, workspace.paths(), settings, shownColumns(settings.showColumns),
                       arguments.query);
    if (outcome.kind == SearchOutcome::Kind::Refused) {
        printMessage(run.err, *outcome.message);
        return kRefused;
    }
    if (outcome.kind == SearchOutcome::Kind::Done) {
        printStatus(run.err, outcome.statusLine);
    }
    // The rows found so far are printed even when a collection file went missing.
    printTable(run.out, outcome.table.captions(), outcome.table.rows);
    if (outcome.message) {
        printMessage(run.err, *outcome.message);
    }
    return outcome.kind == SearchOutcome::Kind::Done ? kDone : kFileError;
}

}  // namespace

FilesSearchArguments parseFilesSearchArguments(const std::vector<std::string>& words) {
    FilesSearchArguments parsed;
    FilesQuery& query = parsed.query;
    const std::map<std::string, std::string*> texts = {{"--keyword", &query.keyword},
                                                       {"--from", &query.dateFrom},
                                                       {"--to", &query.dateTo},
                                                       {"--min", &query.sizeFrom},
                                                       {"--max-size", &query.sizeTo}};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool known =
            texts.contains(word) || word == "--type" || word == "--cd" || word == "--max";
        if (!known) {
            parsed.error = "unexpected argument " + word;
            return parsed;
        }
        if (i + 1 == words.size()) {
            parsed.error = word + " needs a value";
            return parsed;
        }
        const std::string& value = words[++i];
        if (word == "--type") {
            // Several --type words add up, as one comma-separated list would.
            query.types.append(query.types.empty() ? "" : ",").append(value);
        } else if (word == "--cd") {
            parsed.cd = value;
        } else if (word == "--max") {
            parsed.maxResults = parseRowLimit(value);
            if (!parsed.maxResults) {
                parsed.error = kRowLimitError;
                return parsed;
            }
        } else {
            *texts.at(word) = value;
        }
    }
    return parsed;
}

void addFilesCommands(CommandTable& table) {
    table["files-search"] = runFilesSearchCommand;
}

}  // namespace tunex::cli
