#include "core/common/search_fold.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tunex {

namespace {

constexpr char32_t kCodePointCount = 0x110000;
constexpr unsigned kBlockBits = 7;
constexpr char32_t kBlockSize = char32_t{1} << kBlockBits;

// Code point to folded UTF-8 in two stages, blocks that fold nothing shared. An entry of 0
// keeps the code point; any other is the offset of its fold in `pool` (never 0) and its length
// in the low byte, 0 for a mark that is dropped.
struct FoldTable {
    std::vector<std::uint16_t> blockOf;
    std::vector<std::uint32_t> entries;
    std::string pool = std::string(1, '\0');
    // The most bytes a fold takes for each byte of what it replaces.
    std::size_t growth = 1;
    // Every code point whose fold holds ASCII or is nothing, with its entry, in code point order.
    std::vector<std::pair<char32_t, std::uint32_t>> asciiMakers;

    [[nodiscard]] std::uint32_t entry(char32_t codePoint) const {
        return entries[(std::size_t{blockOf[codePoint >> kBlockBits]} << kBlockBits) |
                       (codePoint & (kBlockSize - 1))];
    }
};

std::string toUtf8(const std::u32string& text) {
    std::string utf8;
    for (const char32_t c : text) {
        icu::UnicodeString(static_cast<UChar32>(c)).toUTF8String(utf8);
    }
    return utf8;
}

// Every code point whose fold may differ from itself under `rule`; the rest keep themselves.
icu::UnicodeSet candidatesOf(AccentRule rule) {
    UErrorCode status = U_ZERO_ERROR;
    // Changes_When_Casefolded looks at the decomposed form, so "ǰ", which folds to "j" and a
    // caron, is among the decomposable ones; Hangul syllables decompose but fold to themselves.
    icu::UnicodeSet set(
        rule == AccentRule::Exact
            ? icu::UnicodeString(u"[[:Changes_When_Casefolded:][:NFD_Quick_Check=No:]"
                                 u"-[:Hangul_Syllable_Type=LVT:]-[:Hangul_Syllable_Type=LV:]]")
            : icu::UnicodeString(u"[[:Changes_When_Casefolded:][:^ccc=0:][:NFD_Quick_Check=No:]"
                                 u"-[:Hangul_Syllable_Type=LVT:]-[:Hangul_Syllable_Type=LV:]]"),
        status);
    return U_SUCCESS(status) != 0 ? set : icu::UnicodeSet();
}

FoldTable buildTable(AccentRule rule) {
    const icu::UnicodeSet candidates = candidatesOf(rule);
    FoldTable table;
    table.blockOf.assign(kCodePointCount >> kBlockBits, 0);
    table.entries.assign(kBlockSize, 0);  // block 0: folds nothing
    std::vector<std::uint32_t> block(kBlockSize);
    for (char32_t first = 0; first < kCodePointCount; first += kBlockSize) {
        if (candidates.containsSome(static_cast<UChar32>(first),
                                    static_cast<UChar32>(first + kBlockSize - 1)) == 0) {
            continue;
        }
        for (char32_t c = first; c < first + kBlockSize; ++c) {
            block[c - first] = 0;
            if (candidates.contains(static_cast<UChar32>(c)) == 0) {
                continue;
            }
            const std::string folded = toUtf8(icuFoldOf(c, rule));
            const std::size_t length = toUtf8({c}).size();
            table.growth = std::max(table.growth, (folded.size() + length - 1) / length);
            const std::size_t offset = table.pool.size();
            table.pool += folded;
            block[c - first] = static_cast<std::uint32_t>(offset << 8 | folded.size());
            // ASCII itself is left out: containsFolded folds its case.
            if (c >= 0x80 && (folded.empty() || std::ranges::any_of(folded, [](char b) {
                                  return (b & 0x80) == 0;
                              }))) {
                table.asciiMakers.emplace_back(c, block[c - first]);
            }
        }
        table.blockOf[first >> kBlockBits] =
            static_cast<std::uint16_t>(table.entries.size() >> kBlockBits);
        table.entries.insert(table.entries.end(), block.begin(), block.end());
    }
    return table;
}

// Built on first use, once for the process: about 100 KB each, from ICU's own data.
const FoldTable& tableFor(AccentRule rule) {
    if (rule == AccentRule::Exact) {
        static const FoldTable exact = buildTable(AccentRule::Exact);
        return exact;
    }
    static const FoldTable fold = buildTable(AccentRule::Fold);
    return fold;
}

}  // namespace

namespace {

// Bytes from `from` up to the first one outside ASCII.
std::size_t asciiRunFrom(std::string_view text, std::size_t from) {
    std::size_t i = from;
#if defined(__SSE2__)
    for (; i + 16 <= text.size(); i += 16) {
        const auto high = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i))));
        if (high != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(high)) - from;
        }
    }
#endif
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) {
        ++i;
    }
    return i - from;
}

}  // namespace

