#pragma once

#include "core/store/store_paths.h"

namespace tunex {

// Removes the temporary files that writes cut short (killed, disk full) left beside the
// settings, collection and friend files: only those bearing the atomic writer's mark, so the
// user's own ".NAME.something" files (and leftovers of older versions, which nothing reads) stay.
// Only call it while holding the base folder's lock: no other write can be under way then. Returns
// how many files went.
int removeUnfinishedWrites(const StorePaths& paths);

}  // namespace tunex
