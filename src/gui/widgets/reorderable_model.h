#pragma once

#include "core/search/result_table.h"

#include <QAbstractTableModel>

#include <vector>

namespace tunex {

// A table model whose rows get reordered in place by a sort; selection and focus move with
// their rows.
class ReorderableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

protected:
    void beginReorder();
    // `newRowOf[old]` is where the row that stood at `old` stands now.
    void endReorder(const std::vector<int>& newRowOf);
    // The list's quicksort over `rows` (the model's own), told to the views.
    void sortRowsInPlace(std::vector<ResultRow>& rows, int column, bool ascending);
};

}  // namespace tunex
