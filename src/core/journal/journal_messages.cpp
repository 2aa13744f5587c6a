#include "core/journal/write_journal.h"

// What the journal tells the user when it opens.
namespace tunex {

namespace {

void appendList(std::string& text, std::string_view lead, const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    if (!text.empty()) {
        text += '\n';
    }
    text += lead;
    for (const std::string& path : paths) {
        text += '\n' + path;
    }
}

std::vector<std::string> waitingPaths(const std::vector<WaitingFile>& waiting,
                                      WaitingFile::Why why) {
    std::vector<std::string> paths;
    for (const WaitingFile& file : waiting) {
        if (file.why == why) {
            paths.push_back(file.path.empty() ? std::string("(a record whose name is damaged)")
                                              : file.path);
        }
    }
    return paths;
}

}  // namespace

std::string_view waitingReason(WaitingFile::Why why) {
    switch (why) {
        case WaitingFile::Why::Unreachable:
            return "unreachable";
        case WaitingFile::Why::DamagedRecord:
            return "damaged record";
        case WaitingFile::Why::NotWritten:
            break;
    }
    return "could not be written";
}

std::optional<UserMessage> rollbackMessage(const RollbackReport& report) {
    if (report.restored == 0 && report.leftAlonePaths.empty() && report.waiting.empty() &&
        report.notApplied.empty()) {
        return std::nullopt;
    }
    std::string text;
    if (report.restored > 0) {
        text = std::to_string(report.restored) +
               (report.restored == 1 ? " file was" : " files were") +
               " put back as it was before a tag write that was cut short.";
    }
    appendList(text,
               "These files were changed by another program since a tag write that was cut "
               "short, and were left as they are:",
               report.leftAlonePaths);
    using Why = WaitingFile::Why;
    appendList(text,
               "These files will be put back when they are reachable again (a tag write was cut "
               "short while they were written):",
               waitingPaths(report.waiting, Why::Unreachable));
    appendList(text, "These files could not be put back now; the next start tries again:",
               waitingPaths(report.waiting, Why::NotWritten));
    appendList(text,
               "The write journal's record of these files is damaged; they were left as they "
               "are and the record is kept:",
               waitingPaths(report.waiting, Why::DamagedRecord));
    if (!report.waiting.empty()) {
        text +=
            "\n\"tunex-cli tags waiting\" lists the files the journal keeps for later, and "
            "\"tunex-cli tags forget FILE\" gives one up (add --base BASE for the program's "
            "base folder).";
    }
    for (const std::string& line : report.notApplied) {
        text += (text.empty() ? "" : "\n") + line;
    }
    const bool clean =
        report.leftAlonePaths.empty() && report.waiting.empty() && report.notApplied.empty();
    return UserMessage{std::move(text), captionFor("Files Restored"),
                       clean ? MessageIcon::Information : MessageIcon::Warning};
}

UserMessage withJournalProblem(UserMessage message, const WriteJournal& journal) {
    if (!journal.problem().empty()) {
        message.text += "\n" + journal.problem();
    }
    return message;
}

}  // namespace tunex
