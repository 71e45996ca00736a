#include "base/object_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>

namespace {

TEST(ObjectPoolTest, FreshBlockHandsOutElementsFromTheLast) {
    ObjectPool pool;
    auto *first = static_cast<uint8_t *>(pool.Take());
    EXPECT_EQ(pool.blockCount(), 1u);
    auto *second = static_cast<uint8_t *>(pool.Take());
    // The 256th element, then the 255th: 12 bytes apart.
    EXPECT_EQ(first - second, 12);
    EXPECT_EQ(pool.freeCount(), 254u);

    // Taking the rest reaches the block's first element last, without a new
    // block; the next take adds one.
    uint8_t *last = second;
    for (int i = 0; i < 254; ++i) {
        last = static_cast<uint8_t *>(pool.Take());
    }
    EXPECT_EQ(first - last, 255 * 12);
    EXPECT_EQ(pool.blockCount(), 1u);
    pool.Take();
    EXPECT_EQ(pool.blockCount(), 2u);
}

TEST(ObjectPoolTest, GivenBackElementComesBackZeroed) {
    ObjectPool pool;
    void *a = pool.Take();
    void *b = pool.Take();
    std::memset(a, 0xAB, 12);
    std::memset(b, 0xCD, 12);
    pool.GiveBack(a);
    pool.GiveBack(b);
    // Most recently given back first.
    EXPECT_EQ(pool.Take(), b);
    void *again = pool.Take();
    ASSERT_EQ(again, a);
    const uint8_t zeros[12] = {};
    EXPECT_EQ(std::memcmp(again, zeros, 12), 0);
}

TEST(ObjectPoolTest, ElementsOfAllBlocksStayDistinctAcrossGrowth) {
    ObjectPool pool(24);
    std::set<void *> seen;
    for (int i = 0; i < 3 * 256; ++i) {
        void *e = pool.Take();
        EXPECT_TRUE(seen.insert(e).second);
        std::memset(e, 0xFF, 24);
    }
    EXPECT_EQ(pool.blockCount(), 3u);
    // Everything back: all fit on the free list and come out again.
    for (void *e : seen) {
        pool.GiveBack(e);
    }
    EXPECT_EQ(pool.freeCount(), 3u * 256u);
    for (int i = 0; i < 3 * 256; ++i) {
        EXPECT_EQ(seen.count(pool.Take()), 1u);
    }
    EXPECT_EQ(pool.blockCount(), 3u);
}

TEST(ObjectPoolDeathTest, ExhaustionStopsLoudly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            ObjectPool pool;
            for (size_t i = 0; i <= ObjectPool::kMaxBlocks * ObjectPool::kElementsPerBlock; ++i) {
                pool.Take();
            }
        },
        "object pool exhausted");
}

} // namespace
