#include "core/search/result_table.h"

#include "core/common/text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tunex {

namespace {

struct ColumnInfo {
    std::string_view caption;
    int normalWidth;
    int maximisedWidth;
};

constexpr std::array<ColumnInfo, kResultColumnCount> kColumns = {{{"File Name", 230, 350},
                                                                  {"File Type", 70, 70},
                                                                  {"Disc Name", 90, 100},
                                                                  {"Path", 100, 250},
                                                                  {"File Size(KB)", 50, 100},
                                                                  {"Create Date", 90, 90},
                                                                  {"ID3 Tag Info", 120, 120}}};

const ColumnInfo& infoOf(ResultColumn column) {
    return kColumns[static_cast<int>(column)];
}

std::string_view cellOf(ResultColumn column, const SongRecordView& record,
                        std::span<const std::string> collectionNames) {
    switch (column) {
        case ResultColumn::FileName:
            return record.name;
        case ResultColumn::FileType:
            return record.type;
        case ResultColumn::DiscName:
            if (record.collectionIndex >= 0 &&
                static_cast<std::size_t>(record.collectionIndex) < collectionNames.size()) {
                return collectionNames[static_cast<std::size_t>(record.collectionIndex)];
            }
            return {};
        case ResultColumn::Path:
            return record.folder;
        case ResultColumn::FileSize:
            return record.sizeText;
        case ResultColumn::CreateDate:
            return record.dateText;
        case ResultColumn::Id3Info:
            return record.id3Info;
    }
    return {};
}

// The lower-cased text of the sort column, then of the others from the next one round to the
// one before it (ties of an ascending or descending sort always run ascending by the others, so
// equal names come in one order every time).
struct SortKey {
    std::string primary;
    std::string ties;

    [[nodiscard]] bool operator==(const SortKey&) const = default;
};

SortKey sortKeyOf(const ResultRow& row, std::size_t column) {
    SortKey key;
    key.primary = column < row.size() ? toLowerUtf8(row[column]) : std::string();
    for (std::size_t step = 1; step < row.size(); ++step) {
        // NUL sorts before every other byte, so a shorter cell still comes first.
        key.ties += toLowerUtf8(row[(column + step) % row.size()]);
        key.ties.push_back('\0');
    }
    return key;
}

// Rows low..high of one sort, with their keys moved along with the rows.
struct SortRun {
    std::vector<ResultRow>& rows;
    std::vector<SortKey>& keys;
    bool ascending;
    const RowSwapObserver& swapped;

    // Below zero when `key` sorts before the pivot in the chosen direction.
    [[nodiscard]] int order(const SortKey& key, const SortKey& pivot) const {
        const int compared = key.primary.compare(pivot.primary);
        if (compared != 0) {
            return ascending ? compared : -compared;
        }
        return key.ties.compare(pivot.ties);
    }

    void partition(int low, int high, std::vector<std::pair<int, int>>& pending) {
        const SortKey pivot = keys[static_cast<std::size_t>((low + high) / 2)];
        int i = low;
        int j = high;
        while (j >= i) {
            while (i < high && order(keys[static_cast<std::size_t>(i)], pivot) < 0) {
                ++i;
            }
            if (low < j) {
                while (order(keys[static_cast<std::size_t>(j)], pivot) > 0 && j > low) {
                    --j;
                }
            }
            if (j >= i) {
                const auto a = static_cast<std::size_t>(i);
                const auto b = static_cast<std::size_t>(j);
                // Equal keys stay put, so rows differing only in case keep their places.
                if (!(keys[a] == keys[b])) {
                    std::swap(rows[a], rows[b]);
                    std::swap(keys[a], keys[b]);
                    if (swapped) {
                        swapped(a, b);
                    }
                }
                ++i;
                --j;
            }
        }
        // The two ranges are disjoint, so the order they are sorted in does not matter; a stack
        // instead of recursion keeps deep partitions off the call stack.
        if (i < high) {
            pending.emplace_back(i, high);
        }
        if (low < j) {
            pending.emplace_back(low, j);
        }
    }
};

}  // namespace

