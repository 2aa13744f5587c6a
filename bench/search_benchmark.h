#pragma once

#include "bench_support.h"

namespace tunex::bench {

// Song searches, List All and a Files keyword search on a catalogue of a million records, beside
// grep -F -i -c for the same term over the same collection files. False when a target is missed or
// a measurement failed.
[[nodiscard]] bool runSearchBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
