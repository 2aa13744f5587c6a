#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/unreadable_folders.h"
#include "core/common/user_message.h"
#include "core/journal/write_journal.h"
#include "core/tags/easy_tag.h"
#include "core/tags/id3_tags.h"
#include "core/tags/name_pattern.h"
#include "core/tags/tag_preview.h"
#include "core/tags/tag_walk.h"

namespace tunex {

// What names the file system holding a folder takes.
struct NameRules {
    bool windowsNames = false;  // FAT, exFAT, NTFS: no \ : * ? " < > | and no trailing dot or blank
    bool foldsCase = false;     // "Song.mp3" and "song.mp3" are one name there
    std::size_t maxBytes = 255;
};

// The rules of the file system `folder` is on (by statfs); Linux's own where it cannot be told.
[[nodiscard]] NameRules nameRulesOf(const std::string& folder);

// The name (relative to its folder, "/" between folders) the pattern gives a file with these
// tags, or why it cannot have one. `extension` is kept as it is ("mp3", "FLAC"), and the file
// name is cut to the byte limit before it.
struct NameFromTags {
    std::optional<std::string> name;
    std::string reason;
};
[[nodiscard]] NameFromTags nameFromTags(const NamePattern& pattern, const Id3v2Fields& tags,
                                        std::string_view extension, const NameRules& rules);

// The tags a name is made from: an mp3's V2 field, or its V1 field where V2 has none; the one tag
// of other formats. Empty fields when the file has no tag or cannot be read.
[[nodiscard]] Id3v2Fields tagsForNaming(const std::string& path);

// What naming the files of a scope from their tags would do, file by file in walk order.
struct RenamePlan {
    std::vector<FileRename> renames;
    std::vector<SkippedFile> skipped;
    int alreadyNamed = 0;  // files that have their name already
    UnreadableFolders unreadable;
    bool stopped = false;
};

[[nodiscard]] RenamePlan planRenames(const TagScope& scope, const NamePattern& pattern,
                                     PreviewProgress* progress = nullptr);

// "N files renamed" and the rest as a preview counts them ("would be" for a dry run).
[[nodiscard]] std::string renamePlanCountsText(const RenamePlan& plan, bool dryRun);
// The plan as preview rows ("File name", old name, new name below the file's folder), for the
// preview dialog the tag tools share.
[[nodiscard]] TagPreview renamePreview(const RenamePlan& plan);
// The plan as TAB-separated lines: old path, new path.
[[nodiscard]] std::vector<std::vector<std::string>> renamePlanTable(const RenamePlan& plan);

struct RenameResult {
    std::vector<FileRename> renamed;
    WriteFailures failed;
    int collectionRecords = 0;  // records of the catalogue that now have the new names
    std::string collectionError;
    bool stopped = false;
};

// Renames through the write journal; `progress` steps for each file and may stop the run
// between groups of files.
[[nodiscard]] RenameResult applyRenames(WriteJournal& journal, std::span<const FileRename> renames,
                                        const TagWalkProgress& progress = {});

// The message after a run, naming `folder`.
[[nodiscard]] UserMessage renameResultMessage(std::string_view folder, const RenamePlan& plan,
                                              const RenameResult& result);

inline constexpr std::string_view kRenameProgressTitle = "Tunex - Naming files from tags";
inline constexpr std::string_view kRenameProgressMessage = "Renaming files in progress......";

}  // namespace tunex
