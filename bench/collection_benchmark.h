#pragma once

#include "bench_support.h"

namespace tunex::bench {

// Count and Add on a generated folder tree, and Add with ID3 info on tagged mp3 files, beside
// find walking the same trees; Add with tag info on FLAC files beside a bare TagLib reader of the
// same three fields. False when a target is missed or a measurement failed.
[[nodiscard]] bool runCollectionBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
