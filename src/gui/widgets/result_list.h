#pragma once

#include "core/search/result_table.h"

#include <QTreeView>

class QStyledItemDelegate;

#include <array>
#include <optional>

namespace tunex {

class ResultListModel;

// The seven-column list of found songs shared by the Songs and Files pages: shown columns from the
// settings, widths for the normal and the maximised window, and sorting by a header click.
class ResultList final : public QTreeView {
    Q_OBJECT
public:
    explicit ResultList(QWidget* parent = nullptr);

    // With `rebuild`, drops all rows and makes the columns again from `showColumns`; in any case
    // sets each column's width for the current window state.
    void buildColumns(bool rebuild, const std::array<int, 6>& showColumns);
    void setMaximised(bool maximised);
    [[nodiscard]] bool isMaximised() const { return maximised_; }

    [[nodiscard]] const ResultTable& table() const;
    [[nodiscard]] const std::vector<ResultColumn>& columns() const { return table().columns; }
    [[nodiscard]] int rowCount() const { return static_cast<int>(table().rows.size()); }
    // Replaces the rows; the table's columns must be the list's.
    void setTable(ResultTable table);
    void clearRows();
    void appendRecord(const SongRecordView& record, std::span<const std::string> collectionNames);
    [[nodiscard]] int findColumnByCaption(std::string_view caption) const;

    // Sorts as a header click does, without touching the header-click state.
    void sortRows(int column, bool ascending);
    [[nodiscard]] const HeaderSortState& headerSortState() const { return headerSort_; }

    // The selected row, if any.
    [[nodiscard]] std::optional<int> selectedRow() const;
    void selectRow(int row);

Q_SIGNALS:
    // A right click anywhere on the list, at this screen point.
    void menuRequested(QPoint globalPos);
    // A double click on a row, or Enter with a row selected.
    void rowDoubleClicked();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void onHeaderClicked(int column);
    void applyWidths();
    void showSortArrow(int column, bool ascending);
    void elidePathsInTheMiddle();
    [[nodiscard]] bool isEnterOnRow(const QKeyEvent& key) const;

    ResultListModel* model_;
    QStyledItemDelegate* pathDelegate_ = nullptr;
    HeaderSortState headerSort_;
    bool maximised_ = false;
};

}  // namespace tunex
