#pragma once

#include "core/store/song_index.h"
#include "core/store/song_record.h"

#include <array>
#include <string>
#include <string_view>

namespace tunex {

// The search sensitivity setting, with the digits the settings file stores; a value outside
// the three matches nothing.
enum class Sensitivity { Low = 1, Medium = 2, High = 3 };

// The two terms of one search, lower-cased once.
class SearchTerms final {
public:
    SearchTerms(std::string_view title, std::string_view artist);

    [[nodiscard]] const std::string& title() const { return title_; }
    [[nodiscard]] const std::string& artist() const { return artist_; }

    // The matching rule of `sensitivity` on fields that are already lower-cased (or pure ASCII,
    // whose case the comparison folds).
    [[nodiscard]] bool matches(const LoweredFields& fields, Sensitivity sensitivity) const;

    // The same rule on a record as read from a file. Only the fields the rule reads are looked at;
    // ASCII fields are compared as they are, others are lower-cased into `scratch` first.
    [[nodiscard]] bool matchesUnlowered(const SongRecordView& record, Sensitivity sensitivity,
                                        std::array<std::string, 3>& scratch) const;

private:
    std::string title_;
    std::string artist_;
};

[[nodiscard]] bool isAsciiText(std::string_view text);

// Whether `lowerTerm` occurs in `text` with the ASCII letters of `text` folded to lower case. Equal
// to a search in toLowerUtf8(text) when `text` is ASCII or already lower-cased.
[[nodiscard]] bool containsFolded(std::string_view text, std::string_view lowerTerm);

// Lower-cases like toLowerUtf8 into `out`, reusing its storage: ASCII without ICU, ICU only for
// text holding other bytes. Returns a view of `out`.
std::string_view lowerInto(std::string_view text, std::string& out);

// The whole rule on raw terms and a raw record: lower-cases everything, then matches.
[[nodiscard]] bool songMatches(std::string_view title, std::string_view artist,
                               const SongRecordView& record, Sensitivity sensitivity);

}  // namespace tunex
