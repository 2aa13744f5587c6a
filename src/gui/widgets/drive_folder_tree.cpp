#include "gui/widgets/drive_folder_tree.h"

#include "platform/qt/qt_text.h"

#include <QFile>
#include <QHeaderView>

#include <algorithm>
#include <system_error>

namespace tunex {

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;  // the path's bytes, without a trailing "/"
constexpr int kVolumeRole = Qt::UserRole + 2;

std::filesystem::path storedPath(const QTreeWidgetItem* node) {
    const QByteArray bytes = node->data(0, kPathRole).toByteArray();
    return std::filesystem::path(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

std::filesystem::path withSlash(const std::filesystem::path& path) {
    std::string text = path.native();
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

// The path's text without trailing "/" except for the root itself, so paths compare as folders.
std::string folderText(const std::filesystem::path& path) {
    std::string text = path.native();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

// `outer` is `inner` or one of the folders above it (both as folderText gives them).
bool holdsFolder(const std::string& outer, const std::string& inner) {
    if (outer.empty() || !inner.starts_with(outer)) {
        return false;
    }
    return inner.size() == outer.size() || outer == "/" || inner[outer.size()] == '/';
}

struct FolderEntry {
    QString text;
    std::filesystem::path path;
};

// The subfolders of a folder, sorted by the text shown; a folder that cannot be opened has none.
std::vector<FolderEntry> subfolders(const std::filesystem::path& folder) {
    std::vector<FolderEntry> result;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    for (const std::filesystem::directory_iterator end; !error && entries != end;
         entries.increment(error)) {
        std::error_code typeError;
        if (entries->is_directory(typeError)) {
            const std::string name = entries->path().filename().native();
            result.push_back({QFile::decodeName(QByteArray::fromStdString(name)), entries->path()});
        }
    }
    std::sort(result.begin(), result.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int order = a.text.compare(b.text, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.path.native() < b.path.native();
    });
    return result;
}

}  // namespace

QString volumeNodeText(const Volume& volume) {
    QString name = toQString(volume.label);
    const std::string mount = volume.mountPoint.native();
    if (name.isEmpty()) {
        if (mount == "/") {
            name = QStringLiteral("File System");
        } else {
            const std::filesystem::path trimmed =
                mount.back() == '/' ? mount.substr(0, mount.size() - 1) : mount;
            name = pathToQString(trimmed.filename());
        }
    }
    return name + QStringLiteral(" (") + pathToQString(volume.mountPoint) + u')';
}

DriveFolderTree::DriveFolderTree(Platform& platform, QWidget* parent)
    : QTreeWidget(parent), platform_(platform) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemExpanded, this, &DriveFolderTree::onExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &DriveFolderTree::onCollapsed);
    build(false);
}

void DriveFolderTree::build(bool clearFirst) {
    if (clearFirst) {
        clear();
        myComputer_ = nullptr;
        desktop_ = nullptr;
        volumes_.clear();
    }
    if (myComputer_ != nullptr) {
        return;
    }
    myComputer_ = addNode(nullptr, NodeKind::MyComputer, QStringLiteral("My Computer"), {},
                          icons_.icon(QFileIconProvider::Computer));
    addPlaceholder(myComputer_);
    const std::filesystem::path desktop = platform_.desktopFolder();
    QString desktopText = pathToQString(desktop.filename());
    if (desktopText.isEmpty()) {
        desktopText = pathToQString(desktop.parent_path().filename());
    }
    if (desktopText.isEmpty()) {
        desktopText = pathToQString(desktop);
    }
    desktop_ = addNode(nullptr, NodeKind::Desktop, desktopText, desktop,
                       icons_.icon(QFileIconProvider::Desktop));
    addPlaceholder(desktop_);
}

void DriveFolderTree::expandMyComputer() {
    if (myComputer_ != nullptr) {
        myComputer_->setExpanded(true);
    }
}

bool DriveFolderTree::selectFolder(const std::filesystem::path& folder) {
    const std::string target = folderText(folder);
    expandMyComputer();
    QTreeWidgetItem* node = nullptr;
    std::size_t reach = 0;
    const auto consider = [&](QTreeWidgetItem* candidate) {
        const std::string path = folderText(storedPath(candidate));
        if (holdsFolder(path, target) && (node == nullptr || path.size() > reach)) {
            node = candidate;
            reach = path.size();
        }
    };
    for (int i = 0; myComputer_ != nullptr && i < myComputer_->childCount(); ++i) {
        consider(myComputer_->child(i));
    }
    if (desktop_ != nullptr) {
        consider(desktop_);
    }
    while (node != nullptr && folderText(storedPath(node)) != target) {
        node->setExpanded(true);  // lists its subfolders
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && next == nullptr; ++i) {
            QTreeWidgetItem* child = node->child(i);
            if (kindOf(child) == NodeKind::Folder &&
                holdsFolder(folderText(storedPath(child)), target)) {
                next = child;
            }
        }
        node = next;
    }
    if (node == nullptr) {
        return false;
    }
    setCurrentItem(node);
    scrollToItem(node);
    return true;
}

DriveFolderTree::NodeKind DriveFolderTree::kindOf(const QTreeWidgetItem* node) {
    return node == nullptr ? NodeKind::Placeholder
                           : static_cast<NodeKind>(node->data(0, kKindRole).toInt());
}

std::filesystem::path DriveFolderTree::nodePath(const QTreeWidgetItem* node) {
    switch (kindOf(node)) {
        case NodeKind::MyComputer:
        case NodeKind::Placeholder:
            return {};
        case NodeKind::Drive:
        case NodeKind::Desktop:
            return withSlash(storedPath(node));
        case NodeKind::Folder:
            break;
    }
    // A folder that was listed and turned out empty is named without the final "/".
    return node->childCount() == 0 ? storedPath(node) : withSlash(storedPath(node));
}

std::optional<Volume> DriveFolderTree::volumeOf(const QTreeWidgetItem* node) const {
    if (kindOf(node) != NodeKind::Drive) {
        return std::nullopt;
    }
    const int index = node->data(0, kVolumeRole).toInt();
    if (index < 0 || static_cast<size_t>(index) >= volumes_.size()) {
        return std::nullopt;
    }
    return volumes_[static_cast<size_t>(index)];
}

void DriveFolderTree::onExpanded(QTreeWidgetItem* node) {
    if (node == myComputer_) {
        listVolumes();
    } else {
        listFolder(node);
    }
}

void DriveFolderTree::onCollapsed(QTreeWidgetItem* node) {
    discardChildren(node);
    addPlaceholder(node);
}

void DriveFolderTree::listVolumes() {
    discardChildren(myComputer_);
    volumes_ = platform_.volumes();
    for (size_t i = 0; i < volumes_.size(); ++i) {
        const Volume& volume = volumes_[i];
        const QIcon icon =
            icons_.icon(volume.kind == VolumeKind::Network ? QFileIconProvider::Network
                                                           : QFileIconProvider::Drive);
        QTreeWidgetItem* drive =
            addNode(myComputer_, NodeKind::Drive, volumeNodeText(volume), volume.mountPoint, icon);
        drive->setData(0, kVolumeRole, static_cast<int>(i));
        addPlaceholder(drive);
    }
}

void DriveFolderTree::listFolder(QTreeWidgetItem* node) {
    const std::filesystem::path folder = storedPath(node);
    discardChildren(node);
    const QIcon icon = icons_.icon(QFileIconProvider::Folder);
    for (const FolderEntry& entry : subfolders(folder)) {
        addPlaceholder(addNode(node, NodeKind::Folder, entry.text, entry.path, icon));
    }
}

void DriveFolderTree::discardChildren(QTreeWidgetItem* node) {
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    qDeleteAll(children);
}

QTreeWidgetItem* DriveFolderTree::addNode(QTreeWidgetItem* parent, NodeKind kind,
                                          const QString& text, const std::filesystem::path& path,
                                          const QIcon& icon) {
    auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    node->setText(0, text);
    node->setIcon(0, icon);
    node->setData(0, kKindRole, static_cast<int>(kind));
    node->setData(0, kPathRole, QByteArray::fromStdString(path.native()));
    if (kind == NodeKind::Folder || kind == NodeKind::Drive || kind == NodeKind::Desktop) {
        // The full path, readable even where the tree is too narrow for it.
        node->setToolTip(0, pathToQString(path));
    }
    return node;
}

void DriveFolderTree::addPlaceholder(QTreeWidgetItem* node) {
    auto* placeholder = new QTreeWidgetItem(node);
    placeholder->setData(0, kKindRole, static_cast<int>(NodeKind::Placeholder));
    placeholder->setFlags(Qt::NoItemFlags);
}

}  // namespace tunex
