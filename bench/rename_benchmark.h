#pragma once

#include "bench_support.h"

namespace tunex::bench {

// Name Files from Tags over a generated tree, its renames beside a bare rename(2) loop that
// makes the same renames and syncs each folder once at the end. False when a run did not rename
// every file as planned or took more than three times as long as the bare loop.
[[nodiscard]] bool runRenameBenchmark(const BenchOptions& options, const Table& table);

}  // namespace tunex::bench
