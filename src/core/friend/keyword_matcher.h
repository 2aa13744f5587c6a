#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tunex {

// Case-insensitive substring test of many texts against one lower-cased keyword. ASCII texts are
// searched in place, with ASCII letters folded (Horspool's skip over folded bytes). Texts with
// other bytes are lower-cased in full first, since characters such as the Kelvin sign lower-case
// to ASCII letters.
class KeywordMatcher final {
public:
    explicit KeywordMatcher(std::string loweredKeyword);

    [[nodiscard]] bool matches(std::string_view text);

private:
    [[nodiscard]] bool matchesAscii(std::string_view text);

    std::string keyword_;
    bool asciiKeyword_ = true;
    std::array<std::size_t, 256> skip_{};
    std::string buffer_;
};

}  // namespace tunex
