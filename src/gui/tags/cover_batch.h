#pragma once

#include "gui/tags/local_scope.h"

#include <string>

class QWidget;

namespace tunex {

class AppContext;
class ProgressWindow;

// Sets the front cover of the chosen files under `folder`: asks whether it comes from one image
// file or from the image in each file's folder, shows the preview, runs off the GUI thread with
// its progress window (in `shown` while it runs) and tells the result. Whether any file may have
// changed.
bool setCoverOfChosenFiles(AppContext& context, QWidget* owner, const std::string& folder,
                           ScopeChoice choice, ProgressWindow*& shown);

}  // namespace tunex
