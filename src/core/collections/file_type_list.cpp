#include "core/collections/file_type_list.h"

#include "core/common/text.h"

namespace tunex {

void FileTypeList::replaceAll(std::vector<std::string> types) {
    types_.clear();
    for (std::string& type : types) {
        types_.insert(std::move(type));
    }
}

bool FileTypeList::matches(std::string_view fileName) const {
    const std::string lower = toLowerUtf8(fileName);
    const size_t dot = lower.rfind('.');
    return contains(dot == std::string::npos ? std::string_view(lower)
                                             : std::string_view(lower).substr(dot + 1));
}

FileTypeAddResult addFileType(FileTypeList& list, std::string_view typed) {
    const std::string caption = captionFor("Add Error");
    FileTypeAddResult result;
    if (typed.empty()) {
        result.message = UserMessage{"Input is empty. Please enter an input first", caption,
                                     MessageIcon::Warning};
        return result;
    }
    if (typed.find_first_of("/\\:*?\"<>|;") != std::string_view::npos) {
        result.message = UserMessage{"Input <" + std::string(typed) +
                                         "> cannot contain the following characters:\n"
                                         "/ \\ : * ? \" < > | ;",
                                     caption, MessageIcon::Warning};
        return result;
    }
    // Entries are only useful in lower case, and a leading "." is a common slip.
    std::string type = toLowerUtf8(typed);
    if (type.size() > 1 && type.front() == '.') {
        type.erase(0, 1);
    }
    result.clearInput = true;
    if (list.contains(type)) {
        result.message = UserMessage{
            "File Type <" + std::string(typed) + "> already exists. Please enter a new one.",
            caption, MessageIcon::Warning};
        return result;
    }
    list.add(std::move(type));
    result.added = true;
    return result;
}

}  // namespace tunex
