#include "platform/controls/IndexedList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kobalt::platform {
namespace {

std::vector<int> Contents(const IndexedList<int>& list, std::size_t first = 0,
                          std::size_t count = SIZE_MAX) {
    std::vector<int> out;
    list.ForEach(first, count, [&](int v) { out.push_back(v); });
    return out;
}

IndexedList<int> ListOf(const std::vector<int>& values) {
    IndexedList<int> list;
    for (int v : values) {
        list.Insert(list.Size(), v);
    }
    return list;
}

// Random inserts and erases at random places, checked against a vector after every step.
TEST(IndexedList, MatchesVectorUnderRandomEdits) {
    std::mt19937 random(12345);
    IndexedList<int> list;
    std::vector<int> model;
    for (int step = 0; step < 4000; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const bool insert = model.empty() || random() % 3 != 0;
        if (insert) {
            const std::size_t at = random() % (model.size() + 1);
            list.Insert(at, step);
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), step);
        } else {
            const std::size_t at = random() % model.size();
            ASSERT_EQ(list.Erase(at), model[at]);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        }
        ASSERT_EQ(list.Size(), model.size());
        if (!model.empty()) {
            const std::size_t probe = random() % model.size();
            ASSERT_EQ(list[probe], model[probe]);
        }
        if (step % 500 == 0) {
            ASSERT_EQ(Contents(list), model);
        }
    }
    ASSERT_EQ(Contents(list), model);
    list.Clear();
    EXPECT_TRUE(list.Empty());
    list.Insert(0, 7); // usable after Clear
    EXPECT_EQ(Contents(list), std::vector<int>{7});
}

TEST(IndexedList, ForEachVisitsTheRequestedWindow) {
    const IndexedList<int> list = ListOf({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    struct Case {
        std::size_t first, count;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {0, 3, {0, 1, 2}},
        {4, 2, {4, 5}},
        {8, 5, {8, 9}},
        {9, 1, {9}},
        {10, 3, {}},
        {3, 0, {}},
        {0, SIZE_MAX, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Contents(list, c.first, c.count), c.expected)
            << "first " << c.first << ", count " << c.count;
    }
}

// An upper bound of `value`: the first element greater than it.
std::size_t UpperBound(const IndexedList<int>& list, int value) {
    return list.PartitionPoint([&](int element) { return value < element; });
}

TEST(IndexedList, PartitionPointIsUpperBoundOnSortedRuns) {
    const IndexedList<int> list = ListOf({1, 3, 3, 3, 5, 8});
    const std::pair<int, std::size_t> cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 4},
                                                 {4, 4}, {8, 6}, {9, 6}};
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(UpperBound(list, value), expected) << "value " << value;
    }
    EXPECT_EQ(UpperBound(IndexedList<int>{}, 1), 0u);
}

// On an unsorted sequence the answer still lies between an element not above the value and one
// above it, so a sorted insert never lands inside a sorted run at the wrong place.
TEST(IndexedList, PartitionPointOnUnsortedSequenceLandsBetweenFittingNeighbours) {
    std::mt19937 random(99);
    IndexedList<int> list;
    for (int i = 0; i < 2000; ++i) {
        list.Insert(random() % (list.Size() + 1), static_cast<int>(random() % 100));
    }
    for (int value = -1; value <= 100; ++value) {
        const std::size_t at = UpperBound(list, value);
        if (at > 0) {
            EXPECT_LE(list[at - 1], value) << "value " << value << " at " << at;
        }
        if (at < list.Size()) {
            EXPECT_GT(list[at], value) << "value " << value << " at " << at;
        }
    }
}

// A sorted insert in one descent must place each element exactly where the upper-bound search
// followed by a positional insert would, also on a sequence that is not sorted (lines put in
// unsorted), and leave the sizes consistent for later positional edits. Two lists built the
// same way are compared element by element after every step.
TEST(IndexedList, InsertUpperBoundMatchesSearchThenInsert) {
    std::mt19937 random(7);
    IndexedList<int> searched;
    IndexedList<int> combined;
    const auto less = [](int added, int element) { return added < element; };
    for (int step = 0; step < 3000; ++step) {
        const int value = static_cast<int>(random() % 50);
        switch (random() % 4) {
        case 0: { // an unsorted insert, as LB_INSERTSTRING does in a sorted list box
            const std::size_t at = random() % (searched.Size() + 1);
            searched.Insert(at, value);
            combined.Insert(at, value);
            break;
        }
        case 1:
            if (!searched.Empty()) {
                const std::size_t at = random() % searched.Size();
                ASSERT_EQ(searched.Erase(at), combined.Erase(at));
            }
            break;
        default: {
            const std::size_t expected = UpperBound(searched, value);
            searched.Insert(expected, value);
            ASSERT_EQ(combined.InsertUpperBound(value, less), expected) << "step " << step;
            break;
        }
        }
        ASSERT_EQ(combined.Size(), searched.Size());
    }
    EXPECT_EQ(Contents(combined), Contents(searched));
    EXPECT_EQ(Contents(combined, 100, 50), Contents(searched, 100, 50));
    for (std::size_t i = 0; i < combined.Size(); i += 97) {
        EXPECT_EQ(combined[i], searched[i]) << "index " << i;
    }
    EXPECT_LE(combined.Depth(), static_cast<std::size_t>(4 * std::log2(combined.Size() + 2)));
}

