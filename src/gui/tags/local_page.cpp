#include "gui/tags/local_page.h"

#include "gui/widgets/page_controls.h"

#include "core/store/settings.h"
#include "core/tags/audio_format.h"
#include "core/tags/local_listing.h"
#include "core/tags/tag_clearing.h"
#include "core/tags/tag_undo.h"
#include "core/tags/tag_walk.h"
#include "gui/app/app_context.h"
#include "gui/app/page_id.h"
#include "gui/tags/local_clear_tools.h"
#include "gui/tags/local_file_list.h"
#include "gui/tags/local_listing_runner.h"
#include "gui/tags/local_scope.h"
#include "gui/tags/tag_info_dialog.h"
#include "gui/tags/tag_preview_dialog.h"
#include "gui/widgets/drive_folder_tree.h"
#include "gui/widgets/popup_menu_window.h"
#include "gui/widgets/progress_window.h"
#include "platform/play_media.h"
#include "platform/qt/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

namespace tunex {

namespace {

// Right-click menu commands.
enum class MenuCommand { CopyName = 1, Play, History, Songs, Undo };
constexpr int kCopyIcon = 3;
constexpr int kPageIcon = 1;
constexpr int kToolsWidth = 300;
// A wrapped path and the three tag lines.
constexpr int kSummaryLines = 7;
constexpr int kFewestSummaryLines = 2;
constexpr int kSummaryStretch = 100;
constexpr int kBusyBarWidth = 120;
constexpr int kTopStretch = 2;
constexpr int kListStretch = 3;
constexpr int kFewestTreeRows = 2;
// Narrow frames around the tree and the list leave them the room in a small window.
constexpr int kBoxMargin = 4;
// How long the tree's selection rests before its folder is listed, as typing pauses before a
// search as you type.
constexpr int kSelectionRestMs = 250;
// The folder listed last, as the file system's bytes.
constexpr const char* kLastFolderKey = "LocalFolder";

// The tools scroll rather than squeeze the list in a short window (large scale factors).
QScrollArea* toolsPane(QWidget* tools, QWidget* parent) {
    auto* pane = new QScrollArea(parent);
    pane->setWidget(tools);
    pane->setWidgetResizable(true);
    pane->setFrameShape(QFrame::NoFrame);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pane->viewport()->setAutoFillBackground(false);
    tools->setAutoFillBackground(false);
    pane->setFixedWidth(kToolsWidth);
    return pane;
}

QLabel* wrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

LocalPage::LocalPage(AppContext& context, QWidget* parent)
    : Page(parent),
      context_(context),
      tree_(new DriveFolderTree(context.platform(), this)),
      list_(new LocalFileList(this)),
      status_(new QLabel(toQString(kLocalNoSearchStatus), this)),
      subdirectory_(new QCheckBox(QStringLiteral("Subdirectory"), this)),
      refresh_(new QPushButton(QStringLiteral("&Refresh"), this)),
      busy_(new QProgressBar(this)),
      runner_(std::make_unique<LocalListingRunner>()),
      selectionRest_(new QTimer(this)) {
    selectionRest_->setSingleShot(true);
    selectionRest_->setInterval(kSelectionRestMs);
    connect(selectionRest_, &QTimer::timeout, this, &LocalPage::onSelectionRested);
    useTooltipColours(*tree_);
    tree_->build(true);
    tree_->expandMyComputer();

    auto* treeGroup = new QGroupBox(QStringLiteral("Choose local directory"), this);
    auto* treeLayout = new QVBoxLayout(treeGroup);
    treeLayout->setContentsMargins(kBoxMargin, kBoxMargin, kBoxMargin, kBoxMargin);
    treeLayout->addWidget(tree_);
    // In a short window the tree gives way first: the list shows what the page is about.
    tree_->setMinimumHeight(kFewestTreeRows *
                                qMax(tree_->sizeHintForRow(0), tree_->fontMetrics().height()) +
                            2 * tree_->frameWidth());
    auto* top = new QHBoxLayout;
    top->addWidget(treeGroup, 1);
    top->addWidget(toolsPane(buildTools(), this));

    auto* listGroup = new QGroupBox(QStringLiteral("Files under directory"), this);
    auto* listLayout = new QVBoxLayout(listGroup);
    listLayout->setContentsMargins(kBoxMargin, kBoxMargin, kBoxMargin, kBoxMargin);
    listLayout->addWidget(list_);

    status_->setTextFormat(Qt::PlainText);
    listedStatus_ = status_->text();
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    busy_->setMaximumWidth(kBusyBarWidth);
    busy_->hide();
    subdirectory_->setChecked(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(busy_);
    bottom->addWidget(subdirectory_);
    bottom->addWidget(refresh_);

    auto* layout = new QVBoxLayout(this);
    // Both boxes grow with the window; the list, which holds what the page is about, the more.
    layout->addLayout(top, kTopStretch);
    layout->addWidget(listGroup, kListStretch);
    layout->addLayout(bottom);

    // Tab follows reading order: the tree, the tools beside it, the list, the row below.
    const std::array<QWidget*, 12> order = {tree_,     keyword_, filter_,       summary_,
                                            clearTag_, moreTag_, easyTag_,      tagTools_,
                                            undo_,     list_,    subdirectory_, refresh_};
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &LocalPage::onTreeSelectionChanged);
    connect(list_, &LocalFileList::selectedRowChanged, this, &LocalPage::onRowSelectionChanged);
    connect(list_, &LocalFileList::rowDoubleClicked, this, &LocalPage::onPlay);
    connect(list_, &LocalFileList::menuRequested, this, &LocalPage::onMenu);
    connect(filter_, &QPushButton::clicked, this, &LocalPage::onFilter);
    connect(clearTag_, &QPushButton::clicked, this, &LocalPage::onClearTag);
    connect(moreTag_, &QPushButton::clicked, this, &LocalPage::onMoreTag);
    connect(easyTag_, &QPushButton::clicked, this, &LocalPage::onEasyTag);
    connect(undo_, &QPushButton::clicked, this, &LocalPage::onUndo);
    auto* undoKey = new QShortcut(QKeySequence::Undo, this);
    undoKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(undoKey, &QShortcut::activated, this, &LocalPage::onUndo);
    updateUndoButton();
    connect(subdirectory_, &QCheckBox::clicked, this, &LocalPage::onSubdirectoryClicked);
    connect(refresh_, &QPushButton::clicked, this, &LocalPage::onRefresh);
}

LocalPage::~LocalPage() = default;

QWidget* LocalPage::buildTools() {
    auto* tools = new QWidget(this);
    keyword_ = new QLineEdit(tools);
    filter_ = new QPushButton(QStringLiteral("&Filter"), tools);
    // Read-only text rather than a label: long paths wrap anywhere and scroll instead of being
    // cut off.
    summary_ = new QPlainTextEdit(toQString(kTagSummaryResourceText));
    summary_->setReadOnly(true);
    summary_->setFrameShape(QFrame::NoFrame);
    summary_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    summary_->viewport()->setAutoFillBackground(false);
    summary_->setTabStopDistance(
        summary_->fontMetrics().horizontalAdvance(QStringLiteral("Artist:  ")));
    summary_->hide();
    clearTag_ = new QPushButton(tools);
    setClearTarget(ClearTarget::None);
    moreTag_ = new QPushButton(QStringLiteral("&More Tag"), tools);
    easyTag_ = new QPushButton(QStringLiteral("&Easy Tag"), tools);
    tagTools_ = new QPushButton(QStringLiteral("Tag &Tools"), tools);
    tagTools_->setMenu(buildToolsMenu());
    for (QPushButton* button : {clearTag_, moreTag_, easyTag_, tagTools_}) {
        button->setEnabled(false);
    }
    undo_ = new QPushButton(QStringLiteral("&Undo Last Tag Change"), tools);
    undo_->setToolTip(QStringLiteral("Puts back the files of the last tag change (Ctrl+Z)"));

    auto* keywordRow = new QHBoxLayout;
    keywordRow->addWidget(keyword_, 1);
    keywordRow->addWidget(filter_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clearTag_);
    buttons->addWidget(moreTag_);
    buttons->addWidget(easyTag_);
    buttons->addWidget(tagTools_);

    auto* layout = new QVBoxLayout(tools);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(wrappedLabel(
        QStringLiteral("Enter keyword below to filter the file shown in the list:"), tools));
    layout->addLayout(keywordRow);
    // The summary's room is kept while it is hidden, so the page does not jump when it shows.
    auto* summaryArea = new QWidget(tools);
    const auto margin = static_cast<int>(summary_->document()->documentMargin());
    const int line = summary_->fontMetrics().lineSpacing();
    // In a short window it shrinks, and the summary scrolls, before the buttons go out of sight.
    summaryArea->setMinimumHeight(line * kFewestSummaryLines + 2 * margin);
    summaryArea->setMaximumHeight(line * kSummaryLines + 2 * margin);
    summary_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    auto* summaryLayout = new QVBoxLayout(summaryArea);
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    summaryLayout->addWidget(summary_);
    // A taller pane first gives the summary its full room, then leaves the rest below the tools.
    layout->addWidget(summaryArea, kSummaryStretch);
    layout->addLayout(buttons);
    layout->addWidget(undo_);
    layout->addWidget(wrappedLabel(QStringLiteral("Note: Only files with types added in <File "
                                                  "Type> are shown in the list below."),
                                   tools));
    layout->addStretch(1);
    return tools;
}

std::string LocalPage::selectedFolder() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    return selected.isEmpty() ? std::string()
                              : DriveFolderTree::nodePath(selected.front()).native();
}

std::string LocalPage::selectedRowPath() const {
    const std::optional<int> row = list_->selectedRow();
    return row ? localRowPath(list_->rows().at(static_cast<size_t>(*row))) : std::string();
}

void LocalPage::listFolder(const std::string& folder) {
    list_->setRows({});
    files_ = {};
    filtered_ = false;
    filterKeyword_.reset();
    // No row is selected in a new listing: nothing for the summary or the editor.
    summary_->hide();
    moreTag_->setEnabled(false);
    // "My Computer" and placeholders: nothing else changes, also when a listing is given up.
    if (folder.empty()) {
        if (isListing()) {
            runner_->cancel();
            setListingShown(false);
            status_->setText(listedStatus_);
            setBatchToolsEnabled(listedButtons_.easyTagEnabled);
            clearTag_->setEnabled(listedButtons_.clearEnabled);
        }
        return;
    }
    runner_->start(
        {folder, context_.fileTypes(), includeSubfolders(), context_.settings().maxResults},
        [this, folder](LocalListing listing) { showListing(folder, std::move(listing)); });
    status_->setText(toQString(listingStatusText(folder)));
    setListingShown(true);
}

void LocalPage::setListingShown(bool listing) {
    busy_->setVisible(listing);
    if (listing) {
        setCursor(Qt::BusyCursor);
        // The tools act on the listed files, which are not all there yet.
        for (QPushButton* button : {clearTag_, moreTag_, easyTag_, tagTools_, filter_}) {
            button->setEnabled(false);
        }
    } else {
        unsetCursor();
        filter_->setEnabled(true);
    }
}

void LocalPage::showListing(const std::string& folder, LocalListing listing) {
    setListingShown(false);
    const auto rows = listing.rows.size();
    listedStatus_ = toQString(listedStatusText(listing, folder));
    list_->setRows(std::move(listing.rows));
    files_ = std::move(listing.files);
    status_->setText(listedStatus_);
    listedCount_ = static_cast<int>(rows);

    const std::optional<Volume> volume = context_.platform().volumeOf(folder);
    listedButtons_ = tagButtonsAfterListing(volume && volume->kind == VolumeKind::Optical);
    setBatchToolsEnabled(listedButtons_.easyTagEnabled);
    clearTag_->setEnabled(listedButtons_.clearEnabled);
    clearAllAllowed_ = listedButtons_.clearTarget == ClearTarget::Folder;
    if (listedButtons_.clearTarget) {
        setClearTarget(*listedButtons_.clearTarget);
    }
    // Last: the selection put back sets the tools for the selected rows.
    if (keptView_) {
        const LocalListView view = std::exchange(keptView_, std::nullopt).value();
        if (const auto filteredStatus =
                restoreListView(*list_, files_, view, context_.settings().maxResults,
                                accentRuleOf(context_.settings()))) {
            filtered_ = true;
            filterKeyword_ = view.keyword;
            status_->setText(toQString(*filteredStatus));
        }
    }
    Q_EMIT listingFinished();
}

bool LocalPage::isListing() const {
    return runner_->isRunning() || selectionRest_->isActive();
}

void LocalPage::onTreeSelectionChanged() {
    list_->headerSortState().ascending = false;
    keptView_.reset();
    const std::string folder = selectedFolder();
    if (folder.empty()) {
        listFolder(folder);  // gives up a listing under way or about to start
        selectionRest_->stop();
        return;
    }
    // Passing through folders with the arrow keys walks none of them.
    if (runner_->isRunning()) {
        runner_->cancel();
    }
    list_->setRows({});
    setListingShown(true);
    status_->setText(toQString(listingStatusText(folder)));
    selectionRest_->start();
}

void LocalPage::onSelectionRested() {
    const std::string folder = selectedFolder();
    if (!folder.empty()) {
        context_.platform().setProfileBytes(kLastFolderKey, folder);
    }
    listFolder(folder);
}

void LocalPage::onRefresh() {
    if (!tree_->selectedItems().isEmpty()) {
        listFolder(selectedFolder());
    }
}

void LocalPage::showEvent(QShowEvent* event) {
    Page::showEvent(event);
    if (!shownBefore_) {
        shownBefore_ = true;
        restoreLastFolder();
    }
}

void LocalPage::restoreLastFolder() {
    const std::optional<std::string> folder = context_.platform().profileBytes(kLastFolderKey);
    std::error_code error;
    if (folder && !folder->empty() && std::filesystem::is_directory(*folder, error)) {
        (void)tree_->selectFolder(*folder);
    }
}

bool LocalPage::includeSubfolders() const {
    return subdirectory_->isChecked();
}

void LocalPage::onSubdirectoryClicked() {
    onRefresh();
}

void LocalPage::onRowSelectionChanged() {
    summary_->hide();
    moreTag_->setEnabled(false);
    if (list_->selectedRows().size() > 1) {
        // Several rows: the clear button goes back to the batch, which then asks about them.
        setClearTarget(ClearTarget::Folder);
        clearTag_->setEnabled(clearAllAllowed_);
        return;
    }
    const std::optional<int> row = list_->selectedRow();
    if (!row) {
        return;
    }
    const LocalRow& cells = list_->rows().at(static_cast<size_t>(*row));
    if (!isTaggableName(cells[kLocalFileName])) {
        return;
    }
    const std::string path = localRowPath(cells);
    if (const auto text = tagSummaryText(path, readId3Summary(path))) {
        summary_->setPlainText(toQString(*text));
        summary_->show();
    }
    moreTag_->setEnabled(true);
    setClearTarget(ClearTarget::OneFile);
    clearTag_->setEnabled(true);
}

void LocalPage::onFilter() {
    const std::string keyword = toStdString(keyword_->text());
    if (const auto status =
            filterLocalList(context_.platform(), *list_, files_, keyword,
                            context_.settings().maxResults, accentRuleOf(context_.settings()))) {
        filtered_ = true;
        filterKeyword_ = keyword;
        status_->setText(toQString(*status));
    }
}

void LocalPage::onPlay() {
    const std::string path = selectedRowPath();
    if (path.empty()) {
        return;
    }
    const PlayResult result = playMediaFile(context_.platform(), path);
    if (const auto message = playFailureMessage(result, path, NoApplicationText::WithFullStop)) {
        context_.platform().tell(*message);
    }
}

void LocalPage::onMenu(QPoint globalPos) {
    const std::optional<int> row = list_->selectedRow();
    if (!row) {
        context_.platform().tell(noItemInListMessage());
        return;
    }
    auto* menu = new PopupMenuWindow(this);
    menu->setColours(infoPopupColours(palette()));
    menu->loadMenuResources(true);
    menu->addMenuItem(0, QStringLiteral("&Copy Filename to Clipboard"), MenuCommand::CopyName,
                      kCopyIcon);
    menu->addMenuItem(0, QStringLiteral("&Play Song"), MenuCommand::Play);
    menu->addMenuItem(kPopupSeparator);
    menu->addMenuItem(0, QStringLiteral("Search &History"), MenuCommand::History, kPageIcon);
    menu->addMenuItem(0, QStringLiteral("&Songs"), MenuCommand::Songs, kPageIcon);
    menu->addMenuItem(kPopupSeparator);
    menu->addMenuItem(undo_->isEnabled() ? 0 : kPopupNotSelectable | kPopupGrey,
                      QStringLiteral("&Undo Last Tag Change"), MenuCommand::Undo);
    const std::optional<MenuCommand> command = menu->showMenuFor<MenuCommand>(globalPos);
    menu->deleteLater();
    if (!command) {
        return;
    }
    switch (*command) {
        case MenuCommand::CopyName:
            context_.platform().setClipboardText(
                list_->rows().at(static_cast<size_t>(*row))[kLocalFileName]);
            break;
        case MenuCommand::Play:
            onPlay();
            break;
        case MenuCommand::History:
            context_.showPage(PageId::History);
            break;
        case MenuCommand::Songs:
            context_.showPage(PageId::Songs);
            break;
        case MenuCommand::Undo:
            onUndo();
            break;
    }
}

void LocalPage::onMoreTag() {
    const std::string path = selectedRowPath();
    if (path.empty()) {
        context_.platform().tell(noRowSelectedMessage());
        return;
    }
    auto* dialog =
        new TagInfoDialog(context_.platform(), context_.workspace().journal(), path, this);
    dialog->setPreview(context_.settings().previewTagChanges);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, &LocalPage::refreshAfterTagChange);
    dialog->open();
}

