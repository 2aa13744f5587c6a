#pragma once

#include "core/collections/collection_builder.h"
#include "core/common/user_message.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tunex {

class Workspace;

struct RescanOutcome {
    bool rescanned = false;
    std::optional<UserMessage> message;  // why it failed; the collection is as it was
    bool fileError = false;              // the failure was writing a file
    std::string statusText;              // the message area after a rescan
    int added = 0;                       // files found now that the collection did not hold
    int removed = 0;                     // files the collection held that are gone
    int changed = 0;                     // files still there whose size, date or tag text changed
    bool catalogueReloaded = false;
    bool settingsStored = false;
};

// Walks the folder of `request` again (with tag text when it asks for it) and replaces the records
// of the collection named `request.name` in one step, keeping its name and place; the totals
// follow. A kill at any point leaves the old records or the new ones (collection_file_moves.h).
[[nodiscard]] RescanOutcome rescanCollection(Workspace& workspace, const FileTypeList& types,
                                             const AddRequest& request, const AddProgress& progress,
                                             const CatalogueUpdate& update);

// The Yes/No question before a rescan, naming the collection and the folder.
[[nodiscard]] UserMessage rescanQuestion(const AddRequest& request);

// The folder a rescan of the collection file proposes: the deepest folder holding every record.
[[nodiscard]] std::string proposedRescanFolder(const std::filesystem::path& collectionFile);

}  // namespace tunex
