#include "core/friend/friend_search.h"

#include "core/common/line_reader.h"
#include "core/common/text.h"
#include "core/friend/keyword_matcher.h"
#include "core/store/song_record.h"

#include <unicode/uchar.h>

#include <array>
#include <filesystem>
#include <system_error>

namespace tunex {

namespace {

UserMessage inputError(std::string text) {
    return {std::move(text), captionFor("Input Error"), MessageIcon::Warning};
}

// The code point whose UTF-8 sequence ends at `end`, and where it starts; -1 when the bytes
// there are not a valid sequence.
UChar32 codePointBefore(std::string_view text, size_t end, size_t& start) {
    start = end;
    size_t length = 0;
    while (start > 0 && length < 4) {
        --start;
        ++length;
        if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) {
            break;
        }
    }
    const auto lead = static_cast<unsigned char>(text[start]);
    const size_t expected = lead < 0x80    ? 1
                            : lead >= 0xF0 ? 4
                            : lead >= 0xE0 ? 3
                            : lead >= 0xC2 ? 2
                                           : 0;
    if (expected != length) {
        return -1;
    }
    UChar32 c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t i = start + 1; i < end; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    constexpr std::array<UChar32, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
    return c < kSmallest[length] || c > 0x10FFFF ? -1 : c;
}

// Unicode white space at the end goes; invalid UTF-8 stays as it is.
std::string_view withoutTrailingWhiteSpace(std::string_view text) {
    size_t end = text.size();
    while (end > 0) {
        size_t start = end;
        const UChar32 c = codePointBefore(text, end, start);
        if (c < 0 || !u_isUWhiteSpace(c)) {
            break;
        }
        end = start;
    }
    return text.substr(0, end);
}

// Device files and pipes could block or never end; only a regular file is a friend file.
bool isRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string limitMessageText(int maxResults) {
    return "The search result reaches the maximum display limit (" + std::to_string(maxResults) +
           ").\nYou can change it in <Setting> tab.";
}

}  // namespace

std::string FriendResults::cell(size_t row, int column) const {
    if (column == 1) {
        std::string name(1, ' ');
        return name.append(sortKey(row, column));
    }
    return std::string(sortKey(row, column));
}

std::string_view FriendResults::sortKey(size_t row, int column) const {
    const FriendRow& found = rows[row];
    const SongRecordView record = parseSongRecordLine(found.line, true);
    switch (column) {
        case 0:
            return friendText;
        case 1:
            return record.name;
        case 2:
            return record.type;
        case 3:
            return collectionNames[found.collection];
        case 4:
            return record.folder;
        case 5:
            return record.sizeText;
        case 6:
            return record.dateText;
        case 7:
            return record.id3Info;
        default:
            return {};
    }
}

UserMessage friendFileNotFoundMessage() {
    return {"The Tunex Friend file cannot be found. Check the file destination and try again.",
            captionFor("File Error"), MessageIcon::Error};
}

UserMessage friendFileDamagedMessage() {
    return {"The Tunex Friend file is invalid or damaged. Check the file and try again.",
            captionFor("File Error"), MessageIcon::Error};
}

std::string friendSearchStatus(size_t found, std::string_view loweredKeyword) {
    if (found == 0) {
        return std::string("No songs found with keyword <").append(loweredKeyword).append(">.");
    }
    return std::to_string(found)
        .append(" songs found with keyword <")
        .append(loweredKeyword)
        .append(">.");
}

std::optional<UserMessage> checkFriendSearch(std::string_view path, std::string_view keyword) {
    if (path.empty()) {
        return inputError(
            "Please input the file destination of the Tunex Friend file or use the Browse "
            "button.");
    }
    if (keyword.empty()) {
        return inputError("Please input a keyword to search.");
    }
    // Any text may be looked for, but for the marks between a record's fields ("<|>", "<:>"...):
    // a keyword holding one would match across fields.
    for (std::size_t open = keyword.find('<'); open != std::string_view::npos;
         open = keyword.find('<', open + 1)) {
        if (open + 2 < keyword.size() && keyword[open + 2] == '>') {
            return inputError(
                "Keyword cannot hold a mark such as <|> or <:>, which a friend file "
                "puts between the fields of a song.");
        }
    }
    if (keyword.find_first_of("\r\n") != std::string_view::npos) {
        return inputError("Keyword cannot hold a line break.");
    }
    return std::nullopt;
}

std::string friendNameOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    std::string_view leaf = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = leaf.rfind('.');
    return std::string(dot == std::string_view::npos ? leaf : leaf.substr(0, dot));
}

FriendSearchResult searchFriendFile(std::string_view path, std::string_view keyword, int maxResults,
                                    AccentRule accents) {
    FriendSearchResult result;
    if (std::optional<UserMessage> refusal = checkFriendSearch(path, keyword)) {
        result.message = std::move(refusal);
        return result;
    }
    const std::filesystem::path file{std::string(path)};
    LineReader reader;
    if (!isRegularFile(file) || !reader.open(file)) {
        result.outcome = FriendSearchOutcome::NotFound;
        result.message = friendFileNotFoundMessage();
        return result;
    }
    result.keyword = toLowerUtf8(keyword);

    TextLine line;
    const std::string email =
        reader.next(line) ? std::string(withoutTrailingWhiteSpace(line.text)) : std::string();
    FriendResults& found = result.results;
    found.friendText = friendNameOf(path) + "<" + email + ">";

    KeywordMatcher matcher(keyword, accents);
    std::string collection;
    bool collectionMatches = false;
    bool collectionListed = false;  // the current collection has its entry in the results
    bool damaged = false;
    while (reader.next(line)) {
        const std::string_view text = line.text;
        if (startsWith(text, kEndMarker)) {
            break;
        }
        if (startsWith(text, kCollectionNamePrefix)) {
            collection.assign(text.substr(kCollectionNamePrefix.size()));
            collectionMatches = matcher.matches(collection);
            collectionListed = false;
            continue;
        }
        if (!startsWith(text, kRecordPrefix)) {
            damaged = true;
            break;
        }
        if (!collectionMatches && !matcher.matches(text)) {
            continue;
        }
        if (!collectionListed) {
            found.collectionNames.push_back(collection);
            collectionListed = true;
        }
        found.rows.push_back(
            {std::string(text), static_cast<std::uint32_t>(found.collectionNames.size() - 1)});
        if (found.rows.size() == static_cast<size_t>(std::max(maxResults, 0))) {
            result.message = UserMessage{limitMessageText(maxResults), captionFor("Information"),
                                         MessageIcon::Information};
            break;
        }
    }
    // A read error part-way is a damaged file as far as the user can tell.
    if (damaged || reader.failed()) {
        result.outcome = FriendSearchOutcome::Damaged;
        result.message = friendFileDamagedMessage();
        result.status = std::string(kFriendDamagedStatus);
        result.results = FriendResults{};
        return result;
    }
    result.outcome = FriendSearchOutcome::Searched;
    result.status = friendSearchStatus(found.rows.size(), result.keyword);
    if (reader.overlongLines() > 0) {
        const auto cut = cutLinesMessage({{file, reader.overlongLines()}});
        if (result.message) {
            result.message->text.append("\n\n").append(cut->text);
        } else {
            result.message = cut;
        }
    }
    return result;
}

}  // namespace tunex
