#include "core/search/song_match.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
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
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
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

    const auto matchesAt = [&](std::size_t at) {
        if ((static_cast<unsigned char>(data[at]) | foldBit) != first) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (foldAscii(data[at + k]) != static_cast<unsigned char>(lowerTerm[k])) {
                return false;
            }
        }
        return true;
    };

    std::size_t at = 0;
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

SearchTerms::SearchTerms(std::string_view title, std::string_view artist, AccentRule accents)
    : title_(foldForSearch(title, accents)),
      artist_(foldForSearch(artist, accents)),
      accents_(accents) {}

bool SearchTerms::matches(const LoweredFields& fields, Sensitivity sensitivity) const {
    const std::string_view title = title_;
    const std::string_view artist = artist_;
    // Each containment is worked out at most once, and only when the rule gets to it.
    const auto inName = [&](std::string_view term) { return containsFolded(fields.name, term); };
    const auto inId3 = [&](std::string_view term) { return containsFolded(fields.id3Info, term); };
    switch (sensitivity) {
        case Sensitivity::Low:
            return inName(artist) && inName(title);
        case Sensitivity::Medium:
            return (inName(artist) || inId3(artist)) && (inName(title) || inId3(title));
        case Sensitivity::High:
            // Eight combinations, of which these are the ones that can decide. Not a superset of
            // Medium: title and artist must meet in the same field, and the folder counts only
            // for the artist, beside a title found in the name (or no title at all).
            if (artist.empty()) {
                return inName(title) || inId3(title);
            }
            if (title.empty()) {
                return inName(artist) || inId3(artist) || containsFolded(fields.folder, artist);
            }
            return (inName(title) && (inName(artist) || containsFolded(fields.folder, artist))) ||
                   (inId3(title) && inId3(artist));
        default:
            return false;
    }
}

bool SearchTerms::matchesUnlowered(const SongRecordView& record, Sensitivity sensitivity,
                                   std::array<std::string, 3>& scratch) const {
    const auto prepared = [this](std::string_view field, std::string& buffer) {
        // containsFolded folds ASCII letters itself.
        return isAsciiText(field) ? field : foldInto(field, accents_, buffer);
    };
    LoweredFields fields;
    fields.name = prepared(record.name, scratch[0]);
    if (sensitivity == Sensitivity::Medium || sensitivity == Sensitivity::High) {
        fields.id3Info = prepared(record.id3Info, scratch[1]);
    }
    if (sensitivity == Sensitivity::High && !artist_.empty()) {
        fields.folder = prepared(record.folder, scratch[2]);
    }
    return matches(fields, sensitivity);
}

bool songMatches(std::string_view title, std::string_view artist, const SongRecordView& record,
                 Sensitivity sensitivity, AccentRule accents) {
    const SearchTerms terms(title, artist, accents);
    const std::string name = foldForSearch(record.name, accents);
    const std::string folder = foldForSearch(record.folder, accents);
    const std::string id3Info = foldForSearch(record.id3Info, accents);
    return terms.matches({name, folder, id3Info}, sensitivity);
}

}  // namespace tunex
