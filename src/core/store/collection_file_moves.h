#pragma once

#include "core/store/settings.h"
#include "core/store/store_paths.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tunex {

// Taking one collection's file out of the numbered row of collection files, so that file N still
// holds collection N afterwards. The intent is stored first and the files move one at a time, so
// that opening the base folder can finish a removal that was cut short: the catalogue is then as
// before or as after, never with a gap or a collection twice.

// Moves collection `index`'s file aside and the later ones (up to `count`) down one place. On
// failure everything is put back and the result is the reason; on success the caller stores
// the lowered totals (lowerTotalsForRemoval) and then calls clearDeleteIntent, or, when the
// settings cannot be stored, putBackRemovedCollection.
[[nodiscard]] std::string removeCollectionFile(const StorePaths& paths, int index, int count,
                                               std::int64_t songs);
void putBackRemovedCollection(const StorePaths& paths, int index, int count);
void lowerTotalsForRemoval(Settings& settings, int count, std::int64_t songs);

// What opening a base folder found of a removal that was cut short.
enum class InterruptedDelete {
    None,      // no removal was under way
    Undone,    // nothing had been moved yet, or all was done: only leftovers went
    Finished,  // the files are moved into place and `settings` changed: store them, then call
               // clearDeleteIntent
    Pending,   // a move failed: nothing else changed, and the next start goes on
};
[[nodiscard]] InterruptedDelete finishInterruptedDelete(const StorePaths& paths,
                                                        Settings& settings);
// Removes the deleted collection's file and the stored intent, once the settings are stored.
void clearDeleteIntent(const StorePaths& paths);

// Replacing one collection's file by a new one written beside it (a rescan), together with the
// new total of songs: the intent holds the total, so opening the base folder can finish a
// replacement that was cut short and set the same total.

// Where the new file is written before it replaces the old one.
[[nodiscard]] std::filesystem::path replacementPath(const StorePaths& paths);
// Puts the written replacement in place of collection `index`; on failure nothing changed and the
// result is the reason. Then the caller stores `newTotal` in the settings and calls
// clearReplaceIntent.
[[nodiscard]] std::string replaceCollectionFile(const StorePaths& paths, int index, int newTotal);
// Finishes a replacement cut short (true: `settings` got the new total; store them, then call
// clearReplaceIntent). Leftovers of a replacement that had not begun go.
[[nodiscard]] bool finishInterruptedReplace(const StorePaths& paths, Settings& settings);
void clearReplaceIntent(const StorePaths& paths);

}  // namespace tunex
