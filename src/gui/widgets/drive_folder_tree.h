#pragma once

#include "platform/platform.h"

#include <QFileIconProvider>
#include <QTreeWidget>

#include <filesystem>
#include <optional>

namespace tunex {

// Picks a volume or folder: "My Computer" with the mounted volumes, then the desktop folder.
// Subfolders are listed when a node opens and thrown away when it closes, so the tree holds only
// what the user has opened and shows changes on disk at the next opening. Paths are kept as the
// file system's bytes, so names that are not valid UTF-8 still give working paths.
class DriveFolderTree final : public QTreeWidget {
    Q_OBJECT
public:
    enum class NodeKind { MyComputer, Desktop, Drive, Folder, Placeholder };

    explicit DriveFolderTree(Platform& platform, QWidget* parent = nullptr);

    // Creates the two top nodes, each waiting to be listed.
    void build(bool clearFirst);
    // Opens "My Computer", which lists the volumes.
    void expandMyComputer();
    // Opens the nodes down to `folder` and selects it, starting from the volume or desktop node
    // that holds it most closely. False, with the selection unchanged, when no node leads there.
    bool selectFolder(const std::filesystem::path& folder);

    // The node's path: empty for "My Computer" and placeholders; volumes and the desktop end in
    // "/"; a folder ends in "/" unless it was listed and has no subfolders.
    [[nodiscard]] static std::filesystem::path nodePath(const QTreeWidgetItem* node);
    [[nodiscard]] static NodeKind kindOf(const QTreeWidgetItem* node);
    // The volume shown by a drive node, as it was when "My Computer" was last listed.
    [[nodiscard]] std::optional<Volume> volumeOf(const QTreeWidgetItem* node) const;

    [[nodiscard]] QTreeWidgetItem* myComputerNode() const { return myComputer_; }
    [[nodiscard]] QTreeWidgetItem* desktopNode() const { return desktop_; }

private:
    void onExpanded(QTreeWidgetItem* node);
    static void onCollapsed(QTreeWidgetItem* node);
    void listVolumes();
    void listFolder(QTreeWidgetItem* node);
    static void discardChildren(QTreeWidgetItem* node);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, NodeKind kind, const QString& text,
                             const std::filesystem::path& path, const QIcon& icon);
    static void addPlaceholder(QTreeWidgetItem* node);

    Platform& platform_;
    QFileIconProvider icons_;
    std::vector<Volume> volumes_;  // in the order of the drive nodes
    QTreeWidgetItem* myComputer_ = nullptr;
    QTreeWidgetItem* desktop_ = nullptr;
};

// A volume's node text: its label, or the mount point's last name ("File System" for "/"), then
// the mount point in parentheses.
[[nodiscard]] QString volumeNodeText(const Volume& volume);

}  // namespace tunex
