#include "core/tags/cover_art.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace tunex {

namespace {

unsigned byteAt(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

unsigned bigEndian16(std::string_view bytes, std::size_t at) {
    return (byteAt(bytes, at) << 8U) | byteAt(bytes, at + 1);
}

std::optional<ImageFacts> pngFacts(std::string_view bytes) {
    constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
    // Signature, then the IHDR chunk: length, "IHDR", width, height.
    if (bytes.size() < 24 || !bytes.starts_with(kSignature) || bytes.substr(12, 4) != "IHDR") {
        return std::nullopt;
    }
    const auto word = [&](std::size_t at) {
        return static_cast<int>((bigEndian16(bytes, at) << 16U) | bigEndian16(bytes, at + 2));
    };
    const int width = word(16);
    const int height = word(20);
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    return ImageFacts{"PNG", "image/png", width, height};
}

// A start-of-frame marker: C0-CF less DHT (C4), JPG (C8) and DAC (CC).
bool isStartOfFrame(unsigned marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<ImageFacts> jpegFacts(std::string_view bytes) {
    if (bytes.size() < 4 || byteAt(bytes, 0) != 0xFF || byteAt(bytes, 1) != 0xD8) {
        return std::nullopt;
    }
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (byteAt(bytes, at) != 0xFF) {
            return std::nullopt;
        }
        const unsigned marker = byteAt(bytes, at + 1);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;  // markers without a length
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) {
            return std::nullopt;  // end of image or scan data before any frame header
        }
        const unsigned length = bigEndian16(bytes, at + 2);
        if (length < 2) {
            return std::nullopt;
        }
        if (isStartOfFrame(marker)) {
            // Length, precision, height, width.
            if (length < 7 || at + 9 > bytes.size()) {
                return std::nullopt;
            }
            const int height = static_cast<int>(bigEndian16(bytes, at + 5));
            const int width = static_cast<int>(bigEndian16(bytes, at + 7));
            if (width == 0 || height == 0) {
                return std::nullopt;
            }
            return ImageFacts{"JPEG", "image/jpeg", width, height};
        }
        at += 2 + length;
    }
    return std::nullopt;
}

std::string kindFromMime(std::string_view mime) {
    const std::size_t slash = mime.find('/');
    std::string kind(slash == std::string_view::npos ? mime : mime.substr(slash + 1));
    for (char& c : kind) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return kind.empty() ? std::string("Picture") : kind;
}

}  // namespace

std::optional<ImageFacts> imageFacts(std::string_view bytes) {
    if (auto png = pngFacts(bytes)) {
        return png;
    }
    return jpegFacts(bytes);
}

std::string byteSizeWords(std::uint64_t bytes) {
    constexpr std::uint64_t kKilo = 1024;
    if (bytes < kKilo) {
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    }
    if (bytes < kKilo * kKilo) {
        return std::to_string((bytes + kKilo / 2) / kKilo) + " KB";
    }
    std::array<char, 32> text{};
    (void)std::snprintf(text.data(), text.size(), "%.1f MB",
                        static_cast<double>(bytes) / static_cast<double>(kKilo * kKilo));
    return text.data();
}

std::string coverWords(const std::optional<Picture>& front) {
    if (!front) {
        return "none";
    }
    const std::string size = byteSizeWords(front->bytes.size());
    if (const auto facts = imageFacts(front->bytes)) {
        return std::string(facts->kind) + " " + std::to_string(facts->width) + "\u00D7" +
               std::to_string(facts->height) + ", " + size;
    }
    return kindFromMime(front->mime) + ", " + size;
}

LoadedImage loadCoverImage(const std::filesystem::path& file) {
    LoadedImage loaded;
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    std::ifstream in;
    if (!error && std::filesystem::is_regular_file(file, error)) {
        in.open(file, std::ios::binary);
    }
    if (!in.is_open()) {
        loaded.problem = "The image " + file.string() + " could not be read.";
        return loaded;
    }
    if (size >= kMaxCoverBytes) {
        loaded.problem = "The image " + file.string() + " is too large for a cover (" +
                         byteSizeWords(size) + "; up to 16 MB).";
        return loaded;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        loaded.problem = "The image " + file.string() + " could not be read.";
        return loaded;
    }
    const auto facts = imageFacts(bytes);
    if (!facts) {
        loaded.problem =
            "The file " + file.string() + " is not a JPEG or PNG image; a cover must be one.";
        return loaded;
    }
    loaded.picture = Picture{std::move(bytes), std::string(facts->mime)};
    return loaded;
}

}  // namespace tunex
