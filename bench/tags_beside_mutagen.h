#pragma once

#include "bench_support.h"

namespace tunex {
class WriteJournal;
}

namespace tunex::bench {

// EasyTag on large mp3 files whose tags grow, and EasyTag and Clear All Tag on FLAC files with
// 8 KiB of padding, each beside a python3-mutagen script that does the same work and then syncs
// the file system once. Rows go to `table`. False when mutagen is missing, a run did not write
// every file correctly, a FLAC file lost its padding, or a full run missed its ratio.
[[nodiscard]] bool runTagsBesideMutagen(const BenchOptions& options, WriteJournal& journal,
                                        const Table& table);

}  // namespace tunex::bench
