#pragma once

#include "core/search/catalogue_search.h"

#include <optional>
#include <string>

namespace tunex {

// The title and artist the History page's Search Again leaves for the Songs page.
struct PendingSearch {
    std::string title;
    std::string artist;
};

// The hand-overs between the search pages; each page picks up its part when it becomes active.
struct SearchState {
    // Left by the Songs page after a search; the History page appends it as a row.
    std::optional<SearchSummary> lastSearch;
    // Left by Search Again or a double-click on the History page; the Songs page searches it.
    std::optional<PendingSearch> pendingSearch;
    // Set by the Setting page when the shown columns change. The lists are built from the
    // settings when their pages are made, so nothing is pending at start.
    bool songsColumnsChanged = false;
    bool filesColumnsChanged = false;
};

}  // namespace tunex
