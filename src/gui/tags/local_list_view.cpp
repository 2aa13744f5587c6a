#include "gui/tags/local_list_view.h"

#include "core/tags/local_listing.h"
#include "gui/tags/local_file_list.h"

#include <QScrollBar>

#include <unordered_set>

namespace tunex {

LocalListView captureListView(const LocalFileList& list, std::optional<std::string> filterKeyword) {
    LocalListView view;
    view.keyword = std::move(filterKeyword).value_or(std::string());
    for (const int row : list.selectedRows()) {
        view.selectedPaths.push_back(localRowPath(list.rows().at(static_cast<std::size_t>(row))));
    }
    view.scroll = list.verticalScrollBar()->value();
    return view;
}

std::optional<std::string> restoreListView(LocalFileList& list, LocalFileSet& files,
                                           const LocalListView& view, int maxResults,
                                           AccentRule accents) {
    std::optional<std::string> status;
    if (!view.keyword.empty()) {
        std::vector<LocalRow> rows = list.rows();
        if (!filterLocalFiles(files, rows, view.keyword, maxResults, accents)) {
            list.setRows(std::move(rows));
            status = filteredStatusText(files);
        }
    }
    list.sortAsLastClicked();
    const std::unordered_set<std::string> wanted(view.selectedPaths.begin(),
                                                 view.selectedPaths.end());
    std::vector<int> selected;
    for (std::size_t row = 0; row < list.rows().size() && !wanted.empty(); ++row) {
        if (wanted.contains(localRowPath(list.rows()[row]))) {
            selected.push_back(static_cast<int>(row));
        }
    }
    list.selectRows(selected);
    list.verticalScrollBar()->setValue(view.scroll);
    return status;
}

}  // namespace tunex
