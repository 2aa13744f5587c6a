#include "cli/catalogue_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "core/store/workspace.h"

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace {

using CatalogueCommand = std::function<int(tunex::Workspace&, const std::vector<std::string>&)>;

const std::map<std::string, CatalogueCommand>& catalogueCommands() {
    static const std::map<std::string, CatalogueCommand> commands = {
        {"collections",
         [](tunex::Workspace& w, const auto&) { return tunex::cli::runCollections(w, std::cout); }},
        {"stats", [](tunex::Workspace& w, const auto&) { return tunex::cli::runStats(w, std::cout); }},
        {"settings",
         [](tunex::Workspace& w, const auto&) { return tunex::cli::runSettings(w, std::cout); }},
    };
    return commands;
}

int run(const std::vector<std::string>& words) {
    using namespace tunex::cli;
    const ParsedCommandLine parsed = parseCommandLine(words);
    if (!parsed.error.empty()) {
        std::cerr << "tunex-cli: " << parsed.error << '\n' << usageText();
        return kRefused;
    }
    if (parsed.command == "--help" || parsed.command == "help") {
        std::cout << usageText();
        return kDone;
    }
    const auto command = catalogueCommands().find(parsed.command);
    if (command == catalogueCommands().end()) {
        std::cerr << "tunex-cli: unknown command " << parsed.command << '\n' << usageText();
        return kRefused;
    }
    std::error_code error;
    const std::filesystem::path base =
        parsed.options.base.value_or(std::filesystem::current_path(error));
    tunex::UserMessage failure;
    const std::unique_ptr<tunex::Workspace> workspace = tunex::Workspace::open(base, failure);
    if (!workspace) {
        printMessage(std::cerr, failure);
        return kStartupFailure;
    }
    return command->second(*workspace, parsed.arguments);
}

}  // namespace

int main(int argc, char* argv[]) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
