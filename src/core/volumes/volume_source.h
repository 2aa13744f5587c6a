#pragma once

#include "core/volumes/volume_identity.h"

#include <vector>

namespace tunex {

// The volumes mounted now, as the system tells them (src/platform/linux reads them from
// /proc/self/mountinfo and libblkid); tests hand a list of their own.
class VolumeSource {
public:
    VolumeSource() = default;
    virtual ~VolumeSource();
    VolumeSource(const VolumeSource&) = delete;
    VolumeSource& operator=(const VolumeSource&) = delete;
    VolumeSource(VolumeSource&&) = delete;
    VolumeSource& operator=(VolumeSource&&) = delete;

    [[nodiscard]] virtual std::vector<MountedVolume> mountedVolumes() = 0;
};

}  // namespace tunex
