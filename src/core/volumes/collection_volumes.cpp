#include "core/volumes/collection_volumes.h"

#include "core/volumes/volume_source.h"

namespace tunex {

VolumeSource::~VolumeSource() = default;

std::string_view atHandText(AtHand atHand) {
    switch (atHand) {
        case AtHand::Yes:
            return "yes";
        case AtHand::No:
            return "no";
        case AtHand::Unknown:
            break;
    }
    return "unknown";
}

std::vector<CollectionAtHand> collectionsAtHand(const std::vector<std::string>& names,
                                                const VolumeIdentities& identities,
                                                const std::vector<MountedVolume>& mounted,
                                                const FingerprintReader& fingerprintOf) {
    std::vector<CollectionAtHand> found;
    found.reserve(names.size());
    for (const std::string& name : names) {
        const auto identity = identities.find(name);
        if (identity == identities.end()) {
            found.emplace_back();
            continue;
        }
        VolumeMatch match = findVolume(identity->second, mounted, fingerprintOf);
        found.push_back({match.same ? AtHand::Yes : AtHand::No, std::move(match.folder)});
    }
    return found;
}

bool recordCollectionVolume(const StorePaths& paths, const std::vector<std::string>& names,
                            const std::string& name, const std::string& folder,
                            VolumeSource* volumes, std::string* error) {
    std::optional<VolumeIdentity> identity;
    if (volumes != nullptr) {
        identity = identifyFolder(volumes->mountedVolumes(), folder);
    }
    return updateVolumeIdentities(
        paths, names,
        [&](VolumeIdentities& identities) {
            if (identity) {
                identities.insert_or_assign(name, std::move(*identity));
            } else {
                identities.erase(name);
            }
        },
        error);
}

}  // namespace tunex
