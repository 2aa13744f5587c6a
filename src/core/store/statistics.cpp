#include "core/store/statistics.h"

#include <cstdio>

namespace tunex {

std::array<std::string, 3> catalogueStatistics(const Settings& settings) {
    char perCollection[64] = "Songs per CD: 0.00";
    if (settings.collectionCount > 0) {
        std::snprintf(perCollection, sizeof perCollection, "Songs per CD: %5.2f",
                      static_cast<double>(settings.totalSongs) / settings.collectionCount);
    }
    return {"Total Files: " + std::to_string(settings.totalSongs),
            "Total CDs: " + std::to_string(settings.collectionCount), perCollection};
}

}  // namespace tunex
