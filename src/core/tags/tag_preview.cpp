#include "core/tags/tag_preview.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <utility>

#include "core/tags/audio_format.h"
#include "core/tags/batch_scope.h"
#include "core/tags/genre_list.h"
#include "core/tags/tag_change.h"
#include "core/tags/tag_editor_rules.h"
#include "core/tags/tag_field_table.h"
#include "core/tags/tag_walk.h"

namespace tunex {

namespace {

// The list's name of the entry, or the stored name of a genre outside the list.
std::string genreText(TagVersion version, const TagFields& fields) {
    const int entry = genreEntryOf(version, fields);
    if (entry > 0 && entry <= kGenreCount) {
        return std::string(GenreList[entry - 1]);
    }
    return entry == kGenreUnselected && version == TagVersion::V2 ? fields.v2.genreName
                                                                  : std::string();
}

std::string skipReason(const TagChange& plan, const std::string& path) {
    const TagWriteOutcome refusal = plan.refusal;
    if (!plan.reason.empty()) {
        return plan.reason;
    }
    if (refusal == TagWriteOutcome::NotReadWhole) {
        return std::string(kNotReadWholeReason);
    }
    if (refusal != TagWriteOutcome::WrongContent) {
        return "cannot be read or written";
    }
    return "not " +
           std::string(audioFormatName(audioFormatOfName(path).value_or(AudioFormat::Mp3)));
}

// Adds the rows of the fields that differ; whether any did.
bool addChangedFields(TagPreview& preview, const std::string& path, const TagFields& before,
                      const TagFields& after, bool singleGroup) {
    bool changed = false;
    for (const TagFieldRow& row : tagFieldRows()) {
        if (singleGroup && row.version == TagVersion::V1) {
            continue;
        }
        std::string oldValue;
        std::string newValue;
        if (row.isGenre()) {
            oldValue = genreText(row.version, before);
            newValue = genreText(row.version, after);
        } else {
            oldValue = *fieldText(row, before);
            newValue = *fieldText(row, after);
        }
        if (oldValue != newValue) {
            preview.rows.push_back(
                {path, row.version, singleGroup, std::string(row.label), oldValue, newValue});
            changed = true;
        }
    }
    return changed;
}

// The files a batch preview has planned, by device and inode: a batch writes each once.
using PlannedFiles =
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::pair<std::string, std::uint64_t>>;

// Plans one file with `set` and records what the plan would change.
template <typename SetUp>
void previewFile(TagPreview& preview, const std::string& path, const SetUp& set,
                 PlannedFiles* planned = nullptr) {
    TagChangePlanner planner(path);
    set(planner);
    const TagChange plan = planner.plan();
    if (plan.refusal != TagWriteOutcome::Written) {
        preview.skipped.push_back({path, skipReason(plan, path)});
        return;
    }
    if (plan.change.splices.empty()) {
        return;
    }
    if (planned != nullptr) {
        const auto [first, isNew] = planned->try_emplace(
            {plan.change.before.device, plan.change.before.inode}, path, changeHash(plan.change));
        if (!isNew) {
            if (first->second.second != changeHash(plan.change)) {
                preview.skipped.push_back({path, sameFileReason(first->second.first)});
            }
            return;
        }
    }
    // The write would fail on such a file; the user learns it before choosing.
    if (::access(path.c_str(), W_OK) != 0) {
        preview.skipped.push_back({path, "read-only"});
        return;
    }
    bool changed = addChangedFields(preview, path, planner.current(), planner.fieldsAfter(),
                                    planner.singleGroup());
    if (auto cover = planner.coverChange()) {
        preview.rows.push_back({path, TagVersion::V2, planner.singleGroup(), "Cover",
                                std::move(cover->first), std::move(cover->second)});
        changed = true;
    }
    if (auto versions = planner.v2VersionChange()) {
        preview.rows.push_back({path, TagVersion::V2, false, "Tag version",
                                std::move(versions->first), std::move(versions->second)});
    }
    // Nothing a clear takes goes unseen: the frames the editor has no field for are listed too.
    for (FrameWords& words : planner.framesClearRemoves()) {
        preview.rows.push_back(
            {path, TagVersion::V2, false, std::move(words.what), std::move(words.text), {}});
        changed = true;
    }
    if (changed) {
        ++preview.files;
    }
}

// Walks the scope's mp3 files, counting them first when someone watches the progress.
template <typename Visit>
void previewScope(TagPreview& preview, const TagScope& scope, PreviewProgress* progress,
                  const Visit& visit) {
    if (progress != nullptr) {
        progress->total = countMusicFiles(scope);
    }
    const FolderWalkTotals totals = walkScope(scope, [&](const WalkedFile& file) {
        if (!isTaggableName(file.name)) {
            return WalkStep::Continue;
        }
        visit(file);
        if (progress == nullptr) {
            return WalkStep::Continue;
        }
        ++progress->done;
        return progress->stop ? WalkStep::Stop : WalkStep::Continue;
    });
    preview.unreadable = totals.unreadable;
    preview.stopped = totals.stopped;
}

}  // namespace

TagPreview previewEasyTag(const TagScope& scope, const NameFormat& format,
                          PreviewProgress* progress) {
    TagPreview preview;
    PlannedFiles planned;
    previewScope(preview, scope, progress, [&](const WalkedFile& file) {
        const auto values = nameValuesFor(file.folder, file.name, format);
        if (!values) {
            preview.skipped.push_back({file.path, "name does not fit the format"});
            return;
        }
        previewFile(
            preview, file.path,
            [&](TagChangePlanner& planner) { setNameFields(planner, format.target, *values); },
            &planned);
    });
    return preview;
}

TagPreview previewClearAll(const TagScope& scope, PreviewProgress* progress) {
    TagPreview preview;
    PlannedFiles planned;
    previewScope(preview, scope, progress, [&](const WalkedFile& file) {
        previewFile(
            preview, file.path, [](TagChangePlanner& planner) { planner.clearAll(); }, &planned);
    });
    return preview;
}

TagPreview previewPlannedScope(const TagScope& scope,
                               const std::function<void(TagChangePlanner&)>& set,
                               PreviewProgress* progress) {
    TagPreview preview;
    PlannedFiles planned;
    previewScope(preview, scope, progress,
                 [&](const WalkedFile& file) { previewFile(preview, file.path, set, &planned); });
    return preview;
}

TagPreview previewTagFields(const std::filesystem::path& file, const TagFields& fields,
                            const std::optional<CoverEdit>& cover) {
    TagPreview preview;
    previewFile(preview, file.string(), [&](TagChangePlanner& planner) {
        setTagFields(planner, fields);
        if (cover) {
            planner.setCover(*cover);
        }
    });
    return preview;
}

TagPreview previewBatch(const TagScope& scope, const BatchPlanSetUp& setUp,
                        PreviewProgress* progress) {
    TagPreview preview;
    PlannedFiles planned;
    previewScope(preview, scope, progress, [&](const WalkedFile& file) {
        if (auto reason = setUp.skip(file)) {
            preview.skipped.push_back({file.path, std::move(*reason)});
            return;
        }
        previewFile(
            preview, file.path, [&](TagChangePlanner& planner) { setUp.set(file, planner); },
            &planned);
    });
    return preview;
}

std::string previewCountsText(const TagPreview& preview, std::string_view leftAlone) {
    const auto counted = [](std::size_t n, std::string_view one, std::string_view many) {
        return std::to_string(n) + std::string(n == 1 ? one : many);
    };
    const bool names = !preview.rows.empty() &&
                       std::all_of(preview.rows.begin(), preview.rows.end(),
                                   [](const PreviewRow& row) { return row.fileName; });
    std::string text =
        names ? counted(preview.rows.size(), " new file name", " new file names")
              : counted(preview.rows.size(), " change in ", " changes in ") +
                    counted(static_cast<std::size_t>(preview.files), " file", " files");
    if (!preview.skipped.empty()) {
        text.append("; ").append(counted(preview.skipped.size(), " file ", " files "));
        text.append(leftAlone);
    }
    return text;
}

std::string_view previewTagName(const PreviewRow& row) {
    if (row.fileName) {
        return {};
    }
    if (row.singleGroup) {
        return "Tag";
    }
    return row.version == TagVersion::V1 ? "V1" : "V2";
}

std::vector<std::vector<std::string>> previewTable(const TagPreview& preview) {
    std::vector<std::vector<std::string>> table;
    table.reserve(preview.rows.size());
    for (const PreviewRow& row : preview.rows) {
        table.push_back(
            {row.path, std::string(previewTagName(row)), row.field, row.oldValue, row.newValue});
    }
    return table;
}

}  // namespace tunex
