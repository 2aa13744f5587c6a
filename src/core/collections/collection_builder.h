#pragma once

#include "core/collections/file_type_list.h"
#include "core/collections/media_walk.h"
#include "core/common/user_message.h"
#include "core/store/settings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

class Catalogue;
class Workspace;

// Texts of the Database page that do not come from an action.
[[nodiscard]] std::string databaseTipsText();
// Asked each time the page becomes active while the catalogue holds no collection; Yes opens
// kAddHelpPage, and says so when it cannot.
[[nodiscard]] UserMessage welcomeQuestion();
inline constexpr std::string_view kAddHelpPage = "AddToDB.htm";
// Change, Rescan and Delete with no collection in the catalogue.
[[nodiscard]] UserMessage noCollectionMessage();

// Shown in the message area while Add writes, and in its progress window.
inline constexpr std::string_view kAddingStatusText =
    "Adding files to database......a moment please......";
inline constexpr std::string_view kAddingProgressTitle = "Tunex - Adding files to your database";
inline constexpr std::string_view kAddingProgressMessage =
    "Adding files to your database in progress......";

// ---- Count ----

struct CountOutcome {
    std::optional<UserMessage> message;  // a refusal; nothing else changed
    std::string statusText;              // the message area after a count
    std::int64_t count = 0;
};

// The Count button: checks the path text (as typed), completes the pattern and counts.
[[nodiscard]] CountOutcome countCollection(std::string_view pathText, const FileTypeList& types);

// ---- Add ----

struct AddRequest {
    std::string name;      // the collection name as typed
    std::string pathText;  // the source path as typed
    bool includeId3 = false;
};

// The checks of Add before anything is written, in their order; the pattern and the number of
// media files when they pass.
struct AddCheck {
    std::optional<UserMessage> refusal;
    SearchPattern pattern;
    std::int64_t mediaFiles = 0;
};
[[nodiscard]] AddCheck checkAdd(const AddRequest& request,
                                const std::vector<std::string>& collectionNames,
                                const FileTypeList& types);

// What the page does around the walk. Each may be empty.
struct AddProgress {
    // The collection file is open: show `statusText` in the message area and open the progress
    // window; true when a window opened, which makes Add count again to size its bar.
    std::function<bool(const std::string& statusText)> begin;
    std::function<void(std::int64_t total)> setRange;
    // After each record written: records so far and the file's path. The page steps the bar and
    // lets pending events through; Add cannot be stopped.
    std::function<void(std::int64_t done, const std::string& path)> step;
};

class CollectionWriter;
// Walks the checked source and writes one record line per media file (with tag text when asked
// for); empty when a write failed, which ends the walk.
[[nodiscard]] std::optional<WalkTotals> writeRecords(CollectionWriter& writer,
                                                     const AddCheck& check,
                                                     const FileTypeList& types,
                                                     const AddRequest& request,
                                                     const AddProgress& progress);

class VolumeSource;

// How the caller reloads the catalogue and stores the settings, so that the program's own
// bookkeeping (other pages hearing of the reload, failures shown and the exit on a lost
// catalogue) stays in one place. Each returns false on failure, after telling the user.
// `volumes`, when given, lets Add and Rescan keep the identity of the folder's volume.
struct CatalogueUpdate {
    std::function<bool()> reloadCatalogue;
    std::function<bool()> storeSettings;
    VolumeSource* volumes = nullptr;
};

// Straight onto the workspace, for tunex-cli and tests: failures go to `tell`.
[[nodiscard]] CatalogueUpdate directUpdate(Workspace& workspace,
                                           std::vector<HistoryRow> historyRows,
                                           const std::function<void(const UserMessage&)>& tell);

enum class AddResult { Refused, FileError, Added };

struct AddOutcome {
    AddResult result = AddResult::Refused;
    // Refused / FileError: why (empty when the settings could not be saved: `storeSettings` told
    // that). Added: the closing notice "N songs from <name> added ...".
    std::optional<UserMessage> message;
    std::string statusText;  // the message area afterwards; empty when it stays
    std::int64_t added = 0;  // records written
    std::int64_t unstorableNames = 0;
    bool catalogueReloaded = false;  // false after Added means the reload failed
    bool settingsStored = false;
};

// The Add button, steps 1 to 19 but the widgets: checks, the collection file written under a
// temporary name and renamed into place after the end marker, the totals raised, the catalogue
// reloaded and the totals stored. A write that fails part-way leaves no file behind, changes no
// total and gives a File Error naming the file. An existing file of the new collection's name is
// never replaced, and when the totals cannot be stored the new file is removed again: either the
// collection is added whole or the catalogue stays as it was.
[[nodiscard]] AddOutcome addCollection(Workspace& workspace, const FileTypeList& types,
                                       const AddRequest& request, const AddProgress& progress,
                                       const CatalogueUpdate& update);

// Keeps the identity of the checked folder's volume for the catalogue's collection `name`, once
// its records are in place (see core/volumes/collection_volumes.h).
void recordVolume(const Workspace& workspace, const std::string& name, const AddCheck& check,
                  const CatalogueUpdate& update);

// A collection file that could not be written to its end; names the file and what it means.
[[nodiscard]] UserMessage fileWriteFailedMessage(const std::string& file, std::string_view reason,
                                                 std::string_view consequence);

// ---- Get Label ----

// What is selected in the drive and folder tree.
enum class LabelSource { Nothing, Drive, OtherNode };

struct ProposedLabel {
    std::string name;  // the name edit box's new text (emptied first in any case)
    std::optional<UserMessage> message;
};

// The Get Label button. A drive node's text reads "label (mount point)".
[[nodiscard]] ProposedLabel proposeLabel(LabelSource source, std::string_view nodeText);

}  // namespace tunex
