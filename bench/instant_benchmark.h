#pragma once

#include "bench_support.h"

namespace tunex::bench {

// Searching as the user types on a catalogue of a million records: the time from each keystroke
// of a few typed terms to the rows the list shows, and memory per record before and after; then
// a whole tunex-cli search that matches nothing beside grep -F -i -c over the same files. False
// when a target is missed or a measurement failed.
[[nodiscard]] bool runInstantBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
