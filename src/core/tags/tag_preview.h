#pragma once

#include "core/common/unreadable_folders.h"
#include "core/tags/cover_art.h"
#include "core/tags/easy_tag.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

class TagChangePlanner;

// One field a batch would change in one file, its values as the file would show them.
struct PreviewRow {
    std::string path;
    TagVersion version = TagVersion::V2;
    bool singleGroup = false;  // the file's one tag (not mp3), not a V1 or V2 tag
    std::string field;         // the editor's label: "Title", "Track #"...
    std::string oldValue;
    std::string newValue;
    bool fileName = false;  // the row is the file's name, not a field of a tag
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
    bool stopped = false;  // asked to stop before every file was read
};

// Where a preview stands, for another thread to show while it works; setting `stop` ends it
// after the file at hand.
struct PreviewProgress {
    std::atomic<int> total{-1};  // mp3 files to read, once counted
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
};

// The changes EasyTag would make to the scope with this format, file by file in walk order.
[[nodiscard]] TagPreview previewEasyTag(const TagScope& scope, const NameFormat& format,
                                        PreviewProgress* progress = nullptr);
// The changes Clear All Tag would make to the scope.
[[nodiscard]] TagPreview previewClearAll(const TagScope& scope,
                                         PreviewProgress* progress = nullptr);
// The changes a batch that sets each music file's planner with `set` would make to the scope.
[[nodiscard]] TagPreview previewPlannedScope(const TagScope& scope,
                                             const std::function<void(TagChangePlanner&)>& set,
                                             PreviewProgress* progress = nullptr);
// The changes the tag editor's Update would make to one file, its cover too when `cover` is set.
[[nodiscard]] TagPreview previewTagFields(const std::filesystem::path& file,
                                          const TagFields& fields,
                                          const std::optional<CoverEdit>& cover = std::nullopt);

// The changes of another batch tool: `skip` names why a music file is left alone unread (or
// nothing), `set` readies the planner of each other one.
struct BatchPlanSetUp {
    std::function<std::optional<std::string>(const WalkedFile&)> skip;
    std::function<void(const WalkedFile&, TagChangePlanner&)> set;
};
[[nodiscard]] TagPreview previewBatch(const TagScope& scope, const BatchPlanSetUp& setUp,
                                      PreviewProgress* progress = nullptr);

// "N changes in M files" ("N new file names" for renames), then "; K files " + `leftAlone` when
// some file is skipped (singular for one); the page says what will happen, a dry run what would.
[[nodiscard]] std::string previewCountsText(const TagPreview& preview, std::string_view leftAlone);

// How the tag column names a row's tag: "V1", "V2", or "Tag" for the one tag of other formats;
// nothing for a file's name.
[[nodiscard]] std::string_view previewTagName(const PreviewRow& row);

// The preview as TAB-separated lines: file, tag (previewTagName), field, old value, new value.
[[nodiscard]] std::vector<std::vector<std::string>> previewTable(const TagPreview& preview);

}  // namespace tunex
