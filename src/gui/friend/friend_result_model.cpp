#include "gui/friend/friend_result_model.h"

#include "core/friend/friend_sort.h"
#include "platform/qt/qt_text.h"

#include <QColor>

namespace tunex {

namespace {
const QColor kTextColour(0, 0, 132);
}

void FriendResultModel::setResults(FriendResults results) {
    beginResetModel();
    results_ = std::move(results);
    endResetModel();
}

void FriendResultModel::sortByColumn(int column, bool ascending) {
    const std::vector<std::uint32_t> order = friendSortOrder(results_, column, ascending);
    beginReorder();
    std::vector<int> newRowOf(order.size());
    std::vector<FriendRow> sorted;
    sorted.reserve(order.size());
    for (size_t place = 0; place < order.size(); ++place) {
        newRowOf[order[place]] = static_cast<int>(place);
        sorted.push_back(std::move(results_.rows[order[place]]));
    }
    results_.rows = std::move(sorted);
    endReorder(newRowOf);
}

QString FriendResultModel::cellText(int row, int column) const {
    return toQString(results_.cell(static_cast<size_t>(row), column));
}

int FriendResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(results_.rows.size());
}

int FriendResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFriendColumnCount;
}

QVariant FriendResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return cellText(index.row(), index.column());
        case Qt::ForegroundRole:
            return kTextColour;
        default:
            return {};
    }
}

QVariant FriendResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kFriendColumnCount) {
        return {};
    }
    return toQString(kFriendColumns[static_cast<size_t>(section)].caption);
}

}  // namespace tunex
