#include "plugkit/core/Vec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "plugkit/core/AlignedAlloc.h"

using namespace plugkit::core;

namespace {
std::size_t recordedSize(void* block) { return reinterpret_cast<std::size_t*>(block)[-2]; }
bool aligned(const void* p, std::size_t a) { return reinterpret_cast<std::uintptr_t>(p) % a == 0; }
}  // namespace

TEST(Vec, GrowsToTwiceTheNeededLengthAndKeepsStorageOnShrink) {
    for (std::size_t alignment : {std::size_t(1), std::size_t(16), std::size_t(64)}) {
        Vec<int> v(alignment);
        v.reserve(4);
        EXPECT_EQ(v.capacity(), 4u);
        for (int i = 0; i < 4; ++i) v.pushBack(i * 3);
        EXPECT_EQ(v.capacity(), 4u);
        v.pushBack(12);
        EXPECT_EQ(v.capacity(), 10u);
        ASSERT_EQ(v.size(), 5u);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(v[static_cast<std::size_t>(i)], i * 3);
        EXPECT_TRUE(aligned(v.data(), alignment));

        int* storage = v.data();
        v.resize(2);
        v.clear();
        EXPECT_EQ(v.capacity(), 10u);
        EXPECT_EQ(v.data(), storage);
        v.resize(3);  // regrown elements are zero
        EXPECT_EQ(v[2], 0);
        v.resize(25);
        EXPECT_EQ(v.capacity(), 50u);
        EXPECT_EQ(v[0], 0);
    }
}

TEST(Vec, AppendingAnOwnElementSurvivesGrowth) {
    Vec<long> v;
    v.pushBack(41);
    for (int i = 0; i < 100; ++i) v.pushBack(v[0]);
    EXPECT_EQ(v[100], 41);
    Vec<long> moved(std::move(v));
    EXPECT_EQ(moved.size(), 101u);
    EXPECT_EQ(v.size(), 0u);  // NOLINT: moved-from is empty
}

TEST(AlignedRealloc, AlignmentReuseRuleAndContents) {
    void* b = alignedReallocImpl(nullptr, 100, 16);
    EXPECT_TRUE(aligned(b, 16));
    EXPECT_EQ(recordedSize(b), 100u);
    std::memset(b, 0xAB, 100);

    // Same size: 100 + 16 + 15 > 100, so the block moves.
    void* same = alignedReallocImpl(b, 100, 16);
    EXPECT_NE(same, b);
    EXPECT_TRUE(aligned(same, 16));

    // Growing keeps the first bytes.
    void* grown = alignedReallocImpl(same, 1000, 16);
    EXPECT_TRUE(aligned(grown, 16));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(static_cast<unsigned char*>(grown)[i], 0xAB);

    // Shrinking within the window (size + 31 <= 1000 < 4 * (size + 16) + 60) reuses the block.
    EXPECT_EQ(alignedReallocImpl(grown, 969, 16), grown);
    EXPECT_EQ(alignedReallocImpl(grown, 300, 16), grown);
    // Far smaller: a new block, the first bytes kept.
    void* small = alignedReallocImpl(grown, 10, 16);
    EXPECT_NE(small, grown);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(static_cast<unsigned char*>(small)[i], 0xAB);
    alignedFree(small, 16);

    for (std::size_t a : {std::size_t(2), std::size_t(8), std::size_t(64), std::size_t(4096)}) {
        void* p = alignedReallocImpl(nullptr, 33, a);
        EXPECT_TRUE(aligned(p, a));
        std::memset(p, 0, 33);  // the whole block is usable (checked by the address sanitizer)
        alignedFree(p, a);
    }
    void* p = allocAligned(48, 64);
    EXPECT_TRUE(aligned(p, 64));
    freeAligned(p);
}
