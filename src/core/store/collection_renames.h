#pragma once

#include <span>
#include <string>

#include "core/journal/write_journal.h"
#include "core/store/settings.h"
#include "core/store/store_paths.h"

namespace tunex {

struct FollowedRenames {
    int records = 0;      // song records that now name the file as it is called
    int collections = 0;  // collection files rewritten
    std::string error;    // the first collection that could not be rewritten, and why
};

// Makes every collection that lists a renamed file list it under its new name (or, `backwards`,
// under its old one again): one rewrite per collection that lists any, put in place as a rescan
// puts its file. Records are matched by folder, name and type, as Play finds their files.
[[nodiscard]] FollowedRenames followRenames(const StorePaths& paths, const Settings& settings,
                                            std::span<const FileRename> renames,
                                            bool backwards = false);

}  // namespace tunex
