#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace tunex {

// The core speaks UTF-8 in std::string; Qt speaks QString.
[[nodiscard]] inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
[[nodiscard]] inline std::string toStdString(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}
// A path to show. Qt 6 decodes file names as UTF-8 and turns a byte that is not valid UTF-8 into
// U+FFFD, so the text cannot always give the bytes back: what goes back to the file system or to
// another program keeps the bytes, or goes through qt_paths.h.
[[nodiscard]] inline QString pathToQString(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}
// Loses what pathToQString turned into U+FFFD; text that came from the disk goes through
// pathFromText instead.
[[nodiscard]] inline std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace tunex
