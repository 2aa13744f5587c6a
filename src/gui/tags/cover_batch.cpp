#include "gui/tags/cover_batch.h"

#include "core/tags/cover_setting.h"
#include "gui/app/app_context.h"
#include "gui/tags/local_clear_tools.h"
#include "gui/tags/tag_batch_run.h"
#include "gui/widgets/disabled_window.h"
#include "gui/widgets/progress_window.h"
#include "gui/widgets/wait_cursor.h"
#include "platform/qt/qt_text.h"

namespace tunex {

namespace {

// The source the user picks; nothing when they cancel or the image cannot be taken.
std::optional<CoverSource> chooseCoverSource(Platform& platform, const std::string& folder,
                                             const TagScope& scope) {
    int files = 0;
    {
        const WaitCursor wait;
        files = countMusicFiles(scope);
    }
    const CoverSourceQuestion question = coverSourceQuestion(folder, files);
    const MessageAnswer answer =
        platform.showMessage({question.message, MessageButtons::TwoChoices, question.choices});
    if (answer == MessageAnswer::No) {
        return CoverSource::besideEachFile();
    }
    if (answer != MessageAnswer::Yes) {
        return std::nullopt;
    }
    FileDialogRequest request;
    request.title = "Choose a Cover Image";
    request.filters = {{"JPEG or PNG Image (*.jpg *.jpeg *.png)", "*.jpg *.jpeg *.png"},
                       {"All Files (*)", "*"}};
    request.initialFolder = folder;
    const auto chosen = platform.openFileName(request);
    if (!chosen) {
        return std::nullopt;
    }
    LoadedImage image = loadCoverImage(*chosen);
    if (!image.picture) {
        platform.tell({image.problem, captionFor("Not a Cover Image"), MessageIcon::Warning});
        return std::nullopt;
    }
    return CoverSource::oneImage(std::move(*image.picture));
}

}  // namespace

bool setCoverOfChosenFiles(AppContext& context, QWidget* owner, const std::string& folder,
                           ScopeChoice choice, ProgressWindow*& shown) {
    Platform& platform = context.platform();
    const TagScope scope = std::move(choice.scope);
    std::optional<CoverSource> source = chooseCoverSource(platform, folder, scope);
    if (!source) {
        return false;
    }
    // The preview reads on a thread of its own, with a source of its own.
    if (!previewAccepted(context, owner, QStringLiteral("Set Cover"),
                         [scope, forPreview = *source](PreviewProgress& progress) mutable {
                             return previewCovers(scope, forPreview, &progress);
                         })) {
        return false;
    }
    CoverBatchResult result;
    {
        ProgressWindow progress(platform, owner,
                                {.title = toQString(kCoverProgressTitle), .smoothBar = false});
        shown = &progress;
        const DisabledWindow sheet(owner->window());
        progress.setRange(0, countMusicFiles(scope), 1);
        progress.setMessage(toQString(kCoverProgressMessage));
        runTagBatch(progress, true, [&](const TagWalkProgress& hooks) {
            result = setCoversUnder(context.workspace().journal(), scope, *source, hooks);
        });
        progress.destroy();
        shown = nullptr;
    }
    platform.tell(coverBatchResultMessage(folder, result));
    return true;
}

}  // namespace tunex
