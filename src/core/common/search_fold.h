#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// An ASCII capital as its small letter; every other byte as it is.
[[nodiscard]] constexpr unsigned char asciiLower(unsigned char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// `text` as containsFolded reads it: `text` itself when it is ASCII, else folded into `out` but
// for its ASCII letters, whose case containsFolded folds itself. Copies ASCII stretches whole.
std::string_view foldBesidesAscii(std::string_view text, AccentRule rule, std::string& out);

// Finds the characters through which folding can put one of a few ASCII bytes into text that does
// not hold them as it is: those whose fold by the rule holds one of them ("é" for "e"), or is
// nothing (a dropped mark joins what stands around it).
class AsciiMakerScan final {
public:
    AsciiMakerScan(std::string_view asciiBytes, AccentRule rule);

    // The first one at or after `from`, with its length in bytes; npos when there is none.
    [[nodiscard]] std::size_t next(std::string_view text, std::size_t from,
                                   std::size_t& length) const;
    // What the character at `at` of `text` folds to.
    [[nodiscard]] std::string_view foldAt(std::string_view text, std::size_t at) const;

private:
    [[nodiscard]] bool makesAt(const unsigned char* bytes, std::size_t at, std::size_t size,
                               std::size_t& length) const;
    std::size_t nextWide(std::string_view text, std::size_t& at, std::size_t& length) const;

    AccentRule rule_;
    std::vector<std::uint64_t> narrow_ = std::vector<std::uint64_t>(1024);  // the BMP, a bit each
    std::vector<char32_t> wide_;                                            // the rest, in order
    // The first bytes of their UTF-8 forms, and the same set as bits looked up by a byte's high
    // half and by its low half.
    std::array<bool, 256> leadBytes_{};
    std::array<std::uint8_t, 16> highHalves_{};
    std::array<std::uint8_t, 16> lowHalves_{};
};

[[nodiscard]] bool isAsciiText(std::string_view text);

// Whether this processor runs AVX2, which the text scans use where it is there.
[[nodiscard]] bool hasAvx2();

// The fold of one code point worked out by ICU itself: what the table holds, for checking it.
[[nodiscard]] std::u32string icuFoldOf(char32_t codePoint, AccentRule rule);

}  // namespace tunex
