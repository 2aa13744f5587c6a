#pragma once

#include "core/common/user_message.h"
#include "core/search/catalogue_search.h"
#include "core/search/files_criteria.h"
#include "core/search/result_table.h"

#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

class Catalogue;
class StorePaths;

// One walk over the catalogue in the Songs search's order (memory in visit order, then the disk
// collections in index order), appending a row for every record the criteria match until `table`
// holds `maxRows` rows, and counting every match in `table.matched`. With a collection chosen only
// that collection is read: its memory records, or its own file under `paths`. False when a
// collection file cannot be opened; the rows found until then stay. A stop request ends the walk
// early (the caller then drops the rows).
[[nodiscard]] bool searchFiles(const Catalogue& catalogue, const StorePaths& paths,
                               const FilesCriteria& criteria, std::size_t maxRows,
                               ResultTable& table, const std::stop_token& stop = {});

// Search or Search by CD of the Files page: checks, walk, placeholder row, sort and status line,
// with the Songs search's row limit (`rowLimitOf`) and its limit notice. No summary: the
// history keeps song searches only.
[[nodiscard]] SearchOutcome runFilesSearch(const Catalogue& catalogue, const StorePaths& paths,
                                           const SearchSettings& settings,
                                           const std::vector<ResultColumn>& columns,
                                           const FilesQuery& query,
                                           const std::stop_token& stop = {});

// "12 songs found." or, for one collection, "12 songs found on CD <Pop>."; "1,000 of 15,075 songs
// shown." when the row limit cut the list.
[[nodiscard]] std::string filesStatusLine(std::size_t rows, std::size_t found,
                                          std::optional<std::string_view> cdName);

// The first collection of this name.
[[nodiscard]] std::optional<int> collectionIndexOf(const Catalogue& catalogue,
                                                   std::string_view name);
[[nodiscard]] UserMessage unknownCdMessage(std::string_view name);
// Search by CD with no collection chosen (an empty catalogue).
[[nodiscard]] UserMessage noCdChosenMessage();

}  // namespace tunex
