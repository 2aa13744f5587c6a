#include "platform/qt/qt_paths.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <optional>
#include <string>
#include <system_error>

namespace tunex {

namespace {

bool survivesText(const QByteArray& bytes) {
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

bool present(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// The name of the only entry of `folder` that Qt shows as `shown`.
std::optional<std::string> onlyEntryShownAs(const std::string& folder, const QString& shown) {
    std::optional<std::string> found;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().native();
        if (QFile::decodeName(QByteArray::fromStdString(name)) == shown) {
            if (found) {
                return std::nullopt;
            }
            found = name;
        }
    }
    return found;
}

}  // namespace

QUrl fileUrl(const std::filesystem::path& path) {
    const QByteArray bytes = QByteArray::fromStdString(path.native());
    if (survivesText(bytes)) {
        return QUrl::fromLocalFile(QFile::decodeName(bytes));
    }
    // Percent-encoded, the URL is plain ASCII; QUrl keeps the escapes of bytes that are not UTF-8
    // and hands them on as they are.
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
}

std::filesystem::path pathFromText(const QString& text) {
    if (!text.contains(QChar::ReplacementCharacter)) {
        return QFile::encodeName(text).toStdString();
    }
    std::string result;
    const QStringList parts = text.split(u'/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            result += '/';
        }
        std::string part = QFile::encodeName(parts[i]).toStdString();
        if (parts[i].contains(QChar::ReplacementCharacter) && !present(result + part)) {
            if (const auto entry = onlyEntryShownAs(i == 0 ? "." : result, parts[i])) {
                part = *entry;
            }
        }
        result += part;
    }
    return result;
}

QString nearestTextPath(const std::filesystem::path& path) {
    std::filesystem::path folder = path;
    while (!survivesText(QByteArray::fromStdString(folder.native())) &&
           folder.has_relative_path()) {
        folder = folder.parent_path();
    }
    return QFile::decodeName(QByteArray::fromStdString(folder.native()));
}

}  // namespace tunex
