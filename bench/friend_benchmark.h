#pragma once

#include "bench_support.h"

namespace tunex::bench {

// Friend file export of a generated catalogue and keyword searches of the file written, beside
// cat and grep -F -i -c on the same files. False when a measurement could not be taken or a
// target is missed.
[[nodiscard]] bool runFriendBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
