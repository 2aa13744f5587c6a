#pragma once

#include "core/common/folded_contains.h"
#include "core/common/user_message.h"
#include "core/store/song_index.h"
#include "core/store/song_record.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// What the Files page's range edits hold when it opens. A range end left like this is open, so
// that a search by type or keyword alone also finds undated files and files over 1000000 KB.
inline constexpr std::string_view kDateFromInitial = "1900-01-01";
inline constexpr std::string_view kDateToInitial;
inline constexpr std::string_view kSizeFromInitial = "0.0";
inline constexpr std::string_view kSizeToInitial = "1000000.0";

// A Files search as typed; an empty text asks for nothing.
struct FilesQuery {
    std::string types{};  // one or several, separated by commas
    std::string keyword{};
    std::string dateFrom{};  // YYYY-MM-DD
    std::string dateTo{};
    std::string sizeFrom{};  // KB
    std::string sizeTo{};
    std::optional<int> collection{};  // only the records of this collection
};

// The page's query with every range end that still holds its initial text left open.
[[nodiscard]] FilesQuery withInitialBoundsOpen(FilesQuery query);

// A checked query. Dates are year * 10000 + month * 100 + day; sizes are KB.
struct FilesCriteria {
    std::vector<std::string> types;  // case-folded, without a leading "*." or "."
    std::string keyword;             // folded by `accents`
    AccentRule accents = AccentRule::Fold;
    std::optional<int> dateFrom;
    std::optional<int> dateTo;
    std::optional<double> sizeFrom;
    std::optional<double> sizeTo;
    std::optional<int> collection;

    // Whether the text of a record line (or of several) may hold a match. Holds for every text
    // holding one; `finder` is this criteria's keywordFinder().
    [[nodiscard]] FoldedTermFinder keywordFinder() const;
    [[nodiscard]] bool mayMatch(std::string_view text, FoldedTermFinder& finder) const;
    // The whole rule on a record as read from a file; `scratch` is reused for non-ASCII fields.
    [[nodiscard]] bool matches(const SongRecordView& record, std::string& scratch) const;
    // The rule in two halves, for in-memory records whose keyword fields are folded already:
    // the keyword first, as it is the cheap one there.
    [[nodiscard]] bool keywordIn(const LoweredFields& lowered) const;
    [[nodiscard]] bool matchesBesidesKeyword(const SongRecordView& record,
                                             std::string& scratch) const;
};

struct FilesQueryCheck {
    FilesCriteria criteria;
    std::optional<UserMessage> refusal;  // set when the query cannot be searched
};

// Checks in the order of the page's fields; the refusal names the field.
[[nodiscard]] FilesQueryCheck checkFilesQuery(const FilesQuery& query,
                                              AccentRule accents = AccentRule::Fold);

// "2003-11-16" as year * 10000 + month * 100 + day; nothing unless a real calendar day with a
// four-digit year.
[[nodiscard]] std::optional<int> parseDayText(std::string_view text);
// A size in KB: a decimal number, not negative; nothing for anything else.
[[nodiscard]] std::optional<double> parseKilobytes(std::string_view text);

// A record's Create Date and File Size as the collection file stores them; nothing when the
// field is empty or damaged.
[[nodiscard]] std::optional<int> recordDay(std::string_view dateText);
[[nodiscard]] std::optional<double> recordKilobytes(std::string_view sizeText);

}  // namespace tunex
