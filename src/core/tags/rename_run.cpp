#include "core/journal/journal_renames.h"
#include "core/tags/rename_from_tags.h"

// Carrying out a plan of renames, and what the user is told of it.
namespace tunex {

namespace {

std::string filesText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

}  // namespace

std::string renamePlanCountsText(const RenamePlan& plan, bool dryRun) {
    const std::string_view verb = dryRun ? " would be " : " will be ";
    std::string text = filesText(plan.renames.size()) + std::string(verb) + "renamed";
    if (!plan.skipped.empty()) {
        text += "; " + filesText(plan.skipped.size()) + std::string(verb) + "left alone";
    }
    if (plan.alreadyNamed > 0) {
        text += "; " + filesText(static_cast<std::size_t>(plan.alreadyNamed)) +
                (plan.alreadyNamed == 1 ? " has" : " have") + " that name already";
    }
    return text;
}

TagPreview renamePreview(const RenamePlan& plan) {
    TagPreview preview;
    for (const FileRename& rename : plan.renames) {
        const std::size_t slash = rename.from.rfind('/');
        PreviewRow row{rename.from,
                       TagVersion::V2,
                       false,
                       "File name",
                       rename.from.substr(slash + 1),
                       rename.to.substr(slash + 1),
                       true};
        preview.rows.push_back(std::move(row));
    }
    preview.skipped = plan.skipped;
    preview.files = static_cast<int>(plan.renames.size());
    preview.unreadable = plan.unreadable;
    preview.stopped = plan.stopped;
    return preview;
}

std::vector<std::vector<std::string>> renamePlanTable(const RenamePlan& plan) {
    std::vector<std::vector<std::string>> rows;
    rows.reserve(plan.renames.size());
    for (const FileRename& rename : plan.renames) {
        rows.push_back({rename.from, rename.to});
    }
    return rows;
}

RenameResult applyRenames(WriteJournal& journal, std::span<const FileRename> renames,
                          const TagWalkProgress& progress) {
    RenameResult result;
    JournaledRenames batch(journal, [&](const FileRename& rename, const WriteResult& written) {
        if (written.outcome == WriteOutcome::Written) {
            result.renamed.push_back(rename);
        } else {
            result.failed.add(written.reason.empty() ? rename.from
                                                     : rename.from + " (" + written.reason + ")");
        }
        if (progress.step) {
            progress.step();
        }
    });
    for (const FileRename& rename : renames) {
        batch.add(rename);
        if (progress.cancelled && progress.cancelled()) {
            result.stopped = true;
            break;
        }
    }
    batch.finish();
    return result;
}

UserMessage renameResultMessage(std::string_view folder, const RenamePlan& plan,
                                const RenameResult& result) {
    std::string text = filesText(result.renamed.size()) + " renamed under " + std::string(folder) +
                       (result.stopped ? "; the rest were left as they were, as asked." : ".");
    if (result.collectionRecords > 0) {
        text += "\nThe catalogue lists " + std::to_string(result.collectionRecords) +
                " of them under the new names.";
    }
    if (!result.collectionError.empty()) {
        text += "\nThe catalogue could not follow the new names: " + result.collectionError +
                "\nRescan the collections that list these files.";
    }
    if (!plan.unreadable.empty()) {
        text += "\n" + unreadableFoldersNote(plan.unreadable);
    }
    text += fileListText(result.failed, "could not be renamed");
    WriteFailures skipped;
    for (const SkippedFile& file : plan.skipped) {
        skipped.add(file.path + " (" + file.reason + ")");
    }
    text += fileListText(skipped, "left alone");
    const bool missed = result.failed.count > 0 || !result.collectionError.empty();
    return {std::move(text), captionFor(missed ? "Files Not All Renamed" : "Files Renamed"),
            missed ? MessageIcon::Warning : MessageIcon::Information};
}

}  // namespace tunex
