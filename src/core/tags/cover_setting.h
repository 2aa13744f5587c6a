#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/user_message.h"
#include "core/tags/cover_art.h"
#include "core/tags/easy_tag.h"
#include "core/tags/tag_change.h"
#include "core/tags/tag_preview.h"
#include "core/tags/tag_walk.h"

namespace tunex {

class WriteJournal;

// The front cover and picture count of one file; nothing when it cannot be read as its format.
[[nodiscard]] std::optional<CoverInfo> readCover(const std::filesystem::path& file);
// Sets or removes one file's front cover through the write journal; `changed` says whether the
// file had to change.
[[nodiscard]] TagWriteResult writeCover(WriteJournal& journal, const std::filesystem::path& file,
                                        const CoverEdit& edit, bool& changed);

// The editor's Update with a cover change: both in one plan, so that one undo takes both back.
[[nodiscard]] TagChange planFieldsAndCover(const std::filesystem::path& file,
                                           const TagFields& fields,
                                           const std::optional<CoverEdit>& cover);

// Where a batch takes each file's front cover from: one image for every file, or the image
// named cover, folder or front (.jpg, .jpeg or .png, any letter case) in the file's own folder.
class CoverSource final {
public:
    [[nodiscard]] static CoverSource oneImage(Picture picture);
    [[nodiscard]] static CoverSource besideEachFile();

    // The cover for the files of `folder`, or in `problem` why there is none; a folder's image
    // is looked for and read once.
    [[nodiscard]] const LoadedImage& forFolder(std::string_view folder);

private:
    std::optional<Picture> image_;
    std::map<std::string, LoadedImage, std::less<>> folders_;
};

// The image of a folder a batch takes, by the order of kFolderCoverNames then .jpg, .jpeg,
// .png; nothing when there is none.
[[nodiscard]] std::optional<std::string> folderCoverName(std::string_view folder);
inline constexpr std::string_view kNoFolderImageReason =
    "no cover.jpg, folder.jpg or front.jpg in its folder";

struct CoverBatchResult {
    int changed = 0;        // files that now hold the cover
    int unchanged = 0;      // held it already
    WriteFailures noImage;  // in a folder without an image to take
    WriteFailures failed;
    WriteFailures wrongContent;
    bool undoable = true;
    UnreadableFolders unreadable;
    bool stopped = false;
};

// Sets the front cover of every music file of the scope through the write journal, one
// progress step per music file; each file is changed wholly or not at all.
[[nodiscard]] CoverBatchResult setCoversUnder(WriteJournal& journal, const TagScope& scope,
                                              CoverSource& source,
                                              const TagWalkProgress& progress = {});
// What setCoversUnder would do.
[[nodiscard]] TagPreview previewCovers(const TagScope& scope, CoverSource& source,
                                       PreviewProgress* progress = nullptr);

// Where the batch's covers come from: the first choice is one image file, the second the image
// in each file's folder.
struct CoverSourceQuestion {
    UserMessage message;
    std::array<std::string, 2> choices;
};
[[nodiscard]] CoverSourceQuestion coverSourceQuestion(std::string_view folder, int musicFiles);

inline constexpr std::string_view kCoverProgressTitle = "Tunex - Setting Covers";
inline constexpr std::string_view kCoverProgressMessage = "Setting covers in progress......";

// "Front cover set in 12 files under F." with the files left alone and those that failed.
[[nodiscard]] UserMessage coverBatchResultMessage(std::string_view folder,
                                                  const CoverBatchResult& result);

}  // namespace tunex
