#include "core/tags/batch_scope.h"

#include "core/tags/audio_format.h"

namespace tunex {

std::string musicFileCountText(int files) {
    return std::to_string(files) + (files == 1 ? " music file" : " music files");
}

ScopeQuestion scopeQuestion(BatchTool tool, ListPart part, int partFiles, int folderFiles,
                            std::string_view folder) {
    const bool shown = part == ListPart::Shown;
    const std::string which =
        musicFileCountText(partFiles) + (shown ? " shown in the list" : " selected in the list");
    const std::string all =
        "all " + musicFileCountText(folderFiles) + " under " + std::string(folder);
    const bool clear = tool == BatchTool::ClearAll;
    std::string text = clear
                           ? "Clear the tags of the " + which + ", or of " + all + "?"
                           : "Set the tags from the names of the " + which + ", or of " + all + "?";
    return {
        {std::move(text), captionFor(clear ? "Clear ID3 Tag?" : "Easy Tag"), MessageIcon::Question},
        {(shown ? "Only the &Shown " : "Only the &Selected ") + musicFileCountText(partFiles),
         "&All " + musicFileCountText(folderFiles)}};
}

int countMusicFiles(const TagScope& scope) {
    return countScopeFiles(scope, [](std::string_view name) { return isTaggableName(name); });
}

}  // namespace tunex