bool hasAvx2() {
#if defined(__x86_64__)
    static const bool avx2 = static_cast<bool>(__builtin_cpu_supports("avx2"));
    return avx2;
#else
    return false;
#endif
}

bool isAsciiText(std::string_view text) {
    return asciiRunFrom(text, 0) == text.size();
}

std::u32string icuFoldOf(char32_t codePoint, AccentRule rule) {
    icu::UnicodeString text(static_cast<UChar32>(codePoint));
    text.foldCase(U_FOLD_CASE_DEFAULT);
    if (rule == AccentRule::Fold) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
        const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
        if (U_SUCCESS(status) != 0) {
            const icu::UnicodeString decomposed = nfd->normalize(text, status);
            icu::UnicodeString kept;
            for (int32_t i = 0; i < decomposed.length();) {
                const UChar32 c = decomposed.char32At(i);
                // Marks that sit on a letter go; a vowel sign that is a letter's own part stays.
                if (u_getCombiningClass(c) == 0 || u_charType(c) != U_NON_SPACING_MARK) {
                    kept.append(c);
                }
                i += U16_LENGTH(c);
            }
            text = nfc->normalize(kept, status);
        }
    }
    std::u32string folded;
    for (int32_t i = 0; i < text.length();) {
        const UChar32 c = text.char32At(i);
        folded.push_back(static_cast<char32_t>(c));
        i += U16_LENGTH(c);
    }
    return folded;
}

namespace {

// The code point of the UTF-8 sequence at `at`, and its length; a byte that starts no valid
// sequence is a length of 1 and no code point.
struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 1;
    bool valid = false;
};

Decoded decodeAt(const unsigned char* bytes, std::size_t at, std::size_t size) {
    const unsigned lead = bytes[at];
    const auto trail = [&](std::size_t k) {
        return at + k < size && (bytes[at + k] & 0xC0U) == 0x80 ? bytes[at + k] & 0x3FU : ~0U;
    };
    if (lead >= 0xC2 && lead <= 0xDF) {
        const unsigned b1 = trail(1);
        return b1 == ~0U ? Decoded{} : Decoded{((lead & 0x1FU) << 6) | b1, 2, true};
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned b1 = trail(1);
        const unsigned b2 = trail(2);
        const char32_t c = ((lead & 0x0FU) << 12) | (b1 << 6) | b2;
        // Overlong forms and surrogates are no code points.
        const bool valid = b1 != ~0U && b2 != ~0U && c >= 0x800 && (c < 0xD800 || c > 0xDFFF);
        return valid ? Decoded{c, 3, true} : Decoded{};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned b1 = trail(1);
        const unsigned b2 = trail(2);
        const unsigned b3 = trail(3);
        const char32_t c = ((lead & 0x07U) << 18) | (b1 << 12) | (b2 << 6) | b3;
        const bool valid =
            b1 != ~0U && b2 != ~0U && b3 != ~0U && c >= 0x10000 && c < kCodePointCount;
        return valid ? Decoded{c, 4, true} : Decoded{};
    }
    return {};
}

// What the character at `at` folds to: its fold from the table, or its own bytes (a byte that
// starts no character is kept as it is); `length` is what it takes of `text`.
std::string_view foldOfCharacter(const FoldTable& table, std::string_view text, std::size_t at,
                                 std::size_t& length) {
    const Decoded decoded =
        decodeAt(reinterpret_cast<const unsigned char*>(text.data()), at, text.size());
    length = decoded.length;
    const std::uint32_t entry = decoded.valid ? table.entry(decoded.codePoint) : 0;
    return entry == 0 ? text.substr(at, decoded.length)
                      : std::string_view(table.pool).substr(entry >> 8, entry & 0xFF);
}

}  // namespace

std::string_view foldBesidesAscii(std::string_view text, AccentRule rule, std::string& out) {
    std::size_t from = asciiRunFrom(text, 0);
    if (from == text.size()) {
        return text;
    }
    const FoldTable& table = tableFor(rule);
    // Room for the longest fold, so that nothing is allocated on the way.
    const std::size_t room = from + (text.size() - from) * table.growth;
    if (out.size() < room) {
        out.resize(room);
    }
    char* const start = out.data();
    std::memcpy(start, text.data(), from);
    char* to = start + from;
    while (from < text.size()) {
        std::size_t length = 0;
        const std::string_view fold = foldOfCharacter(table, text, from, length);
        std::memcpy(to, fold.data(), fold.size());
        to += fold.size();
        from += length;
        const std::size_t run = asciiRunFrom(text, from);
        std::memcpy(to, text.data() + from, run);
        to += run;
        from += run;
    }
    return {start, static_cast<std::size_t>(to - start)};
}

