#include "core/store/song_record.h"

#include "core/common/text.h"

#include <cstdio>

namespace tunex {

namespace {
constexpr std::string_view kNameEnd = "<|>";
constexpr std::string_view kFolderEnd = "<:>";
constexpr std::string_view kTypeEnd = "</>";
constexpr std::string_view kId3End = "<\\>";
constexpr std::string_view kSizeEnd = "<*>";
}  // namespace

std::string sizeText(std::uint64_t sizeBytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%8.1f", static_cast<double>(sizeBytes) * 0.0009765625);
    return text;
}

std::string dateText(std::optional<std::time_t> time) {
    if (!time) {
        return {};
    }
    std::tm local{};
    if (localtime_r(&*time, &local) == nullptr) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, "%d-%.2d-%.2d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    return text;
}

std::string makeSongRecordLine(const FoundFile& file, std::string_view id3Info) {
    const std::string_view fileName = file.fileName;
    const size_t dot = fileName.rfind('.');
    const std::string_view name = dot == std::string_view::npos ? fileName : fileName.substr(0, dot);
    const std::string type = dot == std::string_view::npos ? std::string()
                                                           : toLowerUtf8(fileName.substr(dot + 1));
    std::string line;
    line.reserve(96 + fileName.size() + file.folder.size() + id3Info.size());
    line.append(kRecordPrefix).append(name).append(kNameEnd).append(file.folder);
    line.append(kFolderEnd).append(type).append(kTypeEnd).append(id3Info).append(kId3End);
    line.append(sizeText(file.sizeBytes)).append(kSizeEnd).append(dateText(file.created));
    line.push_back('\n');
    return line;
}

SongRecordView parseSongRecordLine(std::string_view line, bool hasLineEnd) {
    SongRecordView record;
    const size_t nameEnd = line.find(kNameEnd);
    if (nameEnd != std::string_view::npos && nameEnd >= kRecordPrefix.size()) {
        record.name = line.substr(kRecordPrefix.size(), nameEnd - kRecordPrefix.size());
    }
    record.folder = textBetween(line, kNameEnd, kFolderEnd);
    record.type = textBetween(line, kFolderEnd, kTypeEnd);
    record.id3Info = textBetween(line, kTypeEnd, kId3End);
    record.sizeText = textBetween(line, kId3End, kSizeEnd);
    const size_t sizeEnd = line.find(kSizeEnd);
    if (hasLineEnd && sizeEnd != std::string_view::npos) {
        record.dateText = line.substr(sizeEnd + kSizeEnd.size());
    }
    return record;
}

SongRecord toSongRecord(const SongRecordView& view) {
    return SongRecord{view.collectionIndex,       std::string(" ").append(view.name),
                      std::string(view.folder),   std::string(view.type),
                      std::string(view.id3Info),  std::string(view.sizeText),
                      std::string(view.dateText)};
}

}  // namespace tunex
