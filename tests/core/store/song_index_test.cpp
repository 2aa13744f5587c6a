#include "core/store/song_index.h"

#include "core/common/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <latch>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tunex {
namespace {

// The tree as described: pointer nodes, equal keys to the left, keys compared as unsigned bytes.
class ReferenceTree {
public:
    void insert(const std::string& key, int id) {
        std::unique_ptr<Node>* slot = &root_;
        while (*slot) {
            slot = lessOrEqual(key, (*slot)->key) ? &(*slot)->left : &(*slot)->right;
        }
        *slot = std::make_unique<Node>(Node{key, id, nullptr, nullptr});
    }
    std::vector<int> preOrder() const {
        std::vector<int> ids;
        visit(root_.get(), ids);
        return ids;
    }

private:
    struct Node {
        std::string key;
        int id;
        std::unique_ptr<Node> left;
        std::unique_ptr<Node> right;
    };
    static bool lessOrEqual(const std::string& a, const std::string& b) {
        return !std::lexicographical_compare(
            b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            });
    }
    static void visit(const Node* node, std::vector<int>& ids) {
        if (node == nullptr) {
            return;
        }
        ids.push_back(node->id);
        visit(node->left.get(), ids);
        visit(node->right.get(), ids);
    }
    std::unique_ptr<Node> root_;
};

// Each record carries its insertion number in the folder field, so the walk shows which it is.
void insertNamed(SongIndex& index, const std::string& name, int id) {
    const std::string folder = std::to_string(id);
    SongRecordView record;
    record.name = name;
    record.folder = folder;
    record.collectionIndex = id % 7;
    index.insert(record);
}

std::vector<int> walkedIds(const SongIndex& index) {
    std::vector<int> ids;
    index.walk([&ids](const SongRecordView& record) {
        ids.push_back(std::stoi(std::string(record.folder)));
        EXPECT_EQ(record.collectionIndex, ids.back() % 7);
    });
    return ids;
}

TEST(SongIndex, VisitsInThePreOrderOfTheDescribedTree) {
    // Few distinct keys, so duplicates are common; bytes above 0x7f must sort after ASCII, a NUL
    // byte after the end of a name, and long keys that share their first bytes by what follows.
    const std::string shared(24, 'k');
    const std::vector<std::string> alphabet = {
        "",         "a",          "b",          "ab",          "B",
        "\xc3\xa9", "a\xff",      " ",          {"a\0", 2},    {"a\0b", 3},
        shared,     shared + "b", shared + "a", shared + "ab", std::string(23, 'k') + "l"};
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        const int count = static_cast<int>(random() % 40);
        SongIndex index;
        ReferenceTree reference;
        for (int id = 0; id < count; ++id) {
            const std::string& key = alphabet[random() % (round % 2 == 0 ? 3 : alphabet.size())];
            insertNamed(index, key, id);
            reference.insert(key, id);
        }
        ASSERT_EQ(index.size(), static_cast<size_t>(count));
        ASSERT_EQ(walkedIds(index), reference.preOrder()) << "round " << round;
    }
}

TEST(SongIndex, LaterInsertsChangeTheOrder) {
    SongIndex index;
    insertNamed(index, "m", 0);
    insertNamed(index, "z", 1);
    EXPECT_EQ(walkedIds(index), (std::vector<int>{0, 1}));
    insertNamed(index, "m", 2);
    insertNamed(index, "a", 3);
    EXPECT_EQ(walkedIds(index), (std::vector<int>{0, 2, 3, 1}));
}