std::string_view columnCaption(ResultColumn column) {
    return infoOf(column).caption;
}

int columnWidth(ResultColumn column, bool maximised) {
    return maximised ? infoOf(column).maximisedWidth : infoOf(column).normalWidth;
}

std::vector<ResultColumn> shownColumns(const std::array<int, 6>& showColumns) {
    std::vector<ResultColumn> columns{ResultColumn::FileName};
    for (int i = 0; i < 6; ++i) {
        if (showColumns[static_cast<std::size_t>(i)] != 0) {
            columns.push_back(static_cast<ResultColumn>(i + 1));
        }
    }
    return columns;
}

std::vector<std::string> columnCaptions(std::span<const ResultColumn> columns) {
    std::vector<std::string> captions;
    captions.reserve(columns.size());
    for (const ResultColumn column : columns) {
        captions.emplace_back(columnCaption(column));
    }
    return captions;
}

int findColumnByCaption(std::span<const ResultColumn> columns, std::string_view caption) {
    for (std::size_t i = 1; i < columns.size(); ++i) {
        if (columnCaption(columns[i]) == caption) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int ResultTable::findColumnByCaption(std::string_view caption) const {
    return tunex::findColumnByCaption(columns, caption);
}

ResultRow makeResultRow(std::span<const ResultColumn> columns, const SongRecordView& record,
                        std::span<const std::string> collectionNames) {
    ResultRow row;
    row.reserve(columns.size());
    for (const ResultColumn column : columns) {
        row.emplace_back(cellOf(column, record, collectionNames));
    }
    return row;
}

void ResultTable::appendRecord(const SongRecordView& record,
                               std::span<const std::string> collectionNames) {
    rows.push_back(makeResultRow(columns, record, collectionNames));
}

int sortColumnIndex(std::span<const ResultColumn> columns, int sortColumnSetting) {
    if (sortColumnSetting == 0) {
        return 0;
    }
    if (sortColumnSetting < 1 || sortColumnSetting >= kResultColumnCount) {
        return -1;
    }
    return findColumnByCaption(columns,
                               columnCaption(static_cast<ResultColumn>(sortColumnSetting)));
}

int compareCellsIgnoringCase(std::string_view a, std::string_view b) {
    const int compared = toLowerUtf8(a).compare(toLowerUtf8(b));
    return compared < 0 ? -1 : (compared > 0 ? 1 : 0);
}

void sortResultRows(std::vector<ResultRow>& rows, int column, bool ascending, int low, int high,
                    const RowSwapObserver& swapped) {
    if (rows.size() < 2 || column < 0 || static_cast<std::size_t>(column) >= rows.front().size()) {
        return;
    }
    const int last = static_cast<int>(rows.size()) - 1;
    if (high == -1) {
        high = last;
    }
    if (low < 0 || high > last || low >= high) {
        return;
    }
    // Each text is lower-cased once per sort, not once per comparison.
    std::vector<SortKey> keys(rows.size());
    for (int r = low; r <= high; ++r) {
        keys[static_cast<std::size_t>(r)] =
            sortKeyOf(rows[static_cast<std::size_t>(r)], static_cast<std::size_t>(column));
    }
    SortRun run{rows, keys, ascending, swapped};
    std::vector<std::pair<int, int>> pending{{low, high}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        run.partition(from, to, pending);
    }
}

bool HeaderSortState::click(int column) {
    ascending = column == lastSortColumn ? !ascending : true;
    lastSortColumn = column;
    return ascending;
}

ResultRow placeholderRow(std::size_t columnCount, std::string_view text) {
    ResultRow row(std::max<std::size_t>(columnCount, 1));
    row.front() = text;
    return row;
}

}  // namespace tunex
