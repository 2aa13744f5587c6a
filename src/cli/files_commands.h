#pragma once

#include "cli/command_table.h"
#include "core/search/files_criteria.h"

#include <optional>
#include <string>
#include <vector>

namespace tunex::cli {

// The words after files-search. `error` is set when the words are wrong.
struct FilesSearchArguments {
    FilesQuery query;  // without the collection, which is looked up by name
    std::optional<std::string> cd;
    std::optional<int> maxResults;  // 0: no limit
    std::string error;
};

[[nodiscard]] FilesSearchArguments parseFilesSearchArguments(const std::vector<std::string>& words);

// files-search.
void addFilesCommands(CommandTable& table);

}  // namespace tunex::cli
