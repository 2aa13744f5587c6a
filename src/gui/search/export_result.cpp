#include "gui/search/export_result.h"

#include "core/search/result_export.h"
#include "gui/app/app_context.h"

namespace tunex {

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
    request.initialFolder = context.paths().friendFolder();
    const auto file = context.platform().saveFileName(request);
    if (!file) {
        return;
    }
    const ExportOutcome outcome = exportResults(*file, table.captions(), table.rows);
    context.platform().tell(outcome.message);
}

}  // namespace tunex
