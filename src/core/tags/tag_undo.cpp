#include "core/tags/tag_undo.h"

#include <string>

namespace tunex {

namespace {

void appendPaths(std::string& text, std::string_view lead, const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    text.append("\n").append(lead);
    for (const std::string& path : paths) {
        text.append("\n").append(path);
    }
}

}  // namespace

UserMessage undoResultMessage(const UndoReport& report) {
    const std::string caption = captionFor("Undo Tag Change");
    switch (report.result) {
        case UndoReport::Result::NothingToUndo:
            return {"There is no tag change to undo.", caption, MessageIcon::Information};
        case UndoReport::Result::NotKept:
            return {
                "The last tag change was larger than the write journal keeps; it cannot be "
                "undone.",
                caption, MessageIcon::Warning};
        case UndoReport::Result::Failed: {
            std::string text = "The last tag change could not be undone completely";
            text.append(report.error.empty() ? "." : ": " + report.error);
            text.append("\nUndo again to finish it.");
            std::vector<std::string> waiting;
            for (const WaitingFile& file : report.waiting) {
                waiting.push_back(file.path + " (" + std::string(waitingReason(file.why)) + ")");
            }
            appendPaths(text, "Not put back yet:", waiting);
            appendPaths(text, "Changed by another program since, and left as they are:",
                        report.leftAlonePaths);
            return {std::move(text), caption, MessageIcon::Error};
        }
        case UndoReport::Result::Undone:
            break;
    }
    const std::size_t restored = report.restoredPaths.size();
    std::string text = restored == 1 ? std::string(
                                           "1 file was put back as it was before the "
                                           "last tag change.")
                                     : std::to_string(restored) +
                                           " files were put back as they were before the last "
                                           "tag change.";
    appendPaths(text,
                "Changed by another program since, and left as they are:", report.leftAlonePaths);
    std::vector<std::string> damaged;
    for (const WaitingFile& file : report.waiting) {
        damaged.push_back(file.path);
    }
    appendPaths(text, "The write journal's record of these files is damaged; they keep the change:",
                damaged);
    return {std::move(text), caption,
            report.leftAlonePaths.empty() && damaged.empty() ? MessageIcon::Information
                                                             : MessageIcon::Warning};
}

}  // namespace tunex
