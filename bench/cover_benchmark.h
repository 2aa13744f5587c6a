#pragma once

#include "bench_support.h"

namespace tunex {
class WriteJournal;
}

namespace tunex::bench {

// The same picture set as front cover on a tree of tagged mp3 files by the cover batch, beside a
// bare TagLib writer that sets it and saves. False when a run did not write every file right or
// took more than three times as long as the bare writer.
[[nodiscard]] bool runCoverBenchmark(const BenchOptions& options, WriteJournal& journal,
                                     const Table& table);

}  // namespace tunex::bench
