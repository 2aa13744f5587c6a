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
// Paths go through the file-name codec, which keeps bytes that are not valid UTF-8.
[[nodiscard]] inline QString pathToQString(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}
[[nodiscard]] inline std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace tunex
