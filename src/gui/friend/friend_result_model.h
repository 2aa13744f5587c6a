#pragma once

#include "gui/widgets/reorderable_model.h"

#include "core/friend/friend_search.h"

#include <QAbstractTableModel>

namespace tunex {

// The Friend list's eight fixed columns over the rows of the last search. Cells are cut from the
// record lines only when the view asks for them, so a long list costs little to show.
class FriendResultModel final : public ReorderableModel {
    Q_OBJECT
public:
    explicit FriendResultModel(QObject* parent = nullptr) : ReorderableModel(parent) {}

    void setResults(FriendResults results);
    void clear() { setResults({}); }
    // Reorders the rows; selection and current row move with their rows.
    void sortByColumn(int column, bool ascending);

    [[nodiscard]] const FriendResults& results() const { return results_; }
    [[nodiscard]] QString cellText(int row, int column) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    FriendResults results_;
};

}  // namespace tunex
