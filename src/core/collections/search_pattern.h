#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tunex {

// What the user typed as a source path, completed to a search pattern. "*.*" at the end means
// every name; the walk below the first level always takes every name.
struct SearchPattern {
    std::string text;         // the completed pattern, as the messages show it
    std::string folder;       // absolute and normalised, no trailing "/"; empty for "/" itself
    std::string namePattern;  // the text after the last "/", usually "*.*"
};

// A text without "*.*" gets "*.*" when it ends in "/", else "/*.*". A relative path is taken
// against the current directory, as typed paths always were.
[[nodiscard]] SearchPattern completePattern(std::string_view pathText);

// The folder to open: "/" for the root.
[[nodiscard]] std::string openableFolder(const SearchPattern& pattern);

// Whether a directory search for the pattern finds anything: the folder opens and, for a name
// pattern other than "*.*", some entry matches it.
[[nodiscard]] bool patternFindsEntries(const SearchPattern& pattern);

// Why the pattern's folder, which is there, cannot be read (no permission, say); empty when it
// can be read or is not there at all.
[[nodiscard]] std::optional<std::string> folderReadFailure(const SearchPattern& pattern);

// Whether a name of the pattern's own folder is taken by the walk.
[[nodiscard]] bool nameMatchesPattern(const SearchPattern& pattern, const char* name);

}  // namespace tunex
