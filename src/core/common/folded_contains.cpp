#include "core/common/folded_contains.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tunex {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t loadWord(const char* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return word;
}

unsigned char foldAscii(char c) {
    return asciiLower(static_cast<unsigned char>(c));
}

// Index of the lowest-addressed flagged byte of a word.
int firstFlaggedByte(std::uint64_t flags) {
    if constexpr (std::endian::native == std::endian::little) {
        return std::countr_zero(flags) / 8;
    } else {
        return std::countl_zero(flags) / 8;
    }
}

std::uint64_t withoutFirstFlag(std::uint64_t flags) {
    if constexpr (std::endian::native == std::endian::little) {
        return flags & (flags - 1);
    } else {
        return flags & ~(std::uint64_t{1} << (63 - std::countl_zero(flags)));
    }
}

// The folded term at `at`; lowerTerm is folded, so only the text's capitals need folding.
bool foldedAt(const char* at, std::string_view lowerTerm) {
    for (std::size_t k = 0; k < lowerTerm.size(); ++k) {
        if (foldAscii(at[k]) != static_cast<unsigned char>(lowerTerm[k])) {
            return false;
        }
    }
    return true;
}

#if defined(__x86_64__)
// Thirty-two starts at a time where the processor has AVX2, each tested by the term's first and
// last byte, which rules out nearly every start before a byte-wise look. Leaves `at` at the first
// start it did not test.
__attribute__((target("avx2"))) bool foundWide(std::string_view text, std::string_view lowerTerm,
                                               std::size_t& at) {
    const auto foldOf = [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? 0x20 : 0); };
    const std::size_t tail = lowerTerm.size() - 1;
    const __m256i first = _mm256_set1_epi8(lowerTerm.front());
    const __m256i last = _mm256_set1_epi8(lowerTerm.back());
    const __m256i firstFold = _mm256_set1_epi8(foldOf(lowerTerm.front()));
    const __m256i lastFold = _mm256_set1_epi8(foldOf(lowerTerm.back()));
    const char* const data = text.data();
    for (; at + tail + 32 <= text.size(); at += 32) {
        const __m256i starts = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at)), firstFold);
        const __m256i ends = _mm256_or_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at + tail)), lastFold);
        auto flags = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(starts, first), _mm256_cmpeq_epi8(ends, last))));
        for (; flags != 0; flags &= flags - 1) {
            if (foldedAt(data + at + static_cast<std::size_t>(std::countr_zero(flags)),
                         lowerTerm)) {
                return true;
            }
        }
    }
    return false;
}
#endif

}  // namespace

bool containsFolded(std::string_view text, std::string_view lowerTerm) {
    const std::size_t length = lowerTerm.size();
    if (length == 0) {
        return true;
    }
    if (text.size() < length) {
        return false;
    }
    const auto first = static_cast<unsigned char>(lowerTerm.front());
    // For a letter, setting bit 5 maps both cases onto the lower one and nothing else onto it.
    const bool letter = first >= 'a' && first <= 'z';
    const unsigned char foldBit = letter ? 0x20 : 0;
    const std::uint64_t foldWord = letter ? 0x2020202020202020ULL : 0;
    const std::uint64_t firstWord = kOnes * first;
    const char* const data = text.data();
    const std::size_t lastStart = text.size() - length;

    const auto matchesAt = [&](std::size_t at) { return foldedAt(data + at, lowerTerm); };

    std::size_t at = 0;
#if defined(__x86_64__)
    if (hasAvx2() && foundWide(text, lowerTerm, at)) {
        return true;
    }
#endif
#if defined(__SSE2__)
    const __m128i fold16 = _mm_set1_epi8(static_cast<char>(foldBit));
    const __m128i first16 = _mm_set1_epi8(static_cast<char>(first));
    for (; at + 16 <= lastStart + 1; at += 16) {
        const __m128i chunk =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), fold16);
        auto flags = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, first16)));
        while (flags != 0) {
            if (matchesAt(at + static_cast<std::size_t>(std::countr_zero(flags)))) {
                return true;
            }
            flags &= flags - 1;
        }
    }
#endif
    // Eight candidate positions at a time: a zero byte of (word | fold) ^ first marks a possible
    // start; the test may flag a few extra bytes, which matchesAt turns down.
    for (; at + 8 <= lastStart + 1; at += 8) {
        const std::uint64_t diff = (loadWord(data + at) | foldWord) ^ firstWord;
        std::uint64_t flags = (diff - kOnes) & ~diff & kHighBits;
        while (flags != 0) {
            if (matchesAt(at + static_cast<std::size_t>(firstFlaggedByte(flags)))) {
                return true;
            }
            flags = withoutFirstFlag(flags);
        }
    }
    for (; at <= lastStart; ++at) {
        if (matchesAt(at)) {
            return true;
        }
    }
    return false;
}

