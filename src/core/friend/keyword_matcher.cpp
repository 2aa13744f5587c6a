#include "core/friend/keyword_matcher.h"

#include <cstdint>
#include <cstring>

namespace tunex {

KeywordMatcher::KeywordMatcher(std::string_view keyword, AccentRule accents)
    : accents_(accents),
      keyword_(foldForSearch(keyword, accents)),
      asciiKeyword_(isAsciiText(keyword_)) {}

bool KeywordMatcher::matchesAscii(std::string_view text) {
    // Folding into a buffer is one vectorised pass; memmem then finds the keyword faster than
    // any byte-at-a-time search.
    buffer_.resize(text.size());
    const auto* from = reinterpret_cast<const unsigned char*>(text.data());
    auto* to = reinterpret_cast<unsigned char*>(buffer_.data());
    for (size_t i = 0; i < text.size(); ++i) {
        to[i] = asciiLower(from[i]);
    }
    return ::memmem(buffer_.data(), buffer_.size(), keyword_.data(), keyword_.size()) != nullptr;
}

bool KeywordMatcher::matches(std::string_view text) {
    if (isAsciiText(text)) {
        // Folding ASCII text leaves it ASCII, so a keyword with other bytes cannot be in it.
        return asciiKeyword_ && matchesAscii(text);
    }
    return foldInto(text, accents_, buffer_).find(keyword_) != std::string_view::npos;
}

}  // namespace tunex
