#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library_test_util.h"

TEST(NameTable, EmptyNameIsZeroAndTheTableFillsAt4096) {
    NameTable table; // an instance of the test's own: the global one only grows
    EXPECT_EQ(table.Count(), 1u);
    // "bip01" differs: case-sensitive.
    EXPECT_EQ(std::vector<uint32_t>({table.FindOrAdd(""), table.FindOrAdd(nullptr),
                                     table.FindOrAdd("Bip01"), table.FindOrAdd("bip01"),
                                     table.FindOrAdd("Bip01")}),
              std::vector<uint32_t>({0, 0, 1, 2, 1}));
    for (uint32_t i = 3; i < NameTable::kCapacity; ++i) {
        ASSERT_EQ(table.FindOrAdd("name" + std::to_string(i)), i);
    }
    EXPECT_EQ(table.Count(), 4096u);
    EXPECT_EQ(table.FindOrAdd("one more"), 0u);
    EXPECT_EQ(table.Count(), 4096u);
    EXPECT_EQ(table.FindOrAdd("name4095"), 4095u);
    EXPECT_STREQ(table.GetName(4095), "name4095");
    EXPECT_EQ(std::string(table.GetName(0)) + table.GetName(5000), "");
}

namespace {

RotationKey Rot(float x, float w) { return {x, 0.0f, 0.0f, w, 0.0f, 0}; }
PositionKey Pos(float x) { return {x, 0.0f, 0.0f, 0.0f, 0}; }

// The keys' interpolate flags as a string of digits.
template <typename K> std::string Flags(const std::vector<K>& keys) {
    std::string flags;
    for (const K& k : keys) {
        flags += std::to_string(k.interpolate);
    }
    return flags;
}

} // namespace

TEST(KeyTrack, InterpolateFlags) {
    KeyTrack t;
    t.rotationKeys = {Rot(0, 1), Rot(0, 1), Rot(1, 0), Rot(0, 1)};
    t.positionKeys = {Pos(1), Pos(2), Pos(3)};
    t.scaleKeys = {Pos(-0.0f), Pos(0.0f), Pos(std::nanf("")), Pos(std::nanf(""))};
    t.MarkInterpolatedKeys();
    // Equal neighbours hold, differing ones blend, the last holds. Values
    // compare as floats: -0 equals 0, NaN differs from itself.
    EXPECT_EQ(Flags(t.rotationKeys), "0110");
    EXPECT_EQ(Flags(t.positionKeys), "110");
    EXPECT_EQ(Flags(t.scaleKeys), "0110");

    KeyTrack noRotation;
    noRotation.positionKeys = {Pos(1), Pos(2), Pos(3)};
    noRotation.MarkInterpolatedKeys();
    EXPECT_EQ(Flags(noRotation.positionKeys), "000");
}

TEST(KeyTrack, LoadReadsOneRecordInFileOrder) {
    libtest::Bytes b;
    b.F32(3.0f).Text("KeyTrackTestBone");
    b.U32(2);
    b.F32(0.0f).F32(0.0f).F32(0.0f).F32(0.0f).F32(1.0f); // time, x, y, z, w
    b.F32(1.0f).F32(0.0f).F32(0.0f).F32(0.0f).F32(1.0f);
    b.U32(2);
    b.F32(0.0f).F32(1.0f).F32(2.0f).F32(3.0f);
    b.F32(2.0f).F32(4.0f).F32(5.0f).F32(6.0f);
    b.U32(1).F32(0.5f).F32(2.0f).F32(2.0f).F32(2.0f);
    b.U32(1).F32(0.75f);
    for (int i = 0; i < 16; ++i) {
        b.F32(static_cast<float>(i));
    }
    Archive archive;
    archive.OpenMemory(b.data.data(), static_cast<uint32_t>(b.data.size()));
    KeyTrack t;
    ASSERT_EQ(t.Load(archive, 1, 7), 1);
    EXPECT_EQ(archive.BytesLeft(), 0u);
    EXPECT_FLOAT_EQ(t.length, 3.0f);
    EXPECT_STREQ(GetNameTable().GetName(t.nameId), "KeyTrackTestBone");
    ASSERT_EQ(t.rotationKeys.size() * 1000 + t.positionKeys.size() * 100 +
                  t.scaleKeys.size() * 10 + t.matrixKeys.size(),
              2211u);
    EXPECT_EQ(std::vector<float>({t.rotationKeys[1].time, t.rotationKeys[1].w,
                                  t.positionKeys[1].time, t.positionKeys[1].z, t.scaleKeys[0].time,
                                  t.matrixKeys[0].time, t.matrixKeys[0].m[15]}),
              std::vector<float>({1, 1, 2, 6, 0.5f, 0.75f, 15}));
    EXPECT_EQ(Flags(t.rotationKeys) + Flags(t.positionKeys), "0010"); // equal rotations hold

    // The same record cut short fails.
    for (size_t cut : {size_t{3}, size_t{30}, b.data.size() - 1}) {
        Archive part;
        part.OpenMemory(b.data.data(), static_cast<uint32_t>(cut));
        KeyTrack u;
        EXPECT_EQ(u.Load(part, 1, 7), 0) << cut;
    }
}
