#pragma once

#include "gui/widgets/reorderable_model.h"

#include "core/search/result_table.h"
#include "core/tags/local_listing.h"

#include <QAbstractTableModel>
#include <QTreeView>

#include <optional>
#include <vector>

namespace tunex {

// The Local page's rows as a Qt model; texts stay UTF-8 as the core made them.
class LocalFileModel final : public ReorderableModel {
    Q_OBJECT
public:
    using ReorderableModel::ReorderableModel;

    [[nodiscard]] const std::vector<LocalRow>& rows() const { return rows_; }
    void setRows(std::vector<LocalRow> rows);
    // The list's quicksort; selection and focus move with their rows.
    void sortRows(int column, bool ascending);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    std::vector<LocalRow> rows_;
};

// The four-column list of media files under the chosen folder, sorted by a header click.
class LocalFileList final : public QTreeView {
    Q_OBJECT
public:
    explicit LocalFileList(QWidget* parent = nullptr);

    [[nodiscard]] const std::vector<LocalRow>& rows() const { return model_->rows(); }
    [[nodiscard]] int rowCount() const { return static_cast<int>(rows().size()); }
    void setRows(std::vector<LocalRow> rows);

    [[nodiscard]] HeaderSortState& headerSortState() { return headerSort_; }
    // The row the one-file tools act on: the focused row when it is selected, else the first
    // selected one.
    [[nodiscard]] std::optional<int> selectedRow() const;
    // Every selected row, in list order.
    [[nodiscard]] std::vector<int> selectedRows() const;
    void selectRow(int row);
    // Selects these rows, the first of them current; none clears the selection.
    void selectRows(const std::vector<int>& rows);
    // The rows in the order of the last header click again, after new rows came in.
    void sortAsLastClicked();
    // Room for the header and a few rows, so a crowded page never squeezes the list to one.
    [[nodiscard]] QSize minimumSizeHint() const override;

Q_SIGNALS:
    void menuRequested(QPoint globalPos);
    void rowDoubleClicked();
    void selectedRowChanged();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void onHeaderClicked(int column);

    LocalFileModel* model_;
    HeaderSortState headerSort_;
};

}  // namespace tunex
