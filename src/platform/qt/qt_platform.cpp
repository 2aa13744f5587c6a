#include "platform/qt/qt_platform.h"

#include "platform/qt/screen_fit.h"

#include "platform/qt/detached_process.h"
#include "platform/qt/qt_file_dialog.h"
#include "platform/qt/qt_paths.h"
#include "platform/qt/qt_text.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <string>
#include <system_error>

namespace tunex {

namespace {

QMessageBox::Icon toQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            break;
    }
    return QMessageBox::Information;
}

bool isPseudoFileSystem(const QStorageInfo& volume) {
    static const QList<QByteArray> pseudo = {
        "tmpfs",      "devtmpfs", "proc",        "sysfs",   "cgroup",   "cgroup2",
        "overlay",    "squashfs", "devpts",      "mqueue",  "debugfs",  "tracefs",
        "securityfs", "pstore",   "bpf",         "fusectl", "configfs", "hugetlbfs",
        "autofs",     "efivarfs", "binfmt_misc", "nsfs",    "ramfs",    "rpc_pipefs"};
    if (pseudo.contains(volume.fileSystemType())) {
        return true;
    }
    const QString root = volume.rootPath();
    return root.startsWith(QStringLiteral("/proc")) || root.startsWith(QStringLiteral("/sys")) ||
           root.startsWith(QStringLiteral("/run")) || root.startsWith(QStringLiteral("/dev")) ||
           root.startsWith(QStringLiteral("/snap")) || root == QStringLiteral("/boot/efi");
}

Volume toVolume(const QStorageInfo& info) {
    Volume volume;
    QString root = info.rootPath();
    if (!root.endsWith(u'/')) {
        root += u'/';
    }
    volume.mountPoint = pathFromText(root);
    volume.label = toStdString(info.name());
    const QByteArray type = info.fileSystemType();
    const QByteArray device = info.device();
    if (type == "iso9660" || type == "udf" || device.startsWith("/dev/sr")) {
        volume.kind = VolumeKind::Optical;
    } else if (type == "nfs" || type == "nfs4" || type == "cifs" || type == "smb3" ||
               type.startsWith("fuse.sshfs")) {
        volume.kind = VolumeKind::Network;
    } else if (root.startsWith(QStringLiteral("/media/")) ||
               root.startsWith(QStringLiteral("/run/media/"))) {
        volume.kind = VolumeKind::Removable;
    }
    return volume;
}

QStringList mediaPlayers() {
    return {QStringLiteral("mpv"),       QStringLiteral("vlc"),      QStringLiteral("celluloid"),
            QStringLiteral("totem"),     QStringLiteral("smplayer"), QStringLiteral("audacious"),
            QStringLiteral("rhythmbox"), QStringLiteral("mplayer"),  QStringLiteral("ffplay")};
}

// The desktop file xdg-mime names as the default for the file's type, if any.
bool hasDefaultApplication(const QString& file) {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty()) {
        return false;
    }
    const QString mime = QMimeDatabase().mimeTypeForFile(file).name();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), mime});
    if (!query.waitForFinished(3000)) {
        query.kill();
        return false;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

// The desktop's opener first; without it, a graphical browser on the PATH.
QStringList helpLaunchers() {
    return {QStringLiteral("xdg-open"),    QStringLiteral("x-www-browser"),
            QStringLiteral("firefox-esr"), QStringLiteral("firefox"),
            QStringLiteral("chromium"),    QStringLiteral("google-chrome")};
}

// xdg-open that finds no way to show a page says so within a fraction of a second; one still
// running after this has started a browser in the foreground.
constexpr std::chrono::milliseconds kLauncherVerdictTime{1500};

// Room a title bar takes beside its text: window icon, close, minimise and maximise buttons.
constexpr int kTitleBarDecoration = 160;

// QMessageBox makes room for its caption by a guess that leaves out the window manager's icon and
// buttons, and title bars often use a larger, bold font: a short message got a caption cut to
// "Tunex… Error". A spacer across the box's grid keeps it wide enough.
void makeRoomForCaption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int title = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle());
    const int width = title * 6 / 5 + kTitleBarDecoration;
    // The layout owns the spacer.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

MessageAnswer QtPlatform::showMessage(const MessageRequest& request) {
    QMessageBox box(toQtIcon(request.message.icon), toQString(request.message.caption),
                    toQString(request.message.text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    // Names of collections, types and files are shown as typed: "<Title>" is not markup.
    box.setTextFormat(Qt::PlainText);
    makeRoomForCaption(box);
    keepWithinScreen(box);
    switch (request.buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MessageButtons::TwoChoices: {
            // The answers differ in how many files they touch: one order on every desktop, the
            // narrower first and the default, Cancel last. Buttons of one role keep the order
            // they were added in, where each desktop's button layout orders roles its own way.
            QPushButton* first =
                box.addButton(toQString(request.choices[0]), QMessageBox::ActionRole);
            const QPushButton* second =
                box.addButton(toQString(request.choices[1]), QMessageBox::ActionRole);
            QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::ActionRole);
            box.setDefaultButton(first);
            box.setEscapeButton(cancel);
            (void)box.exec();
            const QAbstractButton* clicked = box.clickedButton();
            return clicked == first    ? MessageAnswer::Yes
                   : clicked == second ? MessageAnswer::No
                                       : MessageAnswer::Cancel;
        }
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            break;
    }
    // Closing the box counts as its safe answer.
    return request.buttons == MessageButtons::Ok      ? MessageAnswer::Ok
           : request.buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                      : MessageAnswer::Cancel;
}

std::optional<std::filesystem::path> QtPlatform::openFileName(const FileDialogRequest& request) {
    return runOpenDialog(request);
}

std::optional<std::filesystem::path> QtPlatform::saveFileName(const FileDialogRequest& request) {
    return runSaveDialog(request);
}

void QtPlatform::setClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(toQString(text));
}