void LocalPage::onClearTag() {
    if (clearTarget_ == ClearTarget::Folder) {
        clearAllTag();
    } else {
        clearThisTag();
    }
}

void LocalPage::setClearTarget(ClearTarget target) {
    clearTarget_ = target;
    switch (target) {
        case ClearTarget::None:
            clearTag_->setText(QStringLiteral("&Clear Tag"));
            break;
        case ClearTarget::OneFile:
            clearTag_->setText(QStringLiteral("Clear This Tag"));
            break;
        case ClearTarget::Folder:
            clearTag_->setText(QStringLiteral("Clear All Tag"));
            break;
    }
}

void LocalPage::clearThisTag() {
    const std::string path = selectedRowPath();
    if (path.empty()) {
        context_.platform().tell(noRowSelectedMessage());
        return;
    }
    if (clearOneFile(context_, this, selectedFolder(), path)) {
        refreshAfterTagChange();
    }
}

void LocalPage::clearAllTag() {
    // "My Computer" has no path; an empty folder must never stand for "/".
    const std::string folder = selectedFolder();
    if (const auto refusal = checkClearAll(!folder.empty(), listedCount_)) {
        context_.platform().tell(*refusal);
        return;
    }
    std::optional<ScopeChoice> choice = chooseScope(BatchTool::ClearAll);
    if (choice && clearChosenFiles(context_, this, folder, std::move(*choice), progress_)) {
        refreshAfterTagChange();
    }
}

std::optional<ScopeChoice> LocalPage::chooseScope(BatchTool tool) {
    return chooseBatchScope(context_.platform(), tool, *list_, filtered_ ? &files_ : nullptr,
                            {selectedFolder(), includeSubfolders(), {}});
}

void LocalPage::onUndo() {
    UndoReport report;
    {
        const WaitCursor wait;
        report = context_.workspace().journal().undoLast();
        (void)context_.followRenamedFiles(report.renamesUndone, true);
    }
    context_.platform().tell(undoResultMessage(report));
    refreshAfterTagChange();
}

void LocalPage::refreshAfterTagChange() {
    const std::string folder = selectedFolder();
    if (!folder.empty() && !tree_->selectedItems().isEmpty()) {
        LocalListView view = captureListView(*list_, filterKeyword_);
        listFolder(folder);
        keptView_ = std::move(view);
    }
    updateUndoButton();
}

void LocalPage::updateUndoButton() {
    undo_->setEnabled(context_.workspace().journal().undoableBatches() > 0);
}

}  // namespace tunex
