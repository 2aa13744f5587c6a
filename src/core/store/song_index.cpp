#include "core/store/song_index.h"

#include <algorithm>
#include <cstring>

namespace tunex {

namespace {

constexpr std::size_t kArenaBlock = 1 << 20;

// How far ahead of the record being read the next ones are asked for. Records are read in visit
// order, which jumps about the arena: without this, each one waits for memory.
constexpr std::size_t kPrefetchDistance = 8;

void prefetch(const void* at) {
#if defined(__GNUC__)
    __builtin_prefetch(at);
#else
    (void)at;
#endif
}

// The first bytes of a name as big-endian numbers, zero-padded, so that comparing the numbers
// orders names as a byte-wise comparison of those bytes would. Three words hold "Artist - Ti",
// which sets most names apart.
constexpr std::size_t kPrefixWords = 3;

struct NamePrefix {
    std::array<std::uint64_t, kPrefixWords> words{};
    std::uint32_t node = 0;
};

std::uint64_t bigEndianWord(std::string_view name, std::size_t from) {
    std::uint64_t word = 0;
    for (std::size_t i = from; i < from + 8; ++i) {
        word = (word << 8) | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0U);
    }
    return word;
}

}  // namespace

char* SongIndex::reserve(std::size_t size) {
    if (arena_.empty() || size > arena_.back().bytes.size() - arena_.back().used) {
        arena_.push_back({std::vector<char>(std::max(kArenaBlock, size)), 0});
    }
    Block& block = arena_.back();
    char* place = block.bytes.data() + block.used;
    block.used += size;
    return place;
}

std::vector<std::string_view> SongIndex::textBlocks() const {
    std::vector<std::string_view> blocks;
    blocks.reserve(arena_.size());
    for (const Block& block : arena_) {
        blocks.emplace_back(block.bytes.data(), block.used);
    }
    return blocks;
}

void SongIndex::insert(const SongRecordView& record) {
    const std::array<std::string_view, 6> fields = {
        record.name, record.folder, record.type, record.id3Info, record.sizeText, record.dateText};
    std::size_t total = 0;
    for (const std::string_view field : fields) {
        total += field.size();
    }
    Stored stored{};
    stored.text = "";  // an all-empty record may come before any block exists
    if (total > 0) {
        char* const place = reserve(total);
        std::uint32_t end = 0;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::copy(fields[i].begin(), fields[i].end(), place + end);
            end += static_cast<std::uint32_t>(fields[i].size());
            stored.ends[i] = end;
        }
        stored.text = place;
    }
    stored.collectionIndex = record.collectionIndex;
    records_.push_back(stored);
    derived_->ready.store(false, std::memory_order_relaxed);
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

LoweredFields SongIndex::searchFields(std::size_t position, AccentRule accents) const {
    (void)visitOrder();  // folding follows the order, and a new order unfolds every rule
    FoldedText& folded = derived_->folded[static_cast<std::size_t>(accents)];
    if (!folded.ready.load(std::memory_order_acquire)) {
        const std::lock_guard lock(derived_->mutex);
        if (!folded.ready.load(std::memory_order_relaxed)) {
            foldSearchFields(folded, accents);
            folded.ready.store(true, std::memory_order_release);
        }
    }
    const std::size_t* ends = folded.ends.data() + 3 * position;
    const std::size_t start = position == 0 ? 0 : ends[-1];
    const std::string_view text = folded.text;
    return {text.substr(start, ends[0] - start), text.substr(ends[0], ends[1] - ends[0]),
            text.substr(ends[1], ends[2] - ends[1])};
}

