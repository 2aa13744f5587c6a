#pragma once

#include "core/common/search_fold.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tunex {

// Substring test of many texts against one keyword, both folded for searching. ASCII texts are
// searched with ASCII letters folded. Texts with other bytes are folded in full first, since
// characters such as "é" or the Kelvin sign fold to ASCII letters.
class KeywordMatcher final {
public:
    KeywordMatcher(std::string_view keyword, AccentRule accents);

    [[nodiscard]] bool matches(std::string_view text);

private:
    [[nodiscard]] bool matchesAscii(std::string_view text);

    AccentRule accents_;
    std::string keyword_;
    bool asciiKeyword_ = true;
    std::string buffer_;
};

}  // namespace tunex
