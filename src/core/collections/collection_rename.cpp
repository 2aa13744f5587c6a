#include "core/collections/collection_rename.h"

#include "core/common/atomic_file.h"
#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/common/unique_fd.h"
#include "core/store/song_record.h"
#include "core/store/workspace.h"
#include "core/volumes/volume_store.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// Names the file and why, and ends as the other file errors of Change do.
UserMessage scratchFileError(const std::filesystem::path& scratch, const std::string& reason) {
    UserMessage message = songsFilesError();
    message.text = "The scratch file " + scratch.string() + " could not be made: " + reason + "\n" +
                   message.text;
    return message;
}

constexpr std::string_view kUnchanged = "The collection name was not changed.";

// A plain file written in full; the scratch copy needs no atomic replacement. It is always made
// new: whatever was left at its name (a link to someone's file, a FIFO, a second hard link) must
// not be truncated, written through or waited on. It goes when the rename ends either way: the
// collection file is replaced atomically, so a copy of it kept here would protect nothing.
class ScratchFile final {
public:
    explicit ScratchFile(const std::filesystem::path& path) : path_(path) {
        // unlink() takes a link itself, never its target; a directory is not ours to remove.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            setError(errno);
            return;
        }
        fd_.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        struct stat made {};
        if (!fd_ || ::fstat(fd_.get(), &made) != 0) {
            setError(errno);
            fd_.reset();
            return;
        }
        device_ = made.st_dev;
        inode_ = made.st_ino;
    }
    ~ScratchFile() {
        fd_.reset();
        // Only the file made here: whatever was put at its name meanwhile is not ours.
        if (inode_ != 0 && stillAt()) {
            ::unlink(path_.c_str());
        }
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ScratchFile(ScratchFile&&) = delete;
    ScratchFile& operator=(ScratchFile&&) = delete;

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
    // The second pass reads it back by name: the name must still be this file, not a link or
    // anything else put there meanwhile.
    [[nodiscard]] bool stillAt() const {
        struct stat now {};
        return ::lstat(path_.c_str(), &now) == 0 && S_ISREG(now.st_mode) && now.st_dev == device_ &&
               now.st_ino == inode_;
    }
    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] int errorNumber() const { return errorNumber_; }

private:
    void setError(int number) {
        errorNumber_ = number;
        error_ = std::strerror(number);
    }

    std::filesystem::path path_;
    UniqueFd fd_;
    std::string error_;
    int errorNumber_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
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
        check.refusal = noCollectionMessage();
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
    if (!collection.open(collectionPath) || ::access(collectionPath.c_str(), W_OK) != 0) {
        outcome.fileError = true;
        outcome.message = songsFilesError();
        return outcome;
    }
    ScratchFile scratch(scratchPath);
    if (!scratch.isOpen()) {
        outcome.fileError = true;
        // A folder in the way has always given the plain message, and callers expect it.
        outcome.message = scratch.errorNumber() == EISDIR
                              ? songsFilesError()
                              : scratchFileError(scratchPath, scratch.error());
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
    if (!scratch.stillAt() || !scratchReader.open(scratchPath) ||
        !copyBack(scratchReader, rewrite)) {
        rewrite.discard();
        outcome.fileError = true;
        outcome.message = fileWriteFailedMessage(
            collectionPath.string(),
            rewrite.error().empty() ? "The scratch file could not be read." : rewrite.error(),
            kUnchanged);
        return outcome;
    }

    outcome.renamed = true;
    std::vector<std::string> renamed = names;
    renamed[static_cast<std::size_t>(index)] = newName;
    // Lost to a failure or a kill here, the identity only makes the collection "unknown" until a
    // Rescan.
    (void)updateVolumeIdentities(workspace.paths(), renamed, [&](VolumeIdentities& identities) {
        if (auto node = identities.extract(oldName)) {
            identities.insert_or_assign(newName, std::move(node.mapped()));
        }
    });
    outcome.catalogueReloaded = !update.reloadCatalogue || update.reloadCatalogue();
    outcome.statusText = "Collection Name of <" + oldName + "> is changed to <" + newName + ">.";
    return outcome;
}

}  // namespace tunex
