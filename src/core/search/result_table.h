#pragma once

#include "core/store/song_record.h"

#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// The seven columns of a result list, in their fixed order. File Name is always shown; the other
// six follow the six `showColumns` flags.
enum class ResultColumn { FileName, FileType, DiscName, Path, FileSize, CreateDate, Id3Info };
inline constexpr int kResultColumnCount = 7;

[[nodiscard]] std::string_view columnCaption(ResultColumn column);
// Width in pixels in the normal and in the maximised window.
[[nodiscard]] int columnWidth(ResultColumn column, bool maximised);

// File Name, then every column whose flag is set, in table order.
[[nodiscard]] std::vector<ResultColumn> shownColumns(const std::array<int, 6>& showColumns);
[[nodiscard]] std::vector<std::string> columnCaptions(std::span<const ResultColumn> columns);

// A row holds only cell texts, one per shown column; every later use reads them back.
using ResultRow = std::vector<std::string>;

// The shown columns and rows of one list, independent of any widget.
struct ResultTable {
    std::vector<ResultColumn> columns;
    std::vector<ResultRow> rows;
    // How many records the search that filled the table matched, those past its row limit too.
    std::size_t matched = 0;

    [[nodiscard]] std::vector<std::string> captions() const { return columnCaptions(columns); }
    // Index of the shown column with exactly this caption, searching from column 1; -1 if none.
    [[nodiscard]] int findColumnByCaption(std::string_view caption) const;
    void appendRecord(const SongRecordView& record, std::span<const std::string> collectionNames);
};

// The cell texts of a record for the shown columns. A collection index outside the names gives an
// empty Disc Name.
[[nodiscard]] ResultRow makeResultRow(std::span<const ResultColumn> columns,
                                      const SongRecordView& record,
                                      std::span<const std::string> collectionNames);

[[nodiscard]] int findColumnByCaption(std::span<const ResultColumn> columns,
                                      std::string_view caption);

// The list column the search sorts by for the `sortColumn` setting (0-6): 0 is File Name, 1-6
// the shown column with that caption; -1 when that column is hidden (the order stays as found).
[[nodiscard]] int sortColumnIndex(std::span<const ResultColumn> columns, int sortColumnSetting);

// Case-insensitive text order of the sort: both texts lower-cased (ICU), then compared byte-wise.
[[nodiscard]] int compareCellsIgnoringCase(std::string_view a, std::string_view b);

// Called with the two row indexes each time the sort swaps whole rows, so a view can move its
// selection and focus with them.
using RowSwapObserver = std::function<void(std::size_t, std::size_t)>;

// The list's in-place quicksort of rows low..high (high = -1: the last row) by the text of
// `column`, ties by the other columns from the next one on (ascending, so File Name and Path
// settle equal sizes or types). Rows whose texts differ only in case are never swapped with
// each other.
void sortResultRows(std::vector<ResultRow>& rows, int column, bool ascending, int low = 0,
                    int high = -1, const RowSwapObserver& swapped = {});

// A list's header-click sort state: the same column again flips the direction, another column
// sorts ascending. The sort after a search does not touch it.
struct HeaderSortState {
    int lastSortColumn = -1;
    bool ascending = true;

    // Records the click and returns the direction to sort in.
    bool click(int column);
};

// A row that only says something in its first cell ("No match found." and the like), for a
// table of `columnCount` columns.
[[nodiscard]] ResultRow placeholderRow(std::size_t columnCount, std::string_view text);

}  // namespace tunex
