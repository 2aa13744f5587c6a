#include "core/search/result_actions.h"

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
