#include "core/actors/param_block.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "core/actors/command_fixture.h"
#include "core/actors/param_builder.h"

namespace {

using P = ParamType;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

class ParamBlockTest : public ::testing::Test {
protected:
    void SetUp() override { fixture::RegisterCommands(); }
    void TearDown() override { ResetCommandRegistry(); }
};

TEST(ParamBlockView, ReadsAndWritesStayInside) {
    uint8_t buf[10] = {};
    ParamBlock b(buf, 8);
    EXPECT_TRUE(b.WriteU32(4, 0xAABBCCDD));
    EXPECT_EQ(b.ReadU32(4), 0xAABBCCDDu);
    // A value that does not fit whole reads as zero; its write is dropped.
    EXPECT_EQ(std::tuple(b.ReadU32(5), b.ReadU32(1000)), std::tuple(0u, 0u));
    EXPECT_EQ(b.ReadPointer(4), nullptr);
    EXPECT_FALSE(b.WriteU32(6, 0x11111111));
    EXPECT_FALSE(b.WriteF32(SIZE_MAX - 1, 1.0f));
    EXPECT_EQ(std::tuple(buf[8] | buf[9], b.ReadU32(4)), std::tuple(0, 0xAABBCCDDu));

    // A text is cut to fit and keeps its NUL.
    EXPECT_FALSE(b.WriteString(4, "hello"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf + 4), 4), std::string("hel\0", 4));
    EXPECT_EQ(b.ReadString(4), "hel");
    EXPECT_TRUE(b.WriteString(0, "ab"));
    EXPECT_EQ(b.ReadString(0), "ab");
    EXPECT_FALSE(b.WriteString(7, "xyz"));
    EXPECT_EQ(buf[7], 0);
    EXPECT_FALSE(b.WriteString(8, "x"));
    EXPECT_EQ(buf[8], 0);

    // A text without NUL ends at the block's end.
    uint8_t text[3] = {'a', 'b', 'c'};
    EXPECT_EQ(ParamBlock(text, 3).ReadString(0), "abc");
    EXPECT_EQ(ParamBlock(text, 3).ReadString(3), "");

    // Read-only views drop every write.
    ParamBlock ro = ParamBlock::ReadOnly(buf, 8);
    EXPECT_FALSE(ro.WriteU32(0, 5));
    EXPECT_FALSE(ro.WriteString(0, "zz"));
    EXPECT_EQ(ro.ReadString(0), "ab");
    EXPECT_EQ(ro.mutableData(), nullptr);

    // Null views are empty.
    ParamBlock none(nullptr, 100);
    EXPECT_EQ(std::tuple(none.size(), none.ReadF32(0)), std::tuple(0u, 0.0f));
    EXPECT_FALSE(none.WriteString(0, ""));

    uint8_t out[6];
    ParamBlock(buf, 2).ReadBytes(0, out, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 6), std::string("ab\0\0\0\0", 6));
}

TEST_F(ParamBlockTest, ValueSizes) {
    uint8_t zero[8] = {};
    EXPECT_EQ(ParamValueSize(P::String, zero, 8), 1u);
    EXPECT_EQ(ParamValueSize(P::DataNullterminated16, zero, 8), 2u);
    EXPECT_EQ(ParamValueSize(P::DataNullterminated32, zero, 8), 4u);

    // "ActorPointerExt": pointer slot + text + NUL.
    std::vector<uint8_t> ext(8, 0xAB);
    for (char c : std::string("head"))
        ext.push_back(static_cast<uint8_t>(c));
    ext.push_back(0);
    EXPECT_EQ(ParamValueSize(P::ActorPointerExt, ext.data(), ext.size(), ParamLayout::Native), 8u + 5u);
    EXPECT_EQ(ParamValueSize(P::ActorPointerExt, ext.data() + 4, ext.size() - 4, ParamLayout::Bit32),
              4u + 5u);
    EXPECT_EQ(ParamValueSize(P::ActorPointer, zero, 8, ParamLayout::Native), 8u);
    EXPECT_EQ(ParamValueSize(P::ActorPointer, zero, 8, ParamLayout::Bit32), 4u);
    EXPECT_EQ(ParamValueSize(P::ActorPointer, zero, 8, ParamLayout::Portable), 1u);

    // Without terminator, a value takes the rest of the block.
    auto abc = Bytes("abc");
    EXPECT_EQ(ParamValueSize(P::String, abc.data(), 3), 3u);
    uint8_t odd[3] = {1, 0, 0};
    EXPECT_EQ(ParamValueSize(P::DataNullterminated16, odd, 3), 3u);
    EXPECT_EQ(ParamValueSize(P::DataNullterminated32, odd, 3), 3u);
    uint8_t units[6] = {1, 0, 0, 0, 9, 9};
    EXPECT_EQ(ParamValueSize(P::DataNullterminated16, units, 6), 4u);

    // A size header beyond the bytes left takes the rest, without wrapping.
    uint8_t sized[6] = {0xFF, 0xFF, 0xFF, 0xFF, 1, 2};
    EXPECT_EQ(ParamValueSize(P::DataWithSizeheader, sized, 6), 6u);
    uint8_t sized2[7] = {2, 0, 0, 0, 1, 2, 3};
    EXPECT_EQ(ParamValueSize(P::DataWithSizeheader, sized2, 7), 6u);
    EXPECT_EQ(ParamValueSize(P::DataWithSizeheader, sized2, 2), 2u);

    // Fixed sizes never exceed what is there; unknown types take nothing.
    EXPECT_EQ(ParamValueSize(P::Matrix, zero, 8), 8u);
    EXPECT_EQ(ParamValueSize(P::Box, zero, 0), 0u);
    EXPECT_EQ(ParamValueSize(0, zero, 8), 0u);
    EXPECT_EQ(ParamValueSize(77, zero, 8), 0u);
    EXPECT_EQ(ParamValueSize(P::String, nullptr, 8), 0u);
}

