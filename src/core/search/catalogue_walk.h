#pragma once

#include "core/search/catalogue_search.h"

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// Rows up to the limit, every match counted, and the matched records kept in `found` (when given)
// until there are too many of them.
class MatchSink final {
public:
    MatchSink(ResultTable& table, const std::vector<std::string>& names, std::size_t limit,
              SearchMatches* found)
        : table_(table), names_(names), limit_(limit), found_(found) {}

    void addMemory(const SongRecordView& record, std::size_t position);
    void addDisk(const SongRecordView& record);
    [[nodiscard]] bool full() const { return table_.rows.size() >= limit_; }

private:
    void add(const SongRecordView& record);

    ResultTable& table_;
    const std::vector<std::string>& names_;
    std::size_t limit_;
    SearchMatches* found_;
};

// The walk of searchCatalogue with `rowLimit` rows; with `stopAtLimit` it ends once they are
// there, leaving the count short. A walk that counts everything reads the on-disk collections on
// several threads at once where the catalogue is large enough to share out.
[[nodiscard]] bool walkCatalogue(const Catalogue& catalogue, ResultTable& table,
                                 const SearchSettings& settings, std::string_view title,
                                 std::string_view artist, CatalogueWalk walk,
                                 const std::stop_token& stop, SearchMatches* found,
                                 std::size_t rowLimit, bool stopAtLimit);

}  // namespace tunex
