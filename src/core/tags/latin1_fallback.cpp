#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

#include <memory>
#include <mutex>

#include "core/tags/id3_tags.h"

namespace tunex {

namespace {

bool fitsLatin1(UChar32 c) {
    return c >= 0 && c <= 0xFF;
}

// Building a transliterator costs milliseconds; one serves the whole run.
std::string transliterate(const icu::UnicodeString& run) {
    static std::mutex mutex;
    static std::unique_ptr<icu::Transliterator> latin;
    static bool tried = false;
    const std::lock_guard lock(mutex);
    if (!tried) {
        tried = true;
        UErrorCode status = U_ZERO_ERROR;
        latin.reset(
            icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
        if (U_FAILURE(status) != 0) {
            latin.reset();
        }
    }
    icu::UnicodeString text = run;
    if (latin) {
        latin->transliterate(text);
    }
    std::string out;
    for (int32_t i = 0; i < text.length();) {
        const UChar32 c = text.char32At(i);
        i += U16_LENGTH(c);
        if (fitsLatin1(c)) {
            icu::UnicodeString(c).toUTF8String(out);
        } else {
            out += '?';
        }
    }
    return out;
}

}  // namespace

std::string latin1Fallback(std::string_view utf8) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    std::string out;
    icu::UnicodeString run;
    for (int32_t i = 0; i < text.length();) {
        const UChar32 c = text.char32At(i);
        i += U16_LENGTH(c);
        if (fitsLatin1(c)) {
            if (run.length() > 0) {
                out += transliterate(run);
                run.remove();
            }
            icu::UnicodeString(c).toUTF8String(out);
        } else {
            run.append(c);
        }
    }
    if (run.length() > 0) {
        out += transliterate(run);
    }
    return out;
}

}  // namespace tunex
