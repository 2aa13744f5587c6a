#pragma once

#include "bench_support.h"

namespace tunex::bench {

// Catalogue loading and the scan of on-disk collections, beside sort, wc and cat on the same files.
// False when a target is missed or a measurement could not be taken.
[[nodiscard]] bool runLoadBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
