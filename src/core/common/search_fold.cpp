#include "core/common/search_fold.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <climits>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
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
            const std::size_t offset = table.pool.size();
            table.pool += folded;
            block[c - first] = static_cast<std::uint32_t>(offset << 8 | folded.size());
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

bool isAsciiText(std::string_view text) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes a step: this runs over every byte a disk search reads.
    __m128i high = _mm_setzero_si128();
    for (; i + 16 <= text.size(); i += 16) {
        high =
            _mm_or_si128(high, _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i)));
    }
    if (_mm_movemask_epi8(high) != 0) {
        return false;
    }
#endif
    std::uint64_t seen = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        seen |= word;
    }
    for (; i < text.size(); ++i) {
        seen |= static_cast<unsigned char>(text[i]);
    }
    return (seen & 0x8080808080808080ULL) == 0;
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

// ICU's UTF-8 macros cast the C way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
std::string_view foldInto(std::string_view text, AccentRule rule, std::string& out) {
    out.clear();
    if (isAsciiText(text) || text.size() > INT32_MAX) {
        out.resize(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            out[i] = static_cast<char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0));
        }
        return out;
    }
    const FoldTable& table = tableFor(rule);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        const auto byte = bytes[i];
        if (byte < 0x80) {
            out.push_back(
                static_cast<char>(byte + (static_cast<unsigned char>(byte - 'A') < 26 ? 32 : 0)));
            ++i;
            continue;
        }
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        const std::uint32_t entry = c < 0 ? 0 : table.entry(static_cast<char32_t>(c));
        if (entry == 0) {
            out.append(text.data() + start, static_cast<std::size_t>(i - start));
        } else {
            out.append(table.pool, entry >> 8, entry & 0xFF);
        }
    }
    return out;
}
#pragma GCC diagnostic pop

std::string foldForSearch(std::string_view text, AccentRule rule) {
    std::string folded;
    foldInto(text, rule, folded);
    return folded;
}

}  // namespace tunex
