#pragma once

#include "core/common/search_fold.h"
#include "core/tags/local_file_set.h"

#include <optional>
#include <string>
#include <vector>

namespace tunex {

class LocalFileList;

// Where the user left the Local list: its filter, the files selected and how far it was
// scrolled. Taken before a tag change lists the folder again, and put back on the new listing.
struct LocalListView {
    std::string keyword;  // the filter's; empty when the list was not filtered
    std::vector<std::string> selectedPaths;
    int scroll = 0;
};

[[nodiscard]] LocalListView captureListView(const LocalFileList& list,
                                            std::optional<std::string> filterKeyword);

// Filters the new listing as before (quietly: the user chose it already), selects the files
// still there and scrolls back. The filter's status line when the list was filtered.
[[nodiscard]] std::optional<std::string> restoreListView(LocalFileList& list, LocalFileSet& files,
                                                         const LocalListView& view, int maxResults,
                                                         AccentRule accents);

}  // namespace tunex
