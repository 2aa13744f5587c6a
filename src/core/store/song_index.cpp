#include "core/store/song_index.h"

#include "core/common/text.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tunex {

namespace {
constexpr std::size_t kArenaBlock = 1 << 20;
}

const char* SongIndex::store(std::string_view text) {
    if (text.empty()) {
        return "";  // an all-empty record may come before any block exists
    }
    if (text.size() > arenaCapacity_ - arenaUsed_) {
        const std::size_t size = std::max(kArenaBlock, text.size());
        arena_.emplace_back(size);
        arenaUsed_ = 0;
        arenaCapacity_ = size;
    }
    char* place = arena_.back().data() + arenaUsed_;
    std::memcpy(place, text.data(), text.size());
    arenaUsed_ += text.size();
    return place;
}

void SongIndex::insert(const SongRecordView& record) {
    const std::array<std::string_view, 6> fields = {
        record.name, record.folder, record.type, record.id3Info, record.sizeText, record.dateText};
    std::size_t total = 0;
    for (const std::string_view field : fields) {
        total += field.size();
    }
    std::string& joined = scratch_;
    joined.clear();
    joined.reserve(total);
    Stored stored{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        joined.append(fields[i]);
        stored.ends[i] = static_cast<std::uint32_t>(joined.size());
    }
    stored.text = store(joined);
    stored.collectionIndex = record.collectionIndex;
    records_.push_back(stored);
    orderValid_ = false;
}

SongRecordView SongIndex::record(std::uint32_t insertionIndex) const {
    const Stored& stored = records_[insertionIndex];
    SongRecordView view;
    view.collectionIndex = stored.collectionIndex;
    const std::array<std::string_view*, 6> fields = {&view.name,    &view.folder,   &view.type,
                                                     &view.id3Info, &view.sizeText, &view.dateText};
    std::uint32_t start = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        *fields[i] = std::string_view(stored.text + start, stored.ends[i] - start);
        start = stored.ends[i];
    }
    return view;
}

LoweredFields SongIndex::searchFields(std::size_t position) const {
    (void)visitOrder();
    const std::size_t* ends = searchEnds_.data() + 3 * position;
    const std::size_t start = position == 0 ? 0 : ends[-1];
    const std::string_view text = searchText_;
    return {text.substr(start, ends[0] - start), text.substr(ends[0], ends[1] - ends[0]),
            text.substr(ends[1], ends[2] - ends[1])};
}

void SongIndex::prepareSearchFields() const {
    searchText_.clear();
    searchEnds_.clear();
    searchEnds_.reserve(3 * order_.size());
    for (const std::uint32_t node : order_) {
        const SongRecordView view = record(node);
        for (const std::string_view field : {view.name, view.folder, view.id3Info}) {
            searchText_.append(field);
            const auto start = searchText_.end() - static_cast<std::ptrdiff_t>(field.size());
            bool ascii = true;
            for (auto at = start; at != searchText_.end(); ++at) {
                const char c = *at;
                ascii = ascii && static_cast<unsigned char>(c) < 0x80;
                *at = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            }
            if (!ascii) {
                searchText_.erase(start, searchText_.end());
                searchText_.append(toLowerUtf8(field));
            }
            searchEnds_.push_back(searchText_.size());
        }
    }
    searchText_.shrink_to_fit();
}

const std::vector<std::uint32_t>& SongIndex::visitOrder() const {
    if (orderValid_) {
        return order_;
    }
    const auto count = static_cast<std::uint32_t>(records_.size());
    // In-order of the tree: by name, and among equal names the later insertion first (an equal
    // key goes to the left of the node it meets).
    std::vector<std::uint32_t> sorted(count);
    std::iota(sorted.begin(), sorted.end(), 0U);
    std::sort(sorted.begin(), sorted.end(), [this](std::uint32_t a, std::uint32_t b) {
        const int order = nameOf(records_[a]).compare(nameOf(records_[b]));
        return order != 0 ? order < 0 : a > b;
    });

    // Cartesian tree over the in-order sequence, the earliest insertion at the root.
    constexpr std::uint32_t kNone = UINT32_MAX;
    std::vector<std::uint32_t> left(count, kNone);
    std::vector<std::uint32_t> right(count, kNone);
    std::vector<std::uint32_t> spine;
    for (const std::uint32_t node : sorted) {
        std::uint32_t last = kNone;
        while (!spine.empty() && spine.back() > node) {
            last = spine.back();
            spine.pop_back();
        }
        left[node] = last;
        if (!spine.empty()) {
            right[spine.back()] = node;
        }
        spine.push_back(node);
    }

    order_.clear();
    order_.reserve(count);
    std::vector<std::uint32_t> pending;
    if (!spine.empty()) {
        pending.push_back(spine.front());
    }
    while (!pending.empty()) {
        const std::uint32_t node = pending.back();
        pending.pop_back();
        order_.push_back(node);
        if (right[node] != kNone) {
            pending.push_back(right[node]);
        }
        if (left[node] != kNone) {
            pending.push_back(left[node]);
        }
    }
    prepareSearchFields();
    orderValid_ = true;
    return order_;
}

void SongIndex::walk(const Visitor& visit, const StopTest& stop) const {
    for (const std::uint32_t node : visitOrder()) {
        if (stop && stop()) {
            return;
        }
        visit(record(node));
    }
}

}  // namespace tunex
