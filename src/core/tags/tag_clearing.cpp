#include "core/tags/tag_clearing.h"

#include "core/tags/audio_format.h"
#include "core/tags/batch_scope.h"
#include "core/tags/id3_tags.h"
#include "core/tags/tag_change.h"
#include "core/tags/tag_editor_rules.h"

#include <filesystem>

namespace tunex {

UserMessage clearThisTagQuestion(std::string_view path) {
    return {"Are you sure you want to clear the " +
                std::string(singleTagFormat(path).has_value() ? "" : "ID3 ") + "tag of the file " +
                std::string(path) + "?",
            captionFor("Clear ID3 Tag?"), MessageIcon::Question};
}

UserMessage clearThisTagResult(std::string_view path, TagWriteOutcome outcome,
                               std::string_view reason) {
    if (outcome == TagWriteOutcome::WrongContent) {
        return wrongContentMessage(path, reason);
    }
    if (outcome == TagWriteOutcome::NotReadWhole) {
        return notReadWholeMessage(path, reason);
    }
    if (outcome != TagWriteOutcome::Written) {
        return {"The " + std::string(singleTagFormat(path).has_value() ? "tag" : "ID3 tags") +
                    " of file " + std::string(path) + " could not be removed.",
                captionFor("File Error"), MessageIcon::Error};
    }
    if (singleTagFormat(path).has_value()) {
        return {"The tag of file " + std::string(path) +
                    " was cleared; its pictures and other fields stay.",
                captionFor("Tag Successfully Removed"), MessageIcon::Information};
    }
    return {"All ID3 tags removed from file " + std::string(path),
            captionFor("Tag Successfully Removed"), MessageIcon::Information};
}

std::optional<UserMessage> checkClearAll(bool folderSelected, int listedCount) {
    if (!folderSelected) {
        return UserMessage{"Please select a dirve or directory from the tree first.",
                           captionFor("No Selection"), MessageIcon::Question};
    }
    if (listedCount == 0) {
        return UserMessage{"No media file under this directory. Please select another directory.",
                           captionFor("No Selection"), MessageIcon::Question};
    }
    return std::nullopt;
}

UserMessage clearAllQuestion(std::string_view folder, int musicFiles) {
    return {"Are you sure you want to clear the tags of all music files under " +
                std::string(folder) + "?\nThe folder holds " + musicFileCountText(musicFiles) + ".",
            captionFor("Clear ID3 Tag?"), MessageIcon::Question};
}

ClearAllResult clearAllTagsUnder(WriteJournal& journal, const TagScope& scope,
                                 const FileTypeList& types, const TagWalkProgress& progress) {
    ClearAllResult result;
    // Counted when listed; a write that fails later takes its count back.
    const auto uncount = [&](const std::string& path) {
        if (types.matches(std::filesystem::path(path).filename().string())) {
            --result.counted;
        }
    };
    JournaledBatch batch(journal, [&](const FileChange& change, const WriteResult& written) {
        if (written.outcome != WriteOutcome::Written) {
            result.failed.add(failureLine(change, written));
            uncount(change.path);
        }
    });
    const FolderWalkTotals totals = walkScope(scope, [&](const WalkedFile& file) {
        if (types.matches(file.name)) {
            ++result.counted;
        }
        if (isTaggableName(file.name)) {
            const int refusedBefore = result.failed.count + result.wrongContent.count;
            queueTagChange(batch, planClearAll(file.path), file.path, result.failed,
                           result.wrongContent);
            if (result.failed.count + result.wrongContent.count != refusedBefore) {
                uncount(file.path);
            }
        }
        if (!types.matches(file.name)) {
            return WalkStep::Continue;
        }
        return progress.afterFile();
    });
    finishBatch(batch, totals, result);
    return result;
}

int countClearAllSteps(const TagScope& scope, const FileTypeList& types) {
    return countScopeFiles(scope, [&types](std::string_view name) { return types.matches(name); });
}

UserMessage clearAllResultMessage(std::string_view folder, const ClearAllResult& result) {
    const std::string count = std::to_string(result.counted);
    std::string text = result.stopped ? "Operation Cancelled. ID3 tags of " + count +
                                            " files under " + std::string(folder) + " removed."
                                      : "All ID3 tags of " + count + " files under " +
                                            std::string(folder) + " removed.";
    text +=
        writeFailureText(result.failed, result.wrongContent, result.undoable, result.unreadable);
    const MessageIcon icon = batchResultIcon(result.failed, result.wrongContent, result.unreadable);
    const std::string_view title = result.stopped                 ? "Tag Removal Stopped"
                                   : icon == MessageIcon::Warning ? "Tags Partly Removed"
                                                                  : "Tag Successfully Removed";
    return {std::move(text), captionFor(title), icon};
}

}  // namespace tunex
