#pragma once

#include "core/common/user_message.h"
#include "core/tags/tag_walk.h"

#include <array>
#include <string>
#include <string_view>

namespace tunex {

// The batch tools of the Local page that can act on part of the list instead of the folder.
enum class BatchTool { ClearAll, EasyTag, Rename, Tidy, Cover };

// Which part of the list the user may mean: the rows a filter left, or the rows selected.
enum class ListPart { Shown, Selected };

// Asked when the list is filtered or rows are selected: the files of that part, the whole folder
// (as the walk goes), or nothing. The first choice takes the part, the second the folder.
struct ScopeQuestion {
    UserMessage message;
    std::array<std::string, 2> choices;
};

[[nodiscard]] ScopeQuestion scopeQuestion(BatchTool tool, ListPart part, int partFiles,
                                          int folderFiles, std::string_view folder);

// "1 music file", "2 music files".
[[nodiscard]] std::string musicFileCountText(int files);

// The files of a scope the tag tools take (isTaggableName): the count the questions name.
[[nodiscard]] int countMusicFiles(const TagScope& scope);

}  // namespace tunex
