#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// What tells the volume a collection's folder was read from when it is plugged in again, wherever
// it is mounted then. The UUID alone is not enough: an optical disc's "UUID" is its creation time
// and a cloned stick shares its original's, so the folder's listing is compared too.
struct VolumeIdentity {
    std::string uuid;  // empty where the file system has none (tmpfs, most network shares)
    std::string label;
    std::string type;        // "ext4", "iso9660", ...
    std::uint64_t size = 0;  // bytes of the device; 0 when not known
    // The folder from the file system's own root, without a leading "/"; empty for the root.
    // Kept relative so that another mount point finds it again.
    std::string relativePath;
    std::string fingerprint;  // listingFingerprint of the folder

    friend bool operator==(const VolumeIdentity&, const VolumeIdentity&) = default;
};

// One mounted file system as the system shows it now.
struct MountedVolume {
    std::string uuid;
    std::string label;
    std::string type;
    std::uint64_t size = 0;
    std::string mountPoint;  // absolute, no trailing "/" but for "/" itself
    // The folder of the file system mounted there: "/" but for bind mounts of a subfolder.
    std::string root = "/";
};

// The first entries of a folder's listing this many are hashed: enough to tell two discs apart,
// few enough that a folder of thousands is read quickly.
inline constexpr std::size_t kFingerprintEntries = 64;

// A hash of the names and sizes of the folder's first kFingerprintEntries entries in byte order
// of their names, as 16 hex digits; nothing when the folder cannot be listed. Folders count with
// size 0: their sizes grow and shrink with the file system's bookkeeping.
[[nodiscard]] std::optional<std::string> listingFingerprint(const std::string& folder);

// Reads a fingerprint of the folder at a path; tests hand their own.
using FingerprintReader = std::function<std::optional<std::string>(const std::string& folder)>;

// Where the stored folder is under `seen`'s mount point, when that mount shows it at all.
[[nodiscard]] std::optional<std::string> folderOn(const VolumeIdentity& stored,
                                                  const MountedVolume& seen);

struct VolumeMatch {
    bool same = false;
    std::string folder;  // the collection's folder where it is now, when the same
};

// Whether `seen` is the volume `stored` was taken from: the same UUID (or, where neither has one,
// the same type, label and size) and the same listing of the folder at its place under `seen`.
[[nodiscard]] VolumeMatch matchVolume(const VolumeIdentity& stored, const MountedVolume& seen,
                                      const FingerprintReader& fingerprintOf);

// The first of `mounted` that is the stored volume.
[[nodiscard]] VolumeMatch findVolume(const VolumeIdentity& stored,
                                     const std::vector<MountedVolume>& mounted,
                                     const FingerprintReader& fingerprintOf);

// The identity of the volume `folder` is on, from the mount holding it (the deepest mount point
// above the folder's real path; the last of equal ones, as later mounts cover earlier ones).
// Nothing when the folder cannot be resolved or listed, or no mount holds it.
[[nodiscard]] std::optional<VolumeIdentity> identifyFolder(
    const std::vector<MountedVolume>& mounted, const std::string& folder);

}  // namespace tunex
