#include "core/collections/collection_rename.h"

#include "core/common/atomic_file.h"
#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/common/unique_fd.h"
#include "core/store/song_record.h"
#include "core/store/workspace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tunex {

namespace {

UserMessage songsFilesError() {
    return {"Songs Files Error.\n Change collection name aborted.", captionFor("File Error"),
            MessageIcon::Error};
}

constexpr std::string_view kUnchanged = "The collection name was not changed.";

// A plain file written in full; the scratch copy needs no atomic replacement.
class ScratchFile final {
public:
    explicit ScratchFile(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {}

    [[nodiscard]] bool isOpen() const { return fd_.valid(); }
    [[nodiscard]] bool write(std::string_view bytes) {
        if (!writeAll(fd_.get(), bytes)) {
            error_ = std::strerror(errno);
            return false;
        }
        return true;
    }
    [[nodiscard]] bool close() {
        if (!fd_.close()) {
            error_ = std::strerror(errno);
            return false;
        }
        return true;
    }
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    UniqueFd fd_;
    std::string error_;
};

// First pass: the name lines renamed, the record lines kept, everything else dropped.
bool copyToScratch(LineReader& collection, ScratchFile& scratch, std::string_view newName) {
    TextLine line;
    std::string out;
    while (collection.next(line) && !startsWith(line.text, kEndMarker)) {
        out.clear();
        if (startsWith(line.text, kCollectionNamePrefix)) {
            out.append(kCollectionNamePrefix).append(newName);
        } else if (startsWith(line.text, kRecordPrefix)) {
            out.append(line.text);
        } else {
            continue;
        }
        out.push_back('\n');
        if (!scratch.write(out)) {
            return false;
        }
    }
    return !collection.failed() && scratch.write(kEndMarker);
}

// Second pass: the scratch lines up to its end marker replace the collection file at once.
bool copyBack(LineReader& scratch, AtomicFileWriter& collection) {
    if (!collection.open()) {
        return false;
    }
    TextLine line;
    while (scratch.next(line) && !startsWith(line.text, kEndMarker)) {
        if (!collection.write(line.text) || !collection.write("\n")) {
            return false;
        }
    }
    return !scratch.failed() && collection.write(kEndMarker) && collection.commit();
}

}  // namespace

RenameCheck checkRename(const std::vector<std::string>& collectionNames, std::string_view oldName,
                        std::string_view newName) {
    RenameCheck check;
    if (collectionNames.empty()) {
        check.refusal =
            UserMessage{"No collection available. Please add a CD to the database first.",
                        captionFor("No Collection Available"), MessageIcon::Question};
        return check;
    }
    if (newName.empty()) {
        check.refusal = UserMessage{"Please enter the new collection name first.",
                                    captionFor("Enter collection name"), MessageIcon::Question};
        return check;
    }
    // The name line ends at the first line break.
    if (newName.find_first_of("\r\n") != std::string_view::npos) {
        check.refusal = UserMessage{"The collection name cannot contain a line break.",
                                    captionFor("Enter collection name"), MessageIcon::Question};
        return check;
    }
    if (std::find(collectionNames.begin(), collectionNames.end(), newName) !=
        collectionNames.end()) {
        check.refusal = UserMessage{
            "You have already used the input name in another collection. Please enter a new name.",
            captionFor("Duplicate Collection Name"), MessageIcon::Question};
        return check;
    }
    check.confirmation =
        UserMessage{"Are you sure you want to change the collection name as follows?\n\nFrom:\t" +
                        std::string(oldName) + "\nTo:\t" + std::string(newName),
                    captionFor("Confirm Change"), MessageIcon::Question};
    return check;
}

RenameOutcome renameCollection(Workspace& workspace, std::string_view oldNameView,
                               std::string_view newNameView, const CatalogueUpdate& update) {
    // Copies: the caller may hand views into the names the reload replaces.
    const std::string oldName(oldNameView);
    const std::string newName(newNameView);
    RenameOutcome outcome;
    const std::vector<std::string>& names = workspace.catalogue().collectionNames();
    const auto found = std::find(names.begin(), names.end(), oldName);
    if (found == names.end()) {
        outcome.message =
            UserMessage{"Error Occurs.\n Change collection name aborted.",
                        captionFor("Change Collection Name Error"), MessageIcon::Error};
        return outcome;
    }
    const auto index = static_cast<int>(found - names.begin());
    const std::filesystem::path collectionPath = workspace.paths().collectionFileName(index);
    const std::filesystem::path scratchPath = workspace.paths().scratchPath();

    LineReader collection;
    // Opened for writing too, as the rewrite will need: a read-only file is refused up front.
    const bool collectionOpen =
        collection.open(collectionPath) && ::access(collectionPath.c_str(), W_OK) == 0;
    ScratchFile scratch(scratchPath);
    if (!collectionOpen || !scratch.isOpen()) {
        outcome.fileError = true;
        outcome.message = songsFilesError();
        return outcome;
    }
    if (!copyToScratch(collection, scratch, newName) || !scratch.close()) {
        outcome.fileError = true;
        outcome.message = fileWriteFailedMessage(
            collection.failed() ? collectionPath.string() : scratchPath.string(),
            collection.failed() ? std::string("It could not be read.") : scratch.error(),
            kUnchanged);
        return outcome;
    }
    collection.close();

    LineReader scratchReader;
    AtomicFileWriter rewrite(collectionPath);
    if (!scratchReader.open(scratchPath) || !copyBack(scratchReader, rewrite)) {
        rewrite.discard();
        outcome.fileError = true;
        outcome.message = fileWriteFailedMessage(
            collectionPath.string(),
            rewrite.error().empty() ? "The scratch file could not be read." : rewrite.error(),
            kUnchanged);
        return outcome;
    }

    outcome.renamed = true;
    outcome.catalogueReloaded = !update.reloadCatalogue || update.reloadCatalogue();
    outcome.statusText = "Collection Name of <" + oldName + "> is changed to <" + newName + ">.";
    return outcome;
}

}  // namespace tunex
