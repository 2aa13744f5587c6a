#include "core/store/song_record.h"

#include "core/common/text.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

namespace tunex {

namespace {
constexpr std::string_view kNameEnd = "<|>";
constexpr std::string_view kFolderEnd = "<:>";
constexpr std::string_view kTypeEnd = "</>";
constexpr std::string_view kId3End = "<\\>";
constexpr std::string_view kSizeEnd = "<*>";
}  // namespace

std::string sizeText(std::uint64_t sizeBytes) {
    // Room for the largest size; snprintf cannot fail on this format.
    std::array<char, 64> text{};
    static_cast<void>(std::snprintf(text.data(), text.size(), "%8.1f",
                                    static_cast<double>(sizeBytes) * 0.0009765625));
    return text.data();
}

std::string dateText(std::optional<std::time_t> time) {
    if (!time) {
        return {};
    }
    std::tm local{};
    if (localtime_r(&*time, &local) == nullptr) {
        return {};
    }
    std::array<char, 64> text{};
    static_cast<void>(std::snprintf(text.data(), text.size(), "%d-%.2d-%.2d", local.tm_year + 1900,
                                    local.tm_mon + 1, local.tm_mday));
    return text.data();
}

std::string makeSongRecordLine(const FoundFile& file, std::string_view id3Info) {
    const std::string_view fileName = file.fileName;
    const size_t dot = fileName.rfind('.');
    const std::string_view name =
        dot == std::string_view::npos ? fileName : fileName.substr(0, dot);
    const std::string type =
        dot == std::string_view::npos ? std::string() : toLowerUtf8(fileName.substr(dot + 1));
    std::string line;
    line.reserve(96 + fileName.size() + file.folder.size() + id3Info.size());
    line.append(kRecordPrefix).append(name).append(kNameEnd).append(file.folder);
    line.append(kFolderEnd).append(type).append(kTypeEnd).append(id3Info).append(kId3End);
    line.append(sizeText(file.sizeBytes)).append(kSizeEnd).append(dateText(file.created));
    line.push_back('\n');
    return line;
}

namespace {

// Which field a marker "<c>" ends, by its middle character; -1 for other characters.
constexpr int markerSlot(char middle) {
    switch (middle) {
        case '|':
            return 0;
        case ':':
            return 1;
        case '/':
            return 2;
        case '\\':
            return 3;
        case '*':
            return 4;
        default:
            return -1;
    }
}

}  // namespace

SongRecordView parseSongRecordLine(std::string_view line, bool hasLineEnd) {
    // One pass finds the first occurrence of every marker. A marker is "<", one character, ">",
    // so two never overlap and the positions equal those of five separate searches.
    constexpr size_t kMissing = std::string_view::npos;
    constexpr unsigned kAllFound = 0x1F;
    std::array<size_t, 5> ends = {kMissing, kMissing, kMissing, kMissing, kMissing};
    unsigned found = 0;
    const char* const text = line.data();
    const size_t size = line.size();
    // Eight bytes at a time: a zero byte of word ^ "<<<<<<<<" marks a '<'. The test may also flag
    // a byte just after a real one; the byte itself is checked again.
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const auto take = [&](size_t at) {
        if (text[at] != '<' || at + 2 >= size || text[at + 2] != '>') {
            return;
        }
        const int slot = markerSlot(text[at + 1]);
        if (slot >= 0 && (found & (1U << slot)) == 0) {
            ends[slot] = at;
            found |= 1U << slot;
        }
    };
    size_t word = 0;
    for (; found != kAllFound && word + 8 <= size; word += 8) {
        std::uint64_t bytes = 0;
        std::memcpy(&bytes, text + word, sizeof bytes);
        const std::uint64_t diff = bytes ^ (kOnes * static_cast<unsigned char>('<'));
        std::uint64_t flags = (diff - kOnes) & ~diff & kHigh;
        while (flags != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                take(word + static_cast<size_t>(std::countr_zero(flags) / 8));
                flags &= flags - 1;
            } else {
                const int bit = 63 - std::countl_zero(flags);
                take(word + static_cast<size_t>((63 - bit) / 8));
                flags &= ~(std::uint64_t{1} << bit);
            }
        }
    }
    for (; found != kAllFound && word < size; ++word) {
        take(word);
    }

    // The text between the end of marker `open` and the start of marker `close`, empty when
    // either is missing or they stand the wrong way round (as textBetween gives it).
    const auto between = [&](int open, int close) -> std::string_view {
        if (ends[open] == kMissing || ends[close] == kMissing || ends[close] < ends[open] + 3) {
            return {};
        }
        return line.substr(ends[open] + 3, ends[close] - ends[open] - 3);
    };
    SongRecordView record;
    if (ends[0] != kMissing && ends[0] >= kRecordPrefix.size()) {
        record.name = line.substr(kRecordPrefix.size(), ends[0] - kRecordPrefix.size());
    }
    record.folder = between(0, 1);
    record.type = between(1, 2);
    record.id3Info = between(2, 3);
    record.sizeText = between(3, 4);
    if (hasLineEnd && ends[4] != kMissing) {
        record.dateText = line.substr(ends[4] + kSizeEnd.size());
    }
    return record;
}

SongRecord toSongRecord(const SongRecordView& view) {
    return SongRecord{view.collectionIndex,      std::string(" ").append(view.name),
                      std::string(view.folder),  std::string(view.type),
                      std::string(view.id3Info), std::string(view.sizeText),
                      std::string(view.dateText)};
}

}  // namespace tunex
