#pragma once

#include "core/tags/batch_scope.h"
#include "core/tags/local_listing.h"
#include "gui/app/page.h"
#include "gui/tags/local_list_view.h"
#include "gui/tags/local_scope.h"

#include "gui/tags/tag_preview_dialog.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tunex {

class AppContext;
class DriveFolderTree;
class LocalFileList;
class LocalListingRunner;
class ProgressWindow;

// The Local tab: the media files under a folder of the user's disks, their tags, and the tag
// tools (editor, EasyTag, clearing one file or a whole folder). Folders are listed off the GUI
// thread; the tag tools wait for the list to be complete.
class LocalPage final : public Page {
    Q_OBJECT
public:
    explicit LocalPage(AppContext& context, QWidget* parent = nullptr);
    ~LocalPage() override;
    Q_DISABLE_COPY_MOVE(LocalPage)

    [[nodiscard]] DriveFolderTree* tree() const { return tree_; }
    [[nodiscard]] LocalFileList* fileList() const { return list_; }
    [[nodiscard]] QLineEdit* keywordEdit() const { return keyword_; }
    [[nodiscard]] QPushButton* filterButton() const { return filter_; }
    [[nodiscard]] QPlainTextEdit* tagSummary() const { return summary_; }
    [[nodiscard]] QPushButton* clearTagButton() const { return clearTag_; }
    [[nodiscard]] QPushButton* moreTagButton() const { return moreTag_; }
    [[nodiscard]] QPushButton* easyTagButton() const { return easyTag_; }
    // Opens the menu of the other batch tools (names from tags...).
    [[nodiscard]] QPushButton* tagToolsButton() const { return tagTools_; }
    [[nodiscard]] QPushButton* undoButton() const { return undo_; }
    [[nodiscard]] QLabel* statusLabel() const { return status_; }
    [[nodiscard]] QCheckBox* subdirectoryBox() const { return subdirectory_; }
    // Whether listings and the tag tools take the subfolders too: the box's state.
    [[nodiscard]] bool includeSubfolders() const;
    [[nodiscard]] QPushButton* refreshButton() const { return refresh_; }
    // The progress window while Clear All Tag runs, else null.
    [[nodiscard]] ProgressWindow* progressWindow() const { return progress_; }
    [[nodiscard]] int listedCount() const { return listedCount_; }
    // The bar that runs while a folder is being listed.
    [[nodiscard]] QProgressBar* busyBar() const { return busy_; }
    [[nodiscard]] bool isListing() const;
    // Runs the listings; tests put in a walk they can hold up.
    [[nodiscard]] LocalListingRunner& listingRunner() const { return *runner_; }

Q_SIGNALS:
    // The newest listing is shown, after its display-limit message if it had one.
    void listingFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    [[nodiscard]] QWidget* buildTools();
    [[nodiscard]] std::string selectedFolder() const;
    [[nodiscard]] std::string selectedRowPath() const;
    // The file whose name a tool shows as its sample: the selected one, else the first listed.
    [[nodiscard]] std::string sampleRowPath() const;
    // Empties the list and starts listing `folder`; an empty one ("My Computer") stops there.
    // The display limit, when reached, is said in the status line.
    void listFolder(const std::string& folder);
    void showListing(const std::string& folder, LocalListing listing);
    void setListingShown(bool listing);
    // Selects the folder listed last time, the first time the page is shown.
    void restoreLastFolder();
    void onTreeSelectionChanged();
    // The tree's selection has rested: its folder is listed.
    void onSelectionRested();
    void onRefresh();
    void onSubdirectoryClicked();
    void onRowSelectionChanged();
    void onFilter();
    // The files a batch tool acts on, asking about a filter's files or the selected rows.
    [[nodiscard]] std::optional<ScopeChoice> chooseScope(BatchTool tool);
    void onPlay();
    void onMenu(QPoint globalPos);
    void onMoreTag();
    void onEasyTag();
    [[nodiscard]] QMenu* buildToolsMenu();
    // The files a batch tool takes, once a folder is selected and the user has chosen.
    [[nodiscard]] std::optional<ScopeChoice> chooseToolScope(BatchTool tool);
    // Shows a tool's dialog, which lists the folder again when it closes.
    void openToolDialog(QDialog* dialog);
    // EasyTag and the tools of the menu act on a whole folder, which a CD does not allow.
    void setBatchToolsEnabled(bool enabled);
    void onRenameFromTags();
    void onTidy();
    void onSetCover();
    void onClearTag();
    // Takes back the last tag change of any page or dialog, from the write journal.
    void onUndo();
    // Lists the folder again after a tag change, so that the list and summary show what is
    // there, with the filter, selection and scrolling the user left.
    void refreshAfterTagChange();
    void updateUndoButton();
    void clearThisTag();
    void setClearTarget(ClearTarget target);
    void clearAllTag();

    AppContext& context_;
    DriveFolderTree* tree_;
    LocalFileList* list_;
    QLineEdit* keyword_ = nullptr;
    QPushButton* filter_ = nullptr;
    QPlainTextEdit* summary_ = nullptr;
    QPushButton* clearTag_ = nullptr;
    QPushButton* moreTag_ = nullptr;
    QPushButton* easyTag_ = nullptr;
    QPushButton* tagTools_ = nullptr;
    QPushButton* undo_ = nullptr;
    QLabel* status_;
    QCheckBox* subdirectory_;
    QPushButton* refresh_;
    QProgressBar* busy_;
    ProgressWindow* progress_ = nullptr;
    std::unique_ptr<LocalListingRunner> runner_;
    // Moving through the tree lists a folder only once the selection rests there.
    QTimer* selectionRest_;
    // The view to put back on the listing under way, after a tag change.
    std::optional<LocalListView> keptView_;
    // The keyword of the filter that cut the list, while it does.
    std::optional<std::string> filterKeyword_;
    // What the last finished listing left, put back when a listing is given up for "My Computer".
    QString listedStatus_;
    TagButtonsAfterListing listedButtons_;
    bool shownBefore_ = false;
    int listedCount_ = 0;
    // Every file of the last listing by name, narrowed by each filter since.
    LocalFileSet files_;
    // A filter has cut the list since it was last listed: the batch tools ask which files.
    bool filtered_ = false;
    // Whether the listing allows Clear All Tag (not on a CD), for when several rows are selected.
    bool clearAllAllowed_ = false;
    // The clear-tag button's caption, which chooses between one file and the whole folder.
    ClearTarget clearTarget_ = ClearTarget::None;
};

}  // namespace tunex
