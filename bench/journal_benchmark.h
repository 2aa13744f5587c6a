#pragma once

#include "bench_support.h"

namespace tunex::bench {

// The whole tunex-cli process opening a base folder whose write journal keeps as much as it may,
// in turns with one whose journal keeps nothing. False when the full journal makes the start take
// more than 1.2 times as long, or when either could not be made or opened.
[[nodiscard]] bool runJournalBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
