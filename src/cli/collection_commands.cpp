#include "cli/collection_commands.h"

#include "cli/cli_output.h"
#include "core/collections/collection_builder.h"
#include "core/collections/collection_delete.h"
#include "core/collections/collection_rename.h"
#include "core/collections/collection_rescan.h"
#include "core/store/workspace.h"
#include "core/volumes/collection_volumes.h"
#include "platform/linux/system_volumes.h"

#include <algorithm>
#include <optional>

namespace tunex::cli {

namespace {

int usage(CliRun& run, std::string_view synopsis) {
    run.err << "tunex-cli: usage: " << synopsis << '\n';
    return kRefused;
}

CatalogueUpdate updateFor(Workspace& workspace, CliRun& run, VolumeSource* volumes = nullptr) {
    CatalogueUpdate update =
        directUpdate(workspace, workspace.settingsFile().readHistoryRows(),
                     [&run](const UserMessage& message) { printMessage(run.err, message); });
    update.volumes = volumes;
    return update;
}

}  // namespace

int runCount(const std::vector<std::string>& arguments, CliRun& run) {
    if (arguments.size() != 1) {
        return usage(run, "count PATH");
    }
    const CountOutcome outcome = countCollection(arguments[0], run.fileTypes);
    if (outcome.message) {
        printMessage(run.err, *outcome.message);
        return kRefused;
    }
    printStatus(run.err, outcome.statusText);
    return kDone;
}

// NAME PATH [--id3], as add and rescan take them.
std::optional<AddRequest> sourceArguments(const std::vector<std::string>& arguments) {
    AddRequest request;
    std::vector<std::string> words;
    for (const std::string& argument : arguments) {
        if (argument == "--id3") {
            request.includeId3 = true;
        } else {
            words.push_back(argument);
        }
    }
    if (words.size() != 2) {
        return std::nullopt;
    }
    request.name = words[0];
    request.pathText = words[1];
    return request;
}

int runAdd(Workspace& workspace, const std::vector<std::string>& arguments, CliRun& run) {
    const std::optional<AddRequest> parsed = sourceArguments(arguments);
    if (!parsed) {
        return usage(run, "add NAME PATH [--id3]");
    }
    const AddRequest& request = *parsed;

    AddProgress progress;
    // No progress window here: the bar is not sized, only the message area is shown.
    progress.begin = [&run](const std::string& statusText) {
        printStatus(run.err, statusText);
        return false;
    };
    SystemVolumes volumes;
    const AddOutcome outcome = addCollection(workspace, run.fileTypes, request, progress,
                                             updateFor(workspace, run, &volumes));
    if (outcome.result != AddResult::Added) {
        if (!outcome.statusText.empty()) {
            printStatus(run.err, outcome.statusText);
        }
        if (outcome.message) {
            printMessage(run.err, *outcome.message);
        }
        return outcome.result == AddResult::Refused ? kRefused : kFileError;
    }
    printStatus(run.err, outcome.statusText);
    if (outcome.message) {
        printMessage(run.err, *outcome.message);
    }
    return outcome.catalogueReloaded && outcome.settingsStored ? kDone : kFileError;
}

int runRename(Workspace& workspace, const std::vector<std::string>& arguments, CliRun& run) {
    if (arguments.size() != 2) {
        return usage(run, "rename OLD NEW");
    }
    const RenameCheck check =
        checkRename(workspace.catalogue().collectionNames(), arguments[0], arguments[1]);
    if (check.refusal) {
        printMessage(run.err, *check.refusal);
        return kRefused;
    }
    // The confirmation is shown and counts as Yes.
    printMessage(run.err, check.confirmation);
    const RenameOutcome outcome =
        renameCollection(workspace, arguments[0], arguments[1], updateFor(workspace, run));
    if (!outcome.renamed) {
        printMessage(run.err, *outcome.message);
        return outcome.fileError ? kFileError : kRefused;
    }
    printStatus(run.err, outcome.statusText);
    return outcome.catalogueReloaded ? kDone : kFileError;
}

int runDelete(Workspace& workspace, const std::vector<std::string>& arguments, CliRun& run) {
    if (arguments.size() != 1) {
        return usage(run, "delete NAME");
    }
    const DeleteCheck check = checkDelete(workspace, arguments[0]);
    if (check.refusal) {
        printMessage(run.err, *check.refusal);
        return kRefused;
    }
    const DeleteOutcome outcome =
        deleteCollection(workspace, arguments[0], updateFor(workspace, run));
    if (!outcome.deleted) {
        if (outcome.message) {
            printMessage(run.err, *outcome.message);
        }
        return outcome.fileError ? kFileError : kRefused;
    }
    printStatus(run.err, outcome.statusText);
    return outcome.catalogueReloaded ? kDone : kFileError;
}

int runRescan(Workspace& workspace, const std::vector<std::string>& arguments, CliRun& run) {
    const std::optional<AddRequest> request = sourceArguments(arguments);
    if (!request) {
        return usage(run, "rescan NAME PATH [--id3]");
    }
    SystemVolumes volumes;
    const RescanOutcome outcome = rescanCollection(
        workspace, run.fileTypes, *request, AddProgress(), updateFor(workspace, run, &volumes));
    if (!outcome.rescanned) {
        printMessage(run.err, *outcome.message);
        return outcome.fileError ? kFileError : kRefused;
    }
    printStatus(run.err, outcome.statusText);
    return outcome.catalogueReloaded && outcome.settingsStored ? kDone : kFileError;
}

int runCollections(const Workspace& workspace, const std::vector<std::string>& arguments,
                   CliRun& run) {
    const bool onlyAtHand = arguments.size() == 1 && arguments[0] == "--at-hand";
    if (!arguments.empty() && !onlyAtHand) {
        return usage(run, "collections [--at-hand]");
    }
    const std::vector<std::string>& names = workspace.catalogue().collectionNames();
    const VolumeIdentities identities = readVolumeIdentities(workspace.paths());
    // Probing the devices is left out where no collection could match one.
    std::vector<MountedVolume> mounted;
    if (!identities.empty()) {
        mounted = SystemVolumes().mountedVolumes();
    }
    const std::vector<CollectionAtHand> atHand = collectionsAtHand(names, identities, mounted);
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!onlyAtHand || atHand[i].atHand == AtHand::Yes) {
            rows.push_back({names[i], std::string(atHandText(atHand[i].atHand))});
        }
    }
    printTable(run.out, {"Collection", "At hand"}, rows);
    return kDone;
}

void addCollectionCommands(CommandTable& table) {
    table["collections"] = [](Workspace& workspace, const std::vector<std::string>& arguments,
                              CliRun& run) { return runCollections(workspace, arguments, run); };
    table["count"] = [](Workspace&, const std::vector<std::string>& arguments, CliRun& run) {
        return runCount(arguments, run);
    };
    table["add"] = [](Workspace& workspace, const std::vector<std::string>& arguments,
                      CliRun& run) { return runAdd(workspace, arguments, run); };
    table["rename"] = [](Workspace& workspace, const std::vector<std::string>& arguments,
                         CliRun& run) { return runRename(workspace, arguments, run); };
    table["rescan"] = [](Workspace& workspace, const std::vector<std::string>& arguments,
                         CliRun& run) { return runRescan(workspace, arguments, run); };
    table["delete"] = [](Workspace& workspace, const std::vector<std::string>& arguments,
                         CliRun& run) { return runDelete(workspace, arguments, run); };
}

}  // namespace tunex::cli
