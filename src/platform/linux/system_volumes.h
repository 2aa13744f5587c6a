#pragma once

#include "core/volumes/volume_source.h"

#include <filesystem>

namespace tunex {

// The mounted volumes from /proc/self/mountinfo, each block device's UUID, label, type and size
// probed with libblkid. Where the device cannot be opened (a user outside the disk group), the
// UUID and label come from udev's /dev/disk/by-uuid and by-label links instead.
class SystemVolumes final : public VolumeSource {
public:
    explicit SystemVolumes(std::filesystem::path mountInfo = "/proc/self/mountinfo")
        : mountInfo_(std::move(mountInfo)) {}

    [[nodiscard]] std::vector<MountedVolume> mountedVolumes() override;

private:
    std::filesystem::path mountInfo_;
};

}  // namespace tunex
