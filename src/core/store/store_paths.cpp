#include "core/store/store_paths.h"

#include <cstdio>

namespace tunex {

std::string collectionFileLeaf(int index) {
    char leaf[32];
    std::snprintf(leaf, sizeof leaf, "save%04lld.ifo", static_cast<long long>(index) + 1);
    return leaf;
}

std::filesystem::path StorePaths::collectionFileName(int index) const {
    return systemFolder() / collectionFileLeaf(index);
}

}  // namespace tunex
