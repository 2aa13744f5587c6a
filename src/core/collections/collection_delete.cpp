#include "core/collections/collection_delete.h"

#include "core/store/collection_file_moves.h"
#include "core/store/workspace.h"
#include "core/volumes/volume_store.h"

#include <algorithm>

namespace tunex {

namespace {

constexpr std::string_view kNotDeleted = "The collection was not deleted.";

std::string songsText(std::int64_t songs) {
    return std::to_string(songs) + (songs == 1 ? " song" : " songs");
}

}  // namespace

DeleteCheck checkDelete(const std::vector<std::string>& collectionNames, std::string_view name,
                        std::int64_t songs) {
    DeleteCheck check;
    if (collectionNames.empty()) {
        check.refusal = noCollectionMessage();
        return check;
    }
    check.confirmation = UserMessage{
        "Are you sure you want to delete the collection <" + std::string(name) + "> and its " +
            songsText(songs) + " from the database?\nThe music files themselves are not touched.",
        captionFor("Confirm Delete"), MessageIcon::Question};
    return check;
}

DeleteCheck checkDelete(const Workspace& workspace, std::string_view name) {
    const std::vector<std::string>& names = workspace.catalogue().collectionNames();
    const auto found = std::find(names.begin(), names.end(), name);
    const std::int64_t songs = found == names.end()
                                   ? 0
                                   : collectionRecordCount(workspace.paths().collectionFileName(
                                         static_cast<int>(found - names.begin())));
    return checkDelete(names, name, songs);
}

DeleteOutcome deleteCollection(Workspace& workspace, std::string_view nameView,
                               const CatalogueUpdate& update) {
    // A copy: the caller may hand a view into the names the reload replaces.
    const std::string name(nameView);
    DeleteOutcome outcome;
    const StorePaths& paths = workspace.paths();
    const std::vector<std::string>& names = workspace.catalogue().collectionNames();
    const auto found = std::find(names.begin(), names.end(), name);
    Settings& settings = workspace.settings();
    const int count = std::max(settings.collectionCount, 0);
    const auto index = static_cast<int>(found - names.begin());
    if (found == names.end() || index >= count) {
        outcome.message = UserMessage{"There is no collection named <" + name + ">.",
                                      captionFor("Delete Error"), MessageIcon::Error};
        return outcome;
    }
    const std::int64_t songs = collectionRecordCount(paths.collectionFileName(index));
    if (const std::string error = removeCollectionFile(paths, index, count, songs);
        !error.empty()) {
        outcome.fileError = true;
        outcome.message = UserMessage{
            "The collection could not be deleted.\n" + error + "\n" + std::string(kNotDeleted),
            captionFor("File Error"), MessageIcon::Error};
        return outcome;
    }
    const Settings before = settings;
    lowerTotalsForRemoval(settings, count, songs);
    if (update.storeSettings && !update.storeSettings()) {
        // The caller told why; the files go back so that the catalogue matches the settings.
        settings = before;
        putBackRemovedCollection(paths, index, count);
        outcome.fileError = true;
        return outcome;
    }
    clearDeleteIntent(paths);
    std::vector<std::string> remaining = names;
    remaining.erase(remaining.begin() + index);
    // Lost to a failure or a kill here, identities stay found by name and the deleted one's line
    // goes with the next change.
    (void)updateVolumeIdentities(paths, remaining, [](VolumeIdentities&) {});
    outcome.deleted = true;
    outcome.catalogueReloaded = !update.reloadCatalogue || update.reloadCatalogue();
    outcome.statusText =
        "Collection <" + name + "> with " + songsText(songs) + " is deleted from the database.";
    return outcome;
}

}  // namespace tunex
