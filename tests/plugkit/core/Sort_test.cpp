#include "plugkit/core/Sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using plugkit::core::grail_commonSort;

namespace {

struct Item {
    int key;
    int order;  // position before sorting, to check stability
};

int byKey(const Item& a, const Item& b) { return a.key < b.key ? -1 : (a.key > b.key ? 1 : 0); }

// Sorts n items with keys drawn from [0, distinct) and compares with std::stable_sort.
void checkStableSort(int n, int distinct, std::mt19937& rng) {
    std::vector<Item> items(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        items[static_cast<std::size_t>(i)] = {static_cast<int>(rng() % static_cast<unsigned>(distinct)), i};
    std::vector<Item> expected = items;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Item& a, const Item& b) { return a.key < b.key; });
    grail_commonSort(items.data(), n, byKey);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        ASSERT_EQ(items[k].key, expected[k].key) << "n=" << n << " distinct=" << distinct << " at " << i;
        ASSERT_EQ(items[k].order, expected[k].order)
            << "unstable: n=" << n << " distinct=" << distinct << " at " << i;
    }
}

}  // namespace

TEST(GrailSort, StableForAllSmallSizesAndKeyCounts) {
    std::mt19937 rng(7);
    for (int n = 0; n <= 100; ++n)
        for (int distinct : {1, 2, 3, 4, 5, 8, 20, 1000000}) checkStableSort(n, distinct, rng);
}

TEST(GrailSort, StableForLargeArrays) {
    std::mt19937 rng(11);
    // Few distinct keys hit the buffer-less paths; many hit the internal buffer.
    for (int n : {257, 1000, 4096, 10007, 65536, 100000})
        for (int distinct : {2, 3, 5, 17, 100, 300, 5000, 1 << 30}) checkStableSort(n, distinct, rng);
}

TEST(GrailSort, PresortedAndReversedInput) {
    for (int n : {16, 100, 5000}) {
        std::vector<int> up(static_cast<std::size_t>(n)), down(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            up[static_cast<std::size_t>(i)] = i;
            down[static_cast<std::size_t>(i)] = n - i;
        }
        auto cmp = [](const int& a, const int& b) { return a - b; };
        grail_commonSort(up.data(), n, cmp);
        grail_commonSort(down.data(), n, cmp);
        EXPECT_TRUE(std::is_sorted(up.begin(), up.end()));
        EXPECT_TRUE(std::is_sorted(down.begin(), down.end()));
    }
    grail_commonSort(static_cast<int*>(nullptr), -3, [](const int&, const int&) { return 0; });
}
