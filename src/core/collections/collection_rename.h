#pragma once

#include "core/collections/collection_builder.h"
#include "core/common/user_message.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

class Workspace;

// The checks of the Change button before anything is read, in their order. A refusal is shown
// and ends the action; otherwise `confirmation` is the Yes/No question to ask, and only Yes goes
// on to renameCollection.
struct RenameCheck {
    std::optional<UserMessage> refusal;
    UserMessage confirmation;
};
[[nodiscard]] RenameCheck checkRename(const std::vector<std::string>& collectionNames,
                                      std::string_view oldName, std::string_view newName);

struct RenameOutcome {
    bool renamed = false;
    std::optional<UserMessage> message;  // why it failed; the collection file is unchanged
    bool fileError = false;              // the failure was reading or writing a file
    std::string statusText;              // the message area after a rename
    bool catalogueReloaded = false;
};

// Rewrites the name line of the first collection named `oldName` through the scratch file (made
// new each time, whatever was left at its name) and replaces the collection file at once; record
// lines stay as they are, blank and foreign lines go.
// Then reloads the catalogue through `update` (its storeSettings is not used).
[[nodiscard]] RenameOutcome renameCollection(Workspace& workspace, std::string_view oldName,
                                             std::string_view newName,
                                             const CatalogueUpdate& update);

}  // namespace tunex
