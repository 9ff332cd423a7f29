// The chunked record order behaves like a plain vector under any mix of
// inserts, erases and lookups, also across chunk splits.
#include "tablestore/RecordOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using kimport::RecordOrder;

TEST(RecordOrder, MatchesAPlainVectorUnderRandomEdits) {
    RecordOrder order;
    std::vector<RecordOrder::RowId> reference;
    std::mt19937 rng(3);
    for (int step = 0; step < 20000; ++step) {
        int action = static_cast<int>(rng() % 10);
        if (action < 6 || reference.empty()) {
            std::size_t at = rng() % (reference.size() + 1);
            order.insert(at, static_cast<RecordOrder::RowId>(step));
            reference.insert(reference.begin() + static_cast<std::ptrdiff_t>(at), static_cast<RecordOrder::RowId>(step));
        } else if (action < 8) {
            std::size_t at = rng() % reference.size();
            order.erase(at);
            reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            // Walk a stretch, as a cursor does.
            std::size_t at = rng() % reference.size();
            for (std::size_t i = at; i < std::min(reference.size(), at + 50); ++i)
                ASSERT_EQ(order.at(i), reference[i]) << "step " << step;
        }
        ASSERT_EQ(order.size(), reference.size());
    }
    std::vector<RecordOrder::RowId> walked;
    order.forEach([&](RecordOrder::RowId r) { walked.push_back(r); });
    EXPECT_EQ(walked, reference);
}

TEST(RecordOrder, LowerBoundFindsTheInsertPositionInSortedOrder) {
    RecordOrder order;
    std::vector<RecordOrder::RowId> sorted;
    for (RecordOrder::RowId v = 0; v < 5000; v += 2) {
        order.push_back(v);
        sorted.push_back(v);
    }
    for (RecordOrder::RowId probe : {0u, 1u, 2u, 2047u, 2048u, 4999u, 5000u, 9999u}) {
        std::size_t expected = static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), probe) - sorted.begin());
        EXPECT_EQ(order.lowerBound([&](RecordOrder::RowId r) { return r < probe; }), expected) << probe;
    }
}

// Sorted inserts found by lowerBound, then whole chunks erased: positions stay right throughout.
TEST(RecordOrder, PositionsStayRightAsChunksSplitAndEmpty) {
    RecordOrder order;
    std::vector<RecordOrder::RowId> sorted;
    std::mt19937 rng(7);
    auto check = [&](RecordOrder::RowId probe) {
        auto expected = static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), probe) - sorted.begin());
        std::size_t at = order.lowerBound([&](RecordOrder::RowId r) { return r < probe; });
        EXPECT_EQ(at, expected) << probe;
        if (at < sorted.size()) {
            EXPECT_EQ(order.at(at), sorted[at]);
        }
        return at;
    };
    for (int i = 0; i < 12000; ++i) {
        auto v = static_cast<RecordOrder::RowId>(rng() % 1000000);
        std::size_t at = check(v);
        order.insert(at, v);
        sorted.insert(sorted.begin() + static_cast<std::ptrdiff_t>(at), v);
    }
    // Erase a stretch longer than a chunk from the middle, looking up as it goes.
    for (int i = 0; i < 3000; ++i) {
        std::size_t at = 4000;
        order.erase(at);
        sorted.erase(sorted.begin() + static_cast<std::ptrdiff_t>(at));
        check(static_cast<RecordOrder::RowId>(rng() % 1000000));
    }
    for (std::size_t p = 0; p < sorted.size(); p += 97) EXPECT_EQ(order.at(p), sorted[p]);
    while (!sorted.empty()) {
        order.erase(sorted.size() - 1);
        sorted.pop_back();
    }
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(check(5), 0u);
}