LaunchResult QtPlatform::openMediaFile(const std::filesystem::path& file) {
    // Only the type counts here, and the name's extension survives the text.
    if (hasDefaultApplication(pathToQString(file))) {
        return QDesktopServices::openUrl(fileUrl(file)) ? LaunchResult::Started
                                                        : LaunchResult::CouldNotStart;
    }
    for (const QString& player : mediaPlayers()) {
        const QString program = QStandardPaths::findExecutable(player);
        if (!program.isEmpty()) {
            const auto pid =
                startDetached(QFile::encodeName(program).toStdString(), {file.native()});
            if (!pid) {
                return LaunchResult::CouldNotStart;
            }
            reapInBackground(*pid);
            return LaunchResult::Started;
        }
    }
    return LaunchResult::NoAssociatedApplication;
}

// QDesktopServices hands the page to xdg-open without waiting for it, so a desktop with nothing to
// show HTML still reported success; and without xdg-open it knows only a few browsers by name.
bool QtPlatform::openHelpPage(const std::filesystem::path& page, std::string_view section) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(page, error);
    QUrl pageUrl = fileUrl(error ? page : absolute);
    if (!section.empty()) {
        pageUrl.setFragment(toQString(section));
    }
    const std::string url = pageUrl.toEncoded().toStdString();
    return std::ranges::any_of(helpLaunchers(), [&url](const QString& launcher) {
        const QString program = QStandardPaths::findExecutable(launcher);
        if (program.isEmpty()) {
            return false;
        }
        const auto pid = startDetached(QFile::encodeName(program).toStdString(), {url});
        return pid && waitForLauncher(*pid, kLauncherVerdictTime) != LauncherOutcome::Failed;
    });
}

std::vector<Volume> QtPlatform::volumes() {
    std::vector<Volume> result;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (info.isValid() && info.isReady() && !isPseudoFileSystem(info)) {
            result.push_back(toVolume(info));
        }
    }
    // "/" first, then by mount point.
    std::sort(result.begin(), result.end(), [](const Volume& a, const Volume& b) {
        const bool aRoot = a.mountPoint == "/";
        const bool bRoot = b.mountPoint == "/";
        if (aRoot != bRoot) {
            return aRoot;
        }
        return a.mountPoint.native() < b.mountPoint.native();
    });
    return result;
}

std::optional<Volume> QtPlatform::volumeOf(const std::filesystem::path& path) {
    // QStorageInfo finds a path only by a name Qt can hold, so links are followed on the real
    // bytes (one may lead to another volume) and the nearest folder Qt can name is asked instead.
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    const QStorageInfo info(error ? pathToQString(path) : nearestTextPath(real));
    if (!info.isValid()) {
        return std::nullopt;
    }
    return toVolume(info);
}

std::filesystem::path QtPlatform::desktopFolder() {
    const QString desktopText = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktopText.isEmpty()) {
        std::error_code error;
        std::filesystem::path desktop = pathFromText(desktopText);
        if (std::filesystem::is_directory(desktop, error)) {
            return desktop;
        }
    }
    return pathFromText(QDir::homePath());
}

int QtPlatform::profileInt(const std::string& key, int fallback) {
    QSettings profile(QStringLiteral("Tunex"), QStringLiteral("Tunex"));
    bool ok = false;
    const int value =
        profile.value(QStringLiteral("Settings/") + toQString(key), fallback).toInt(&ok);
    return ok ? value : fallback;
}

void QtPlatform::setProfileInt(const std::string& key, int value) {
    QSettings profile(QStringLiteral("Tunex"), QStringLiteral("Tunex"));
    profile.setValue(QStringLiteral("Settings/") + toQString(key), value);
}

std::optional<std::string> QtPlatform::profileBytes(const std::string& key) {
    const QSettings profile(QStringLiteral("Tunex"), QStringLiteral("Tunex"));
    const QVariant value = profile.value(QStringLiteral("Settings/") + toQString(key));
    if (!value.isValid()) {
        return std::nullopt;
    }
    const QByteArray bytes = value.toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtPlatform::setProfileBytes(const std::string& key, const std::string& value) {
    QSettings profile(QStringLiteral("Tunex"), QStringLiteral("Tunex"));
    profile.setValue(QStringLiteral("Settings/") + toQString(key),
                     QByteArray(value.data(), static_cast<qsizetype>(value.size())));
}

}  // namespace tunex
