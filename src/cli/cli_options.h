#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex::cli {

// What precedes the command: the base folder and the media file types of this run.
struct GlobalOptions {
    std::optional<std::filesystem::path> base;
    std::vector<std::string> addedTypes;
    std::optional<std::vector<std::string>> onlyTypes;
};

struct ParsedCommandLine {
    GlobalOptions options;
    std::string command;
    std::vector<std::string> arguments;
    std::string error;  // set when the command line itself is wrong
};

[[nodiscard]] ParsedCommandLine parseCommandLine(const std::vector<std::string>& words);

[[nodiscard]] std::string usageText();

// The value of --max for search, list-all, export and files-search: a row limit from 0 (every
// row) to the Setting page's highest. Nothing for anything else, which gets kRowLimitError.
[[nodiscard]] std::optional<int> parseRowLimit(std::string_view text);
inline constexpr std::string_view kRowLimitError = "--max takes a number from 0 (no limit) to 3000";

}  // namespace tunex::cli
