#include "gui/widgets/result_list_model.h"

#include "platform/qt/qt_text.h"

#include <numeric>

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
    if (table_.rows.size() < 2) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // origin[i]: the row that now stands at position i.
    std::vector<int> origin(table_.rows.size());
    std::iota(origin.begin(), origin.end(), 0);
    sortResultRows(table_.rows, column, ascending, 0, -1,
                   [&origin](std::size_t a, std::size_t b) { std::swap(origin[a], origin[b]); });
    std::vector<int> nowAt(origin.size());
    for (size_t i = 0; i < origin.size(); ++i) {
        nowAt[static_cast<size_t>(origin[i])] = static_cast<int>(i);
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.push_back(this->index(nowAt[static_cast<size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
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
