#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/journal/write_journal.h"
#include "core/tags/cover_art.h"
#include "core/tags/frame_words.h"
#include "core/tags/id3_tags.h"
#include "core/tags/id3v2_fields.h"
#include "core/tags/tag_walk.h"

namespace tunex {

class TagReader;

// What writing tags into one file would do: the file's change, or why it cannot be written.
struct TagChange {
    TagWriteOutcome refusal = TagWriteOutcome::Written;  // Written: `change` can be applied
    std::string reason;  // why a refused file is left alone, where known (refusal_reasons.h)
    FileChange change;   // no splices: nothing to change
};

// Plans a tag write on one file from a single read: only the fields whose value differs from
// what the file holds are rewritten, and untouched frames keep their bytes. A file of another
// format than mp3 (by its name) has one tag, which stands in the V2 group; V1 requests pass it
// by.
class TagChangePlanner final {
public:
    explicit TagChangePlanner(const std::filesystem::path& file);
    ~TagChangePlanner();
    TagChangePlanner(const TagChangePlanner&) = delete;
    TagChangePlanner& operator=(const TagChangePlanner&) = delete;
    TagChangePlanner(TagChangePlanner&&) = delete;
    TagChangePlanner& operator=(TagChangePlanner&&) = delete;

    // What the file holds now, as loadTagFields reads it.
    [[nodiscard]] const TagFields& current() const { return current_; }
    // The file has one tag (not mp3): only the V2 group counts.
    [[nodiscard]] bool singleGroup() const { return formatPlan_ != nullptr; }

    // The V1 tag as `wanted`, changing only the fields that differ; a file without a V1 tag
    // gets one when `create` holds or some field is to be set.
    void setV1(const Id3v1Fields& wanted, bool create);
    void setV2(const Id3v2Fields& wanted);
    // Removes the V2 tag (and any copies right behind it) and blanks the V1 tag in place.
    void clearAll();
    // Sets (an image) or removes (none) the front cover; every other picture stays as it is.
    void setCover(CoverEdit edit);
    // The front cover and pictures the file holds now.
    [[nodiscard]] const CoverInfo& cover();

    [[nodiscard]] TagChange plan();
    // The front cover before and after the last plan() in words ("JPEG 600×600, 48 KB",
    // "none"), when the plan changes it.
    [[nodiscard]] std::optional<std::pair<std::string, std::string>> coverChange() const;
    // What the file will hold once the last plan() is written, read back as loadTagFields reads
    // it (V1 text exactly as V1 keeps it); the current fields when nothing changes.
    [[nodiscard]] TagFields fieldsAfter() const;
    // The V2 tag's version before and after the last plan() ("ID3v2.2", "ID3v2.3"), when the
    // write changes it: an old v2.2 tag is rewritten as v2.3.
    [[nodiscard]] std::optional<std::pair<std::string, std::string>> v2VersionChange() const;
    // The frames of an mp3's V2 tag that clearAll() removes and the editor does not show
    // (pictures, ReplayGain, lyrics, private frames...), in words.
    [[nodiscard]] std::vector<FrameWords> framesClearRemoves() const;

private:
    struct FormatPlan;
    [[nodiscard]] TagChange planFormat();
    [[nodiscard]] std::optional<Splice> v2Splice();
    [[nodiscard]] std::optional<Splice> v1Splice();
    // Whether the cover read back after the plan is the one asked; notes the change's words.
    [[nodiscard]] bool coverAsAsked(const CoverInfo& after);
    void refuse(TagChange& result) const;

    std::string path_;
    UniqueFd readHold_;
    std::unique_ptr<TagReader> reader_;
    TagWriteOutcome refusal_ = TagWriteOutcome::Written;
    std::string reason_;
    FileIdentity identity_;
    TagFields current_;
    std::int64_t v1Location_ = -1;
    std::string v1Original_;
    std::int64_t v2Location_ = -1;
    std::string v2Original_;
    std::optional<Id3v1Fields> v1Wanted_;
    bool createV1_ = false;
    std::vector<V2Edit> v2Edits_;
    bool clear_ = false;
    std::optional<CoverEdit> coverEdit_;
    std::optional<CoverInfo> coverNow_;
    std::optional<std::pair<std::string, std::string>> coverChange_;
    // The tags as plan() leaves them.
    std::string v2After_;
    std::string v1After_;
    std::unique_ptr<FormatPlan> formatPlan_;
};

// Whether the file's content is MPEG audio as TagLib finds it (not merely a name ending .mp3).
[[nodiscard]] bool isMpegAudio(TagReader& reader);

}  // namespace tunex

namespace tunex {

// The plans of the three write operations of id3_tags.h, for callers that batch them.
[[nodiscard]] TagChange planTagFields(const std::filesystem::path& file, const TagFields& fields);
[[nodiscard]] TagChange planClearAll(const std::filesystem::path& file);
[[nodiscard]] TagChange planNameFields(const std::filesystem::path& file, TagVersion target,
                                       std::span<const NameValue> values);
// What planNameFields asks of its planner, for callers that want the planner too.
void setNameFields(TagChangePlanner& planner, TagVersion target, std::span<const NameValue> values);
// The editor's Update: both tags as the fields hold them, V1 made when missing.
void setTagFields(TagChangePlanner& planner, const TagFields& fields);

struct WriteFailures;

// Queues a planned change in a batch, or notes why the file cannot be written.
void queueTagChange(JournaledBatch& batch, TagChange change, const std::string& path,
                    WriteFailures& failed, WriteFailures& wrongContent);

// Ends a batch tool's run: writes what is queued, then takes the walk's totals and whether the
// journal kept every change into the tool's result.
template <class BatchResult>
void finishBatch(JournaledBatch& batch, const FolderWalkTotals& totals, BatchResult& result) {
    batch.finish();
    result.unreadable = totals.unreadable;
    result.stopped = totals.stopped;
    result.undoable = batch.undoable();
}

// Writes one planned change through the journal, as a batch of its own.
[[nodiscard]] TagWriteResult writeTagChange(WriteJournal& journal, TagChange change);

}  // namespace tunex
