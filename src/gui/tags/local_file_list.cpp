#include "gui/tags/local_file_list.h"

#include "gui/widgets/list_colours.h"
#include "platform/qt/qt_text.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace tunex {

namespace {

constexpr int kFewestRowsShown = 3;

}  // namespace

void LocalFileModel::setRows(std::vector<LocalRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void LocalFileModel::sortRows(int column, bool ascending) {
    sortRowsInPlace(rows_, column, ascending);
}

int LocalFileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LocalFileModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kLocalColumnCaptions.size());
}

QVariant LocalFileModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columnCount()) {
        return {};
    }
    const LocalRow& row = rows_[static_cast<size_t>(index.row())];
    const auto column = static_cast<size_t>(index.column());
    if (column >= row.size()) {
        return QString();
    }
    // Names and folders are file-system bytes; the file-name codec keeps invalid UTF-8 readable.
    if (column == kLocalFileName || column == kLocalPath) {
        return pathToQString(row[column]);
    }
    return toQString(row[column]);
}

QVariant LocalFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    return toQString(kLocalColumnCaptions[static_cast<size_t>(section)]);
}

LocalFileList::LocalFileList(QWidget* parent)
    : QTreeView(parent), model_(new LocalFileModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    header()->setStretchLastSection(true);  // a wide window widens the last column
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);
    for (size_t i = 0; i < kLocalColumnWidths.size(); ++i) {
        header()->resizeSection(static_cast<int>(i), kLocalColumnWidths[i]);
    }
    useInfoListColours(*this, QColor(0x00, 0x00, 0x84));
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { Q_EMIT menuRequested(viewport()->mapToGlobal(pos)); });
    connect(header(), &QHeaderView::sectionClicked, this, &LocalFileList::onHeaderClicked);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LocalFileList::selectedRowChanged);
}

void LocalFileList::setRows(std::vector<LocalRow> rows) {
    model_->setRows(std::move(rows));
}

void LocalFileList::onHeaderClicked(int column) {
    const bool ascending = headerSort_.click(column);
    model_->sortRows(column, ascending);
}

std::optional<int> LocalFileList::selectedRow() const {
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row())) {
        return current.row();
    }
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? std::nullopt : std::optional<int>(rows.front());
}

std::vector<int> LocalFileList::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void LocalFileList::selectRow(int row) {
    selectionModel()->setCurrentIndex(
        model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void LocalFileList::selectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    for (const int row : rows) {
        selection.select(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty()) {
        selectionModel()->setCurrentIndex(model_->index(rows.front(), 0),
                                          QItemSelectionModel::NoUpdate);
    }
}

void LocalFileList::sortAsLastClicked() {
    if (headerSort_.lastSortColumn >= 0) {
        model_->sortRows(headerSort_.lastSortColumn, headerSort_.ascending);
    }
}

QSize LocalFileList::minimumSizeHint() const {
    const int rowHeight = qMax(sizeHintForRow(0), fontMetrics().height() + 2);
    const int height = header()->sizeHint().height() + kFewestRowsShown * rowHeight +
                       horizontalScrollBar()->sizeHint().height() + 2 * frameWidth();
    return QTreeView::minimumSizeHint().expandedTo(QSize(0, height));
}

void LocalFileList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        Q_EMIT rowDoubleClicked();
    }
}

}  // namespace tunex
