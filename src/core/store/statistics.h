#pragma once

#include "core/store/settings.h"

#include <array>
#include <string>

namespace tunex {

// "Total Files: ...", "Total CDs: ...", "Songs per CD: ..." from the catalogue totals.
[[nodiscard]] std::array<std::string, 3> catalogueStatistics(const Settings& settings);

}  // namespace tunex