// Sorted inserts of values already present keep arrival order among equals (each goes after
// the last equal one), here tagged by arrival in the low digit.
TEST(IndexedList, InsertUpperBoundKeepsArrivalOrderAmongEquals) {
    IndexedList<int> list;
    const auto byTens = [](int added, int element) { return added / 10 < element / 10; };
    const int arrivals[] = {30, 10, 31, 20, 11, 32, 12, 21};
    const std::size_t expectedIndex[] = {0, 0, 2, 1, 1, 5, 2, 4};
    for (std::size_t i = 0; i < std::size(arrivals); ++i) {
        EXPECT_EQ(list.InsertUpperBound(arrivals[i], byTens), expectedIndex[i]) << "arrival " << i;
    }
    EXPECT_EQ(Contents(list), (std::vector<int>{10, 11, 12, 20, 21, 30, 31, 32}));
}

// Large enough for several levels of nodes: positional and sorted inserts split nodes at every
// level, windows of ForEach cross many nodes, and erasing everything empties and removes them
// until the list is empty and usable again. Checked against a vector throughout.
TEST(IndexedList, MatchesVectorAcrossManyLevels) {
    std::mt19937 random(2024);
    IndexedList<int> list;
    std::vector<int> model;
    constexpr int kCount = 20'000;
    for (int i = 0; i < kCount; ++i) {
        const std::size_t at = random() % (model.size() + 1);
        list.Insert(at, i);
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), i);
    }
    ASSERT_EQ(Contents(list), model);
    EXPECT_GE(list.Depth(), 3u);
    for (int probe = 0; probe < 200; ++probe) {
        const std::size_t first = random() % (model.size() + 10);
        const std::size_t count = random() % 300;
        std::vector<int> expected;
        for (std::size_t i = first; i < model.size() && i < first + count; ++i) {
            expected.push_back(model[i]);
        }
        ASSERT_EQ(Contents(list, first, count), expected) << first << " + " << count;
    }
    while (!model.empty()) {
        const std::size_t at = random() % model.size();
        ASSERT_EQ(list.Erase(at), model[at]);
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        ASSERT_EQ(list.Size(), model.size());
        if (model.size() % 997 == 0 && !model.empty()) {
            ASSERT_EQ(Contents(list), model);
            const std::size_t probe = random() % model.size();
            ASSERT_EQ(list[probe], model[probe]);
        }
    }
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Depth(), 0u);

    // Sorted inserts of few distinct values, as repeating status lines are, after the list
    // emptied: each lands after the values equal to it.
    const auto less = [](int added, int element) { return added / 100 < element / 100; };
    for (int i = 0; i < kCount; ++i) {
        const int value = static_cast<int>(random() % 6) * 100 + i % 100;
        const auto at = std::upper_bound(model.begin(), model.end(), value,
                                         [&](int a, int b) { return less(a, b); });
        const auto expected = static_cast<std::size_t>(at - model.begin());
        model.insert(at, value);
        ASSERT_EQ(list.InsertUpperBound(value, less), expected) << "insert " << i;
    }
    ASSERT_EQ(Contents(list), model);
}

// Filling only at the front is the worst order for an unbalanced tree.
TEST(IndexedList, StaysShallowWhenFilledAtTheFront) {
    IndexedList<int> list;
    constexpr int kCount = 100'000;
    for (int i = 0; i < kCount; ++i) {
        list.Insert(0, i);
    }
    EXPECT_LE(list.Depth(), static_cast<std::size_t>(3 * std::log2(kCount)));
    EXPECT_EQ(list[0], kCount - 1);
    EXPECT_EQ(list[kCount - 1], 0);
}

} // namespace
} // namespace kobalt::platform
