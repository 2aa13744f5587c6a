#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tunex::bench {

// How the record names follow each other through the whole catalogue. Sorted and equal names are
// what an unbalanced tree degenerates on; random is the usual case.
enum class NameOrder { Sorted, Random, Equal };

[[nodiscard]] std::string_view orderName(NameOrder order);

struct CatalogueShape {
    int collections = 1;
    int recordsPerCollection = 0;
    NameOrder order = NameOrder::Random;
};

[[nodiscard]] std::string describe(const CatalogueShape& shape);

// Lays down a base folder as the program finds it: system/system.ifo with the totals and one
// collection file per collection, written by the program's own writer. Names read "Artist - Title",
// folders "/media/cdrom/Artist/Album"; a third of the artists, with their songs and albums, carry
// accented Latin, Greek, Cyrillic, CJK or Hangul names. The same seed gives the same bytes.
[[nodiscard]] bool generateCatalogue(const std::filesystem::path& base, const CatalogueShape& shape,
                                     std::uint64_t seed, std::string* error);

// A catalogue laid down for one section under `root` and removed after it, so the disk holds one
// at a time.
class GeneratedCatalogue final {
public:
    GeneratedCatalogue(const std::filesystem::path& root, const CatalogueShape& shape,
                       std::uint64_t seed);
    GeneratedCatalogue(const GeneratedCatalogue&) = delete;
    GeneratedCatalogue& operator=(const GeneratedCatalogue&) = delete;
    ~GeneratedCatalogue();

    // Generated in a child, so the generator's heap never counts towards a measured peak; says
    // on stderr when it could not be.
    [[nodiscard]] bool generate() const;
    [[nodiscard]] const std::filesystem::path& base() const { return base_; }

private:
    std::filesystem::path base_;
    CatalogueShape shape_;
    std::uint64_t seed_;
};

}  // namespace tunex::bench