TEST_F(ParamBlockTest, FloatCountsMatchFixedSizes) {
    // Vector-like values are whole floats; every other type, Real and the
    // integers included, counts none.
    const std::set<uint32_t> vectors = {P::Vector2, P::Vector3, P::Vector4, P::Quaternion,
                                        P::Plane,   P::Color,   P::Box,     P::Matrix};
    for (uint32_t type = 0; type < 32; ++type) {
        SCOPED_TRACE(type);
        if (vectors.count(type) != 0) {
            EXPECT_EQ(ParamFloatCount(type) * 4, ParamFixedSize(type));
        } else {
            EXPECT_EQ(ParamFloatCount(type), 0u);
        }
    }
    EXPECT_EQ(ParamFloatCount(P::Box), 6u);
    EXPECT_EQ(ParamFloatCount(P::Matrix), 16u);
}

TEST_F(ParamBlockTest, NestedCommandSizes) {
    ParamBlockBuilder b;
    ASSERT_TRUE(b.Build(57, {0.5f, ParamValue::Command(141, {fixture::FakeActor(1), 1.0f, 0.5f, 0.1f})}));
    EXPECT_EQ(b.size(), 28u);
    EXPECT_EQ(CommandParamSize(57, b.block()), 28u);
    EXPECT_EQ(ParamValueSize(P::Command, b.data() + 4, b.size() - 4), 24u);
    // A short block bounds the walk.
    EXPECT_EQ(CommandParamSize(57, b.block().Sub(0, 13)), 13u);

    // Ids beyond the table or unregistered have no parameters.
    uint32_t far[2] = {123456, 99};
    EXPECT_EQ(ParamValueSize(P::Command, reinterpret_cast<uint8_t*>(far), 8), 4u);
    uint32_t unregistered[2] = {93, 99};
    EXPECT_EQ(ParamValueSize(P::Command, reinterpret_cast<uint8_t*>(unregistered), 8), 4u);
    EXPECT_EQ(CommandParamSize(123456, b.block()), 0u);

    // 97, nested or not, takes the rest of the block.
    uint32_t rec[4] = {97, 32, 0, 0};
    EXPECT_EQ(ParamValueSize(P::Command, reinterpret_cast<uint8_t*>(rec), 16), 16u);
    EXPECT_EQ(CommandParamSize(97, ParamBlock(rec, 16)), 16u);
}

TEST_F(ParamBlockTest, DeepNestingIsBounded) {
    // 57 inside 57, 8 bytes a level, a whole MiB of it.
    std::vector<uint8_t> deep(1 << 20);
    for (size_t off = 0; off + 8 <= deep.size(); off += 8) {
        float half = 0.5f;
        uint32_t id = 57;
        std::memcpy(&deep[off], &half, 4);
        std::memcpy(&deep[off + 4], &id, 4);
    }
    ParamBlock block(deep.data(), deep.size());
    EXPECT_EQ(CommandParamSize(57, block), deep.size());
    EXPECT_TRUE(ParamBlockHoldsPointer(57, block));

    // 64 nested commands are fine (63 times 57, then "Unknown"), 65 are not.
    std::vector<uint8_t> ok(deep.begin(), deep.begin() + 8 * 63);
    ok.resize(ok.size() + 8 + 4, 0);
    EXPECT_EQ(CommandParamSize(57, ParamBlock(ok.data(), ok.size())), 8u * 64);
    EXPECT_FALSE(ParamBlockHoldsPointer(57, ParamBlock(ok.data(), ok.size())));
    std::vector<uint8_t> tooDeep(deep.begin(), deep.begin() + 8 * 64);
    tooDeep.resize(tooDeep.size() + 8 + 4, 0);
    EXPECT_EQ(CommandParamSize(57, ParamBlock(tooDeep.data(), tooDeep.size())), tooDeep.size());
    EXPECT_TRUE(ParamBlockHoldsPointer(57, ParamBlock(tooDeep.data(), tooDeep.size())));
}

