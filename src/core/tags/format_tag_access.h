#pragma once

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/tags/format_tags.h"

namespace TagLib {
namespace Ogg {
class XiphComment;
}
namespace APE {
class Tag;
}
namespace MP4 {
class Tag;
}
namespace ASF {
class Tag;
}
}  // namespace TagLib

namespace tunex {

// The names a field goes by in a tag of keys and values; the first is written when the tag has
// none of them. Reading takes the first one present.
using KeyNames = std::array<std::string_view, 3>;

struct FieldKeys {
    TagField field = TagField::Title;
    KeyNames names{};
};

// Reads and writes a field by key in the format's tag.
class FormatTag::Access {
public:
    Access() = default;
    Access(const Access&) = delete;
    Access& operator=(const Access&) = delete;
    Access(Access&&) = delete;
    Access& operator=(Access&&) = delete;
    virtual ~Access() = default;
    [[nodiscard]] virtual std::span<const FieldKeys> keys() const = 0;
    // Every value under the key, in the tag's order.
    [[nodiscard]] virtual std::vector<std::string> get(std::string_view key) = 0;
    [[nodiscard]] virtual bool has(std::string_view key) = 0;
    // Replaces what the key holds with one or more values.
    virtual void set(std::string_view key, std::span<const std::string> values) = 0;
    virtual void remove(std::string_view key) = 0;
    // Whether TagLib gives a key's values back in the order they were set.
    [[nodiscard]] virtual bool keepsLists() const { return true; }

    [[nodiscard]] const KeyNames* namesOf(TagField field) const;
    // Whether the tag holds the field under any of its names, also with a value TagLib reads as
    // empty (text that is not UTF-8).
    [[nodiscard]] bool holds(TagField field);
    // The values under the first name of the field that holds any, as one text (kValueSeparator).
    [[nodiscard]] std::string read(TagField field);
    // An empty value removes every name of the field; else the name already in use is set, to the
    // values the text stands for.
    void write(TagField field, const std::string& value);

private:
    [[nodiscard]] std::string text(TagField field, std::string_view key);
};

// The fields of each format's tag by key; the callbacks give the tag, made when `create` holds.
[[nodiscard]] std::unique_ptr<FormatTag::Access> xiphAccess(
    std::function<TagLib::Ogg::XiphComment*(bool create)> comment);
[[nodiscard]] std::unique_ptr<FormatTag::Access> apeAccess(
    std::function<TagLib::APE::Tag*(bool create)> tag);
[[nodiscard]] std::unique_ptr<FormatTag::Access> mp4Access(TagLib::MP4::Tag& tag);
[[nodiscard]] std::unique_ptr<FormatTag::Access> asfAccess(TagLib::ASF::Tag& tag);

// The name of a genre selection entry; empty for none.
[[nodiscard]] std::string genreName(int entry);

}  // namespace tunex
