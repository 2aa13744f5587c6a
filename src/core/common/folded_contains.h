#pragma once

#include "core/common/search_fold.h"

#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// Whether `lowerTerm` occurs in `text` with the ASCII letters of `text` folded to lower case. Equal
// to a search in the folded text when `text` is ASCII or already folded.
[[nodiscard]] bool containsFolded(std::string_view text, std::string_view lowerTerm);

// Whether text folded by a rule holds every one of some folded terms, as a search reads it: the
// same as containsFolded on foldBesidesAscii(text) for each term, but for ASCII terms only the
// text around characters whose fold can give the terms' bytes is folded, so that text in other
// scripts costs about as much as ASCII text. The terms must outlive the finder.
class FoldedTermFinder final {
public:
    FoldedTermFinder(std::vector<std::string_view> foldedTerms, AccentRule rule);

    [[nodiscard]] bool holdsAll(std::string_view text);

private:
    [[nodiscard]] bool foldedHolds(std::string_view text, std::size_t term);

    std::vector<std::string_view> terms_;  // the first 64 count
    AccentRule rule_;
    std::vector<AsciiMakerScan> makers_;  // for each term, empty unless every term is ASCII
    std::string scratch_;
};

}  // namespace tunex
