#include "core/volumes/mount_info.h"

#include "core/common/text.h"

#include <algorithm>

#include <charconv>

namespace tunex {

namespace {

std::string unescaped(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&field](std::size_t at) {
            return at < field.size() && field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            text.push_back(static_cast<char>(((field[i + 1] - '0') << 6U) |
                                             ((field[i + 2] - '0') << 3U) | (field[i + 3] - '0')));
            i += 3;
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) {
            fields.push_back(line.substr(at, end - at));
        }
        at = end + 1;
    }
    return fields;
}

bool parseDevice(std::string_view field, MountEntry& entry) {
    const char* end = field.data() + field.size();
    const auto major = std::from_chars(field.data(), end, entry.major);
    return major.ec == std::errc() && major.ptr != end && *major.ptr == ':' &&
           std::from_chars(major.ptr + 1, end, entry.minor).ptr == end;
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    LineSplitter lines(text);
    std::string_view line;
    while (lines.next(line)) {
        // id parent major:minor root mount-point options [optional...] - type source options
        const std::vector<std::string_view> fields = fieldsOf(line);
        std::size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-") {
            ++dash;
        }
        MountEntry entry;
        if (dash + 2 >= fields.size() || !parseDevice(fields[2], entry)) {
            continue;
        }
        entry.root = unescaped(fields[3]);
        entry.mountPoint = unescaped(fields[4]);
        entry.type = unescaped(fields[dash + 1]);
        entry.source = unescaped(fields[dash + 2]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace tunex
