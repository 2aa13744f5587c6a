#pragma once

#include "bench_support.h"

namespace tunex::bench {

// EasyTag and Clear All Tag over a generated tree of tagged mp3 files, each beside a bare TagLib
// writer doing the same work in the same run, then beside mutagen (tags_beside_mutagen.h). False
// when a run did not write every file correctly or took more than three times as long as the bare
// writer, or a comparison beside mutagen failed.
[[nodiscard]] bool runTagsBenchmark(const BenchOptions& options);

}  // namespace tunex::bench
