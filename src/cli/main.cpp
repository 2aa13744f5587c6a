#include "cli/catalogue_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/collection_commands.h"
#include "cli/command_table.h"
#include "cli/friend_commands.h"
#include "cli/local_commands.h"
#include "cli/search_commands.h"
#include "cli/tags_command.h"
#include "core/collections/file_type_store.h"
#include "core/journal/write_journal.h"
#include "core/store/workspace.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace {

using namespace tunex::cli;

CommandTable allCommands() {
    CommandTable table;
    addCatalogueCommands(table);
    addSearchCommands(table);
    addCollectionCommands(table);
    addFriendCommands(table);
    addLocalCommands(table);
    return table;
}

// The run's media file types: --only-types replaces `types`, each --type is added as the File Type
// page's Add would add it. Only for this run: nothing here is stored.
bool buildFileTypes(const GlobalOptions& options, tunex::FileTypeList& types, std::ostream& err) {
    if (options.onlyTypes) {
        types.replaceAll({});
    }
    std::vector<std::string> typed = options.onlyTypes.value_or(std::vector<std::string>{});
    typed.insert(typed.end(), options.addedTypes.begin(), options.addedTypes.end());
    for (const std::string& type : typed) {
        const tunex::FileTypeAddResult result = tunex::addFileType(types, type);
        // A type already present is fine here; only a refused one ends the run.
        if (result.message && !result.clearInput) {
            printMessage(err, *result.message);
            return false;
        }
    }
    if (types.size() == 0) {
        err << "tunex-cli: --only-types needs at least one type\n";
        return false;
    }
    return true;
}

// Files an interrupted tag write left were put back when the journal opened: say so.
void tellRollback(const tunex::WriteJournal& journal) {
    if (const auto message = tunex::rollbackMessage(journal.rollback())) {
        printMessage(std::cerr, *message);
    }
}

int run(const std::vector<std::string>& words) {
    const ParsedCommandLine parsed = parseCommandLine(words);
    if (!parsed.error.empty()) {
        std::cerr << "tunex-cli: " << parsed.error << '\n' << usageText();
        return kRefused;
    }
    if (parsed.command == "--help" || parsed.command == "help") {
        std::cout << usageText();
        return kDone;
    }
    // Tag commands work on single files; without a base folder their journal is the user's own.
    if (parsed.command == "tags" && !parsed.options.base) {
        const auto journal = tunex::WriteJournal::open(tunex::userJournalFolder());
        tellRollback(*journal);
        return tunex::runTagsCommand(*journal, parsed.arguments, std::cout, std::cerr);
    }
    CommandTable commands = allCommands();
    commands["tags"] = [](tunex::Workspace& workspace, const std::vector<std::string>& arguments,
                          CliRun& run) {
        return tunex::runTagsCommand(workspace.journal(), arguments, run.out, run.err,
                                     [&workspace](const tunex::UndoReport& report) {
                                         (void)workspace.followRenamedFiles(report.renamesUndone,
                                                                            true);
                                     });
    };
    const auto command = commands.find(parsed.command);
    if (command == commands.end()) {
        std::cerr << "tunex-cli: unknown command " << parsed.command << '\n' << usageText();
        return kRefused;
    }
    // Checked before the base folder is opened, so that a refused type changes nothing there.
    tunex::FileTypeList fileTypes;
    if (!buildFileTypes(parsed.options, fileTypes, std::cerr)) {
        return kRefused;
    }
    std::error_code error;
    const std::filesystem::path base =
        parsed.options.base.value_or(std::filesystem::current_path(error));
    tunex::UserMessage failure;
    const std::unique_ptr<tunex::Workspace> workspace = tunex::Workspace::open(base, failure);
    if (!workspace) {
        printMessage(std::cerr, failure);
        return kStartupFailure;
    }
    if (const auto& takenBack = workspace->takenBackMessage()) {
        printMessage(std::cerr, *takenBack);
    }
    if (const auto& cut = workspace->cutLinesMessage()) {
        printMessage(std::cerr, *cut);
    }
    tellRollback(workspace->journal());
    if (!parsed.options.onlyTypes) {
        tunex::LoadedFileTypes stored = tunex::loadFileTypes(workspace->paths());
        if (stored.problem) {
            printMessage(std::cerr, *stored.problem);
        }
        fileTypes = std::move(stored.types);
        (void)buildFileTypes(parsed.options, fileTypes, std::cerr);  // refused ones ended the run
    }
    CliRun cliRun{fileTypes, std::cout, std::cerr};
    return command->second(*workspace, parsed.arguments, cliRun);
}

}  // namespace

int main(int argc, char* argv[]) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
