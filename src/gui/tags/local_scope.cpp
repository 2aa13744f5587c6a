#include "gui/tags/local_scope.h"

#include "core/tags/audio_format.h"
#include "core/tags/local_listing.h"
#include "gui/tags/local_file_list.h"
#include "gui/widgets/wait_cursor.h"
#include "platform/platform.h"

namespace tunex {

namespace {

// The paths of a part of the list, and how many of them the tag tools take.
struct PartFiles {
    std::vector<std::string> paths;
    int musicFiles = 0;

    void take(std::string path, std::string_view name) {
        paths.push_back(std::move(path));
        musicFiles += isTaggableName(name) ? 1 : 0;
    }
};

}  // namespace

std::optional<std::string> filterLocalList(Platform& platform, LocalFileList& list,
                                           LocalFileSet& files, std::string_view keyword,
                                           int maxResults, AccentRule accents) {
    std::vector<LocalRow> rows = list.rows();
    std::optional<UserMessage> refusal;
    {
        const WaitCursor wait;
        refusal = filterLocalFiles(files, rows, keyword, maxResults, accents);
    }
    if (refusal) {
        platform.tell(*refusal);
        return std::nullopt;
    }
    const bool cut = files.size() > rows.size();
    list.setRows(std::move(rows));
    if (cut) {
        platform.tell(displayLimitMessage(maxResults));
    }
    return filteredStatusText(files);
}

std::optional<ScopeChoice> chooseBatchScope(Platform& platform, BatchTool tool,
                                            const LocalFileList& list, const LocalFileSet* filtered,
                                            TagScope whole) {
    const std::vector<int> selected = list.selectedRows();
    // One selected row is Clear This Tag's; EasyTag has no such tool, so it asks about the row.
    const std::size_t fewestSelected = tool == BatchTool::ClearAll ? 2 : 1;
    std::optional<ListPart> part;
    if (selected.size() >= fewestSelected) {
        part = ListPart::Selected;
    } else if (filtered != nullptr) {
        part = ListPart::Shown;
    }
    if (!part) {
        return ScopeChoice{std::move(whole), false};
    }
    PartFiles files;
    if (*part == ListPart::Selected) {
        for (const int row : selected) {
            const LocalRow& cells = list.rows().at(static_cast<std::size_t>(row));
            files.take(localRowPath(cells), cells[kLocalFileName]);
        }
    } else {
        for (std::size_t file = 0; file < filtered->size(); ++file) {
            files.take(filtered->path(file), filtered->name(file));
        }
    }
    int folderFiles = 0;
    {
        const WaitCursor wait;
        folderFiles = countMusicFiles(whole);
    }
    const ScopeQuestion question =
        scopeQuestion(tool, *part, files.musicFiles, folderFiles, whole.folder);
    switch (
        platform.showMessage({question.message, MessageButtons::TwoChoices, question.choices})) {
        case MessageAnswer::Yes:
            return ScopeChoice{{whole.folder, whole.includeSubfolders, std::move(files.paths)},
                               true};
        case MessageAnswer::No:
            return ScopeChoice{std::move(whole), true};
        default:
            return std::nullopt;
    }
}

}  // namespace tunex
