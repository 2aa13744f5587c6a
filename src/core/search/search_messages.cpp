#include "core/search/search_messages.h"

#include "core/common/text.h"
#include "core/store/settings.h"

namespace tunex {

std::optional<UserMessage> checkSearchTerms(std::string_view title, std::string_view artist) {
    const std::string caption = captionFor("Input Error");
    if (title.empty() && artist.empty()) {
        return UserMessage{"Please input a song title OR artist name.", caption,
                           MessageIcon::Warning};
    }
    // Titles and artists hold any character ("AC/DC", "Where Is My Mind?"); only what would
    // break a row of the search history cannot be kept there.
    if (!fitsHistoryRow(title) || !fitsHistoryRow(artist)) {
        return UserMessage{
            "A search cannot hold a line break, nor the marks @?@, %|% or ^*^ that keep the "
            "search history's columns apart.",
            caption, MessageIcon::Warning};
    }
    return std::nullopt;
}

UserMessage searchFailedMessage() {
    return {"Error occurs when searching.\nSearch Aborted.", captionFor("Search Error"),
            MessageIcon::Error};
}

UserMessage resultLimitMessage(int maxResults) {
    return {"The search result reaches the maximum display limit (" + std::to_string(maxResults) +
                ").\nYou can change it in <Setting> tab.",
            captionFor("Information"), MessageIcon::Information};
}

std::string songsFoundText(std::size_t rows, std::size_t found) {
    if (rows < found) {
        return groupedNumber(rows) + " of " + groupedNumber(found) + " songs shown";
    }
    return groupedNumber(found) + (found == 1 ? " song found" : " songs found");
}

namespace {

// `line` + " for song <T> artist <A>", each term only when typed.
std::string withTerms(std::string line, std::string_view title, std::string_view artist) {
    line.append(" for");
    if (!title.empty()) {
        line.append(" song <").append(title).append(">");
    }
    if (!artist.empty()) {
        line.append(" artist <").append(artist).append(">");
    }
    return line;
}

}  // namespace

std::string searchStatusLine(std::size_t rows, std::size_t found, std::string_view title,
                             std::string_view artist) {
    // "0 song found for": the status line has always put it so.
    return withTerms(found == 0 ? std::string("0 song found") : songsFoundText(rows, found), title,
                     artist) +
           ".";
}

std::string countingStatusLine(std::size_t rows, std::string_view title, std::string_view artist) {
    return withTerms(groupedNumber(rows) + (rows == 1 ? " song shown" : " songs shown"), title,
                     artist) +
           ", counting all matches...";
}

std::string listAllStatusLine(std::size_t rows, std::size_t found) {
    return songsFoundText(rows, found) +
           (rows < found ? " from the entire database." : " in the entire database.");
}

}  // namespace tunex
