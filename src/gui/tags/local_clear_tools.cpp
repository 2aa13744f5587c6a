#include "gui/tags/local_clear_tools.h"

#include "core/tags/tag_clearing.h"
#include "core/tags/tag_preview.h"
#include "gui/app/app_context.h"
#include "gui/tags/tag_batch_run.h"
#include "gui/widgets/disabled_window.h"
#include "gui/widgets/progress_window.h"
#include "gui/widgets/wait_cursor.h"
#include "platform/qt/qt_text.h"

namespace tunex {

bool previewAccepted(AppContext& context, QWidget* owner, const QString& action,
                     TagPreviewDialog::Planner planner) {
    if (!context.settings().previewTagChanges) {
        return true;
    }
    TagPreviewDialog preview(action, std::move(planner), owner);
    return preview.exec() == QDialog::Accepted;
}

bool clearOneFile(AppContext& context, QWidget* owner, const std::string& folder,
                  const std::string& path) {
    Platform& platform = context.platform();
    if (platform.showMessage({clearThisTagQuestion(path), MessageButtons::YesNo}) !=
        MessageAnswer::Yes) {
        return false;
    }
    const TagScope file{folder, false, {{path}}};
    if (!previewAccepted(
            context, owner, QStringLiteral("Clear This Tag"),
            [file](PreviewProgress& progress) { return previewClearAll(file, &progress); })) {
        return false;
    }
    TagWriteResult result{TagWriteOutcome::Failed, {}};
    {
        const WaitCursor wait;
        result = clearAllTags(context.workspace().journal(), path);
    }
    const UserMessage told = clearThisTagResult(path, result.outcome, result.reason);
    platform.tell(result.outcome == TagWriteOutcome::Failed
                      ? withJournalProblem(told, context.workspace().journal())
                      : told);
    return true;
}

bool clearChosenFiles(AppContext& context, QWidget* owner, const std::string& folder,
                      ScopeChoice choice, ProgressWindow*& shown) {
    Platform& platform = context.platform();
    const TagScope scope = std::move(choice.scope);
    if (!choice.asked) {
        int files = 0;
        {
            const WaitCursor wait;
            files = countMusicFiles(scope);
        }
        if (platform.showMessage({clearAllQuestion(folder, files), MessageButtons::YesNo}) !=
            MessageAnswer::Yes) {
            return false;
        }
    }
    if (!previewAccepted(
            context, owner, QStringLiteral("Clear All Tag"),
            [scope](PreviewProgress& progress) { return previewClearAll(scope, &progress); })) {
        return false;
    }
    ClearAllResult result;
    {
        ProgressWindow progress(platform, owner,
                                {.title = toQString(kClearAllProgressTitle), .smoothBar = false});
        shown = &progress;
        const DisabledWindow sheet(owner->window());
        // Over the files the walk will meet, which the display limit may have kept off the list.
        progress.setRange(0, countClearAllSteps(scope, context.fileTypes()), 1);
        progress.setMessage(toQString(kClearAllProgressMessage));
        runTagBatch(progress, true, [&](const TagWalkProgress& hooks) {
            result =
                clearAllTagsUnder(context.workspace().journal(), scope, context.fileTypes(), hooks);
        });
        progress.destroy();
        shown = nullptr;
    }
    platform.tell(clearAllResultMessage(folder, result));
    return true;
}

}  // namespace tunex
