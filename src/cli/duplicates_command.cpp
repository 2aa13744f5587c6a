#include "cli/duplicates_command.h"

#include "cli/cli_output.h"
#include "core/search/duplicates.h"
#include "core/store/workspace.h"

#include <string>

namespace tunex::cli {

namespace {

int refuse(CliRun& run, const std::string& error) {
    run.err << "tunex-cli: " << error << '\n';
    return kRefused;
}

int runDuplicates(Workspace& workspace, const std::vector<std::string>& words, CliRun& run) {
    DuplicateKey key = DuplicateKey::Name;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] != "--by") {
            return refuse(run, "unexpected argument " + words[i]);
        }
        if (i + 1 == words.size()) {
            return refuse(run, "--by needs a value: name, tags or size");
        }
        const std::optional<DuplicateKey> named = duplicateKeyNamed(words[++i]);
        if (!named) {
            return refuse(run, "--by takes name, tags or size, not " + words[i]);
        }
        key = *named;
    }
    const Catalogue& catalogue = workspace.catalogue();
    const DuplicateReport report = findDuplicates(catalogue, key);
    const std::vector<std::string>& names = catalogue.collectionNames();
    std::vector<std::vector<std::string>> rows;
    rows.reserve(report.copies);
    for (std::size_t group = 0; group < report.groups.size(); ++group) {
        for (const DuplicateCopy& copy : report.groups[group].copies) {
            rows.push_back({std::to_string(group + 1),
                            names.at(static_cast<std::size_t>(copy.collectionIndex)), copy.folder,
                            copy.fileName, copy.sizeText, copy.id3Info});
        }
    }
    printTable(run.out,
               {"Group", "Disc Name", "Path", "File Name", "File Size(KB)", "ID3 Tag Info"}, rows);
    printStatus(run.err, duplicatesStatus(report));
    if (!report.read) {
        printMessage(run.err, duplicatesReadFailedMessage());
        return kFileError;
    }
    return kDone;
}

}  // namespace

void addDuplicatesCommand(CommandTable& table) {
    table["duplicates"] = runDuplicates;
}

}  // namespace tunex::cli
