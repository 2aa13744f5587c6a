#include "gui/widgets/result_list.h"

#include "gui/widgets/list_colours.h"
#include "gui/widgets/result_list_model.h"
#include "platform/qt/qt_text.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>

#include <algorithm>

namespace tunex {

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
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);
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
    }
    applyWidths();
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
    if (!sameColumns) {
        applyWidths();
    }
}

void ResultList::clearRows() {
    model_->clearRows();
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
}

void ResultList::onHeaderClicked(int column) {
    const bool ascending = headerSort_.click(column);
    model_->sortRows(column, ascending);
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

void ResultList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) {
        Q_EMIT rowDoubleClicked();
    }
}

}  // namespace tunex
