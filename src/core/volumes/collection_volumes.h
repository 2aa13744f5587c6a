#pragma once

#include "core/store/store_paths.h"
#include "core/volumes/volume_identity.h"
#include "core/volumes/volume_store.h"

#include <string>
#include <string_view>
#include <vector>

namespace tunex {

class VolumeSource;

// Unknown: the collection was added before identities were kept and has not been rescanned.
enum class AtHand { Yes, No, Unknown };

// "yes", "no", "unknown".
[[nodiscard]] std::string_view atHandText(AtHand atHand);

struct CollectionAtHand {
    AtHand atHand = AtHand::Unknown;
    std::string folder;  // where its folder is now, when at hand
};

// For each of `names` (catalogue order), whether its volume is mounted now, wherever.
[[nodiscard]] std::vector<CollectionAtHand> collectionsAtHand(
    const std::vector<std::string>& names, const VolumeIdentities& identities,
    const std::vector<MountedVolume>& mounted,
    const FingerprintReader& fingerprintOf = listingFingerprint);

// Keeps the identity of the volume `folder` is on for collection `name`, after an Add or Rescan
// (`names` as the catalogue is then). Without a source, or when the folder cannot be identified,
// an identity kept from before goes: it may stand for another volume now. The collection itself
// is written already, so a failure here only costs its identity: false, with the reason.
[[nodiscard]] bool recordCollectionVolume(const StorePaths& paths,
                                          const std::vector<std::string>& names,
                                          const std::string& name, const std::string& folder,
                                          VolumeSource* volumes, std::string* error = nullptr);

}  // namespace tunex
