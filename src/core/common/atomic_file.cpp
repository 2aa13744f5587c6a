#include "core/common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tunex {

namespace {
constexpr size_t kBufferLimit = 1 << 20;
}  // namespace

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target) : target_(std::move(target)) {}

AtomicFileWriter::~AtomicFileWriter() {
    discard();
}

bool AtomicFileWriter::fail(std::string_view what) {
    error_ = std::string(what) + ": " + std::strerror(errno);
    discard();
    return false;
}

bool AtomicFileWriter::open() {
    discard();
    const std::filesystem::path folder = target_.parent_path();
    std::string pattern = (folder.empty() ? std::string() : folder.string() + "/") + "." +
                          target_.filename().string() + std::string(kTemporaryMark) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_.reset(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd_) {
        error_ =
            std::string("cannot create a file in ") + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    tempPath_ = name.data();
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ::fchmod(fd_.get(), mode);
    buffer_.reserve(kBufferLimit);
    return true;
}

bool AtomicFileWriter::flushBuffer() {
    if (!writeAll(fd_.get(), buffer_)) {
        return fail("write failed");
    }
    buffer_.clear();
    return true;
}

bool AtomicFileWriter::write(std::string_view bytes) {
    if (!fd_) {
        if (error_.empty()) {
            error_ = "file not open";
        }
        return false;
    }
    buffer_.append(bytes);
    return buffer_.size() < kBufferLimit || flushBuffer();
}

bool AtomicFileWriter::commit() {
    if (!fd_) {
        return false;
    }
    if (!flushBuffer()) {
        return false;
    }
    if (::fsync(fd_.get()) != 0) {
        return fail("sync failed");
    }
    if (!fd_.close()) {
        return fail("close failed");
    }
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        return fail("rename failed");
    }
    tempPath_.clear();
    (void)syncFolder(target_.parent_path());
    return true;
}

void AtomicFileWriter::discard() {
    fd_.reset();
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
    buffer_.clear();
}

bool writeFileAtomically(const std::filesystem::path& target, std::string_view content,
                         std::string* error) {
    AtomicFileWriter writer(target);
    const bool ok = writer.open() && writer.write(content) && writer.commit();
    if (!ok && error != nullptr) {
        *error = writer.error();
    }
    return ok;
}

}  // namespace tunex