TEST_F(ParamBlockTest, SequentialReader) {
    ParamBlockBuilder b;
    ASSERT_TRUE(b.Build(fixture::kStringThenU32, {"hello", 7u}));
    ParamReader r(fixture::kStringThenU32, b.block());
    EXPECT_EQ(r.NextType(), P::String);
    EXPECT_EQ(r.String(), "hello");
    EXPECT_EQ(r.offset(), 6u);
    EXPECT_EQ(r.U32(), 7u);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(r.U32(), 0u);

    // A short block reads zeros for what is missing.
    ParamReader shortReader(fixture::kStringThenU32, b.block().Sub(0, 8));
    EXPECT_EQ(shortReader.String(), "hello");
    EXPECT_EQ(shortReader.U32(), 0u);

    // 1765 carries no parameter types: its handler's read gives 0.
    uint32_t word = 42;
    ParamReader lod(1765, ParamBlock(&word, 4));
    EXPECT_TRUE(lod.AtEnd());
    EXPECT_EQ(lod.U32(), 0u);

    ASSERT_TRUE(b.Build(57, {0.25f, ParamValue::Command(1754, {ParamValue::ActorExt(fixture::FakeActor(2), "head")})}));
    ParamReader timer(57, b.block());
    EXPECT_EQ(timer.F32(), 0.25f);
    ParamReader::Nested nested = timer.Command();
    EXPECT_EQ(nested.id, 1754u);
    ParamReader inner(nested.id, nested.block);
    ParamReader::ActorExt ext = inner.ActorPointerExt();
    EXPECT_EQ(ext.actor, fixture::FakeActor(2));
    EXPECT_EQ(ext.text, "head");
}

