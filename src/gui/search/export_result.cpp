#include "gui/search/export_result.h"

#include "core/search/result_export.h"
#include "gui/app/app_context.h"

#include <system_error>

namespace tunex {

namespace {

constexpr const char* kExportFolderKey = "ExportFolder";

// The folder of the last export while it is still there, else the friend folder.
std::filesystem::path exportFolder(AppContext& context) {
    if (const auto saved = context.platform().profileBytes(kExportFolderKey)) {
        std::error_code error;
        if (std::filesystem::is_directory(*saved, error)) {
            return *saved;
        }
    }
    return context.paths().friendFolder();
}

}  // namespace

void exportResultTable(const ResultTable& table, AppContext& context) {
    if (const auto refusal = checkExportable(table.rows)) {
        context.platform().tell(*refusal);
        return;
    }
    FileDialogRequest request;
    request.title = std::string(kExportDialogTitle);
    for (const auto& [description, patterns] : kExportDialogFilters) {
        request.filters.push_back({std::string(description), std::string(patterns)});
    }
    request.defaultSuffix = std::string(kExportDefaultSuffix);
    request.initialFolder = exportFolder(context);
    const auto file = context.platform().saveFileName(request);
    if (!file) {
        return;
    }
    const ExportOutcome outcome = exportResults(*file, table.captions(), table.rows);
    if (outcome.written) {
        context.platform().setProfileBytes(kExportFolderKey, file->parent_path().native());
    }
    context.platform().tell(outcome.message);
}

}  // namespace tunex
