#include "platform/linux/system_volumes.h"

#include "core/volumes/mount_info.h"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

namespace tunex {

namespace {

struct Probed {
    std::string uuid;
    std::string label;
    std::string type;
    std::uint64_t size = 0;
};

struct ProbeFree {
    void operator()(blkid_struct_probe* probe) const { blkid_free_probe(probe); }
};

std::string probeValue(blkid_probe probe, const char* name) {
    const char* value = nullptr;
    return blkid_probe_lookup_value(probe, name, &value, nullptr) == 0 && value != nullptr
               ? std::string(value)
               : std::string();
}

std::optional<Probed> probeDevice(const std::string& device) {
    const std::unique_ptr<blkid_struct_probe, ProbeFree> probe(
        blkid_new_probe_from_filename(device.c_str()));
    if (!probe) {
        return std::nullopt;
    }
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(),
                                      BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
    Probed probed;
    if (blkid_do_safeprobe(probe.get()) == 0) {
        probed.uuid = probeValue(probe.get(), "UUID");
        probed.label = probeValue(probe.get(), "LABEL");
        probed.type = probeValue(probe.get(), "TYPE");
    }
    const blkid_loff_t size = blkid_probe_get_size(probe.get());
    probed.size = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    return probed;
}

// udev writes unusual bytes of a label as "\xNN".
std::string udevUnescaped(const std::string& name) {
    std::string text;
    const auto hexDigit = [&name](std::size_t at) {
        return at < name.size() && std::isxdigit(static_cast<unsigned char>(name[at])) != 0;
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 2, "\\x") == 0 && hexDigit(i + 2) && hexDigit(i + 3)) {
            text.push_back(
                static_cast<char>(std::strtol(name.substr(i + 2, 2).c_str(), nullptr, 16)));
            i += 3;
        } else {
            text.push_back(name[i]);
        }
    }
    return text;
}

// The name of the link in `folder` that leads to the device, if any.
std::string linkNameFor(const char* folder, dev_t device) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        struct stat target {};
        if (::stat(entry.path().c_str(), &target) == 0 && S_ISBLK(target.st_mode) &&
            target.st_rdev == device) {
            return udevUnescaped(entry.path().filename().string());
        }
    }
    return {};
}

std::string deviceName(const MountEntry& entry, dev_t device) {
    struct stat info {};
    if (entry.source.starts_with("/dev/") && ::stat(entry.source.c_str(), &info) == 0 &&
        S_ISBLK(info.st_mode) && info.st_rdev == device) {
        return entry.source;
    }
    const std::unique_ptr<char, decltype(&std::free)> name(blkid_devno_to_devname(device),
                                                           &std::free);
    return name ? std::string(name.get()) : std::string();
}

Probed identify(const MountEntry& entry) {
    // Major 0 is the kernel's anonymous devices: tmpfs, overlay, network shares.
    if (entry.major == 0) {
        return {};
    }
    const dev_t device = makedev(entry.major, entry.minor);
    const std::string name = deviceName(entry, device);
    std::optional<Probed> probed = name.empty() ? std::nullopt : probeDevice(name);
    if (!probed) {
        probed.emplace();
        probed->uuid = linkNameFor("/dev/disk/by-uuid", device);
        probed->label = linkNameFor("/dev/disk/by-label", device);
    }
    return *probed;
}

}  // namespace

std::vector<MountedVolume> SystemVolumes::mountedVolumes() {
    std::ifstream file(mountInfo_);
    std::stringstream text;
    text << file.rdbuf();
    std::vector<MountedVolume> volumes;
    // One probe a device: a disc mounted twice, or bind mounts, are read once.
    std::map<std::pair<unsigned, unsigned>, Probed> probedDevices;
    for (const MountEntry& entry : parseMountInfo(text.str())) {
        const auto key = std::pair{entry.major, entry.minor};
        auto probed = probedDevices.find(key);
        if (probed == probedDevices.end()) {
            probed = probedDevices.emplace(key, identify(entry)).first;
        }
        const Probed& found = probed->second;
        volumes.push_back({found.uuid, found.label, found.type.empty() ? entry.type : found.type,
                           found.size, entry.mountPoint, entry.root});
    }
    return volumes;
}

}  // namespace tunex
