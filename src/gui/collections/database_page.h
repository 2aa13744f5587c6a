#pragma once

#include "core/common/user_message.h"
#include "core/store/settings.h"
#include "gui/app/page.h"
#include "gui/widgets/shown_path.h"
#include "platform/linux/system_volumes.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidgetItem;

namespace tunex {

class AppContext;
class DriveFolderTree;

// The Database tab: counts and adds the media files under a volume or folder as a new collection,
// proposes a name from the volume label, and renames, rescans and deletes collections.
class DatabasePage final : public Page {
    Q_OBJECT
public:
    // The current search history, stored with the totals after an Add. Without it, the rows the
    // settings file holds are stored again.
    using HistoryRowsSource = std::function<std::vector<HistoryRow>()>;

    DatabasePage(AppContext& context, HistoryRowsSource historyRows, QWidget* parent = nullptr);

    // Asks the welcome question while the catalogue holds no collection; when the page is not on
    // the screen yet (the program starting on it), once it is.
    void activate() override;

    [[nodiscard]] DriveFolderTree* tree() const { return tree_; }
    [[nodiscard]] QLineEdit* pathEdit() const { return path_; }
    [[nodiscard]] QLineEdit* nameEdit() const { return name_; }
    [[nodiscard]] QPushButton* getLabelButton() const { return getLabel_; }
    [[nodiscard]] QPushButton* countButton() const { return count_; }
    [[nodiscard]] QPushButton* addButton() const { return add_; }
    [[nodiscard]] QCheckBox* id3Box() const { return id3_; }
    [[nodiscard]] QComboBox* collectionList() const { return collections_; }
    [[nodiscard]] QLineEdit* renameEdit() const { return rename_; }
    [[nodiscard]] QPushButton* changeButton() const { return change_; }
    [[nodiscard]] QPushButton* rescanButton() const { return rescan_; }
    [[nodiscard]] QPushButton* deleteButton() const { return delete_; }
    [[nodiscard]] QPushButton* duplicatesButton() const { return duplicates_; }
    [[nodiscard]] QString messageText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The fields, buttons and message box right of the tree.
    QWidget* makeSide();
    void askWelcome();
    void onTreeSelection();
    void onPathEdited();
    void onCollectionChosen();
    void onNameEdited();
    void onCount();
    void onAdd();
    void onGetLabel();
    void onChange();
    void onRescan();
    // Tells the refusal, or asks the question: whether Yes was the answer.
    [[nodiscard]] bool passedAndConfirmed(const std::optional<UserMessage>& refusal,
                                          const UserMessage& question);
    void onDelete();
    void onDuplicates();
    // Runs an Add or a Rescan with its progress window; `run` gets the hooks and the update.
    template <typename Run>
    auto withWalkProgress(const Run& run);

    void fillCollections();
    void setMessageText(std::string_view text);
    // The path as typed; a path taken from the tree keeps its bytes while its text is unchanged.
    [[nodiscard]] std::string pathText() const;
    [[nodiscard]] std::string selectedCollection() const;
    // The search history written with the totals after an Add.
    [[nodiscard]] std::vector<HistoryRow> historyRows() const;

    AppContext& context_;
    HistoryRowsSource historyRows_;
    DriveFolderTree* tree_;
    QLineEdit* path_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPushButton* getLabel_ = nullptr;
    QPushButton* count_ = nullptr;
    QPushButton* add_ = nullptr;
    QCheckBox* id3_ = nullptr;
    QComboBox* collections_ = nullptr;
    QLineEdit* rename_ = nullptr;
    QPushButton* change_ = nullptr;
    QPushButton* rescan_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* duplicates_ = nullptr;
    QPlainTextEdit* message_ = nullptr;
    bool welcomePending_ = false;
    // The path box was filled by the user or the tree since a collection was chosen, so Rescan
    // takes it rather than the chosen collection's own folder.
    bool pathChosen_ = false;
    bool proposingPath_ = false;
    ShownPath treePath_;  // the path the tree last wrote into the path box
    // Where Add and Rescan learn the volume a folder is on, so that the disc is known again.
    SystemVolumes volumes_;
};

}  // namespace tunex
