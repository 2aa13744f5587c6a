#pragma once

#include "platform/platform.h"

#include <filesystem>
#include <optional>

namespace tunex {

// The open and save dialogs of the Qt desktop. Qt's own dialog is used rather than the desktop's:
// only that one lets us apply the default extension the way users of the program expect.

// A typed name that is not there, while the name with the request's default extension is, opens
// that file; a name that is there opens as it is.
[[nodiscard]] std::optional<std::filesystem::path> runOpenDialog(const FileDialogRequest& request);

// A name typed without an extension gets the one of the chosen file type (the request's default
// extension for a type such as "*.*"), and replacing an existing file is asked first under that
// final name.
[[nodiscard]] std::optional<std::filesystem::path> runSaveDialog(const FileDialogRequest& request);

}  // namespace tunex
