#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunex {

// Full Unicode lower-casing of UTF-8 text; bytes that are not valid UTF-8 are kept as they are.
[[nodiscard]] std::string toLowerUtf8(std::string_view text);

// A count as the user's locale writes it, digits grouped ("15,075", "15.075"); `locale` names
// another ICU locale than the default.
[[nodiscard]] std::string groupedNumber(std::uint64_t value, const char* locale = nullptr);

// Whether the bytes are well-formed UTF-8: no stray, overlong or surrogate sequences.
[[nodiscard]] bool isUtf8(std::string_view text);
// Latin-1 bytes as UTF-8 text, each byte the character of its value.
[[nodiscard]] std::string latin1ToUtf8(std::string_view latin1);

// Leading decimal integer as C's atoi reads it (blanks skipped, optional sign, digits up to the
// first other character, no digits gives 0), saturated at the limits of int instead of overflowing.
[[nodiscard]] int leadingInteger(std::string_view text);

// Whether `text` is one or more ASCII digits and nothing else.
[[nodiscard]] inline bool isAllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

[[nodiscard]] inline bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The text between the first occurrences of `open` and of `close`, both searched from the start of
// `text`; empty when a marker is missing or `close` stands before the end of `open`.
[[nodiscard]] std::string_view textBetween(std::string_view text, std::string_view open,
                                           std::string_view close);

}  // namespace tunex

namespace tunex {

// Walks the lines of a text held in memory: LF or CR LF ends a line; a last line without a line
// end is still a line.
class LineSplitter final {
public:
    explicit LineSplitter(std::string_view text) : rest_(text) {}
    [[nodiscard]] bool next(std::string_view& line) {
        if (rest_.empty()) {
            return false;
        }
        const size_t newline = rest_.find('\n');
        line = rest_.substr(0, newline);
        rest_ = newline == std::string_view::npos ? std::string_view() : rest_.substr(newline + 1);
        if (!line.empty() && line.back() == '\r' && newline != std::string_view::npos) {
            line.remove_suffix(1);
        }
        return true;
    }

private:
    std::string_view rest_;
};

}  // namespace tunex
