#include "platform/qt/qt_file_dialog.h"

#include "platform/qt/qt_paths.h"
#include "platform/qt/qt_text.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>

#include <system_error>

namespace tunex {

namespace {

// The extension a type's first pattern gives a name: "txt" for "*.txt", none for "*.*".
QString extensionOf(const FileFilter& filter) {
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    const QString first = toQString(filter.patterns).split(separators, Qt::SkipEmptyParts).value(0);
    if (!first.startsWith(QStringLiteral("*."))) {
        return {};
    }
    const QString extension = first.mid(2);
    static const QRegularExpression wildcard(QStringLiteral("[*?\\[]"));
    return extension.contains(wildcard) ? QString() : extension;
}

// The extension a name without one gets under the type the user chose.
QString extensionFor(const FileDialogRequest& request, const QString& description) {
    for (const FileFilter& filter : request.filters) {
        if (toQString(filter.description) == description) {
            QString extension = extensionOf(filter);
            return extension.isEmpty() ? toQString(request.defaultSuffix) : extension;
        }
    }
    return toQString(request.defaultSuffix);
}

// Qt reads the patterns from the descriptions: "Name (*.a)".
QStringList nameFilters(const std::vector<FileFilter>& filters) {
    QStringList names;
    for (const FileFilter& filter : filters) {
        names << toQString(filter.description);
    }
    return names;
}

void setUp(QFileDialog& dialog, const FileDialogRequest& request) {
    // Set before anything else, or Qt may already have chosen the desktop's dialog.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(toQString(request.title));
    if (!request.filters.empty()) {
        dialog.setNameFilters(nameFilters(request.filters));
    }
    // Qt's dialogs know folders only by QString; a name it cannot hold opens the dialog as close
    // to the folder as it can get.
    dialog.setDirectory(nearestTextPath(request.initialFolder));
    if (!request.initialName.empty()) {
        dialog.selectFile(toQString(request.initialName));
    }
}

bool isThere(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// QFileDialog's own default suffix is added to any name without a dot, even to one that exists,
// and in ExistingFile mode a name that is not there cannot even be accepted; so the dialog takes
// any name and settles it here.
class OpenDialog final : public QFileDialog {
public:
    OpenDialog(QWidget* parent, const FileDialogRequest& request)
        : QFileDialog(parent), suffix_(toQString(request.defaultSuffix)) {
        setUp(*this, request);
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::AnyFile);
    }

    // Kept as bytes: the text of a name that is not valid UTF-8 cannot give them back.
    [[nodiscard]] const std::optional<std::filesystem::path>& chosen() const { return chosen_; }

protected:
    void accept() override {
        const QStringList files = selectedFiles();
        if (files.size() != 1) {
            return;
        }
        const QString& typed = files.constFirst();
        const std::filesystem::path path = pathFromText(typed);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            QFileDialog::accept();  // goes into the folder
            return;
        }
        chosen_ = existingFile(typed);
        if (!chosen_) {
            tellNotFound(typed);
            return;
        }
        QFileDialog::accept();
    }

private:
    [[nodiscard]] std::optional<std::filesystem::path> existingFile(const QString& typed) const {
        const std::filesystem::path path = pathFromText(typed);
        if (isThere(path)) {
            return path;
        }
        if (!suffix_.isEmpty()) {
            const std::filesystem::path extended = pathFromText(typed + u'.' + suffix_);
            if (isThere(extended)) {
                return extended;
            }
        }
        return std::nullopt;
    }

    void tellNotFound(const QString& typed) {
        const QString name = typed.mid(typed.lastIndexOf(u'/') + 1);
        QMessageBox box(
            QMessageBox::Warning, windowTitle(),
            name + QStringLiteral("\nFile not found.\nCheck the file name and try again."),
            QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        (void)box.exec();
    }

    QString suffix_;
    std::optional<std::filesystem::path> chosen_;
};

}  // namespace

std::optional<std::filesystem::path> runOpenDialog(const FileDialogRequest& request) {
    OpenDialog dialog(QApplication::activeWindow(), request);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.chosen();
}

std::optional<std::filesystem::path> runSaveDialog(const FileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow());
    setUp(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Open on the type of the default extension, so that the type shown and the extension added
    // agree from the start.
    for (const FileFilter& filter : request.filters) {
        if (!request.defaultSuffix.empty() &&
            extensionOf(filter) == toQString(request.defaultSuffix)) {
            dialog.selectNameFilter(toQString(filter.description));
            break;
        }
    }
    dialog.setDefaultSuffix(extensionFor(request, dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &request](const QString& description) {
                         dialog.setDefaultSuffix(extensionFor(request, description));
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return pathFromText(dialog.selectedFiles().constFirst());
}

}  // namespace tunex
