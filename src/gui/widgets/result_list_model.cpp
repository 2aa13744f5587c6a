#include "gui/widgets/result_list_model.h"

#include "platform/qt/qt_text.h"

namespace tunex {

void ResultListModel::setTable(ResultTable table) {
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
}

void ResultListModel::setColumns(std::vector<ResultColumn> columns) {
    setTable(ResultTable{std::move(columns), {}});
}

void ResultListModel::clearRows() {
    if (table_.rows.empty()) {
        return;
    }
    beginResetModel();
    table_.rows.clear();
    endResetModel();
}

void ResultListModel::appendRecord(const SongRecordView& record,
                                   std::span<const std::string> collectionNames) {
    appendRow(makeResultRow(table_.columns, record, collectionNames));
}

void ResultListModel::appendRow(ResultRow row) {
    const int at = rowCount();
    beginInsertRows({}, at, at);
    table_.rows.push_back(std::move(row));
    endInsertRows();
}

void ResultListModel::sortRows(int column, bool ascending) {
    sortRowsInPlace(table_.rows, column, ascending);
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.rows.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.columns.size());
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        const ResultRow& row = table_.rows[static_cast<size_t>(index.row())];
        const auto column = static_cast<size_t>(index.column());
        return column < row.size() ? toQString(row[column]) : QString();
    }
    if (role == Qt::TextAlignmentRole &&
        table_.columns[static_cast<size_t>(index.column())] == ResultColumn::FileSize) {
        // The size text is padded for sorting; in a proportional font only the alignment lines
        // the numbers up.
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    return toQString(columnCaption(table_.columns[static_cast<size_t>(section)]));
}

}  // namespace tunex
