#pragma once

#include "core/store/song_record.h"

#include "core/common/search_fold.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace tunex {

// What a search compares: name, folder and ID3 info, folded for searching once for the index.
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

    // The visit order, worked out on first use after the last insert, so that a search that
    // needs no record from memory never pays for it. Once the inserts are done, searches on
    // several threads may ask at the same time.
    [[nodiscard]] const std::vector<std::uint32_t>& visitOrder() const;
    [[nodiscard]] SongRecordView record(std::uint32_t insertionIndex) const;
    // The search fields of the record at `position` of the visit order, folded by `accents` on
    // the first search that asks for that rule and laid out in visit order, so a search reads
    // them front to back.
    [[nodiscard]] LoweredFields searchFields(std::size_t position,
                                             AccentRule accents = AccentRule::Fold) const;
    // The stored text of every record, fields back to back, in a few large pieces; no field
    // straddles two. Lets a search rule out the whole index at once.
    [[nodiscard]] std::vector<std::string_view> textBlocks() const;

private:
    struct Stored {
        const char* text;  // the six fields back to back, in the arena
        std::array<std::uint32_t, 6> ends;
        std::int32_t collectionIndex;
    };
    // Arena storage; a block's bytes stay put as the list grows.
    struct Block {
        std::vector<char> bytes;
        std::size_t used = 0;
    };
    // Folded name, folder and ID3 info of each record in visit order, and where each ends.
    struct FoldedText {
        std::atomic<bool> ready{false};
        std::string text;
        std::vector<std::size_t> ends;
    };
    // What the visit order brings, worked out under the lock by the first to ask.
    struct Derived {
        std::mutex mutex;
        std::atomic<bool> ready{true};
        std::vector<std::uint32_t> order;
        std::array<FoldedText, 2> folded;  // by AccentRule
    };
    [[nodiscard]] std::vector<std::uint32_t> sortedByName() const;
    void computeOrder(Derived& derived) const;
    void foldSearchFields(FoldedText& folded, AccentRule accents) const;
    // Room for `size` bytes in the arena.
    char* reserve(std::size_t size);
    [[nodiscard]] static std::string_view nameOf(const Stored& stored) {
        return {stored.text, stored.ends[0]};
    }

    std::vector<Block> arena_;
    std::vector<Stored> records_;
    std::unique_ptr<Derived> derived_ = std::make_unique<Derived>();
};

}  // namespace tunex
