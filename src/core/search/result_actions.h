#pragma once

#include "core/common/user_message.h"
#include "core/search/result_table.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tunex {

// The Songs page's right click with no row selected.
[[nodiscard]] UserMessage noItemMessage();

// Opening a row needs the File Type and Path columns; the refusal when either is hidden (File Type
// is reported first).
[[nodiscard]] std::optional<UserMessage> checkPlayableColumns(
    std::span<const ResultColumn> columns);

// folder + "/" + name, then "." + type unless the type is empty or a single blank.
[[nodiscard]] std::string mediaFilePath(std::string_view folder, std::string_view name,
                                        std::string_view type);

// The existing file a record stands for: mediaFilePath() when that exists, else the one entry of
// the folder named name + "." + an extension that lower-cases to `type`. Records store the type
// lower-cased, so "LOUD SONG.MP3" comes back as type "mp3" and only the folder knows the real
// case. Nothing when no such file exists, or when several differ only in extension case.
[[nodiscard]] std::optional<std::string> findMediaFile(std::string_view folder,
                                                       std::string_view name,
                                                       std::string_view type);

// The question before opening a file on an optical disc (OK / Cancel). `discName` is the Disc Name
// cell, or nothing when that column is hidden.
[[nodiscard]] UserMessage insertCdMessage(std::optional<std::string_view> discName);
[[nodiscard]] UserMessage mediaFileNotFoundMessage(std::string_view path);

}  // namespace tunex
