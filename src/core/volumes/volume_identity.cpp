#include "core/volumes/volume_identity.h"

#include "core/common/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

namespace tunex {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// FNV-1a: the fingerprint only has to tell listings apart, not resist anyone.
class Fnv1a final {
public:
    void add(std::string_view bytes) {
        for (const char byte : bytes) {
            hash_ = (hash_ ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
        }
    }
    [[nodiscard]] std::string hex() const {
        static constexpr std::string_view kDigits = "0123456789abcdef";
        std::string text(16, '0');
        std::uint64_t rest = hash_;
        for (auto digit = text.rbegin(); digit != text.rend(); ++digit, rest >>= 4U) {
            *digit = kDigits[rest & 0xfU];
        }
        return text;
    }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

bool holdsPath(std::string_view mountPoint, std::string_view path) {
    return mountPoint == "/" || path == mountPoint ||
           (startsWith(path, mountPoint) && path[mountPoint.size()] == '/');
}

}  // namespace

std::optional<std::string> listingFingerprint(const std::string& folder) {
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(static_cast<const char*>(entry->d_name));
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
        errno = 0;
    }
    if (errno != 0) {
        return std::nullopt;
    }
    const std::size_t taken = std::min(names.size(), kFingerprintEntries);
    std::partial_sort(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(taken),
                      names.end());
    Fnv1a hash;
    for (std::size_t i = 0; i < taken; ++i) {
        struct stat info {};
        const bool file =
            ::fstatat(::dirfd(dir.get()), names[i].c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode);
        hash.add(names[i]);
        hash.add(std::string_view("\0", 1));
        hash.add(std::to_string(file ? info.st_size : 0));
        hash.add("\n");
    }
    return hash.hex();
}

std::optional<std::string> folderOn(const VolumeIdentity& stored, const MountedVolume& seen) {
    const std::string fromRoot = "/" + stored.relativePath;
    std::string below;
    if (seen.root == "/" || seen.root.empty()) {
        below = fromRoot;
    } else if (holdsPath(seen.root, fromRoot)) {
        below = fromRoot.substr(seen.root.size());
    } else {
        return std::nullopt;
    }
    if (seen.mountPoint == "/") {
        return below.empty() ? "/" : below;
    }
    return below == "/" ? seen.mountPoint : seen.mountPoint + below;
}

VolumeMatch matchVolume(const VolumeIdentity& stored, const MountedVolume& seen,
                        const FingerprintReader& fingerprintOf) {
    if (!stored.uuid.empty() || !seen.uuid.empty()) {
        if (stored.uuid != seen.uuid) {
            return {};
        }
    } else if (stored.type != seen.type || stored.label != seen.label ||
               (stored.size != 0 && seen.size != 0 && stored.size != seen.size)) {
        return {};
    }
    std::optional<std::string> folder = folderOn(stored, seen);
    if (!folder) {
        return {};
    }
    const std::optional<std::string> fingerprint = fingerprintOf(*folder);
    if (!fingerprint || *fingerprint != stored.fingerprint) {
        return {};
    }
    return {true, std::move(*folder)};
}

VolumeMatch findVolume(const VolumeIdentity& stored, const std::vector<MountedVolume>& mounted,
                       const FingerprintReader& fingerprintOf) {
    for (const MountedVolume& seen : mounted) {
        if (VolumeMatch match = matchVolume(stored, seen, fingerprintOf); match.same) {
            return match;
        }
    }
    return {};
}

std::optional<VolumeIdentity> identifyFolder(const std::vector<MountedVolume>& mounted,
                                             const std::string& folder) {
    std::error_code error;
    const std::string real = std::filesystem::canonical(folder, error).string();
    if (error) {
        return std::nullopt;
    }
    const MountedVolume* holder = nullptr;
    for (const MountedVolume& volume : mounted) {
        if (holdsPath(volume.mountPoint, real) &&
            (holder == nullptr || volume.mountPoint.size() >= holder->mountPoint.size())) {
            holder = &volume;
        }
    }
    std::optional<std::string> fingerprint = listingFingerprint(real);
    if (holder == nullptr || !fingerprint) {
        return std::nullopt;
    }
    const std::string below =
        holder->mountPoint == "/" ? real : real.substr(holder->mountPoint.size());
    std::string fromRoot =
        holder->root == "/" || holder->root.empty() ? below : holder->root + below;
    fromRoot.erase(0, fromRoot.find_first_not_of('/'));
    return VolumeIdentity{holder->uuid, holder->label,       holder->type,
                          holder->size, std::move(fromRoot), std::move(*fingerprint)};
}

}  // namespace tunex
