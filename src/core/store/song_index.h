#pragma once

#include "core/store/song_record.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tunex {

// What a search compares: name, folder and ID3 info, lower-cased once when the record is inserted.
struct LoweredFields {
    std::string_view name;  // without the extension and without the index key's leading blank
    std::string_view folder;
    std::string_view id3Info;
};

// The in-memory part of the catalogue. Records are visited in the pre-order of an unbalanced
// binary search tree built by inserting them in load order, keyed by name (byte-wise, equal keys
// to the left). That tree is never built: it is the Cartesian tree of the records sorted by
// (name, later insertion first) with the insertion order as heap priority, so its pre-order is
// computed once, in n log n time and without recursion, however the names arrive.
class SongIndex final {
public:
    using Visitor = std::function<void(const SongRecordView&)>;
    using StopTest = std::function<bool()>;

    SongIndex() = default;
    SongIndex(const SongIndex&) = delete;
    SongIndex& operator=(const SongIndex&) = delete;
    SongIndex(SongIndex&&) noexcept = default;
    SongIndex& operator=(SongIndex&&) noexcept = default;
    ~SongIndex() = default;

    void insert(const SongRecordView& record);
    [[nodiscard]] std::size_t size() const { return records_.size(); }
    [[nodiscard]] bool empty() const { return records_.empty(); }

    // Visits records in tree pre-order; the stop test is asked before each record and ends the
    // walk.
    void walk(const Visitor& visit, const StopTest& stop = {}) const;

    // The visit order, computed on first use after the last insert.
    [[nodiscard]] const std::vector<std::uint32_t>& visitOrder() const;
    [[nodiscard]] SongRecordView record(std::uint32_t insertionIndex) const;
    // The search fields of the record at `position` of the visit order, lower-cased once when the
    // order is computed and laid out in that order, so a search reads them front to back.
    [[nodiscard]] LoweredFields searchFields(std::size_t position) const;

private:
    struct Stored {
        const char* text;  // the six fields back to back, in the arena
        std::array<std::uint32_t, 6> ends;
        std::int32_t collectionIndex;
    };
    void prepareSearchFields() const;
    const char* store(std::string_view text);
    [[nodiscard]] static std::string_view nameOf(const Stored& stored) {
        return {stored.text, stored.ends[0]};
    }

    std::vector<std::vector<char>> arena_;  // a block's bytes stay put as the list grows
    std::size_t arenaUsed_ = 0;
    std::size_t arenaCapacity_ = 0;
    std::vector<Stored> records_;
    std::string scratch_;  // reused by insert
    mutable std::vector<std::uint32_t> order_;
    // Lower-cased name, folder and ID3 info of each record in visit order, and where each ends.
    mutable std::string searchText_;
    mutable std::vector<std::size_t> searchEnds_;
    mutable bool orderValid_ = true;
};

}  // namespace tunex
