#include "core/collections/file_type_store.h"

#include "core/common/atomic_file.h"
#include "core/common/line_reader.h"

#include <algorithm>
#include <system_error>

namespace tunex {

namespace {

// A line break would split the type on the way back, a CR before it be dropped; other control
// characters have no place in a file name's extension either.
bool isStorable(std::string_view type) {
    return std::ranges::none_of(type, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

LoadedFileTypes unusable(const std::filesystem::path& file, const std::string& reason) {
    return {FileTypeList(),
            UserMessage{"The file types could not be read from " + file.string() + ":\n" + reason +
                            "\nThe list starts from mp3, wma and wmv; the file is kept as it is "
                            "until the list is changed.",
                        captionFor("File Types"), MessageIcon::Warning}};
}

}  // namespace

std::filesystem::path fileTypesFile(const StorePaths& paths) {
    return paths.systemFolder() / "filetypes.ifo";
}

LoadedFileTypes loadFileTypes(const StorePaths& paths) {
    const std::filesystem::path file = fileTypesFile(paths);
    std::error_code statusError;
    if (std::filesystem::status(file, statusError).type() ==
        std::filesystem::file_type::not_found) {
        return {};
    }
    LineReader reader;
    if (!reader.open(file)) {
        return unusable(file, reader.openError());
    }
    FileTypeList types;
    types.replaceAll({});
    TextLine line;
    int number = 0;
    bool ended = true;
    while (reader.next(line)) {
        ++number;
        ended = line.hasLineEnd;
        if (line.text.empty()) {
            continue;
        }
        // The page's own rule, so that a hand-edited "FLAC" or ".ogg" reads as the page would
        // have kept it. Only a refusal leaves the input uncleared; a type met twice is no damage.
        if (!isStorable(line.text) || !addFileType(types, line.text).clearInput) {
            return unusable(file, "Line " + std::to_string(number) + " is not a file type.");
        }
    }
    if (reader.failed()) {
        return unusable(file, "It could not be read to the end.");
    }
    if (reader.overlongLines() > 0) {
        return unusable(file, "A line is too long to be a file type.");
    }
    // Written whole, every line has its end: a last line without one was cut short.
    if (!ended) {
        return unusable(file, "It ends in the middle of a line.");
    }
    if (types.size() == 0) {
        return unusable(file, "It holds no file type.");
    }
    return {std::move(types), std::nullopt};
}

bool saveFileTypes(const StorePaths& paths, const FileTypeList& types, std::string* error) {
    std::string text;
    for (const std::string& type : types.entries()) {
        if (!isStorable(type)) {
            if (error != nullptr) {
                *error = "The type <" + type + "> holds a control character.";
            }
            return false;
        }
        text.append(type).append("\n");
    }
    return writeFileAtomically(fileTypesFile(paths), text, error);
}

UserMessage fileTypesSaveFailedMessage(const std::filesystem::path& file,
                                       const std::string& reason) {
    return {"The file types could not be saved to " + file.string() + ".\n" + reason +
                "\nThe list as shown holds until the program ends.",
            captionFor("File Error"), MessageIcon::Error};
}

}  // namespace tunex
