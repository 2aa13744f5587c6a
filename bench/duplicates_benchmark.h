#pragma once

#include "bench_support.h"

namespace tunex::bench {

// Duplicates by name over a catalogue of a million records, beside sort | uniq -d over the same
// keys written one a line. False when a target is missed or a measurement failed.
[[nodiscard]] bool runDuplicatesBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
