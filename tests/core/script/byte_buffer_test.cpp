// The growth rule of ByteBuffer and its fixed-area mode.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "core/script/byte_buffer.h"

TEST(ByteBuffer, GrowthRule) {
    // max(p + n, c + min(c, 1024), 16)
    EXPECT_EQ(ByteBuffer::GrownCapacity(0, 1, 0), 16u);
    EXPECT_EQ(ByteBuffer::GrownCapacity(16, 1, 16), 32u);
    EXPECT_EQ(ByteBuffer::GrownCapacity(16, 100, 16), 116u);
    EXPECT_EQ(ByteBuffer::GrownCapacity(2000, 1, 2000), 3024u);
    EXPECT_EQ(ByteBuffer::GrownCapacity(8192, 4, 8192), 9216u);
    EXPECT_EQ(ByteBuffer::GrownCapacity(10, 6, 16), 16u); // fits: unchanged

    ByteBuffer buffer;
    EXPECT_TRUE(buffer.owned());
    size_t capacities[6];
    for (int i = 0; i < 6; ++i) {
        buffer.AppendZeros(buffer.capacity() - buffer.position() + 1);
        capacities[i] = buffer.capacity();
    }
    // 1 byte -> 16; each step then adds min(c, 1024) or what is needed.
    EXPECT_EQ(std::tuple(capacities[0], capacities[1], capacities[2], capacities[5]),
              std::tuple(16u, 32u, 64u, 512u));
}

TEST(ByteBuffer, KeepsBytesAcrossGrowth) {
    ByteBuffer buffer;
    for (uint32_t i = 0; i < 1000; ++i)
        buffer.AppendU32(i);
    ASSERT_EQ(buffer.position(), 4000u);
    for (uint32_t i = 0; i < 1000; ++i) {
        uint32_t v;
        std::memcpy(&v, buffer.data() + 4 * i, 4);
        ASSERT_EQ(v, i);
    }
    EXPECT_EQ(buffer.data()[4], 1u); // little-endian
}

TEST(ByteBuffer, FixedAreaIsNeverWrittenPastNorFreed) {
    uint8_t area[40];
    std::memset(area, 0xAA, sizeof(area));
    ByteBuffer buffer(area, 32);
    EXPECT_FALSE(buffer.owned());
    buffer.AppendU32(0x01020304);
    buffer.AppendZeros(28);
    EXPECT_EQ(buffer.data(), area);
    EXPECT_EQ(buffer.capacity(), 32u);
    buffer.AppendByte(7); // spills: 32 + 32 = 64 bytes of its own
    EXPECT_TRUE(buffer.owned());
    EXPECT_NE(buffer.data(), area);
    EXPECT_EQ(buffer.capacity(), 64u);
    EXPECT_EQ(buffer.position(), 33u);
    EXPECT_EQ(std::tuple(buffer.data()[0], buffer.data()[32]), std::tuple(4u, 7u));
    EXPECT_EQ(area[32], 0xAA); // the area's end stays untouched
    EXPECT_EQ(area[0], 4u);    // and its bytes stay where they were
}