namespace {

bool isContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0U) == 0x80;
}

std::size_t codePointsBack(std::string_view text, std::size_t at, std::size_t count) {
    for (std::size_t k = 0; k < count && at > 0; ++k) {
        --at;
        while (at > 0 && isContinuation(text[at])) {
            --at;
        }
    }
    return at;
}

std::size_t codePointsForward(std::string_view text, std::size_t at, std::size_t count) {
    for (std::size_t k = 0; k < count && at < text.size(); ++k) {
        ++at;
        while (at < text.size() && isContinuation(text[at])) {
            ++at;
        }
    }
    return at;
}

}  // namespace

FoldedTermFinder::FoldedTermFinder(std::vector<std::string_view> foldedTerms, AccentRule rule)
    : terms_(std::move(foldedTerms)), rule_(rule) {
    if (std::ranges::all_of(terms_, isAsciiText)) {
        for (const std::string_view term : terms_) {
            makers_.emplace_back(term, rule);
        }
    }
}

bool FoldedTermFinder::holdsAll(std::string_view text) {
    // The text as it is first, for every term: that is the cheap test and decides most text.
    std::uint64_t missing = 0;
    for (std::size_t i = 0; i < terms_.size() && i < 64; ++i) {
        if (!containsFolded(text, terms_[i])) {
            missing |= std::uint64_t{1} << i;
        }
    }
    for (; missing != 0; missing &= missing - 1) {
        if (!foldedHolds(text, static_cast<std::size_t>(std::countr_zero(missing)))) {
            return false;
        }
    }
    return true;
}

namespace {

// Whether `term` lies across the fold of the one character at `at` (`length` bytes): every other
// byte it would take from around that character is an ASCII byte of `text` itself.
bool heldAcross(std::string_view text, std::size_t at, std::size_t length, std::string_view fold,
                std::string_view term) {
    const auto size = static_cast<std::ptrdiff_t>(term.size());
    const auto foldSize = static_cast<std::ptrdiff_t>(fold.size());
    const auto before = static_cast<std::ptrdiff_t>(at);
    const auto after = static_cast<std::ptrdiff_t>(text.size() - at - length);
    // `start`: where the term begins, counted from the fold's first byte.
    for (std::ptrdiff_t start = std::max(1 - size, -before); start < foldSize; ++start) {
        if (start + size - foldSize > after) {
            break;
        }
        bool held = true;
        for (std::ptrdiff_t i = 0; i < size && held; ++i) {
            const std::ptrdiff_t place = start + i;
            const char byte = place < 0          ? text[at + place]
                              : place < foldSize ? fold[place]
                                                 : text[at + length + (place - foldSize)];
            held = foldAscii(byte) == static_cast<unsigned char>(term[i]);
        }
        if (held) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool FoldedTermFinder::foldedHolds(std::string_view text, std::size_t term) {
    const std::string_view wanted = terms_[term];
    if (makers_.empty()) {
        return containsFolded(foldBesidesAscii(text, rule_, scratch_), wanted);
    }
    // Where folding puts an ASCII term into the text, some of its bytes come from characters the
    // scan finds; the others fold to a byte at least each, so fewer than the term's length of
    // them stand before the first found character, after the last, and between two. Only those
    // windows are looked at: one around a lone such character by its fold, others folded whole.
    const AsciiMakerScan& makers = makers_[term];
    struct Window {
        std::size_t start = 0;
        std::size_t end = 0;
        std::size_t maker = 0;  // the first found character
        std::size_t makerLength = 0;
        bool lone = true;
    };
    const auto holds = [&](const Window& window) {
        if (window.lone) {
            return heldAcross(text, window.maker, window.makerLength,
                              makers.foldAt(text, window.maker), wanted);
        }
        return containsFolded(
            foldBesidesAscii(text.substr(window.start, window.end - window.start), rule_, scratch_),
            wanted);
    };
    std::optional<Window> open;
    std::size_t length = 0;
    for (std::size_t at = makers.next(text, 0, length); at != std::string_view::npos;
         at = makers.next(text, at + length, length)) {
        const std::size_t start = codePointsBack(text, at, wanted.size());
        const std::size_t end = codePointsForward(text, at + length, wanted.size());
        if (open && start <= open->end) {
            open->end = std::max(open->end, end);
            open->lone = false;
            continue;
        }
        if (open && holds(*open)) {
            return true;
        }
        open = Window{start, end, at, length, true};
    }
    return open && holds(*open);
}

}  // namespace tunex
