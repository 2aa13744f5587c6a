#include "core/tags/rename_from_tags.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "core/common/text.h"
#include "core/journal/journal_renames.h"
#include "core/tags/audio_format.h"
#include "core/tags/batch_scope.h"
#include "core/tags/format_tag_access.h"

namespace tunex {

namespace {

// Not in linux/magic.h everywhere.
constexpr long kExfatMagic = 0x2011BAB0;
constexpr long kNtfsMagic = 0x5346544E;  // the kernel's ntfs3
constexpr long kFuseMagic = 0x65735546;  // ntfs-3g, among others

// The number of a track or disc ("7/12" is 7), padded with zeros to `width` digits.
std::string numberText(std::string_view text, int width) {
    const std::string_view number = text.substr(0, text.find('/'));
    if (!isAllDigits(number)) {
        return std::string(number);
    }
    std::string digits(number.substr(std::min(number.find_first_not_of('0'), number.size() - 1)));
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    }
    return digits;
}

std::string fieldValue(const PatternPart& part, const Id3v2Fields& tags) {
    switch (*part.field) {
        case PatternField::Artist:
            return tags.artist;
        case PatternField::Album:
            return tags.album;
        case PatternField::Title:
            return tags.title;
        case PatternField::Track:
            return numberText(tags.track, part.width > 0 ? part.width : 2);
        case PatternField::Year:
            return tags.year.substr(0, 4);
        case PatternField::Genre:
            return tags.genre > 0 ? genreName(tags.genre) : tags.genreName;
        case PatternField::AlbumArtist:
            return tags.albumArtist;
        case PatternField::Disc:
            return numberText(tags.disc, part.width);
        case PatternField::Skip:
            break;
    }
    return {};
}

// A value made fit to stand in one name: no "/", no control characters, nothing the file system
// refuses.
std::string safeText(std::string_view text, const NameRules& rules) {
    static constexpr std::string_view kWindowsRefused = "\\:*?\"<>|";
    std::string safe;
    safe.reserve(text.size());
    for (const char c : text) {
        const bool refused = c == '/' || static_cast<unsigned char>(c) < 0x20 ||
                             (rules.windowsNames && kWindowsRefused.find(c) != std::string::npos);
        safe.push_back(refused ? '_' : c);
    }
    return safe;
}

// Cuts UTF-8 text to at most `bytes` without splitting a character.
std::string_view cutToBytes(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

// One folder or file name of the result, made fit; empty when nothing usable is left.
std::string fitName(std::string_view name, std::string_view extension, const NameRules& rules) {
    const std::size_t room =
        rules.maxBytes > extension.size() + 1 ? rules.maxBytes - extension.size() - 1 : 0;
    std::string fitted(cutToBytes(trimWhiteSpace(name), extension.empty() ? rules.maxBytes : room));
    // Windows drops trailing dots and blanks: two names would meet as one.
    if (rules.windowsNames && !fitted.empty() && (fitted.back() == '.' || fitted.back() == ' ')) {
        fitted.back() = '_';
    }
    if (fitted.empty() || fitted == "." || fitted == "..") {
        return {};
    }
    return extension.empty() ? fitted : fitted + "." + std::string(extension);
}

}  // namespace

NameRules nameRulesOf(const std::string& folder) {
    NameRules rules;
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0) {
        return rules;
    }
    const long type = static_cast<long>(info.f_type);
    rules.windowsNames = type == MSDOS_SUPER_MAGIC || type == kExfatMagic || type == kNtfsMagic ||
                         type == kFuseMagic;
    rules.foldsCase = rules.windowsNames;
    if (info.f_namelen > 0) {
        rules.maxBytes = std::min<std::size_t>(static_cast<std::size_t>(info.f_namelen), 255);
    }
    return rules;
}

NameFromTags nameFromTags(const NamePattern& pattern, const Id3v2Fields& tags,
                          std::string_view extension, const NameRules& rules) {
    std::string text;
    for (const PatternPart& part : pattern.parts) {
        if (!part.field) {
            text += part.literal;
            continue;
        }
        const std::string value = trimWhiteSpace(fieldValue(part, tags));
        if (value.empty()) {
            return {std::nullopt, "its tag has no " + std::string(patternFieldWord(*part.field))};
        }
        // A "/" in a value must not make a folder: it is marked apart from the pattern's own.
        text += safeText(value, rules);
    }
    // The pattern's literal text may hold what the file system refuses too.
    std::string name;
    std::size_t start = 0;
    for (std::size_t slash = text.find('/');; slash = text.find('/', start)) {
        const bool last = slash == std::string::npos;
        const std::string_view piece = std::string_view(text).substr(start, slash - start);
        const std::string fitted = fitName(safeText(piece, rules), last ? extension : "", rules);
        if (fitted.empty()) {
            return {std::nullopt, "the pattern gives it an empty name"};
        }
        name += (name.empty() ? "" : "/") + fitted;
        if (last) {
            break;
        }
        start = slash + 1;
    }
    return {std::move(name), {}};
}

