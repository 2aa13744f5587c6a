#pragma once

#include "core/collections/file_type_list.h"
#include "core/common/user_message.h"
#include "core/store/store_paths.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tunex {

// The File Type page's list, kept in the base folder so that what the user adds outlasts the run:
// system/filetypes.ifo, one type a line. The settings' "<ft>" list is another one, EasyTag's.
[[nodiscard]] std::filesystem::path fileTypesFile(const StorePaths& paths);

struct LoadedFileTypes {
    FileTypeList types;
    // Set when the file is there but cannot be used. The list is then mp3, wma and wmv, and the
    // file is left alone until the user changes the list, so nothing he kept is lost unseen.
    std::optional<UserMessage> problem;
};

// A missing file gives mp3, wma and wmv without a word: a base folder from before the list was
// kept starts as it always did.
[[nodiscard]] LoadedFileTypes loadFileTypes(const StorePaths& paths);

// Replaces the file at once; on failure the old file stays and `error` says why.
[[nodiscard]] bool saveFileTypes(const StorePaths& paths, const FileTypeList& types,
                                 std::string* error = nullptr);

[[nodiscard]] UserMessage fileTypesSaveFailedMessage(const std::filesystem::path& file,
                                                     const std::string& reason);

}  // namespace tunex
