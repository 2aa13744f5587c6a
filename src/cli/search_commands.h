#pragma once

#include "cli/command_table.h"

#include <optional>
#include <string>
#include <vector>

namespace tunex::cli {

// The words after search, list-all or export: the terms and the one-run overrides of the search
// settings. `error` is set when the words are wrong.
struct SearchArguments {
    std::optional<std::string> title;
    std::optional<std::string> artist;
    bool all = false;
    std::optional<std::string> file;  // export only: the first word that is not an option
    std::optional<int> maxResults;    // 0: no limit
    std::optional<int> sensitivity;
    std::optional<int> sortColumn;
    std::optional<std::string> columns;
    bool exactAccents = false;  // this run tells "é" from "e" whatever the settings say
    std::string error;
};

[[nodiscard]] SearchArguments parseSearchArguments(const std::vector<std::string>& words,
                                                   bool takesFile);

// search, list-all, export and files-search.
void addSearchCommands(CommandTable& table);

}  // namespace tunex::cli
