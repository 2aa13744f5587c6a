#pragma once

#include "core/store/store_paths.h"
#include "core/volumes/volume_identity.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tunex {

// system/volumes.ifo: the volume each collection was read from, in a file of its own so that
// collection files stay as older versions read them. One line per collection that has one, in
// catalogue order:
//   index TAB name TAB uuid TAB label TAB type TAB size TAB fingerprint TAB relative path
// with TAB, CR, LF and backslash inside a field written as \t, \r, \n and \\. An identity belongs
// to the collection of its name; the index only keeps the lines in order. Lines without these
// fields are skipped; a base folder without the file has no identities.
[[nodiscard]] std::filesystem::path volumesFile(const StorePaths& paths);

// By collection name.
using VolumeIdentities = std::map<std::string, VolumeIdentity>;

[[nodiscard]] VolumeIdentities readVolumeIdentities(const StorePaths& paths);

// Reads the identities, lets `change` edit them and writes them back atomically for the
// collections `names` (in catalogue order, as they are after the change): identities of names
// not listed go. False, with the reason in `error`, leaves the file as it was.
[[nodiscard]] bool updateVolumeIdentities(const StorePaths& paths,
                                          const std::vector<std::string>& names,
                                          const std::function<void(VolumeIdentities&)>& change,
                                          std::string* error = nullptr);

}  // namespace tunex