void SongIndex::foldSearchFields(FoldedText& folded, AccentRule accents) const {
    const std::vector<std::uint32_t>& order = derived_->order;
    // Name, folder and ID3 info; folding ASCII keeps their length, so this is the size unless
    // some text is not ASCII.
    std::size_t total = 0;
    for (const Stored& stored : records_) {
        total += stored.ends[1] + (stored.ends[3] - stored.ends[2]);
    }
    folded.text.clear();
    folded.text.reserve(total);
    folded.ends.clear();
    folded.ends.reserve(3 * order.size());
    std::string scratch;
    const auto put = [&](std::string_view field) {
        folded.text += foldInto(field, accents, scratch);
        folded.ends.push_back(folded.text.size());
    };
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (position + kPrefetchDistance < order.size()) {
            prefetch(&records_[order[position + kPrefetchDistance]]);
        }
        if (position + kPrefetchDistance / 2 < order.size()) {
            const Stored& ahead = records_[order[position + kPrefetchDistance / 2]];
            // A usual record's fields fill a few cache lines; a huge one is read in its turn.
            const std::uint32_t bytes = std::min<std::uint32_t>(ahead.ends[3], 256);
            for (std::uint32_t offset = 0; offset < bytes; offset += 64) {
                prefetch(ahead.text + offset);
            }
        }
        const SongRecordView view = record(order[position]);
        put(view.name);
        put(view.folder);
        put(view.id3Info);
    }
    folded.text.shrink_to_fit();
}

std::vector<std::uint32_t> SongIndex::sortedByName() const {
    // In-order of the tree: by name, and among equal names the later insertion first (an equal
    // key goes to the left of the node it meets). Most pairs differ in their first bytes, which
    // are compared here without reaching into the arena; only names that share them are compared
    // whole.
    const auto count = static_cast<std::uint32_t>(records_.size());
    std::vector<NamePrefix> prefixes(count);
    for (std::uint32_t node = 0; node < count; ++node) {
        const std::string_view name = nameOf(records_[node]);
        prefixes[node].node = node;
        for (std::size_t word = 0; word < kPrefixWords; ++word) {
            prefixes[node].words[word] = bigEndianWord(name, 8 * word);
        }
    }
    std::sort(prefixes.begin(), prefixes.end(), [this](const NamePrefix& a, const NamePrefix& b) {
        if (a.words != b.words) {
            return a.words < b.words;
        }
        const int order = nameOf(records_[a.node]).compare(nameOf(records_[b.node]));
        return order != 0 ? order < 0 : a.node > b.node;
    });
    std::vector<std::uint32_t> sorted(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        sorted[i] = prefixes[i].node;
    }
    return sorted;
}

void SongIndex::computeOrder(Derived& derived) const {
    const std::vector<std::uint32_t> sorted = sortedByName();
    const auto count = static_cast<std::uint32_t>(sorted.size());

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

    std::vector<std::uint32_t>& order = derived.order;
    order.clear();
    order.reserve(count);
    std::vector<std::uint32_t> pending;
    if (!spine.empty()) {
        pending.push_back(spine.front());
    }
    while (!pending.empty()) {
        const std::uint32_t node = pending.back();
        pending.pop_back();
        order.push_back(node);
        if (right[node] != kNone) {
            pending.push_back(right[node]);
        }
        if (left[node] != kNone) {
            pending.push_back(left[node]);
        }
    }
    for (FoldedText& folded : derived.folded) {
        folded.ready.store(false, std::memory_order_relaxed);
    }
    // The usual rule is folded with the order, so the first search pays for both at once.
    FoldedText& usual = derived.folded[static_cast<std::size_t>(AccentRule::Fold)];
    foldSearchFields(usual, AccentRule::Fold);
    usual.ready.store(true, std::memory_order_relaxed);
}

const std::vector<std::uint32_t>& SongIndex::visitOrder() const {
    Derived& derived = *derived_;
    if (!derived.ready.load(std::memory_order_acquire)) {
        const std::lock_guard lock(derived.mutex);
        if (!derived.ready.load(std::memory_order_relaxed)) {
            computeOrder(derived);
            derived.ready.store(true, std::memory_order_release);
        }
    }
    return derived.order;
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
