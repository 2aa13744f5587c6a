#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tunex {

// One catalogued media file, as a view into text owned elsewhere (the index, or a line buffer).
// `name` is the file name without extension and without the leading blank the index key carries.
struct SongRecordView {
    int collectionIndex = 0;
    std::string_view name;
    std::string_view folder;
    std::string_view type;
    std::string_view id3Info;
    std::string_view sizeText;
    std::string_view dateText;
};

// An owning copy, for the few places that keep a record beyond the text it was read from.
struct SongRecord {
    int collectionIndex = 0;
    std::string name;  // with the leading blank of the index key
    std::string folder;
    std::string type;
    std::string id3Info;
    std::string sizeText;
    std::string dateText;

    [[nodiscard]] std::string_view displayName() const {
        return std::string_view(name).substr(name.empty() ? 0 : 1);
    }
    friend bool operator==(const SongRecord&, const SongRecord&) = default;
};

// A file met by a walk, with what its record needs.
struct FoundFile {
    std::string fileName;  // name with extension, as on disk
    std::string folder;    // the folder being listed, without a trailing "/"
    std::uint64_t sizeBytes = 0;
    std::optional<std::time_t> created;  // empty when the file system gives no time
};

inline constexpr std::string_view kRecordPrefix = "<?>";
inline constexpr std::string_view kCollectionNamePrefix = "**";
inline constexpr std::string_view kEndMarker = "@*EOF";

// Size in KB, "%8.1f" (the full 64-bit size).
[[nodiscard]] std::string sizeText(std::uint64_t sizeBytes);
// Local date "%d-%.2d-%.2d"; empty without a time.
[[nodiscard]] std::string dateText(std::optional<std::time_t> time);

// The record line for a found file, with its LF.
[[nodiscard]] std::string makeSongRecordLine(const FoundFile& file, std::string_view id3Info);

// Splits a line that begins with "<?>"; each field runs between the first occurrences of its two
// markers, and is empty when a marker is missing or out of order. A line read without its line end
// has an empty date. The views point into `line`.
[[nodiscard]] SongRecordView parseSongRecordLine(std::string_view line, bool hasLineEnd = true);

[[nodiscard]] SongRecord toSongRecord(const SongRecordView& view);

}  // namespace tunex
