#include "cli/journal_commands.h"

#include <filesystem>

#include "cli/cli_output.h"
#include "core/journal/write_journal.h"

namespace tunex {

int listWaiting(const WriteJournal& journal, std::ostream& out) {
    for (const WaitingFile& file : journal.rollback().waiting) {
        cli::printCell(out, file.path);
        out << '\t' << waitingReason(file.why) << '\n';
    }
    return cli::kDone;
}

int forgetWaiting(WriteJournal& journal, const std::string& file, std::ostream& out,
                  std::ostream& err) {
    std::error_code error;
    // Records name files by absolute path; a relative name is taken from here.
    const std::string absolute = std::filesystem::absolute(file, error).lexically_normal().string();
    int forgotten = journal.forget(file);
    if (forgotten == 0 && !error && absolute != file) {
        forgotten = journal.forget(absolute);
    }
    if (forgotten == 0) {
        cli::printMessage(err, {"The write journal keeps nothing for " + file + ".",
                                captionFor("Input Error"), MessageIcon::Question});
        return cli::kRefused;
    }
    cli::printCell(out, file);
    out << '\n';
    return cli::kDone;
}

}  // namespace tunex
