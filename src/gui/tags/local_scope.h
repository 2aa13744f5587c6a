#pragma once

#include "core/common/search_fold.h"
#include "core/tags/batch_scope.h"
#include "core/tags/local_file_set.h"
#include "core/tags/tag_walk.h"

#include <optional>
#include <string>
#include <string_view>

namespace tunex {

class LocalFileList;
class Platform;

// Narrows `files` and the list to the files matching the keyword, and says so when the display
// limit keeps some of them off the list. The status text, or nothing when the filter was refused
// (the user is told why).
[[nodiscard]] std::optional<std::string> filterLocalList(Platform& platform, LocalFileList& list,
                                                         LocalFileSet& files,
                                                         std::string_view keyword, int maxResults,
                                                         AccentRule accents);

// The files a batch tool of the Local page acts on; `asked` tells whether the user already
// confirmed by choosing.
struct ScopeChoice {
    TagScope scope;
    bool asked = false;
};

// `whole`, or when rows are selected or a filter cut the list (`filtered`, else null), the part
// or `whole` as the user answers; nothing when they cancel. The filtered part is every file the
// filter matched, also those the display limit keeps off the list.
[[nodiscard]] std::optional<ScopeChoice> chooseBatchScope(Platform& platform, BatchTool tool,
                                                          const LocalFileList& list,
                                                          const LocalFileSet* filtered,
                                                          TagScope whole);

}  // namespace tunex
