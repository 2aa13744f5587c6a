#include "core/tags/easy_tag.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "core/common/text.h"
#include "core/store/settings.h"
#include "core/tags/audio_format.h"
#include "core/tags/tag_change.h"
#include "core/tags/tag_editor_rules.h"

namespace tunex {

namespace {

using Pos = std::string_view::size_type;
constexpr Pos kNone = std::string_view::npos;

// A delimiter found at the very start does not count: a name never begins with an empty slot.
Pos findFirst(std::string_view text, std::string_view delimiter) {
    const Pos p = text.find(delimiter);
    return p == 0 ? kNone : p;
}

Pos findLast(std::string_view text, std::string_view delimiter) {
    const Pos p = text.rfind(delimiter);
    return p == 0 ? kNone : p;
}

std::string_view after(std::string_view text, Pos p, std::string_view delimiter) {
    return text.substr(std::min(text.size(), p + delimiter.size()));
}

// ICU's UTF-8 macros cast the C way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
bool isWhiteAt(std::string_view text, int32_t& offset, bool forward) {
    UChar32 c = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = offset;
    if (forward) {
        U8_NEXT(bytes, i, length, c);
    } else {
        U8_PREV(bytes, 0, i, c);
    }
    if (c < 0 || !u_isUWhiteSpace(c)) {
        return false;
    }
    offset = i;
    return true;
}
#pragma GCC diagnostic pop

}  // namespace

std::string_view nameFieldCaption(NameField field) {
    switch (field) {
        case NameField::Artist:
            return "Artist";
        case NameField::Album:
            return "Album";
        case NameField::SongTitle:
            return "Song Title";
        case NameField::TrackNumber:
            return "Track Number";
        case NameField::Year:
            return "Year";
        case NameField::Genre:
            return "Genre";
        case NameField::AlbumArtist:
            return "Album Artist";
        case NameField::Disc:
            return "Disc Number";
    }
    return {};
}

bool NameFormat::anySlotEnabled() const {
    return slots[0].enabled || slots[1].enabled || slots[2].enabled;
}

bool NameFormat::describesNames() const {
    return pattern || anySlotEnabled();
}

std::string effectiveDelimiter(std::string_view typed) {
    return typed.empty() ? std::string(" ") : std::string(typed);
}

std::optional<std::vector<NameValue>> splitFileName(std::string_view base,
                                                    const NameFormat& format) {
    const std::string d1 = delimiterIn(base, effectiveDelimiter(format.delimiter1));
    const std::string d2 = delimiterIn(base, effectiveDelimiter(format.delimiter2));
    const bool e1 = format.slots[0].enabled;
    const bool e2 = format.slots[1].enabled;
    const bool e3 = format.slots[2].enabled;
    std::vector<NameValue> values;

    if (e1) {
        std::string_view value = base;
        if (e2 || e3) {
            const Pos p = findFirst(base, d1);
            if (p == kNone) {
                return std::nullopt;
            }
            value = base.substr(0, p);
        }
        values.push_back({format.slots[0].field, std::string(value)});
    }
    if (e2) {
        std::string_view value = base;
        if (e1 && e3) {
            const Pos p = findFirst(base, d1);
            if (p == kNone) {
                return std::nullopt;
            }
            const Pos q = findLast(base, d2);
            if (q == p) {
                return std::nullopt;
            }
            const Pos start = p + d1.size();
            // No second delimiter behind the first leaves the middle empty; slot 3 then fails.
            value = q == kNone || q < start ? std::string_view() : base.substr(start, q - start);
        } else if (e1) {
            const Pos p = findFirst(base, d1);
            if (p == kNone) {
                return std::nullopt;
            }
            value = after(base, p, d1);
        } else if (e3) {
            const Pos p = findFirst(base, d2);
            if (p == kNone) {
                return std::nullopt;
            }
            value = base.substr(0, p);
        }
        values.push_back({format.slots[1].field, std::string(value)});
    }
    if (e3) {
        std::string_view value = base;
        if (e1 || e2) {
            const std::string& d = e2 ? d2 : d1;
            const Pos q = findLast(base, d);
            if (q == kNone) {
                return std::nullopt;
            }
            value = after(base, q, d);
        }
        values.push_back({format.slots[2].field, std::string(value)});
    }
    return values;
}

std::string_view baseNameOf(std::string_view fileName) {
    const Pos dot = fileName.rfind('.');
    return dot == kNone ? fileName : fileName.substr(0, dot);
}

std::string trimWhiteSpace(std::string_view text) {
    int32_t begin = 0;
    while (begin < static_cast<int32_t>(text.size()) && isWhiteAt(text, begin, true)) {
    }
    auto end = static_cast<int32_t>(text.size());
    while (end > begin && isWhiteAt(text, end, false)) {
    }
    return std::string(text.substr(static_cast<Pos>(begin), static_cast<Pos>(end - begin)));
}

namespace {

std::optional<NameField> nameFieldOf(PatternField field) {
    switch (field) {
        case PatternField::Artist:
            return NameField::Artist;
        case PatternField::Album:
            return NameField::Album;
        case PatternField::Title:
            return NameField::SongTitle;
        case PatternField::Track:
            return NameField::TrackNumber;
        case PatternField::Year:
            return NameField::Year;
        case PatternField::Genre:
            return NameField::Genre;
        case PatternField::AlbumArtist:
            return NameField::AlbumArtist;
        case PatternField::Disc:
            return NameField::Disc;
        case PatternField::Skip:
            break;
    }
    return std::nullopt;
}

std::string asUtf8(std::string_view text) {
    return isUtf8(text) ? std::string(text) : latin1ToUtf8(text);
}

}  // namespace

std::optional<std::vector<NameValue>> nameValuesFor(std::string_view folder,
                                                    std::string_view fileName,
                                                    const NameFormat& format) {
    // Names that are not UTF-8 are mostly Latin-1 from older systems; their bytes as they are
    // would be no text at all in a tag.
    const std::string name = asUtf8(fileName);
    if (format.pattern) {
        const auto matched = matchNamePattern(*format.pattern, asUtf8(folder), baseNameOf(name));
        if (!matched) {
            return std::nullopt;
        }
        std::vector<NameValue> values;
        for (const PatternValue& value : *matched) {
            if (const auto field = nameFieldOf(value.field)) {
                values.push_back({*field, value.value});
            }
        }
        return values;
    }
    auto values = splitFileName(baseNameOf(name), format);
    if (values) {
        for (NameValue& value : *values) {
            value.value = trimWhiteSpace(value.value);
        }
    }
    return values;
}

std::string nameSampleText(std::string_view path, const NameFormat& format) {
    const std::size_t slash = path.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? "" : path.substr(0, slash);
    const std::string_view name = path.substr(slash + 1);
    std::string text = asUtf8(name);
    const auto values = nameValuesFor(folder, name, format);
    if (!values) {
        return text + "\nThe name does not fit the format.";
    }
    for (const NameValue& value : *values) {
        text.append("\n").append(nameFieldCaption(value.field)).append(": ").append(value.value);
    }
    return text;
}

void WriteFailures::add(std::string path) {
    ++count;
    if (firstPaths.size() < kListedFailures) {
        firstPaths.push_back(std::move(path));
    }
}

EasyTagResult runEasyTag(WriteJournal& journal, const TagScope& scope, const NameFormat& format,
                         std::string_view settingsFileTypes, const TagWalkProgress& progress) {
    EasyTagResult result;
    JournaledBatch batch(journal, [&result](const FileChange& change, const WriteResult& written) {
        if (written.outcome == WriteOutcome::Written) {
            ++result.written;
        } else {
            result.failed.add(failureLine(change, written));
        }
    });
    const FolderWalkTotals totals = walkScope(scope, [&](const WalkedFile& file) {
        const bool listed = isListedFileType(toLowerUtf8(file.name), settingsFileTypes);
        if (listed && progress.step) {
            progress.step();
        }
        if (isTaggableName(file.name)) {
            if (const auto values = nameValuesFor(file.folder, file.name, format)) {
                queueTagChange(batch, planNameFields(file.path, format.target, *values), file.path,
                               result.failed, result.wrongContent);
            }
        }
        return listed && progress.cancelled && progress.cancelled() ? WalkStep::Stop
                                                                    : WalkStep::Continue;
    });
    finishBatch(batch, totals, result);
    return result;
}

int countEasyTagSteps(const TagScope& scope, std::string_view settingsFileTypes) {
    return countScopeFiles(scope, [settingsFileTypes](std::string_view name) {
        return isListedFileType(toLowerUtf8(name), settingsFileTypes);
    });
}

std::string easyTagCaption(std::string_view folder) {
    return "Tunex EasyTag for files under " + std::string(folder);
}

UserMessage noNameFormatMessage() {
    return {"No filename format specified. Please enable one of the filename formats first.",
            "Tunex Easy Tag - No filename format", MessageIcon::Question};
}

UserMessage badNamePatternMessage(std::string_view error) {
    return {"The filename pattern cannot be used: " + std::string(error) + ".",
            "Tunex Easy Tag - Filename pattern", MessageIcon::Question};
}

std::string fileListText(const WriteFailures& files, std::string_view what) {
    std::string text;
    if (files.count == 0) {
        return text;
    }
    text.append("\n")
        .append(std::to_string(files.count))
        .append(files.count == 1 ? " file " : " files ")
        .append(what)
        .append(":");
    for (const std::string& path : files.firstPaths) {
        text.append("\n").append(path);
    }
    if (static_cast<std::size_t>(files.count) > files.firstPaths.size()) {
        text += "\n...";
    }
    return text;
}

std::string writeFailureText(const WriteFailures& failures, const WriteFailures& wrongContent,
                             bool undoable, const UnreadableFolders& unreadable) {
    std::string text;
    if (!unreadable.empty()) {
        text.append("\n").append(unreadableFoldersNote(unreadable));
    }
    text += fileListText(failures, "could not be written");
    text += fileListText(wrongContent, wrongContentReason(wrongContent.firstPaths));
    if (!undoable) {
        text +=
            "\nThe earlier tags of these files were more than the write journal keeps; this "
            "change cannot be taken back.";
    }
    return text;
}

UserMessage easyTagResultMessage(std::string_view folder, const EasyTagResult& result) {
    std::string text =
        result.written > 0
            ? "Tags written to " + std::to_string(result.written) +
                  (result.written == 1 ? " file" : " files") + " under " + std::string(folder) + "."
            : "No tags written under " + std::string(folder) +
                  " due to\n1. No music file found OR\n2. No tag data found OR\n3. Invalid "
                  "filename format.";
    text +=
        writeFailureText(result.failed, result.wrongContent, result.undoable, result.unreadable);
    return {std::move(text), "Tunex Easy Tag - Process Done",
            batchResultIcon(result.failed, result.wrongContent, result.unreadable)};
}

MessageIcon batchResultIcon(const WriteFailures& failures, const WriteFailures& wrongContent,
                            const UnreadableFolders& unreadable) {
    return failures.count + wrongContent.count > 0 || !unreadable.empty()
               ? MessageIcon::Warning
               : MessageIcon::Information;
}

}  // namespace tunex
