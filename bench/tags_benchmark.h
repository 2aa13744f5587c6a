#pragma once

#include "bench_support.h"

namespace tunex::bench {

// EasyTag and Clear All Tag over a generated tree of tagged mp3 files, with the cost a file beside
// reading the same tags. False when a run did not write every file or could not be measured.
[[nodiscard]] bool runTagsBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