Id3v2Fields tagsForNaming(const std::string& path) {
    TagFields fields;
    (void)loadTagFields(path, fields);
    Id3v2Fields tags = fields.v2;
    const auto fill = [](std::string& v2, const std::string& v1) {
        if (v2.empty()) {
            v2 = v1;
        }
    };
    fill(tags.title, fields.v1.title);
    fill(tags.artist, fields.v1.artist);
    fill(tags.album, fields.v1.album);
    fill(tags.year, fields.v1.year);
    fill(tags.track, fields.v1.track);
    if (tags.genre <= 0 && tags.genreName.empty()) {
        tags.genre = fields.v1.genre;
    }
    return tags;
}

namespace {

// Where the file names of one plan go, to find two files given one name.
class Targets {
public:
    // Whether `to` is free for `from`: not asked by another file of the plan, and no other file's
    // name already. A name asked twice is given to neither.
    bool claim(const std::string& from, const std::string& to, const NameRules& rules,
               RenamePlan& plan) {
        const std::string key = rules.foldsCase ? toLowerUtf8(to) : to;
        const auto [first, isNew] = claims_.try_emplace(key, from);
        if (!isNew) {
            plan.skipped.push_back({from, "another file would be named " + to});
            clashing_.insert(first->second);
            return false;
        }
        struct stat target {};
        struct stat source {};
        if (::lstat(to.c_str(), &target) == 0 &&
            (::lstat(from.c_str(), &source) != 0 || source.st_ino != target.st_ino ||
             source.st_dev != target.st_dev)) {
            plan.skipped.push_back({from, "a file named " + to + " exists"});
            return false;
        }
        return true;
    }

    // Takes back the names two files asked for.
    void dropClashes(RenamePlan& plan) const {
        std::erase_if(plan.renames, [&](const FileRename& rename) {
            if (!clashing_.contains(rename.from)) {
                return false;
            }
            plan.skipped.push_back({rename.from, "another file would be named " + rename.to});
            return true;
        });
    }

private:
    std::map<std::string, std::string> claims_;  // target key -> the file that asked first
    std::set<std::string> clashing_;
};

}  // namespace

RenamePlan planRenames(const TagScope& scope, const NamePattern& pattern,
                       PreviewProgress* progress) {
    RenamePlan plan;
    if (progress != nullptr) {
        progress->total = countMusicFiles(scope);
    }
    Targets targets;
    std::map<std::string, NameRules, std::less<>> rulesOf;
    const FolderWalkTotals totals = walkScope(scope, [&](const WalkedFile& file) {
        if (!isTaggableName(file.name)) {
            return WalkStep::Continue;
        }
        const std::string folder(file.folder);
        auto rules = rulesOf.find(folder);
        if (rules == rulesOf.end()) {
            rules = rulesOf.emplace(folder, nameRulesOf(folder.empty() ? "/" : folder)).first;
        }
        const std::size_t dot = file.name.rfind('.');
        const std::string_view extension =
            dot == std::string_view::npos ? std::string_view() : file.name.substr(dot + 1);
        NameFromTags made =
            nameFromTags(pattern, tagsForNaming(file.path), extension, rules->second);
        if (!made.name) {
            plan.skipped.push_back({file.path, std::move(made.reason)});
        } else if (const std::string to = folder + "/" + *made.name; to == file.path) {
            ++plan.alreadyNamed;
        } else if (targets.claim(file.path, to, rules->second, plan)) {
            plan.renames.push_back({file.path, to});
        }
        if (progress == nullptr) {
            return WalkStep::Continue;
        }
        ++progress->done;
        return progress->stop ? WalkStep::Stop : WalkStep::Continue;
    });
    targets.dropClashes(plan);
    plan.unreadable = totals.unreadable;
    plan.stopped = totals.stopped;
    return plan;
}

}  // namespace tunex
