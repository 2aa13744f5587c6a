#pragma once

#include <filesystem>
#include <optional>
#include <string>
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

}  // namespace tunex::cli
