#include "core/tags/batch_scope.h"

#include "core/tags/audio_format.h"

namespace tunex {

std::string musicFileCountText(int files) {
    return std::to_string(files) + (files == 1 ? " music file" : " music files");
}

namespace {

// How the question puts each tool: before the part, between the part and the folder, the caption.
struct ToolWords {
    std::string_view before;
    std::string_view between;
    std::string_view caption;
};

ToolWords wordsOf(BatchTool tool) {
    switch (tool) {
        case BatchTool::ClearAll:
            return {"Clear the tags of the ", ", or of ", "Clear ID3 Tag?"};
        case BatchTool::EasyTag:
            return {"Set the tags from the names of the ", ", or of ", "Easy Tag"};
        case BatchTool::Rename:
            return {"Name the ", " from their tags, or ", "Name Files from Tags"};
        case BatchTool::Tidy:
            return {"Tidy the tags of the ", ", or of ", "Tidy Tags"};
        case BatchTool::Cover:
            return {"Set the front cover of the ", ", or of ", "Set Cover"};
    }
    return {};
}

}  // namespace

ScopeQuestion scopeQuestion(BatchTool tool, ListPart part, int partFiles, int folderFiles,
                            std::string_view folder) {
    const bool shown = part == ListPart::Shown;
    const std::string which =
        musicFileCountText(partFiles) + (shown ? " shown in the list" : " selected in the list");
    const std::string all =
        "all " + musicFileCountText(folderFiles) + " under " + std::string(folder);
    const ToolWords words = wordsOf(tool);
    std::string text = std::string(words.before) + which + std::string(words.between) + all + "?";
    return {{std::move(text), captionFor(words.caption), MessageIcon::Question},
            {(shown ? "Only the &Shown " : "Only the &Selected ") + musicFileCountText(partFiles),
             "&All " + musicFileCountText(folderFiles)}};
}

int countMusicFiles(const TagScope& scope) {
    return countScopeFiles(scope, [](std::string_view name) { return isTaggableName(name); });
}

}  // namespace tunex