TEST_F(ParamBlockTest, Builder) {
    ParamBlockBuilder b;
    // Type mismatch and wrong counts are refused with no block.
    EXPECT_FALSE(b.Build(63, {1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(b.size(), 0u);
    EXPECT_FALSE(b.Build(63, {ParamValue::Floats({1, 2})}));
    EXPECT_FALSE(b.Build(32, {7u}));
    EXPECT_FALSE(b.Build(141, {1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_FALSE(b.Build(141, {fixture::FakeActor(0), 1, 1.0f, 1.0f}));
    EXPECT_FALSE(b.Build(32, {}));

    ASSERT_TRUE(b.Build(63, {ParamValue::Floats({1, 2, 3})}));
    EXPECT_EQ(std::tuple(b.size(), b.block().ReadF32(8)), std::tuple(12u, 3.0f));

    ASSERT_TRUE(b.Build(141, {nullptr, 1.0f, 0.5, 0.25f}));
    EXPECT_EQ(std::tuple(b.size(), b.block().ReadF32(12)), std::tuple(20u, 0.5f));

    // Colour is four floats.
    ASSERT_TRUE(b.Build(fixture::kAllFloats,
                        {-3, true, ParamValue::Floats({1, 2}), ParamValue::Floats({1, 2, 3, 4}),
                         ParamValue::Floats(std::vector<float>(16, 1.0f)), ParamValue::Floats({0, 0, 0, 1}),
                         ParamValue::Floats({0, 1, 0, 5}), ParamValue::Floats({0, 0, 0, 1, 1, 1}),
                         ParamValue::Floats({0.1f, 0.2f, 0.3f, 0.4f}), std::string(300, 'q')}));
    EXPECT_EQ(b.size(), 4u + 4 + 8 + 16 + 64 + 16 + 16 + 24 + 16 + 128);
    EXPECT_EQ(b.block().ReadI32(0), -3);
    EXPECT_EQ(b.block().ReadF32(4 + 4 + 8 + 16 + 64 + 16 + 16 + 24 + 12), 0.4f);
    // "String128" is cut at 127 bytes and a NUL.
    ParamBlock s128 = b.block().Sub(b.size() - 128);
    EXPECT_EQ(s128.ReadString(0).size(), 127u);
    EXPECT_FALSE(b.Build(fixture::kAllFloats, {-3, true, ParamValue::Floats({1, 2}), ParamValue::Floats({1, 2, 3, 4}),
                                               ParamValue::Floats(std::vector<float>(16, 1.0f)),
                                               ParamValue::Floats({0, 0, 0, 1}), ParamValue::Floats({0, 1, 0, 5}),
                                               ParamValue::Floats({0, 0, 0, 1, 1, 1}),
                                               ParamValue::Floats({0.1f, 0.2f, 0.3f}), "x"}));

    // 97 is refused, nested or at the top.
    EXPECT_FALSE(b.Build(57, {0.5f, ParamValue::Command(97, {ParamValue::Command(32, {"x"})})}));
    EXPECT_FALSE(b.Build(97, {ParamValue::Command(32, {"x"})}));
    // A nested command's own values are checked too.
    EXPECT_FALSE(b.Build(57, {0.5f, ParamValue::Command(63, {1.0f})}));

    // Commands without parameter types take values at their natural sizes.
    ASSERT_TRUE(b.Build(553, {0.5f, 2.0f}));
    EXPECT_EQ(std::tuple(b.size(), b.block().ReadF32(4)), std::tuple(8u, 2.0f));
    ASSERT_TRUE(b.Build(1765, {3u}));
    EXPECT_EQ(std::tuple(b.size(), b.block().ReadU32(0)), std::tuple(4u, 3u));
    ASSERT_TRUE(b.Build(99999, {"ab", fixture::FakeActor(1), -1}));
    EXPECT_EQ(b.size(), 3u + 8 + 4);

    // Variable data types.
    const uint8_t raw[3] = {1, 2, 3};
    ASSERT_TRUE(b.Build(fixture::kDataTypes, {ParamValue::Bytes(raw), ParamValue::Bytes(raw), ParamValue::Bytes(raw),
                                               nullptr, nullptr, nullptr}));
    EXPECT_EQ(b.size(), (4u + 3) + (4 + 2) + (4 + 4) + 24);
    EXPECT_EQ(CommandParamSize(fixture::kDataTypes, b.block()), b.size());
}

TEST_F(ParamBlockTest, BuilderIsReentrant) {
    ParamBlockBuilder outer;
    ASSERT_TRUE(outer.Build(32, {"outer"}));
    {
        ParamBlockBuilder inner;
        ASSERT_TRUE(inner.Build(32, {"inner text"}));
        EXPECT_EQ(inner.block().ReadString(0), "inner text");
    }
    EXPECT_EQ(outer.block().ReadString(0), "outer");
}

TEST_F(ParamBlockTest, MathValuesMatchTheirTypes) {
    ParamBlockBuilder b;
    ASSERT_TRUE(b.Build(63, {Vector3{1, 2, 3}}));
    EXPECT_EQ(b.block().Read<Vector3>(0).z, 3.0f);
    EXPECT_FALSE(b.Build(63, {Quaternion{0, 0, 0, 1}}));
    Matrix m{};
    m.m[3][3] = 5;
    ASSERT_TRUE(b.Build(fixture::kAllFloats, {0, 0, Vector2{1, 2}, Vector4{1, 2, 3, 4}, m, Quaternion{0, 0, 0, 1},
                                              Plane{0, 1, 0, 2}, AABox{{0, 0, 0}, {1, 1, 1}},
                                              ParamValue::Floats({1, 1, 1, 1}), ""}));
    EXPECT_EQ(b.block().ReadF32(4 + 4 + 8 + 16 + 60), 5.0f);
}

TEST_F(ParamBlockTest, DoublesBeyondFloatRange) {
    ParamBlockBuilder b;
    ASSERT_TRUE(b.Build(553, {1e300, -1e300, 0.5}));
    EXPECT_TRUE(std::isinf(b.block().ReadF32(0)));
    EXPECT_LT(b.block().ReadF32(4), 0.0f);
    EXPECT_EQ(b.block().ReadF32(8), 0.5f);
}

TEST_F(ParamBlockTest, PointerLayoutDecidesEvenWhenShort) {
    uint8_t four[4] = {};
    EXPECT_TRUE(ParamBlockHoldsPointer(349, ParamBlock(four, 4)));
    EXPECT_TRUE(ParamBlockHoldsPointer(1120, ParamBlock()));
    EXPECT_FALSE(ParamBlockHoldsPointer(63, ParamBlock()));
    EXPECT_FALSE(ParamBlockHoldsPointer(57, ParamBlock(four, 4)));
}

} // namespace
