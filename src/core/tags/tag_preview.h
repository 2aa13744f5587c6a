#pragma once

#include "core/common/unreadable_folders.h"
#include "core/tags/easy_tag.h"

#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// One field a batch would change in one file, its values as the file would show them.
struct PreviewRow {
    std::string path;
    TagVersion version = TagVersion::V2;
    std::string field;  // the editor's label: "Title", "Track #"...
    std::string oldValue;
    std::string newValue;
};

// A file the batch would leave alone, and why.
struct SkippedFile {
    std::string path;
    std::string reason;
};

// What EasyTag or Clear All Tag would do, worked out without writing anything.
struct TagPreview {
    std::vector<PreviewRow> rows;
    std::vector<SkippedFile> skipped;
    int files = 0;  // files with at least one changed field
    UnreadableFolders unreadable;
};

// The changes EasyTag would make under `folder` with this format, file by file in walk order.
[[nodiscard]] TagPreview previewEasyTag(std::string_view folder, const NameFormat& format,
                                        bool includeSubfolders);
// The changes Clear All Tag would make under `folder`.
[[nodiscard]] TagPreview previewClearAll(std::string_view folder, bool includeSubfolders);

// "N changes in M files", then "; K files " + `leftAlone` when some file is skipped; the page says
// what will happen, a dry run what would.
[[nodiscard]] std::string previewCountsText(const TagPreview& preview, std::string_view leftAlone);

// The preview as TAB-separated lines: file, version, field, old value, new value.
[[nodiscard]] std::vector<std::vector<std::string>> previewTable(const TagPreview& preview);

}  // namespace tunex
