#pragma once

#include "core/common/user_message.h"

#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

class Catalogue;

// What makes two records copies of one song.
enum class DuplicateKey {
    Name,  // file name with its extension, and size
    Tags,  // title and artist of the ID3 info, case and accents folded
    Size,  // size alone
};

// "name", "tags" or "size", as the command line spells them.
[[nodiscard]] std::optional<DuplicateKey> duplicateKeyNamed(std::string_view word);

struct DuplicateCopy {
    int collectionIndex = 0;
    std::string folder;
    std::string fileName;  // with its extension
    std::string sizeText;  // as stored, "%8.1f" KB
    std::string id3Info;
};

struct DuplicateGroup {
    std::string key;                    // what the copies share, as compared (folded for tags)
    std::vector<DuplicateCopy> copies;  // by collection, then folder and name
};

struct DuplicateReport {
    std::vector<DuplicateGroup> groups;  // the largest first, then by key
    std::size_t copies = 0;
    bool read = true;      // false when a collection file could not be read
    bool stopped = false;  // the stop token ended the search; the groups are empty
};

// Songs held by at least two collections, grouped by `key`: copies inside one collection alone
// make no group. Records lacking the key's parts (an empty size, fewer than two ID3 parts for
// tags) are left out.
[[nodiscard]] DuplicateReport findDuplicates(const Catalogue& catalogue, DuplicateKey key,
                                             const std::stop_token& stop = {});

// "N groups of duplicate songs (M copies)" ("1 group ..."), numbers grouped by the locale.
[[nodiscard]] std::string duplicatesStatus(const DuplicateReport& report);

// What the user is told when a collection file could not be read.
[[nodiscard]] UserMessage duplicatesReadFailedMessage();

}  // namespace tunex
