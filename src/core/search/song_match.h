#pragma once

#include "core/common/folded_contains.h"
#include "core/common/search_fold.h"
#include "core/store/song_index.h"
#include "core/store/song_record.h"

#include <array>
#include <string>
#include <string_view>

namespace tunex {

// The search sensitivity setting, with the digits the settings file stores; a value outside
// the three matches nothing.
enum class Sensitivity { Low = 1, Medium = 2, High = 3 };

// The two terms of one search, folded once.
class SearchTerms final {
public:
    SearchTerms(std::string_view title, std::string_view artist,
                AccentRule accents = AccentRule::Fold);

    [[nodiscard]] const std::string& title() const { return title_; }
    [[nodiscard]] const std::string& artist() const { return artist_; }

    // The matching rule of `sensitivity` on fields that are already folded by the terms' rule (or
    // pure ASCII, whose case the comparison folds).
    [[nodiscard]] bool matches(const LoweredFields& fields, Sensitivity sensitivity) const;

    // The same rule on a record as read from a file. Only the fields the rule reads are looked at;
    // ASCII fields are compared as they are, others are folded into `scratch` first.
    [[nodiscard]] bool matchesUnlowered(const SongRecordView& record, Sensitivity sensitivity,
                                        std::array<std::string, 3>& scratch) const;

private:
    std::string title_;
    std::string artist_;
    AccentRule accents_;
};

// The whole rule on raw terms and a raw record: folds everything, then matches.
[[nodiscard]] bool songMatches(std::string_view title, std::string_view artist,
                               const SongRecordView& record, Sensitivity sensitivity,
                               AccentRule accents = AccentRule::Fold);

}  // namespace tunex
