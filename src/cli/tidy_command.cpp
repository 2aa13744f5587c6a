#include "cli/tidy_command.h"

#include <array>
#include <filesystem>
#include <optional>
#include <utility>

#include "cli/cli_output.h"
#include "core/journal/write_journal.h"
#include "core/tags/tag_preview.h"
#include "core/tags/tag_tidy.h"

namespace tunex {

namespace {

struct TidyArguments {
    std::string folder;
    TidyJob job;
    bool dryRun = false;
    std::string error;
};

std::optional<TidyCase> parseCase(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, TidyCase>, 4> kCases = {{
        {"title", TidyCase::Title},
        {"lower", TidyCase::Lower},
        {"upper", TidyCase::Upper},
        {"first", TidyCase::First},
    }};
    for (const auto& [name, textCase] : kCases) {
        if (text == name) {
            return textCase;
        }
    }
    return std::nullopt;
}

// Sets `error` for the first word it cannot take.
void takeOption(TidyArguments& parsed, std::span<const std::string> words, std::size_t& i) {
    const std::string& word = words[i];
    if (word == "--spaces" || word == "--underscores" || word == "--dry-run") {
        (word == "--spaces"        ? parsed.job.rules.spaces
         : word == "--underscores" ? parsed.job.rules.underscores
                                   : parsed.dryRun) = true;
        return;
    }
    if (word != "--case" && word != "--fields") {
        parsed.error = "unexpected argument " + word;
        return;
    }
    if (i + 1 == words.size()) {
        parsed.error = word + " needs a value";
        return;
    }
    const std::string& value = words[++i];
    if (word == "--case") {
        const auto textCase = parseCase(value);
        parsed.job.rules.textCase = textCase.value_or(TidyCase::Keep);
        if (!textCase) {
            parsed.error = "--case takes title, lower, upper or first, not \"" + value + "\"";
        }
        return;
    }
    const auto fields = parseTidyFields(value);
    if (!fields) {
        parsed.error =
            "--fields takes a list of title, artist, album and albumartist, such as "
            "title,artist, not \"" +
            value + "\"";
        return;
    }
    parsed.job.fields = *fields;
}

TidyArguments parseArguments(std::span<const std::string> words) {
    TidyArguments parsed;
    bool haveFolder = false;
    for (std::size_t i = 0; i < words.size() && parsed.error.empty(); ++i) {
        if (words[i].starts_with("--")) {
            takeOption(parsed, words, i);
        } else if (haveFolder) {
            parsed.error = "unexpected argument " + words[i];
        } else {
            parsed.folder = words[i];
            haveFolder = true;
        }
    }
    if (!parsed.error.empty()) {
        return parsed;
    }
    if (!haveFolder || parsed.folder.empty()) {
        parsed.error = "tags tidy needs a FOLDER";
    } else if (!parsed.job.rules.any()) {
        parsed.error = "tags tidy needs --case, --spaces or --underscores";
    }
    return parsed;
}

// Absolute, so that the table and the messages name real paths.
std::string absoluteFolder(const std::string& typed) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(typed, error);
    return error ? typed : absolute.lexically_normal().string();
}

// As `easytag --dry-run` prints its plan: the table on standard output, the counts and the files
// left alone on standard error.
int printPreview(const TagPreview& preview, std::ostream& out, std::ostream& err) {
    cli::printTable(out, {"File", "Version", "Field", "Old", "New"}, previewTable(preview));
    cli::printStatus(
        err, withUnreadableFoldersNote(
                 previewCountsText(preview, "would be left alone") + "; nothing was written.",
                 preview.unreadable));
    for (const SkippedFile& file : preview.skipped) {
        cli::printStatus(err, "left alone (" + file.reason + "): " + file.path);
    }
    return cli::kDone;
}

}  // namespace

int runTidyCommand(WriteJournal& journal, std::span<const std::string> args, std::ostream& out,
                   std::ostream& err) {
    const TidyArguments parsed = parseArguments(args);
    if (!parsed.error.empty()) {
        err << "tunex-cli: " << parsed.error << '\n';
        return cli::kRefused;
    }
    const std::string folder = absoluteFolder(parsed.folder);
    const TagScope scope{folder, true, {}};
    if (parsed.dryRun) {
        return printPreview(previewTidy(scope, parsed.job), out, err);
    }
    const TidyResult result = runTidy(journal, scope, parsed.job);
    cli::printMessage(err, withJournalProblem(tidyResultMessage(folder, result), journal));
    return result.failed.count + result.wrongContent.count > 0 ? cli::kFileError : cli::kDone;
}

}  // namespace tunex
