#include "cli/cli_options.h"

#include "core/search/setting_rules.h"
#include "core/store/settings.h"

namespace tunex::cli {

namespace {
std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        std::string part = text.substr(start, comma - start);
        if (!part.empty()) {
            parts.push_back(std::move(part));
        }
        if (comma == std::string::npos) {
            return parts;
        }
        start = comma + 1;
    }
}
}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& words) {
    ParsedCommandLine parsed;
    size_t i = 0;
    for (; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool hasValue = i + 1 < words.size();
        if (word == "--base" || word == "--type" || word == "--only-types") {
            if (!hasValue) {
                parsed.error = word + " needs a value";
                return parsed;
            }
            const std::string& value = words[++i];
            if (word == "--base") {
                parsed.options.base = value;
            } else if (word == "--type") {
                parsed.options.addedTypes.push_back(value);
            } else {
                parsed.options.onlyTypes = splitCommas(value);
            }
        } else if (word.rfind("--", 0) == 0 && word != "--help") {
            parsed.error = "unknown option " + word;
            return parsed;
        } else {
            break;
        }
    }
    if (i == words.size()) {
        parsed.error = "no command given";
        return parsed;
    }
    parsed.command = words[i];
    parsed.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
    return parsed;
}

std::string usageText() {
    return "usage: tunex-cli [--base DIR] [--type EXT]... [--only-types A,B,C] COMMAND [ARGS]\n"
           "commands:\n"
           "  collections | stats | settings\n"
           "  count PATH\n"
           "  add NAME PATH [--id3]\n"
           "  rename OLD NEW\n"
           "  rescan NAME PATH [--id3]\n"
           "  delete NAME\n"
           "  search [--title T] [--artist A]   (with --max N --sensitivity 1|2|3 --sort 0..6\n"
           "  list-all                           --columns XXXXXX --exact-accents for these\n"
           "                                     three; counts go past the row limit)\n"
           "  export FILE (--all | [--title T] [--artist A])\n"
           "  files-search [--type T]... [--keyword K] [--from DATE] [--to DATE] [--min KB]\n"
           "               [--max-size KB] [--cd NAME] [--max N]\n"
           "  (--max 0 lists every row in search, list-all, export and files-search)\n"
           "  duplicates [--by name|tags|size]\n"
           "  friend-export NAME EMAIL\n"
           "  friend-search FILE KEYWORD [--max N]\n"
           "  local FOLDER [--no-subdirs] [--filter KEYWORD] [--max N]\n"
           "  clear-all FOLDER [--no-subdirs] [--dry-run]\n"
           "  easytag FOLDER [--slot1|--slot2|--slot3 FIELD|off] [--delim1 C] [--delim2 C]\n"
           "                 [--target v1|v2] [--no-subdirs] [--dry-run]\n"
           "  tags catalogue|summary|show|set|clear FILE [KEY=VALUE...] | tags undo\n"
           "  tags waiting | tags forget FILE\n"
           "  tags tidy FOLDER [--case title|lower|upper|first] [--spaces] [--underscores]\n"
           "                   [--fields title,artist,album,albumartist] [--dry-run]\n"
           "    KEY of an mp3 file: v1.title v1.artist v1.album v1.comment v1.year v1.track\n"
           "      v1.genre, v2.title v2.artist v2.album v2.comment v2.year v2.track v2.genre\n"
           "      v2.composer v2.publisher v2.url v2.copyright v2.albumartist v2.disc\n"
           "    KEY of a FLAC, Ogg Vorbis, Opus, MP4/M4A, WMA, APE, WavPack, AIFF or WAV file\n"
           "      (one tag): title artist album comment year track genre composer publisher\n"
           "      url copyright albumartist disc, where the format has the field\n";
}

std::optional<int> parseRowLimit(std::string_view text) {
    const std::optional<int> value = parseWholeNumber(text);
    if (!value || *value < 0 || *value > kMaxResultsLimit) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tunex::cli
