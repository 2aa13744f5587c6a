#include "cli/catalogue_commands.h"

#include "cli/cli_output.h"
#include "cli/command_table.h"
#include "core/store/statistics.h"
#include "core/store/workspace.h"

namespace tunex::cli {

int runStats(const Workspace& workspace, std::ostream& out) {
    for (const std::string& line : catalogueStatistics(workspace.settings())) {
        out << line << '\n';
    }
    return kDone;
}

int runSettings(const Workspace& workspace, std::ostream& out) {
    const Settings& s = workspace.settings();
    out << "totalSongs=" << s.totalSongs << '\n'
        << "collectionCount=" << s.collectionCount << '\n'
        << "maxResults=" << s.maxResults << '\n'
        << "maxHistory=" << s.maxHistory << '\n'
        << "defaultTab=" << s.defaultTab << '\n'
        << "startMaximized=" << s.startMaximized << '\n'
        << "searchSensitivity=" << s.searchSensitivity << '\n'
        << "sortColumn=" << s.sortColumn << '\n'
        << "showColumns=";
    for (const int shown : s.showColumns) {
        out << shown;
    }
    out << '\n' << "fileTypes=" << s.fileTypes << '\n';
    out << "matchAccentsExactly=" << (s.matchAccentsExactly ? 1 : 0) << '\n';
    return kDone;
}

void addCatalogueCommands(CommandTable& table) {
    table["stats"] = [](Workspace& w, const auto&, CliRun& run) { return runStats(w, run.out); };
    table["settings"] = [](Workspace& w, const auto&, CliRun& run) {
        return runSettings(w, run.out);
    };
}

}  // namespace tunex::cli