TEST(SongIndex, LargeSortedOrEqualInputLoadsWithoutDeepRecursion) {
    constexpr int kCount = 200000;
    const auto started = std::chrono::steady_clock::now();
    for (const int mode : {0, 1, 2}) {
        SongIndex index;
        char name[32];
        for (int id = 0; id < kCount; ++id) {
            // Ascending, descending and all-equal names each make a chain as deep as the input.
            const int key = mode == 0 ? id : mode == 1 ? kCount - id : 7;
            std::snprintf(name, sizeof name, "song%07d", key);
            insertNamed(index, name, id);
        }
        // A chain's pre-order is its insertion order.
        const std::vector<int> ids = walkedIds(index);
        ASSERT_EQ(ids.size(), static_cast<size_t>(kCount));
        EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end())) << "mode " << mode;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST(SongIndex, StopTestEndsTheWalk) {
    SongIndex index;
    for (int id = 0; id < 10; ++id) {
        insertNamed(index, std::string(1, static_cast<char>('a' + (id * 7) % 10)), id);
    }
    const std::vector<int> all = walkedIds(index);
    for (const size_t limit : {size_t{0}, size_t{1}, size_t{4}, size_t{10}}) {
        std::vector<int> ids;
        index.walk(
            [&ids](const SongRecordView& r) { ids.push_back(std::stoi(std::string(r.folder))); },
            [&ids, limit] { return ids.size() >= limit; });
        EXPECT_EQ(ids, std::vector<int>(all.begin(), all.begin() + static_cast<long>(limit)));
    }
    SongIndex empty;
    int visits = 0;
    empty.walk([&visits](const SongRecordView&) { ++visits; });
    EXPECT_EQ(visits, 0);
}

TEST(SongIndex, KeepsEveryFieldIncludingEmptyAndHugeOnes) {
    SongIndex index;
    // An all-empty record first, before any storage exists.
    index.insert(SongRecordView{});
    const std::string big(3 << 20, 'x');  // larger than one storage block
    SongRecordView large;
    large.name = "big";
    large.id3Info = big;
    large.dateText = "2001-02-03";
    index.insert(large);
    SongRecordView small{4, "small", "/f", "mp3", "t;", "     1.0", "2002-03-04"};
    index.insert(small);

    std::vector<SongRecord> seen;
    index.walk([&seen](const SongRecordView& r) { seen.push_back(toSongRecord(r)); });
    ASSERT_EQ(seen.size(), 3U);
    // "" < "big" < "small": the empty first record is the root, the others a right chain.
    EXPECT_EQ(seen[0], (SongRecord{0, " ", "", "", "", "", ""}));
    EXPECT_EQ(seen[1], (SongRecord{0, " big", "", "", big, "", "2001-02-03"}));
    EXPECT_EQ(seen[2], (SongRecord{4, " small", "/f", "mp3", "t;", "     1.0", "2002-03-04"}));
}

// The order and the lower-cased fields are worked out by whichever search asks first, maybe
// several at once on their threads; each gets the same, complete answer. Some names lower-case
// to more bytes (U+0130) or fewer (U+1E9E) than they hold.
TEST(SongIndex, SearchFieldsAreFoldedInVisitOrderWhoeverAsksFirst) {
    SongIndex index;
    std::mt19937 random(20240612);
    for (int id = 0; id < 20000; ++id) {
        std::string name = "Song " + std::to_string(random() % 5000);
        name += id % 97 == 0 ? " \xc4\xb0STANBUL" : id % 89 == 0 ? " STRA\xe1\xba\x9e" : "";
        const std::string folder = "/Folder/" + std::to_string(id);
        const std::string id3 = id % 3 == 0 ? "" : "Title;Artist " + std::to_string(id) + ";";
        index.insert({id % 5, name, folder, "mp3", id3, "     1.0", "2003-11-16"});
    }
    constexpr int kThreads = 4;
    std::latch start(kThreads);
    std::vector<std::vector<std::uint32_t>> orders(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            orders[t] = index.visitOrder();
            (void)index.searchFields(0, t % 2 == 0 ? AccentRule::Fold : AccentRule::Exact);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_EQ(orders[0].size(), index.size());
    for (int t = 1; t < kThreads; ++t) {
        EXPECT_EQ(orders[t], orders[0]);
    }
    int changedLength = 0;
    for (std::size_t position = 0; position < orders[0].size(); ++position) {
        const SongRecordView record = index.record(orders[0][position]);
        const LoweredFields fields = index.searchFields(position);
        ASSERT_EQ(fields.name, foldForSearch(record.name, AccentRule::Fold)) << position;
        ASSERT_EQ(fields.folder, foldForSearch(record.folder, AccentRule::Fold)) << position;
        ASSERT_EQ(fields.id3Info, foldForSearch(record.id3Info, AccentRule::Fold)) << position;
        changedLength += fields.name.size() != record.name.size();
    }
    EXPECT_GT(changedLength, 300);
}

}  // namespace
}  // namespace tunex
