#include "cli/local_commands.h"

#include <charconv>
#include <filesystem>
#include <optional>

#include "cli/cli_output.h"
#include "core/common/text.h"
#include "core/search/setting_rules.h"
#include "core/store/workspace.h"
#include "core/tags/easy_tag.h"
#include "core/tags/local_listing.h"
#include "core/tags/rename_from_tags.h"
#include "core/tags/tag_clearing.h"
#include "core/tags/tag_editor_rules.h"
#include "core/tags/tag_preview.h"

namespace tunex::cli {

namespace {

int usageError(std::ostream& err, std::string_view text) {
    err << "tunex-cli: " << text << '\n';
    return kRefused;
}

std::optional<int> numberIn(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// The folder as the tree would name it: absolute, so that Path cells and messages are real paths.
std::string absoluteFolder(const std::string& typed) {
    if (typed.empty()) {
        return typed;  // like the "My Computer" node: no folder at all
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(typed, error);
    return error ? typed : absolute.lexically_normal().string();
}

struct LocalArguments {
    std::string folder;
    bool includeSubfolders = true;
    std::optional<std::string> keyword;
    std::optional<int> maxResults;
    NameFormat format;
    std::optional<std::string> pattern;
    bool slotsGiven = false;
    bool dryRun = false;
    std::string error;
};

std::optional<NameSlot> parseSlot(std::string_view text) {
    if (text == "off") {
        return NameSlot{false, NameField::Artist};
    }
    static constexpr std::array<std::pair<std::string_view, NameField>, 4> kNames = {{
        {"artist", NameField::Artist},
        {"album", NameField::Album},
        {"title", NameField::SongTitle},
        {"track", NameField::TrackNumber},
    }};
    for (const auto& [name, field] : kNames) {
        if (text == name) {
            return NameSlot{true, field};
        }
    }
    return std::nullopt;
}

// Options a command does not take are refused; `valued` lists those that take a value.
LocalArguments parseArguments(const std::vector<std::string>& words,
                              std::initializer_list<std::string_view> valued, bool takesSubdirs) {
    LocalArguments parsed;
    bool haveFolder = false;
    for (std::size_t i = 0; i < words.size() && parsed.error.empty(); ++i) {
        const std::string& word = words[i];
        if (word == "--dry-run" && takesSubdirs) {
            parsed.dryRun = true;
            continue;
        }
        if (word == "--no-subdirs" && takesSubdirs) {
            parsed.includeSubfolders = false;
            continue;
        }
        if (std::find(valued.begin(), valued.end(), word) != valued.end()) {
            if (i + 1 == words.size()) {
                parsed.error = word + " needs a value";
                break;
            }
            const std::string& value = words[++i];
            if (word == "--filter") {
                parsed.keyword = value;
            } else if (word == "--max") {
                parsed.maxResults = numberIn(value, 1, kMaxResultsLimit);
                if (!parsed.maxResults) {
                    parsed.error = "--max takes a number from 1 to 3000";
                }
            } else if (word.starts_with("--slot")) {
                parsed.slotsGiven = true;
                const auto slot = parseSlot(value);
                if (!slot) {
                    parsed.error = word + " takes artist, album, title, track or off";
                } else {
                    NameSlot& target = parsed.format.slots[static_cast<std::size_t>(word[6] - '1')];
                    // "off" keeps the field the slot shows, as unticking "Enable" does.
                    target.enabled = slot->enabled;
                    if (slot->enabled) {
                        target.field = slot->field;
                    }
                }
            } else if (word == "--delim1" || word == "--delim2") {
                // Names are matched as UTF-8 text, Latin-1 ones once converted.
                if (!isUtf8(value)) {
                    parsed.error = word + " takes UTF-8 text";
                }
                (word == "--delim1" ? parsed.format.delimiter1 : parsed.format.delimiter2) = value;
            } else if (word == "--pattern") {
                parsed.pattern = value;
            } else if (word == "--target") {
                if (value != "v1" && value != "v2") {
                    parsed.error = "--target takes v1 or v2";
                }
                parsed.format.target = value == "v1" ? TagVersion::V1 : TagVersion::V2;
            }
            continue;
        }
        if (haveFolder || word.starts_with("--")) {
            parsed.error = "unexpected argument " + word;
            break;
        }
        parsed.folder = word;
        haveFolder = true;
    }
    if (parsed.error.empty() && !haveFolder) {
        parsed.error = "a FOLDER is needed";
    }
    return parsed;
}

// A dry run: the planned field changes as a table, and on standard error how many, the files
// that would be left alone and why, and the folders that could not be read.
int printPreview(const TagPreview& preview, CliRun& run) {
    printTable(run.out, {"File", "Version", "Field", "Old", "New"}, previewTable(preview));
    printStatus(run.err,
                withUnreadableFoldersNote(
                    previewCountsText(preview, "would be left alone") + "; nothing was written.",
                    preview.unreadable));
    for (const SkippedFile& file : preview.skipped) {
        printStatus(run.err, "left alone (" + file.reason + "): " + file.path);
    }
    return kDone;
}

int runLocal(const Workspace& workspace, const std::vector<std::string>& words, CliRun& run) {
    const LocalArguments args = parseArguments(words, {"--filter", "--max"}, true);
    if (!args.error.empty() || args.dryRun) {
        // A listing changes nothing: a dry run of it is a mistake worth saying.
        return usageError(run.err, args.dryRun ? "local takes no --dry-run" : args.error);
    }
    const std::string folder = absoluteFolder(args.folder);
    const int maxResults = args.maxResults.value_or(workspace.settings().maxResults);
    if (folder.empty()) {
        printTable(run.out, {kLocalColumnCaptions.begin(), kLocalColumnCaptions.end()}, {});
        return kDone;
    }
    LocalListing listing =
        listLocalFolder(folder, run.fileTypes, args.includeSubfolders, maxResults);
    printStatus(run.err, listedStatusText(listing, folder));
    if (reachedDisplayLimit(listing.rows.size(), maxResults)) {
        printMessage(run.err, displayLimitMessage(maxResults));
    }
    if (args.keyword) {
        if (const auto refusal = filterLocalFiles(listing.files, listing.rows, *args.keyword,
                                                  maxResults, accentRuleOf(workspace.settings()))) {
            printMessage(run.err, *refusal);
            return kRefused;
        }
        printStatus(run.err, filteredStatusText(listing.files));
    }
    printTable(run.out, {kLocalColumnCaptions.begin(), kLocalColumnCaptions.end()}, listing.rows);
    return kDone;
}

int runClearAll(const Workspace& workspace, const std::vector<std::string>& words, CliRun& run) {
    const LocalArguments args = parseArguments(words, {}, true);
    if (!args.error.empty()) {
        return usageError(run.err, args.error);
    }
    const std::string folder = absoluteFolder(args.folder);
    // The page clears what it has just listed: the listed count decides whether there is anything.
    const LocalListing listing = listLocalFolder(folder, run.fileTypes, args.includeSubfolders,
                                                 workspace.settings().maxResults);
    if (const auto refusal =
            checkClearAll(!folder.empty(), static_cast<int>(listing.rows.size()))) {
        printMessage(run.err, *refusal);
        return kRefused;
    }
    if (args.dryRun) {
        return printPreview(previewClearAll({folder, args.includeSubfolders, {}}), run);
    }
    const ClearAllResult result =
        clearAllTagsUnder(workspace.journal(), {folder, args.includeSubfolders, {}}, run.fileTypes);
    printMessage(run.err, clearAllResultMessage(folder, result));
    return result.failed.count + result.wrongContent.count > 0 ? kFileError : kDone;
}

int runEasyTagCommand(const Workspace& workspace, const std::vector<std::string>& words,
                      CliRun& run) {
    LocalArguments args = parseArguments(
        words, {"--slot1", "--slot2", "--slot3", "--delim1", "--delim2", "--target", "--pattern"},
        true);
    if (!args.error.empty()) {
        return usageError(run.err, args.error);
    }
    if (args.folder.empty()) {
        return usageError(run.err, "easytag needs a FOLDER");
    }
    if (args.pattern) {
        if (args.slotsGiven) {
            return usageError(run.err, "--pattern takes the place of --slot1, --slot2 and --slot3");
        }
        PatternParse parse = parseNamePattern(*args.pattern, PatternUse::ReadNames);
        if (!parse.pattern) {
            return usageError(run.err, "--pattern: " + parse.error);
        }
        args.format.pattern = std::move(parse.pattern);
    }
    if (!args.format.describesNames()) {
        printMessage(run.err, noNameFormatMessage());
        return kRefused;
    }
    const std::string folder = absoluteFolder(args.folder);
    if (args.dryRun) {
        return printPreview(previewEasyTag({folder, args.includeSubfolders, {}}, args.format), run);
    }
    const EasyTagResult result =
        runEasyTag(workspace.journal(), {folder, args.includeSubfolders, {}}, args.format,
                   workspace.settings().fileTypes);
    printMessage(run.err, easyTagResultMessage(folder, result));
    return result.failed.count + result.wrongContent.count > 0 ? kFileError : kDone;
}

int runRenameFromTags(Workspace& workspace, const std::vector<std::string>& words, CliRun& run) {
    const LocalArguments args = parseArguments(words, {"--pattern"}, true);
    if (!args.error.empty()) {
        return usageError(run.err, args.error);
    }
    if (args.folder.empty() || !args.pattern) {
        return usageError(run.err, "rename-from-tags needs a FOLDER and --pattern");
    }
    const PatternParse parse = parseNamePattern(*args.pattern, PatternUse::MakeNames);
    if (!parse.pattern) {
        return usageError(run.err, "--pattern: " + parse.error);
    }
    const std::string folder = absoluteFolder(args.folder);
    const RenamePlan plan = planRenames({folder, args.includeSubfolders, {}}, *parse.pattern);
    if (args.dryRun) {
        printTable(run.out, {"File", "New name"}, renamePlanTable(plan));
        printStatus(run.err, withUnreadableFoldersNote(
                                 renamePlanCountsText(plan, true) + "; nothing was renamed.",
                                 plan.unreadable));
        for (const SkippedFile& file : plan.skipped) {
            printStatus(run.err, "left alone (" + file.reason + "): " + file.path);
        }
        return kDone;
    }
    RenameResult result = applyRenames(workspace.journal(), plan.renames);
    const FollowedRenames followed = workspace.followRenamedFiles(result.renamed, false);
    result.collectionRecords = followed.records;
    result.collectionError = followed.error;
    printMessage(run.err, withJournalProblem(renameResultMessage(folder, plan, result),
                                             workspace.journal()));
    return result.failed.count > 0 || !followed.error.empty() ? kFileError : kDone;
}

}  // namespace

void addLocalCommands(CommandTable& table) {
    table["local"] = [](Workspace& w, const std::vector<std::string>& words, CliRun& run) {
        return runLocal(w, words, run);
    };
    table["clear-all"] = [](Workspace& w, const std::vector<std::string>& words, CliRun& run) {
        return runClearAll(w, words, run);
    };
    table["easytag"] = [](Workspace& w, const std::vector<std::string>& words, CliRun& run) {
        return runEasyTagCommand(w, words, run);
    };
    table["rename-from-tags"] = [](Workspace& w, const std::vector<std::string>& words,
                                   CliRun& run) { return runRenameFromTags(w, words, run); };
}

}  // namespace tunex::cli
