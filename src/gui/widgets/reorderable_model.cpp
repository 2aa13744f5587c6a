#include "gui/widgets/reorderable_model.h"

#include <numeric>

namespace tunex {

void ReorderableModel::beginReorder() {
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReorderableModel::endReorder(const std::vector<int>& newRowOf) {
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.push_back(this->index(newRowOf[static_cast<size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReorderableModel::sortRowsInPlace(std::vector<ResultRow>& rows, int column, bool ascending) {
    if (rows.size() < 2) {
        return;
    }
    beginReorder();
    // origin[i]: the row that now stands at position i.
    std::vector<int> origin(rows.size());
    std::iota(origin.begin(), origin.end(), 0);
    sortResultRows(rows, column, ascending, 0, -1,
                   [&origin](std::size_t a, std::size_t b) { std::swap(origin[a], origin[b]); });
    std::vector<int> newRowOf(origin.size());
    for (size_t i = 0; i < origin.size(); ++i) {
        newRowOf[static_cast<size_t>(origin[i])] = static_cast<int>(i);
    }
    endReorder(newRowOf);
}

}  // namespace tunex
