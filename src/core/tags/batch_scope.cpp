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
    std::string_view asking = "Clear the tags of the ";
    std::string_view caption = "Clear ID3 Tag?";
    if (tool == BatchTool::EasyTag) {
        asking = "Set the tags from the names of the ";
        caption = "Easy Tag";
    } else if (tool == BatchTool::Tidy) {
        asking = "Tidy the tags of the ";
        caption = "Tidy Tags";
    }
    std::string text = std::string(asking) + which + ", or of " + all + "?";
    return {{std::move(text), captionFor(caption), MessageIcon::Question},
            {(shown ? "Only the &Shown " : "Only the &Selected ") + musicFileCountText(partFiles),
             "&All " + musicFileCountText(folderFiles)}};
}

int countMusicFiles(const TagScope& scope) {
    return countScopeFiles(scope, [](std::string_view name) { return isTaggableName(name); });
}

}  // namespace tunex
