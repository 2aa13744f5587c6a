#include "core/tags/batch_scope.h"

namespace tunex {

std::string mp3FileCountText(int files) {
    return std::to_string(files) + (files == 1 ? " mp3 file" : " mp3 files");
}

ScopeQuestion scopeQuestion(BatchTool tool, ListPart part, int partFiles, int folderFiles,
                            std::string_view folder) {
    const bool shown = part == ListPart::Shown;
    const std::string which =
        mp3FileCountText(partFiles) + (shown ? " shown in the list" : " selected in the list");
    const std::string all =
        "all " + mp3FileCountText(folderFiles) + " under " + std::string(folder);
    const bool clear = tool == BatchTool::ClearAll;
    std::string text =
        clear ? "Clear the ID3 tags of the " + which + ", or of " + all + "?"
              : "Set the ID3 tags from the names of the " + which + ", or of " + all + "?";
    return {
        {std::move(text), captionFor(clear ? "Clear ID3 Tag?" : "Easy Tag"), MessageIcon::Question},
        {(shown ? "Only the &Shown " : "Only the &Selected ") + mp3FileCountText(partFiles),
         "&All " + mp3FileCountText(folderFiles)}};
}

int countMp3Files(const TagScope& scope) {
    return countScopeFiles(scope, [](std::string_view name) { return isMp3Name(name); });
}

}  // namespace tunex
