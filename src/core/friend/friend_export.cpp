#include "core/friend/friend_export.h"

#include "core/common/atomic_file.h"
#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/store/catalogue.h"
#include "core/store/song_record.h"

#include <system_error>

namespace tunex {

namespace {

constexpr std::string_view kFriendSuffix = ".txf";

UserMessage inputError(std::string text) {
    return {std::move(text), captionFor("Input Error"), MessageIcon::Warning};
}

// A name that would put the file anywhere but directly inside the friend folder.
bool leavesFriendFolder(std::string_view name) {
    return name == "." || name == ".." || name.find('/') != std::string_view::npos ||
           name.find('\0') != std::string_view::npos;
}

FriendExportResult failure(UserMessage message) {
    FriendExportResult result;
    result.outcome = FriendExportOutcome::FileError;
    result.message = std::move(message);
    return result;
}

}  // namespace

std::filesystem::path friendFilePath(const StorePaths& paths, std::string_view name) {
    return paths.friendFolder() / (std::string(name) + std::string(kFriendSuffix));
}

std::string friendExportInfo(const StorePaths& paths) {
    return "Your Tunex Friend file will be exported to " + paths.friendFolder().string() + "/";
}

bool isValidFriendEmail(std::string_view email) {
    const size_t at = email.find('@');
    return at != std::string_view::npos && at > 0 &&
           email.find_first_of("\r\n") == std::string_view::npos;
}

UserMessage friendFileCreateFailedMessage() {
    return {"File Error when creating Tunex Friend file. Operation Aborted.",
            captionFor("File Error"), MessageIcon::Error};
}

std::optional<UserMessage> checkFriendExport(std::string_view name, std::string_view email,
                                             int collectionCount) {
    if (name.empty()) {
        return inputError(
            "Please input your name so that your friend can know the owner of your files.");
    }
    if (!isValidFriendEmail(email)) {
        return inputError(
            "Please input a valid email address so that your friend can contact you.");
    }
    if (collectionCount <= 0) {
        return UserMessage{
            "Your database is currently empty. Please add some files to the database first.",
            captionFor("Database Empty"), MessageIcon::Question};
    }
    return std::nullopt;
}

FriendExportResult exportFriendFile(const StorePaths& paths, int collectionCount,
                                    std::string_view name, std::string_view email) {
    if (std::optional<UserMessage> refusal = checkFriendExport(name, email, collectionCount)) {
        return {FriendExportOutcome::Refused, std::move(*refusal), {}, {}};
    }
    if (leavesFriendFolder(name)) {
        return failure(friendFileCreateFailedMessage());
    }
    // A base folder laid down by hand may lack the friend folder; exporting makes it.
    std::error_code ignored;
    std::filesystem::create_directory(paths.friendFolder(), ignored);

    const std::filesystem::path target = friendFilePath(paths, name);
    AtomicFileWriter out(target);
    if (!out.open()) {
        return failure(friendFileCreateFailedMessage());
    }
    bool written = out.write(email) && out.write("\n");
    LineReader reader;
    TextLine line;
    for (int i = 0; written && i < collectionCount; ++i) {
        if (!reader.open(paths.collectionFileName(i))) {
            return failure(loadFailedMessage({paths.collectionFileName(i), reader.openError()}));
        }
        while (written && reader.next(line)) {
            if (startsWith(line.text, kEndMarker)) {
                break;
            }
            // Every line gets its line end, so a last line without one cannot swallow the
            // next collection's name line.
            written = out.write(line.text) && out.write("\n");
        }
        if (reader.failed()) {
            return failure(
                loadFailedMessage({paths.collectionFileName(i), "It could not be read."}));
        }
        reader.close();
    }
    if (!written || !out.write(kEndMarker) || !out.commit()) {
        return failure(friendFileCreateFailedMessage());
    }
    FriendExportResult result;
    result.outcome = FriendExportOutcome::Exported;
    result.file = target;
    result.infoText = "Your Tunex Friend file is exported to " + target.string();
    result.message = {"Operation completed.\n" + result.infoText,
                      captionFor("Tunex Friend Exported"), MessageIcon::Information};
    return result;
}

}  // namespace tunex
