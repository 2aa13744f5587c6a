#pragma once

#include "core/common/user_message.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// The file types that count as media files for Count, Add and the Local listing. A new list holds
// mp3, wma and wmv; the base folder keeps the user's own (see file_type_store.h).
class FileTypeList final {
public:
    FileTypeList() : types_{"mp3", "wma", "wmv"} {}

    [[nodiscard]] bool contains(std::string_view type) const {
        return types_.find(std::string(type)) != types_.end();
    }
    void add(std::string type) { types_.insert(std::move(type)); }
    void remove(std::string_view type) { types_.erase(std::string(type)); }
    void replaceAll(std::vector<std::string> types);
    [[nodiscard]] std::size_t size() const { return types_.size(); }
    // Sorted byte-wise, as the page shows them.
    [[nodiscard]] std::vector<std::string> entries() const {
        return {types_.begin(), types_.end()};
    }

    // The file name's lower-cased extension (the whole name when it has no ".") is an entry.
    [[nodiscard]] bool matches(std::string_view fileName) const;

private:
    std::set<std::string> types_;
};

// The outcome of typing a new type and pressing Add.
struct FileTypeAddResult {
    std::optional<UserMessage> message;  // refused, or already there
    bool added = false;
    bool clearInput = false;  // the edit box is emptied after an add and after "already exists"
};

// Checks `typed` as the File Type page's Add does and adds it (lower-cased, without a leading
// ".") when it is new.
[[nodiscard]] FileTypeAddResult addFileType(FileTypeList& list, std::string_view typed);

}  // namespace tunex
