#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

// What keeps two writers of one music file apart, and what makes a write durable where the file
// lives.
namespace tunex::journal {

// How long a writer waits for another Tunex process to finish with a file.
inline constexpr std::chrono::milliseconds kLockWait{10000};

// An open-file-description lock on the whole file: shared for reading, exclusive for writing.
// Every Tunex process takes it, whichever journal it uses; it goes with the descriptor.
[[nodiscard]] bool tryLockFile(int fd, bool exclusive);
// Waits up to `wait` for the lock; false when another process still holds it.
[[nodiscard]] bool lockFile(int fd, bool exclusive, std::chrono::milliseconds wait = kLockWait);
void unlockFile(int fd);

// Whether one syncfs() of the file system holding `fd` is known to bring written data to the
// device. FUSE file systems (ntfs-3g, exfat-fuse, sshfs) and vfat are not: there every file and
// its folder are synced on their own.
[[nodiscard]] bool syncfsReachesDevice(int fd);
// Syncs one file's data and its folder's entry of it.
[[nodiscard]] bool syncFileAndFolder(int fd, const std::filesystem::path& path);

// Why a journal folder, batch or group may not be trusted: not owned by the user who runs Tunex,
// or writable by group or others (anyone could have planted a record naming any file). Nothing
// when it may be trusted.
[[nodiscard]] std::optional<std::string> distrustOf(const std::filesystem::path& path);

}  // namespace tunex::journal
