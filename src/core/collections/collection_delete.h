#pragma once

#include "core/collections/collection_builder.h"
#include "core/common/user_message.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

class Workspace;

// The checks of the Delete button, in their order. A refusal is shown and ends the action;
// otherwise `confirmation` (naming the collection and its songs) is the Yes/No question to ask.
struct DeleteCheck {
    std::optional<UserMessage> refusal;
    UserMessage confirmation;
};
[[nodiscard]] DeleteCheck checkDelete(const std::vector<std::string>& collectionNames,
                                      std::string_view name, std::int64_t songs);
// The same for the workspace's collection of that name, its songs counted from its file.
[[nodiscard]] DeleteCheck checkDelete(const Workspace& workspace, std::string_view name);

struct DeleteOutcome {
    bool deleted = false;
    std::optional<UserMessage> message;  // why it failed; the catalogue is as it was
    bool fileError = false;              // the failure was moving or writing a file
    std::string statusText;              // the message area after a delete
    bool catalogueReloaded = false;
};

// Deletes the first collection named `name`: its file goes and the later collection files move
// down one place (see collection_file_moves.h, which makes a kill at any point leave the catalogue
// as before or as after); the totals follow. Stores the settings and reloads the catalogue through
// `update`; settings that cannot be stored put everything back.
[[nodiscard]] DeleteOutcome deleteCollection(Workspace& workspace, std::string_view name,
                                             const CatalogueUpdate& update);

}  // namespace tunex
