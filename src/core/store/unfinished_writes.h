#pragma once

#include "core/store/store_paths.h"

namespace tunex {

// Removes the temporary files that writes cut short (killed, disk full) left beside the
// settings, collection and friend files. Only call it while holding the base folder's lock: no
// other write can be under way then. Returns how many files went.
int removeUnfinishedWrites(const StorePaths& paths);

}  // namespace tunex
