#pragma once

#include "gui/widgets/reorderable_model.h"

#include "core/search/result_table.h"

#include <QAbstractTableModel>

namespace tunex {

// A ResultTable as a Qt model; the texts stay in the table (UTF-8 bytes, exactly as the core
// made them) and are converted only when a cell is shown.
class ResultListModel final : public ReorderableModel {
    Q_OBJECT
public:
    using ReorderableModel::ReorderableModel;

    [[nodiscard]] const ResultTable& table() const { return table_; }
    void setTable(ResultTable table);
    // New columns and no rows.
    void setColumns(std::vector<ResultColumn> columns);
    void clearRows();
    void appendRecord(const SongRecordView& record, std::span<const std::string> collectionNames);
    void appendRow(ResultRow row);
    // Sorts in place with the list's quicksort; selection and focus move with their rows.
    void sortRows(int column, bool ascending);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    ResultTable table_;
};

}  // namespace tunex
