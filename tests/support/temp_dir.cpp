#include "support/temp_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace tunex::test {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Tests make folders unreadable; the owner's rights come back before the folder is opened.
int openForRemoval(int parent, const char* name) {
    struct stat info {};
    if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode)) {
        return -1;
    }
    if ((info.st_mode & S_IRWXU) != S_IRWXU) {
        (void)::fchmodat(parent, name, (info.st_mode & 07777) | S_IRWXU, 0);
    }
    return ::openat(parent, name, kFolderFlags);
}

// Removes everything but folders from `folder`; true with the name of a subfolder when one is
// left.
bool clearFilesFindSubfolder(int folder, std::string& subfolder) {
    const int own = ::openat(folder, ".", kFolderFlags);
    DIR* dir = own < 0 ? nullptr : ::fdopendir(own);
    if (dir == nullptr) {
        if (own >= 0) {
            ::close(own);
        }
        return false;
    }
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat info {};
        const bool isFolder = entry->d_type == DT_DIR ||
                              (entry->d_type == DT_UNKNOWN &&
                               ::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                               S_ISDIR(info.st_mode));
        if (isFolder) {
            subfolder = name;
            found = true;
            break;
        }
        (void)::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
    return found;
}

}  // namespace

bool removeTree(const std::filesystem::path& path) {
    // One descriptor at a time and no full paths below the top, so any depth goes: a trail of
    // names leads back up through "..".
    int current = openForRemoval(AT_FDCWD, path.c_str());
    std::vector<std::string> trail;
    std::string subfolder;
    while (current >= 0) {
        if (clearFilesFindSubfolder(current, subfolder)) {
            const int child = openForRemoval(current, subfolder.c_str());
            ::close(current);
            current = child;
            trail.push_back(subfolder);
            continue;
        }
        if (trail.empty()) {
            ::close(current);
            return ::rmdir(path.c_str()) == 0;
        }
        const int parent = ::openat(current, "..", kFolderFlags);
        ::close(current);
        if (parent >= 0 && ::unlinkat(parent, trail.back().c_str(), AT_REMOVEDIR) != 0) {
            ::close(parent);
            return false;
        }
        trail.pop_back();
        current = parent;
    }
    return false;
}

std::vector<std::string> writeDeepTree(const std::filesystem::path& root,
                                       const std::string& component, int levels,
                                       const std::vector<int>& fileDepths,
                                       const std::string& fileName) {
    int folder = ::open(root.c_str(), kFolderFlags);
    std::string path = root.string();
    std::vector<std::string> files;
    for (int depth = 1; depth <= levels && folder >= 0; ++depth) {
        (void)::mkdirat(folder, component.c_str(), 0755);
        const int next = ::openat(folder, component.c_str(), kFolderFlags);
        ::close(folder);
        folder = next;
        path.append("/").append(component);
        if (folder >= 0 &&
            std::find(fileDepths.begin(), fileDepths.end(), depth) != fileDepths.end()) {
            const int file =
                ::openat(folder, fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            const bool written = file >= 0 && ::write(file, "x", 1) == 1;
            if (file >= 0) {
                ::close(file);
            }
            if (!written) {
                ::close(folder);
                throw std::runtime_error("cannot write a file in the deep tree");
            }
            files.push_back(path + "/" + fileName);
        }
    }
    if (folder < 0) {
        throw std::runtime_error("cannot build the deep tree");
    }
    ::close(folder);
    return files;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tunex-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = name.data();
}

TempDir::~TempDir() {
    (void)removeTree(path_);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tunex::test
