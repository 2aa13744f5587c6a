#include "core/store/statistics.h"

#include <array>
#include <cstdio>

namespace tunex {

std::array<std::string, 3> catalogueStatistics(const Settings& settings) {
    std::string perCollection = "Songs per CD: 0.00";
    if (settings.collectionCount > 0) {
        // Room for the largest quotient; snprintf cannot fail on this format.
        std::array<char, 64> text{};
        static_cast<void>(
            std::snprintf(text.data(), text.size(), "Songs per CD: %5.2f",
                          static_cast<double>(settings.totalSongs) / settings.collectionCount));
        perCollection = text.data();
    }
    return {"Total Files: " + std::to_string(settings.totalSongs),
            "Total CDs: " + std::to_string(settings.collectionCount), perCollection};
}

}  // namespace tunex
