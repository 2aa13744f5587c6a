#include "gui/search/history_page.h"

#include "core/search/search_history.h"
#include "gui/app/app_context.h"
#include "gui/widgets/list_colours.h"
#include "gui/widgets/popup_menu_window.h"
#include "platform/qt/qt_text.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tunex {

namespace {

constexpr int kCopyIcon = 3;
constexpr int kPageIcon = 1;

enum class MenuCommand { Copy = 1, SearchAgain };

QTreeWidgetItem* makeItem(const HistoryRow& row) {
    auto* item = new QTreeWidgetItem;
    for (int column = 0; column < kHistoryColumnCount; ++column) {
        item->setText(column, toQString(row[static_cast<size_t>(column)]));
    }
    return item;
}

}  // namespace

HistoryPage::HistoryPage(AppContext& context, QWidget* parent) : Page(parent), context_(context) {
    auto* group = new QGroupBox(QStringLiteral("Search History"), this);
    list_ = new QTreeWidget(group);
    list_->setColumnCount(kHistoryColumnCount);
    QStringList captions;
    for (int column = 0; column < kHistoryColumnCount; ++column) {
        captions << toQString(historyColumnCaption(column));
    }
    list_->setHeaderLabels(captions);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->header()->setStretchLastSection(true);  // a wide window widens the last column
    list_->header()->setSectionsClickable(false);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    useInfoListColours(*list_, QColor(0x26, 0x00, 0x84));
    list_->viewport()->installEventFilter(this);
    list_->installEventFilter(this);
    connect(list_, &QWidget::customContextMenuRequested, this, &HistoryPage::onMenu);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(list_);

    limit_ = new QLabel(toQString(kHistoryInitialLimitText), this);
    searchAgain_ = new QPushButton(QStringLiteral("&Search Again"), this);
    searchAgain_->setAutoDefault(false);
    searchAgain_->setEnabled(false);
    connect(searchAgain_, &QPushButton::clicked, this, &HistoryPage::onSearchAgain);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(limit_, 0, Qt::AlignBottom);
    bottom->addStretch(1);
    bottom->addWidget(searchAgain_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(bottom);
    applyWidths();

    // Every history line loads; the first activation trims to the limit.
    for (HistoryRow& row : context_.workspace().settingsFile().readHistoryRows()) {
        appendRow(std::move(row));
    }
    connect(&context_, &AppContext::searchRecorded, this, &HistoryPage::addSearch);
    connect(&context_, &AppContext::lastHistoryCellSet, this,
            [this](const std::string& text) { setLastHistoryCell(text); });
}

void HistoryPage::activate() {
    refresh();
}

void HistoryPage::addSearch(const SearchSummary& summary) {
    if (!summary.title.empty() || !summary.artist.empty()) {
        HistoryRow row = makeHistoryRow(summary);
        if (const int earlier = earlierRowOfSearch(rows_, row); earlier >= 0) {
            removeRow(earlier);
        }
        appendRow(std::move(row));
    }
    refresh();
}

void HistoryPage::refresh() {
    limit_->setText(toQString(historyLimitText(context_.settings().maxHistory)));
    trimToLimit();
    if (!rows_.empty()) {
        searchAgain_->setEnabled(true);
    }
}

void HistoryPage::setWindowMaximized(bool maximized) {
    Page::setWindowMaximized(maximized);
    applyWidths();
}

void HistoryPage::applyWidths() {
    for (int column = 0; column < kHistoryColumnCount; ++column) {
        list_->header()->resizeSection(column, historyColumnWidth(column, isWindowMaximized()));
    }
}

void HistoryPage::setLastHistoryCell(std::string_view text) {
    if (tunex::setLastHistoryCell(rows_, text)) {
        list_->topLevelItem(list_->topLevelItemCount() - 1)->setText(3, toQString(text));
    }
}

QString HistoryPage::limitText() const {
    return limit_->text();
}

void HistoryPage::appendRow(HistoryRow row) {
    list_->addTopLevelItem(makeItem(row));
    rows_.push_back(std::move(row));
}

void HistoryPage::removeRow(int row) {
    rows_.erase(rows_.begin() + row);
    delete list_->takeTopLevelItem(row);
}

void HistoryPage::trimToLimit() {
    const size_t before = rows_.size();
    trimHistory(rows_, context_.settings().maxHistory);
    for (size_t removed = rows_.size(); removed < before; ++removed) {
        delete list_->takeTopLevelItem(0);
    }
}

int HistoryPage::selectedRow() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
}

void HistoryPage::selectRow(int row) {
    list_->setCurrentItem(list_->topLevelItem(row));
}

void HistoryPage::onSearchAgain() {
    const int row = selectedRow();
    if (row < 0) {
        context_.platform().tell(searchAgainNoSelectionMessage());
        return;
    }
    searchRowAgain(row);
}

void HistoryPage::onDoubleClick() {
    const int row = selectedRow();
    if (row < 0) {
        context_.showPage(PageId::Songs);
        return;
    }
    searchRowAgain(row);
}

void HistoryPage::searchRowAgain(int row) {
    const HistoryRow chosen = rows_[static_cast<size_t>(row)];
    removeRow(row);
    context_.showPage(PageId::Songs);
    context_.searchAgain(chosen[0], chosen[1]);
}

void HistoryPage::onCopy() {
    // With no row selected there is nothing to copy, and nothing to say about it.
    const int row = selectedRow();
    if (row >= 0) {
        context_.platform().setClipboardText(historyCopyText(rows_[static_cast<size_t>(row)]));
    }
}

void HistoryPage::onMenu(QPoint pos) {
    // Every command is about a row, so empty space below the rows has no menu.
    QTreeWidgetItem* item = list_->itemAt(pos);
    if (item == nullptr) {
        return;
    }
    list_->setCurrentItem(item);
    PopupMenuWindow menu(list_);
    menu.setColours(infoPopupColours(list_->palette()));
    menu.loadMenuResources();
    menu.addMenuItem(0, QStringLiteral("&Copy to Clipboard"), MenuCommand::Copy, kCopyIcon);
    menu.addMenuItem(0, QStringLiteral("&Search Again"), MenuCommand::SearchAgain, kPageIcon);
    const auto command = menu.showMenuFor<MenuCommand>(list_->viewport()->mapToGlobal(pos));
    if (!command) {
        return;
    }
    switch (*command) {
        case MenuCommand::Copy:
            onCopy();
            break;
        case MenuCommand::SearchAgain:
            onSearchAgain();
            break;
    }
}

bool HistoryPage::eventFilter(QObject* watched, QEvent* event) {
    // The view's own Copy would take only the current cell, and past the desktop object.
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        onCopy();
        return true;
    }
    // The press before a double-click has already selected the row under the mouse.
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        onDoubleClick();
        return true;
    }
    return Page::eventFilter(watched, event);
}

}  // namespace tunex
