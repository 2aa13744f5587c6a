#pragma once

#include <optional>
#include <string>

namespace tunex {

// What the Songs page leaves for the History page after a search.
struct LastSearch {
    std::string title;
    std::string artist;
    int filesFound = 0;
    std::string firstCollection;
};

// The hand-overs between the search pages; each page picks up its part when it becomes active.
struct SearchState {
    std::optional<LastSearch> lastSearch;
    // Set by the History page's Search Again: the title and artist the Songs page searches next.
    std::optional<std::pair<std::string, std::string>> pendingSearch;
    // Set by the Setting page when the shown columns change.
    bool songsColumnsChanged = true;
    bool filesColumnsChanged = true;
};

}  // namespace tunex
