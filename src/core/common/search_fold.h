#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunex {

// Whether a search tells "Björk" from "bjork". Folding is the default; the settings file keeps 1
// for exact accents.
enum class AccentRule { Fold = 0, Exact = 1 };

// Text as searches compare it: Unicode case folding ("ß" is "ss"), and with AccentRule::Fold the
// marks that combine with a letter dropped after canonical decomposition ("é" is "e", "İ" is "i";
// "ø" stays, having none). Each code point folds on its own, so a text that holds a term still
// holds it after folding. Bytes that are not UTF-8 are kept as they are.
//
// Folds into `out`, reusing its storage, and returns a view of it: once `out` has grown to the
// longest text, folding allocates nothing. ASCII takes a fast path; other text a table lookup
// for each code point.
std::string_view foldInto(std::string_view text, AccentRule rule, std::string& out);
[[nodiscard]] std::string foldForSearch(std::string_view text, AccentRule rule);

[[nodiscard]] bool isAsciiText(std::string_view text);

// The fold of one code point worked out by ICU itself: what the table holds, for checking it.
[[nodiscard]] std::u32string icuFoldOf(char32_t codePoint, AccentRule rule);

}  // namespace tunex
