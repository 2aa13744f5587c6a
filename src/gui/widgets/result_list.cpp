#include "gui/widgets/result_list.h"

#include "gui/widgets/list_colours.h"
#include "gui/widgets/result_list_model.h"
#include "platform/qt/qt_text.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

namespace tunex {

namespace {

// Paths differ at their ends more than at their starts: they are cut in the middle.
class MiddleElidingDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

}  // namespace

ResultList::ResultList(QWidget* parent) : QTreeView(parent), model_(new ResultListModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // keeps 3000 rows quick to lay out
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(true);  // a wide window widens the last column
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);  // shown once the rows are sorted
    useInfoListColours(*this, QColor(0x00, 0x00, 0x84));
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { Q_EMIT menuRequested(viewport()->mapToGlobal(pos)); });
    connect(header(), &QHeaderView::sectionClicked, this, &ResultList::onHeaderClicked);
}

const ResultTable& ResultList::table() const {
    return model_->table();
}

void ResultList::buildColumns(bool rebuild, const std::array<int, 6>& showColumns) {
    if (rebuild) {
        model_->setColumns(shownColumns(showColumns));
        showSortArrow(-1, true);
        elidePathsInTheMiddle();
    }
    applyWidths();
}

void ResultList::elidePathsInTheMiddle() {
    for (int column = 0; column < model_->columnCount(); ++column) {
        setItemDelegateForColumn(column, nullptr);
    }
    const auto& columns = model_->table().columns;
    const auto path = std::find(columns.begin(), columns.end(), ResultColumn::Path);
    if (path != columns.end()) {
        if (pathDelegate_ == nullptr) {
            pathDelegate_ = new MiddleElidingDelegate(this);
        }
        setItemDelegateForColumn(static_cast<int>(path - columns.begin()), pathDelegate_);
    }
}

void ResultList::setMaximised(bool maximised) {
    maximised_ = maximised;
    applyWidths();
}

void ResultList::applyWidths() {
    const auto& columns = model_->table().columns;
    for (size_t i = 0; i < columns.size(); ++i) {
        // Never narrower than the caption: the widths were chosen for a smaller font than
        // today's desktops use.
        const int captionWidth =
            header()->fontMetrics().horizontalAdvance(toQString(columnCaption(columns[i]))) +
            2 * header()->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header()) + 4;
        header()->resizeSection(static_cast<int>(i),
                                std::max(tunex::columnWidth(columns[i], maximised_), captionWidth));
    }
}

void ResultList::setTable(ResultTable table) {
    const bool sameColumns = table.columns == model_->table().columns;
    model_->setTable(std::move(table));
    showSortArrow(-1, true);  // new rows come in the order they were found
    if (!sameColumns) {
        elidePathsInTheMiddle();
        applyWidths();
    }
}

void ResultList::clearRows() {
    model_->clearRows();
    showSortArrow(-1, true);
}

void ResultList::appendRecord(const SongRecordView& record,
                              std::span<const std::string> collectionNames) {
    model_->appendRecord(record, collectionNames);
}

int ResultList::findColumnByCaption(std::string_view caption) const {
    return model_->table().findColumnByCaption(caption);
}

void ResultList::sortRows(int column, bool ascending) {
    model_->sortRows(column, ascending);
    showSortArrow(column, ascending);
}

void ResultList::onHeaderClicked(int column) {
    const bool ascending = headerSort_.click(column);
    model_->sortRows(column, ascending);
    showSortArrow(column, ascending);
}

void ResultList::showSortArrow(int column, bool ascending) {
    header()->setSortIndicatorShown(column >= 0);
    header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

std::optional<int> ResultList::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return rows.front().row();
}

void ResultList::selectRow(int row) {
    const QModelIndex index = model_->index(row, 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool ResultList::isEnterOnRow(const QKeyEvent& key) const {
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
           key.modifiers() == Qt::NoModifier && selectedRow().has_value();
}

bool ResultList::event(QEvent* event) {
    // Enter on a row plays it: the list claims the key before a page's Enter shortcut does.
    if (event->type() == QEvent::ShortcutOverride &&
        isEnterOnRow(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTreeView::event(event);
}

void ResultList::keyPressEvent(QKeyEvent* event) {
    if (isEnterOnRow(*event)) {
        Q_EMIT rowDoubleClicked();
        return;
    }
    QTreeView::keyPressEvent(event);
}

bool ResultList::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QTreeView::viewportEvent(event);
    }
    // Only a cell cut short gets a tool tip: the whole text.
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data(Qt::DisplayRole).toString();
    const int room = visualRect(index).width() -
                     2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) - 2;
    if (index.isValid() && viewport()->fontMetrics().horizontalAdvance(text) > room) {
        QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
    } else {
        QToolTip::hideText();
    }
    return true;
}

void ResultList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        Q_EMIT rowDoubleClicked();
    }
}

}  // namespace tunex