AsciiMakerScan::AsciiMakerScan(std::string_view asciiBytes, AccentRule rule) : rule_(rule) {
    const FoldTable& table = tableFor(rule);
    std::array<bool, 128> wanted{};
    for (const char byte : asciiBytes) {
        wanted[static_cast<unsigned char>(byte) & 0x7FU] = true;
    }
    std::array<bool, 256> leads{};
    for (const auto& [codePoint, entry] : table.asciiMakers) {
        const std::string_view fold(table.pool.data() + (entry >> 8), entry & 0xFF);
        const bool makes = fold.empty() || std::ranges::any_of(fold, [&wanted](char b) {
                               return (b & 0x80) == 0 && wanted[static_cast<unsigned char>(b)];
                           });
        if (!makes) {
            continue;
        }
        if (codePoint < 0x10000) {
            narrow_[codePoint / 64] |= std::uint64_t{1} << (codePoint % 64);
        } else {
            wide_.push_back(codePoint);
        }
        leads[static_cast<unsigned char>(toUtf8({codePoint}).front())] = true;
    }
    leadBytes_ = leads;
    // A lead byte is 0x80 or more: each of the eight high halves has a bit of its own.
    for (unsigned byte = 0x80; byte < 256; ++byte) {
        if (leads[byte]) {
            const auto bit = static_cast<std::uint8_t>(1U << ((byte >> 4) - 8));
            highHalves_[byte >> 4] = bit;
            lowHalves_[byte & 0x0F] |= bit;
        }
    }
}

std::string_view AsciiMakerScan::foldAt(std::string_view text, std::size_t at) const {
    std::size_t length = 0;
    return foldOfCharacter(tableFor(rule_), text, at, length);
}

bool AsciiMakerScan::makesAt(const unsigned char* bytes, std::size_t at, std::size_t size,
                             std::size_t& length) const {
    const Decoded decoded = decodeAt(bytes, at, size);
    length = decoded.length;
    if (!decoded.valid) {
        return false;
    }
    const char32_t c = decoded.codePoint;
    return c < 0x10000 ? ((narrow_[c / 64] >> (c % 64)) & 1U) != 0
                       : std::binary_search(wide_.begin(), wide_.end(), c);
}

#if defined(__x86_64__)
// Thirty-two bytes a step where the processor has AVX2: each byte's high and low half look up
// the halves of the lead set, which tells a lead byte exactly. Leaves `at` at the first byte it
// did not look at.
__attribute__((target("avx2"))) std::size_t AsciiMakerScan::nextWide(std::string_view text,
                                                                     std::size_t& at,
                                                                     std::size_t& length) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const __m256i highTable = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(highHalves_.data())));
    const __m256i lowTable = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(lowHalves_.data())));
    const __m256i halfMask = _mm256_set1_epi8(0x0F);
    for (; at + 32 <= text.size(); at += 32) {
        const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + at));
        if (_mm256_movemask_epi8(chunk) == 0) {
            continue;
        }
        const __m256i high = _mm256_and_si256(_mm256_srli_epi16(chunk, 4), halfMask);
        const __m256i low = _mm256_and_si256(chunk, halfMask);
        const __m256i lead = _mm256_and_si256(_mm256_shuffle_epi8(highTable, high),
                                              _mm256_shuffle_epi8(lowTable, low));
        auto flags = ~static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(lead, _mm256_setzero_si256())));
        for (; flags != 0; flags &= flags - 1) {
            const std::size_t candidate = at + static_cast<std::size_t>(__builtin_ctz(flags));
            if (makesAt(bytes, candidate, text.size(), length)) {
                return candidate;
            }
        }
    }
    return std::string_view::npos;
}
#endif

std::size_t AsciiMakerScan::next(std::string_view text, std::size_t from,
                                 std::size_t& length) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t at = from;
#if defined(__x86_64__)
    if (hasAvx2()) {
        const std::size_t found = nextWide(text, at, length);
        if (found != std::string_view::npos) {
            return found;
        }
    }
#endif
#if defined(__SSE2__)
    // ASCII, most of what a catalogue holds, is passed over sixteen bytes at a time.
    const auto load = [bytes](std::size_t offset) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + offset));
    };
    while (at + 16 <= text.size() && _mm_movemask_epi8(load(at)) == 0) {
        at += 16;
    }
#endif
    for (; at < text.size(); ++at) {
        if (leadBytes_[bytes[at]] && makesAt(bytes, at, text.size(), length)) {
            return at;
        }
    }
    return std::string_view::npos;
}

std::string_view foldInto(std::string_view text, AccentRule rule, std::string& out) {
    const std::string_view kept = foldBesidesAscii(text, rule, out);
    if (kept.data() != out.data()) {
        out.assign(kept);
    } else {
        out.resize(kept.size());
    }
    // A fold from the table holds no ASCII capital, and no byte of a longer character is ASCII.
    for (char& c : out) {
        c = static_cast<char>(asciiLower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string foldForSearch(std::string_view text, AccentRule rule) {
    std::string folded;
    foldInto(text, rule, folded);
    return folded;
}

}  // namespace tunex
