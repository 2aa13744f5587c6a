#pragma once

#include "gui/tags/local_scope.h"
#include "gui/tags/tag_preview_dialog.h"

#include <string>

class QWidget;

namespace tunex {

class AppContext;
class ProgressWindow;

// The preview of a change when the settings ask for one; whether to go on.
[[nodiscard]] bool previewAccepted(AppContext& context, QWidget* owner, const QString& action,
                                   TagPreviewDialog::Planner planner);

// Clear This Tag on the file at `path` under `folder`: the question, the preview, the write and
// its message. Whether the file may have changed.
bool clearOneFile(AppContext& context, QWidget* owner, const std::string& folder,
                  const std::string& path);

// Clear All Tag over the chosen files under `folder`: the question when the user has not chosen
// already, the preview, the run off the GUI thread with its progress window (in `shown` while it
// runs) and the result. Whether any file may have changed.
bool clearChosenFiles(AppContext& context, QWidget* owner, const std::string& folder,
                      ScopeChoice choice, ProgressWindow*& shown);

}  // namespace tunex
