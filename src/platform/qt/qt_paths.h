#pragma once

#include <QString>
#include <QUrl>

#include <filesystem>

namespace tunex {

// Qt holds file names in QString, which shows a byte that is not valid UTF-8 as U+FFFD and cannot
// give it back. Paths that go from Qt to the file system, or from us to another program, pass
// through here instead.

// The file URL of a path, with every byte of it.
[[nodiscard]] QUrl fileUrl(const std::filesystem::path& path);

// The path that text from Qt (a dialog's answer, what a box shows) stands for. A component whose
// U+FFFD keeps it from being found is matched against its folder's entries and becomes the one
// entry that reads the same; with none or several, the text's own bytes stay.
[[nodiscard]] std::filesystem::path pathFromText(const QString& text);

// The path as text when Qt can hold it, else its nearest ancestor that Qt can hold.
[[nodiscard]] QString nearestTextPath(const std::filesystem::path& path);

}  // namespace tunex
