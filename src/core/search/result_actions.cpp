#include "core/search/result_actions.h"

#include "core/common/text.h"

#include <filesystem>
#include <system_error>

namespace tunex {

namespace {

UserMessage columnRemovedForPlaying(std::string_view column) {
    std::string text = "\"";
    text.append(column).append("\" column is removed. Cannot play the song.\n");
    text.append("You can enable this function by inserting \"").append(column);
    text.append("\" column in <Setting>.");
    return {std::move(text), captionFor("Playing Song Abort"), MessageIcon::Information};
}

}  // namespace

UserMessage noItemMessage() {
    return {"No item in the search result.", captionFor("No Item"), MessageIcon::Question};
}

std::optional<UserMessage> checkPlayableColumns(std::span<const ResultColumn> columns) {
    if (findColumnByCaption(columns, columnCaption(ResultColumn::FileType)) < 0) {
        return columnRemovedForPlaying("File Type");
    }
    if (findColumnByCaption(columns, columnCaption(ResultColumn::Path)) < 0) {
        return columnRemovedForPlaying("Path");
    }
    return std::nullopt;
}

std::string mediaFilePath(std::string_view folder, std::string_view name, std::string_view type) {
    std::string path = std::string(folder) + "/" + std::string(name);
    if (!type.empty() && type != " ") {
        path.append(".").append(type);
    }
    return path;
}

std::optional<std::string> findMediaFile(std::string_view folder, std::string_view name,
                                         std::string_view type) {
    std::string path = mediaFilePath(folder, name, type);
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        return path;
    }
    if (type.empty() || type == " ") {
        return std::nullopt;  // no extension was lower-cased, so there is nothing to look for
    }
    const std::filesystem::path dir =
        folder.empty() ? std::filesystem::path("/") : std::filesystem::path(std::string(folder));
    std::optional<std::string> found;
    for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error)) {
        const std::string entry = it->path().filename().native();
        // The record's name ends at the last dot, as when it was added.
        if (entry.size() <= name.size() + 1 || entry.compare(0, name.size(), name) != 0 ||
            entry[name.size()] != '.' || entry.rfind('.') != name.size() ||
            toLowerUtf8(std::string_view(entry).substr(name.size() + 1)) != type) {
            continue;
        }
        std::error_code existsError;
        if (!std::filesystem::exists(it->path(), existsError)) {
            continue;
        }
        if (found) {
            return std::nullopt;  // which one the record meant cannot be told
        }
        found = std::string(folder) + "/" + entry;
    }
    return error ? std::nullopt : found;
}

UserMessage insertCdMessage(std::optional<std::string_view> discName) {
    const std::string disc = discName ? " (" + std::string(*discName) + ")" : std::string();
    return {"The file is on a CD-ROM drive. Please insert the CD" + disc + " into CD-ROM.",
            captionFor("Insert CD"), MessageIcon::Information};
}

UserMessage mediaFileNotFoundMessage(std::string_view path) {
    return {"File not found on path (" + std::string(path) + ").", captionFor("File Error"),
            MessageIcon::Warning};
}

}  // namespace tunex
