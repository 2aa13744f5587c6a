#pragma once

#include <memory>

#include "core/journal/write_journal.h"
#include "support/temp_dir.h"

namespace tunex::test {

// A write journal of the test process's own, in a folder removed at the end.
inline WriteJournal& journal() {
    static const TempDir folder;
    static const std::unique_ptr<WriteJournal> journal = WriteJournal::open(folder / "journal");
    return *journal;
}

}  // namespace tunex::test
