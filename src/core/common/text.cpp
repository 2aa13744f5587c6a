#include "core/common/text.h"

#include <unicode/numberformatter.h>
#include <unicode/ucasemap.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace tunex {

namespace {

struct CaseMapCloser {
    void operator()(UCaseMap* map) const { ucasemap_close(map); }
};

bool isAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string toLowerUtf8(std::string_view text) {
    if (isAscii(text)) {
        // The common case needs no ICU round trip.
        std::string lower(text);
        for (char& c : lower) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return lower;
    }
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCaseMap, CaseMapCloser> map(ucasemap_open("", 0, &status));
    if (U_FAILURE(status) != 0 || text.size() > INT32_MAX / 3) {
        return std::string(text);
    }
    std::string lower(text.size() + 16, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        status = U_ZERO_ERROR;
        const int32_t length =
            ucasemap_utf8ToLower(map.get(), lower.data(), static_cast<int32_t>(lower.size()),
                                 text.data(), static_cast<int32_t>(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            lower.assign(static_cast<size_t>(length), '\0');
            continue;
        }
        if (U_FAILURE(status) != 0) {
            return std::string(text);
        }
        lower.resize(static_cast<size_t>(length));
        return lower;
    }
    return std::string(text);
}

std::string groupedNumber(std::uint64_t value, const char* locale) {
    UErrorCode status = U_ZERO_ERROR;
    // Grouped even where the locale would leave short numbers alone, or the C locale's none.
    const icu::UnicodeString text =
        icu::number::NumberFormatter::withLocale(locale != nullptr ? icu::Locale(locale)
                                                                   : icu::Locale::getDefault())
            .grouping(UNUM_GROUPING_ON_ALIGNED)
            .formatInt(static_cast<int64_t>(std::min<std::uint64_t>(value, INT64_MAX)), status)
            .toString(status);
    if (U_FAILURE(status) != 0) {
        return std::to_string(value);
    }
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

// ICU's UTF-8 macros cast the C way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
bool isUtf8(std::string_view text) {
    if (text.size() > INT32_MAX) {
        return false;  // beyond what ICU indexes; no tag value is this long
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}
#pragma GCC diagnostic pop

std::string latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size() * 2);
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

int leadingInteger(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

std::string_view textBetween(std::string_view text, std::string_view open, std::string_view close) {
    const size_t start = text.find(open);
    if (start == std::string_view::npos) {
        return {};
    }
    const size_t from = start + open.size();
    const size_t end = text.find(close);
    if (end == std::string_view::npos || end < from) {
        return {};
    }
    return text.substr(from, end - from);
}

}  // namespace tunex
