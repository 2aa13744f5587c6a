#include "core/tags/cover_setting.h"

#include <array>
#include <filesystem>

#include "core/tags/audio_format.h"
#include "core/tags/batch_scope.h"
#include "core/tags/tag_change.h"

namespace tunex {

namespace {

constexpr std::array<std::string_view, 3> kFolderCoverNames = {"cover", "folder", "front"};
constexpr std::array<std::string_view, 3> kFolderCoverTypes = {".jpg", ".jpeg", ".png"};

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// The rank of a name among the folder images: lower is taken first.
std::optional<std::size_t> coverNameRank(std::string_view name) {
    const std::string lower = lowered(name);
    for (std::size_t n = 0; n < kFolderCoverNames.size(); ++n) {
        for (std::size_t t = 0; t < kFolderCoverTypes.size(); ++t) {
            if (lower == std::string(kFolderCoverNames[n]) + std::string(kFolderCoverTypes[t])) {
                return n * kFolderCoverTypes.size() + t;
            }
        }
    }
    return std::nullopt;
}

std::string folderPath(std::string_view folder) {
    return folder.empty() ? std::string("/") : std::string(folder);
}

}  // namespace

std::optional<CoverInfo> readCover(const std::filesystem::path& file) {
    TagChangePlanner planner(file);
    const TagChange probe = planner.plan();
    // A tag shown but not rewritable still has its pictures read.
    if (probe.refusal == TagWriteOutcome::Failed ||
        probe.refusal == TagWriteOutcome::WrongContent) {
        return std::nullopt;
    }
    return planner.cover();
}

namespace {

// The planner lets go of the file before the write takes it.
TagChange planCover(const std::filesystem::path& file, const CoverEdit& edit) {
    TagChangePlanner planner(file);
    planner.setCover(edit);
    return planner.plan();
}

}  // namespace

TagWriteResult writeCover(WriteJournal& journal, const std::filesystem::path& file,
                          const CoverEdit& edit, bool& changed) {
    TagChange change = planCover(file, edit);
    changed = change.refusal == TagWriteOutcome::Written && !change.change.splices.empty();
    return writeTagChange(journal, std::move(change));
}

TagChange planFieldsAndCover(const std::filesystem::path& file, const TagFields& fields,
                             const std::optional<CoverEdit>& cover) {
    TagChangePlanner planner(file);
    setTagFields(planner, fields);
    if (cover) {
        planner.setCover(*cover);
    }
    return planner.plan();
}

CoverSource CoverSource::oneImage(Picture picture) {
    CoverSource source;
    source.image_ = std::move(picture);
    return source;
}

CoverSource CoverSource::besideEachFile() {
    return {};
}

std::optional<std::string> folderCoverName(std::string_view folder) {
    std::optional<std::string> best;
    std::size_t bestRank = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folderPath(folder), error)) {
        const std::string name = entry.path().filename().string();
        const auto rank = coverNameRank(name);
        if (rank && (!best || *rank < bestRank) && entry.is_regular_file(error)) {
            best = name;
            bestRank = *rank;
        }
    }
    return best;
}

const LoadedImage& CoverSource::forFolder(std::string_view folder) {
    auto found = folders_.find(folder);
    if (found != folders_.end()) {
        return found->second;
    }
    LoadedImage loaded;
    if (image_) {
        loaded.picture = image_;
    } else if (const auto name = folderCoverName(folder)) {
        loaded = loadCoverImage(std::filesystem::path(folderPath(folder)) / *name);
        if (!loaded.picture) {
            loaded.problem = *name + " in its folder is not a JPEG or PNG image it can take";
        }
    } else {
        loaded.problem = kNoFolderImageReason;
    }
    return folders_.emplace(std::string(folder), std::move(loaded)).first->second;
}

CoverBatchResult setCoversUnder(WriteJournal& journal, const TagScope& scope, CoverSource& source,
                                const TagWalkProgress& progress) {
    CoverBatchResult result;
    JournaledBatch batch(journal, [&result](const FileChange& change, const WriteResult& written) {
        if (written.outcome == WriteOutcome::Written) {
            ++result.changed;
        } else {
            result.failed.add(failureLine(change, written));
        }
    });
    const FolderWalkTotals totals = walkScope(scope, [&](const WalkedFile& file) {
        if (!isTaggableName(file.name)) {
            return WalkStep::Continue;
        }
        const LoadedImage& image = source.forFolder(file.folder);
        if (!image.picture) {
            result.noImage.add(file.path);
        } else {
            TagChange change = planCover(file.path, *image.picture);
            if (change.refusal == TagWriteOutcome::Written && change.change.splices.empty()) {
                ++result.unchanged;
            } else {
                queueTagChange(batch, std::move(change), file.path, result.failed,
                               result.wrongContent);
            }
        }
        return progress.afterFile();
    });
    finishBatch(batch, totals, result);
    return result;
}

TagPreview previewCovers(const TagScope& scope, CoverSource& source, PreviewProgress* progress) {
    return previewBatch(scope,
                        {[&source](const WalkedFile& file) -> std::optional<std::string> {
                             const LoadedImage& image = source.forFolder(file.folder);
                             return image.picture ? std::nullopt : std::optional(image.problem);
                         },
                         [&source](const WalkedFile& file, TagChangePlanner& planner) {
                             planner.setCover(*source.forFolder(file.folder).picture);
                         }},
                        progress);
}

CoverSourceQuestion coverSourceQuestion(std::string_view folder, int musicFiles) {
    return {{"Set the front cover of " + musicFileCountText(musicFiles) + " under " +
                 std::string(folder) +
                 " from one image file, or from the cover.jpg, folder.jpg or front.jpg (or .png) "
                 "in each file's own folder?",
             captionFor("Set Cover"), MessageIcon::Question},
            {"&One Image File...", "&Image in Each Folder"}};
}

UserMessage coverBatchResultMessage(std::string_view folder, const CoverBatchResult& result) {
    const auto files = [](int n) { return std::to_string(n) + (n == 1 ? " file" : " files"); };
    std::string text = (result.stopped ? "Operation Cancelled. " : "") +
                       std::string("Front cover set in ") + files(result.changed) + " under " +
                       std::string(folder) + ".";
    if (result.unchanged > 0) {
        text += "\n" + files(result.unchanged) + " held that cover already.";
    }
    if (result.noImage.count > 0) {
        text += "\n" + files(result.noImage.count) +
                " left alone: " + std::string(kNoFolderImageReason) + ":";
        for (const std::string& path : result.noImage.firstPaths) {
            text += "\n" + path;
        }
    }
    text +=
        writeFailureText(result.failed, result.wrongContent, result.undoable, result.unreadable);
    MessageIcon icon = batchResultIcon(result.failed, result.wrongContent, result.unreadable);
    if (result.noImage.count > 0) {
        icon = MessageIcon::Warning;
    }
    const std::string_view title = result.stopped                 ? "Covers Stopped"
                                   : icon == MessageIcon::Warning ? "Covers Partly Set"
                                                                  : "Covers Set";
    return {std::move(text), captionFor(title), icon};
}

}  // namespace tunex
