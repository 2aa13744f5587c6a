#pragma once

#include "bench_support.h"

namespace tunex::bench {

// EasyTag and Clear All Tag over a generated tree of tagged mp3 files, each beside a bare TagLib
// writer doing the same work in the same run. False when a run did not write every file correctly
// or took more than three times as long as the bare writer.
[[nodiscard]] bool runTagsBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
