#include "core/common/file_mapping.h"

#include <sys/mman.h>

namespace tunex {

bool FileMapping::map(int fd, std::size_t size) {
    reset();
    if (size == 0) {
        return false;
    }
    // Readers go through the whole file: its pages mapped in one go cost a fraction of a fault
    // taken for each.
    void* const data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (data == MAP_FAILED) {
        return false;
    }
    data_ = data;
    size_ = size;
    return true;
}

void FileMapping::reset() {
    if (data_ != nullptr) {
        ::munmap(data_, size_);
        data_ = nullptr;
        size_ = 0;
    }
}

}  // namespace tunex
