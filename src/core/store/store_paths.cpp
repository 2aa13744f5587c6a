#include "core/store/store_paths.h"

#include <array>
#include <cstdio>

namespace tunex {

std::string collectionFileLeaf(int index) {
    // Room for any int; snprintf cannot fail on this format.
    std::array<char, 32> leaf{};
    static_cast<void>(std::snprintf(leaf.data(), leaf.size(), "save%04lld.ifo",
                                    static_cast<long long>(index) + 1));
    return leaf.data();
}

std::filesystem::path StorePaths::collectionFileName(int index) const {
    return systemFolder() / collectionFileLeaf(index);
}

}  // namespace tunex
