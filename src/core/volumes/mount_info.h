#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tunex {

// One line of /proc/self/mountinfo (proc(5)): which device is mounted where, and which of its
// folders is the mount's root.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;  // "/" unless a subfolder is bind-mounted
    std::string mountPoint;
    std::string type;    // the file system type as mounted ("fuseblk" for ntfs-3g)
    std::string source;  // "/dev/sdb1", "server:/share", "tmpfs"
};

// Lines that do not have the fields of the format are skipped; "\040" and the other octal escapes
// of blanks, tabs, line ends and backslashes in paths are undone.
[[nodiscard]] std::vector<MountEntry> parseMountInfo(std::string_view text);

}  // namespace tunex
