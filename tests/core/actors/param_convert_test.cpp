#include "core/actors/param_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/actors/command_fixture.h"
#include "core/actors/param_builder.h"

namespace {

using P = ParamType;
using fixture::FakeActor;

std::vector<uint8_t> F32(float f) {
    std::vector<uint8_t> v(4);
    std::memcpy(v.data(), &f, 4);
    return v;
}

std::vector<uint8_t> U32(uint32_t u) {
    std::vector<uint8_t> v(4);
    std::memcpy(v.data(), &u, 4);
    return v;
}

std::vector<uint8_t> Text(std::string_view s) {
    std::vector<uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return v;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

ParamBlock View(const std::vector<uint8_t>& v) { return ParamBlock::ReadOnly(v.data(), v.size()); }

struct Golden {
    const char* what;
    uint32_t command;
    std::vector<uint8_t> portable;
};

class ParamConvertTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixture::RegisterCommands();
        resolver_.Place(A, "/Scenery/A");
        resolver_.Place(B, "/Scenery/B");
        previous_ = InstallActorPathResolver(&resolver_);
    }
    void TearDown() override {
        InstallActorPathResolver(previous_);
        ResetCommandRegistry();
    }

    std::vector<uint8_t> ToPortable(uint32_t id, const std::vector<uint8_t>& native, Actor* context) {
        ParamBlockResult r;
        EXPECT_TRUE(ParamBlockToPortable(context, &r, id, View(native)));
        return r.ToVector();
    }
    std::vector<uint8_t> FromPortable(uint32_t id, const std::vector<uint8_t>& portable, Actor* context) {
        ParamBlockResult r;
        EXPECT_TRUE(ParamBlockFromPortable(context, &r, id, View(portable)));
        return r.ToVector();
    }
    // Written from A, the native block gives the portable bytes, which read back to it.
    void ExpectRoundTrip(uint32_t id, const std::vector<uint8_t>& native, const std::vector<uint8_t>& portable) {
        EXPECT_EQ(ToPortable(id, native, A), portable) << id;
        EXPECT_EQ(FromPortable(id, portable, A), native) << id;
    }
    std::vector<uint8_t> Native(uint32_t id, std::initializer_list<ParamValue> values) {
        ParamBlockBuilder b;
        EXPECT_TRUE(b.Build(id, values));
        return b.bytes();
    }

    Actor* A = FakeActor(1);
    Actor* B = FakeActor(2);
    fixture::FakeResolver resolver_;
    const ActorPathResolver* previous_ = nullptr;
};

TEST_F(ParamConvertTest, GoldenPortableBlocks) {
    // 141 at B, written from A.
    auto force = Native(141, {B, 1.0f, 0.5f, 0.1f});
    auto forcePortable = Cat({Text("../B"), F32(1.0f), F32(0.5f), F32(0.1f)});
    EXPECT_EQ(forcePortable.size(), 17u);
    ExpectRoundTrip(141, force, forcePortable);

    // 57 nesting 141: the nested pointer is 4 zero bytes at offset 8 and
    // reads back as null.
    auto timer = Native(57, {0.5f, ParamValue::Command(141, {B, 1.0f, 0.5f, 0.1f})});
    EXPECT_EQ(timer.size(), 28u);
    auto timerPortable = Cat({F32(0.5f), U32(141), U32(0), F32(1.0f), F32(0.5f), F32(0.1f)});
    EXPECT_EQ(timerPortable.size(), 24u);
    EXPECT_EQ(ToPortable(57, timer, A), timerPortable);
    EXPECT_EQ(FromPortable(57, timerPortable, A), Native(57, {0.5f, ParamValue::Command(141, {nullptr, 1.0f, 0.5f, 0.1f})}));

    // "ActorPointerExt": path, NUL, text, NUL.
    ExpectRoundTrip(1754, Native(1754, {ParamValue::ActorExt(B, "head")}), Cat({Text("../B"), Text("head")}));
    // An old entry with no bytes reads as a null pointer and an empty text.
    auto empty = FromPortable(1754, {}, A);
    EXPECT_EQ(empty, Cat({std::vector<uint8_t>(8, 0), Text("")}));

    // "StringPtr" and "Pointer" never travel.
    int anything = 0;
    auto bone = Native(1120, {static_cast<void*>(&anything), static_cast<void*>(&anything)});
    EXPECT_EQ(bone.size(), 16u);
    EXPECT_EQ(ToPortable(1120, bone, A), std::vector<uint8_t>(8, 0));
    EXPECT_EQ(FromPortable(1120, std::vector<uint8_t>(8, 0xEE), A), std::vector<uint8_t>(16, 0));

    // A null actor is written as "/..", which resolves to nothing.
    auto nullForce = Native(141, {nullptr, 1.0f, 0.5f, 0.1f});
    auto nullPortable = Cat({Text("/.."), F32(1.0f), F32(0.5f), F32(0.1f)});
    EXPECT_EQ(nullPortable.size(), 16u);
    ExpectRoundTrip(141, nullForce, nullPortable);
    EXPECT_EQ(ToPortable(1754, Native(1754, {ParamValue::ActorExt(nullptr, "x")}), A), Cat({Text("/.."), Text("x")}));
    EXPECT_EQ(resolver_.nullActorCalls, 0);

    // The context actor itself is the empty path.
    ExpectRoundTrip(141, Native(141, {A, 1.0f, 0.5f, 0.1f}), Cat({Text(""), F32(1.0f), F32(0.5f), F32(0.1f)}));

    // 349 "Copy Value": id, path, id.
    ExpectRoundTrip(349, Native(349, {63u, B, 64u}), Cat({U32(63), Text("../B"), U32(64)}));
}

TEST_F(ParamConvertTest, PlainBlocksAreBorrowed) {
    auto pos = Native(63, {ParamValue::Floats({1, 2, 3})});
    pos.push_back(0x55); // trailing bytes are not part of the block
    for (auto dir : {ParamDirection::ToPortable, ParamDirection::FromPortable}) {
        ParamBlockResult r;
        ASSERT_TRUE(ConvertParamBlock(dir, A, &r, 63, View(pos)));
        EXPECT_TRUE(r.borrowed());
        EXPECT_EQ(std::tuple(r.data(), r.size()), std::tuple(pos.data(), 12u));
    }

    // A "PlainBlock" command nesting a plain command is borrowed too...
    auto timer = Native(57, {0.5f, ParamValue::Command(63, {ParamValue::Floats({1, 2, 3})})});
    ParamBlockResult r;
    ASSERT_TRUE(ParamBlockToPortable(A, &r, 57, View(timer)));
    EXPECT_TRUE(r.borrowed());
    EXPECT_EQ(r.size(), 20u);

    // ...but one nesting pointers is converted although it is "PlainBlock".
    ASSERT_TRUE(GetCommandTable()[57].Has(CommandFlags::PlainBlock));
    auto timerForce = Native(57, {0.5f, ParamValue::Command(141, {B, 1.0f, 0.5f, 0.1f})});
    ASSERT_TRUE(ParamBlockToPortable(A, &r, 57, View(timerForce)));
    EXPECT_FALSE(r.borrowed());
    EXPECT_EQ(r.size(), 24u);

    // A short plain block is copied and zero-filled.
    auto shortPos = std::vector<uint8_t>(pos.begin(), pos.begin() + 6);
    ASSERT_TRUE(ParamBlockFromPortable(A, &r, 63, View(shortPos)));
    EXPECT_FALSE(r.borrowed());
    EXPECT_EQ(r.ToVector(), Cat({std::vector<uint8_t>(pos.begin(), pos.begin() + 6), std::vector<uint8_t>(6, 0)}));

    // Commands without parameters give an empty block.
    ASSERT_TRUE(ParamBlockToPortable(A, &r, 1765, View(pos)));
    EXPECT_EQ(r.size(), 0u);
    ASSERT_TRUE(ParamBlockToPortable(A, &r, 123456, ParamBlock()));
    EXPECT_EQ(r.size(), 0u);
}

TEST_F(ParamConvertTest, EveryPrefixConverts) {
    const std::vector<Golden> goldens = {
        {"141", 141, Cat({Text("../B"), F32(1.0f), F32(0.5f), F32(0.1f)})},
        {"57", 57, Cat({F32(0.5f), U32(141), U32(0), F32(1.0f), F32(0.5f), F32(0.1f)})},
        {"1754", 1754, Cat({Text("../B"), Text("head")})},
        {"1120", 1120, std::vector<uint8_t>(8, 0)},
        {"63", 63, Cat({F32(1.0f), F32(2.0f), F32(3.0f)})},
        {"141 null", 141, Cat({Text("/.."), F32(1.0f), F32(0.5f), F32(0.1f)})},
        {"141 self", 141, Cat({Text(""), F32(1.0f), F32(0.5f), F32(0.1f)})},
        {"string count", fixture::kStringThenU32, Cat({Text("name"), U32(7)})},
    };
    for (const Golden& g : goldens) {
        ParamBlockResult full;
        ASSERT_TRUE(ParamBlockFromPortable(A, &full, g.command, View(g.portable)));
        size_t nativeSize = CommandParamSize(g.command, View(full.ToVector()));
        for (size_t n = 0; n <= g.portable.size(); ++n) {
            SCOPED_TRACE(std::string(g.what) + " prefix " + std::to_string(n));
            // Exactly n bytes on the heap, so any overrun is reported.
            std::vector<uint8_t> prefix(g.portable.begin(), g.portable.begin() + static_cast<ptrdiff_t>(n));
            ParamBlockResult r;
            ASSERT_TRUE(ParamBlockFromPortable(A, &r, g.command, View(prefix)));
            // Fixed layouts come back whole, missing values as zeros.
            int32_t fixed = GetCommandTable()[g.command].nativeParamBytes;
            if (fixed >= 0) {
                EXPECT_EQ(r.size(), static_cast<size_t>(fixed));
            }
            if (n == g.portable.size()) {
                EXPECT_EQ(r.size(), nativeSize);
            }
            ParamBlockResult back;
            ASSERT_TRUE(ParamBlockToPortable(A, &back, g.command, r.view()));
        }
    }

    // Zero-filling: a 141 cut inside its second float.
    auto cut = Cat({Text("../B"), F32(1.0f), std::vector<uint8_t>{0x00, 0x00}});
    auto native = FromPortable(141, cut, A);
    ASSERT_EQ(native.size(), 20u);
    ParamReader r(141, View(native));
    EXPECT_EQ(r.ActorPtr(), B);
    EXPECT_EQ(r.F32(), 1.0f);
    EXPECT_EQ(r.F32(), 0.0f);
    EXPECT_EQ(r.F32(), 0.0f);

    // A path without its NUL is null, whatever it says.
    auto noNul = std::vector<uint8_t>{'.', '.', '/', 'B'};
    EXPECT_EQ(FromPortable(141, noNul, A), Native(141, {nullptr, 0.0f, 0.0f, 0.0f}));
    // An unresolved path is null too.
    EXPECT_EQ(FromPortable(141, Cat({Text("../C"), F32(1), F32(2), F32(3)}), A),
              Native(141, {nullptr, 1.0f, 2.0f, 3.0f}));
}

TEST_F(ParamConvertTest, MalformedVariableValuesAreCompleted) {
    // A text that runs out gets its NUL, so later values keep their place.
    auto s = FromPortable(fixture::kStringThenU32, {'a', 'b'}, A);
    EXPECT_EQ(s, Cat({Text("ab"), U32(0)}));
    EXPECT_EQ(ToPortable(fixture::kStringThenU32, s, A), s);

    // A size header beyond the data is cut to the data.
    auto d = FromPortable(fixture::kDataTypes, {0xFF, 0xFF, 0xFF, 0x7F, 1, 2}, A);
    ParamBlock v = View(d);
    EXPECT_EQ(std::tuple(v.ReadU32(0), d.size()), std::tuple(2u, (4u + 2) + 2 + 4 + 24));
}

TEST_F(ParamConvertTest, LargeBlocksHaveNoSizeLimit) {
    std::string big(20000, 'x');
    auto from = Native(fixture::kStringThenU32, {big, 1u});
    auto to = Native(fixture::kStringThenU32, {big + "y", 3u});
    EXPECT_EQ(ToPortable(fixture::kStringThenU32, from, A), from);
    ParamBlockResult r;
    ASSERT_TRUE(InterpolateCommandParams(&r, 0.5f, fixture::kStringThenU32, View(from), View(to)));
    ParamReader reader(fixture::kStringThenU32, r.view());
    EXPECT_EQ(reader.String().size(), big.size() + 1);
    EXPECT_EQ(reader.U32(), 2u);
    auto aim = Native(1754, {ParamValue::ActorExt(B, big)});
    EXPECT_EQ(ToPortable(1754, aim, A), Cat({Text("../B"), Text(big)}));
}

TEST_F(ParamConvertTest, RefusedCommands) {
    ParamBlockResult r;
    // 97 at the top...
    RecursiveCommandParams rec{32, nullptr};
    EXPECT_FALSE(ParamBlockToPortable(A, &r, 97, ParamBlock(&rec, sizeof rec)));
    EXPECT_EQ(r.size(), 0u);
    EXPECT_FALSE(ParamBlockFromPortable(A, &r, 97, ParamBlock(&rec, sizeof rec)));
    // ...or nested.
    auto nested = Cat({F32(0.5f), U32(97), U32(32), U32(0), U32(0)});
    EXPECT_FALSE(ParamBlockFromPortable(A, &r, 57, View(nested)));
    EXPECT_FALSE(ParamBlockToPortable(A, &r, 57, View(nested)));

    // A MiB of 57 inside 57: refused, no stack overflow.
    std::vector<uint8_t> deep;
    deep.reserve(1 << 20);
    while (deep.size() < (1u << 20)) {
        auto level = Cat({F32(0.5f), U32(57)});
        deep.insert(deep.end(), level.begin(), level.end());
    }
    EXPECT_FALSE(ParamBlockFromPortable(A, &r, 57, View(deep)));
    EXPECT_FALSE(ParamBlockToPortable(A, &r, 57, View(deep)));
    EXPECT_FALSE(InterpolateCommandParams(&r, 0.5f, 57, View(deep), View(deep)));
}

TEST_F(ParamConvertTest, WithoutResolverPathsAreNull) {
    InstallActorPathResolver(nullptr);
    auto force = Native(141, {B, 1.0f, 0.5f, 0.1f});
    EXPECT_EQ(ToPortable(141, force, A), Cat({Text("/.."), F32(1.0f), F32(0.5f), F32(0.1f)}));
    EXPECT_EQ(FromPortable(141, Cat({Text("../B"), F32(1.0f), F32(0.5f), F32(0.1f)}), A),
              Native(141, {nullptr, 1.0f, 0.5f, 0.1f}));
}

class InterpolateTest : public ParamConvertTest {
protected:
    std::vector<uint8_t> Lerp(uint32_t id, float t, const std::vector<uint8_t>& f, const std::vector<uint8_t>& g) {
        ParamBlockResult r;
        EXPECT_TRUE(InterpolateCommandParams(&r, t, id, View(f), View(g)));
        EXPECT_FALSE(r.borrowed());
        return r.ToVector();
    }
};

TEST_F(InterpolateTest, Reals) {
    auto from = Native(63, {ParamValue::Floats({1, -2, 3})});
    auto to = Native(63, {ParamValue::Floats({5, 6, -7})});
    EXPECT_EQ(std::tuple(Lerp(63, 0.0f, from, to), Lerp(63, 1.0f, from, to)), std::tuple(from, to));
    EXPECT_EQ(Lerp(63, 0.5f, from, to), Native(63, {ParamValue::Floats({3, 2, -2})}));
}

TEST_F(InterpolateTest, Integers) {
    RegisterCommand(1910, "Test UInt", "", 0, 0, {P::UInt32});
    RegisterCommand(1911, "Test Int", "", 0, 0, {P::Int32});
    RegisterCommand(1912, "Test Bool", "", 0, 0, {P::Bool});
    FinishCommandRegistration();
    auto lerpU = [&](uint32_t f, uint32_t g, float t) {
        return View(Lerp(1910, t, U32(f), U32(g))).ReadU32(0);
    };
    EXPECT_EQ(lerpU(0, 3, 0.5f), 1u);
    EXPECT_EQ(lerpU(0, 3, std::numeric_limits<float>::quiet_NaN()), 0u);
    EXPECT_EQ(std::tuple(lerpU(0, 3, 1e30f), lerpU(0, 3, -1e30f)), std::tuple(0xFFFFFFFFu, 0u));
    EXPECT_EQ(lerpU(0, 3, std::numeric_limits<float>::infinity()), 0xFFFFFFFFu);
    EXPECT_EQ(lerpU(7, 7, std::numeric_limits<float>::infinity()), 7u); // 0 x inf is NaN: from
    // The difference is signed 32-bit: from 0 to 0xFFFFFFFF is a step of -1.
    EXPECT_EQ(lerpU(0, 0xFFFFFFFF, 0.5f), 0u);
    EXPECT_EQ(lerpU(0, 0xFFFFFFFF, 1.0f), 0xFFFFFFFFu);
    EXPECT_EQ(lerpU(10, 0, 0.25f), 7u); // 7.5 truncated

    auto lerpI = [&](int32_t f, int32_t g, float t) {
        return View(Lerp(1911, t, U32(static_cast<uint32_t>(f)), U32(static_cast<uint32_t>(g)))).ReadI32(0);
    };
    EXPECT_EQ(lerpI(-1, 0, 0.5f), 0);   // -0.5 truncated toward zero
    EXPECT_EQ(lerpI(-10, 0, 0.25f), -7); // -7.5
    EXPECT_EQ(lerpI(0, -3, 0.5f), -1);

    for (float t : {0.0f, 0.3f, 1.0f})
        EXPECT_EQ(View(Lerp(1912, t, U32(0), U32(1))).ReadU32(0), 1u);
}

TEST_F(InterpolateTest, EachBlockWalksItsOwnSizes) {
    auto from = Native(fixture::kStringThenU32, {"a much longer name", 0u});
    auto to = Native(fixture::kStringThenU32, {"b", 10u});
    auto mid = Lerp(fixture::kStringThenU32, 0.5f, from, to);
    EXPECT_EQ(mid, Native(fixture::kStringThenU32, {"b", 5u}));
    auto mid2 = Lerp(fixture::kStringThenU32, 0.5f, to, from);
    EXPECT_EQ(mid2, Native(fixture::kStringThenU32, {"a much longer name", 5u}));
}

TEST_F(InterpolateTest, NestedCommands) {
    auto from = Native(57, {0.0f, ParamValue::Command(63, {ParamValue::Floats({0, 0, 0})})});
    auto to = Native(57, {1.0f, ParamValue::Command(63, {ParamValue::Floats({2, 4, 6})})});
    EXPECT_EQ(Lerp(57, 0.5f, from, to),
              Native(57, {0.5f, ParamValue::Command(63, {ParamValue::Floats({1, 2, 3})})}));

    // Different nested commands: "from" is kept whole, later values stay in place.
    auto other = Native(57, {1.0f, ParamValue::Command(32, {"text"})});
    EXPECT_EQ(Lerp(57, 0.5f, from, other),
              Native(57, {0.5f, ParamValue::Command(63, {ParamValue::Floats({0, 0, 0})})}));
    EXPECT_EQ(Lerp(57, 0.5f, other, from), Native(57, {0.5f, ParamValue::Command(32, {"text"})}));

    // 97 inside is refused.
    auto rec = Cat({F32(0.5f), U32(97), U32(0), U32(0), U32(0)});
    ParamBlockResult r;
    EXPECT_FALSE(InterpolateCommandParams(&r, 0.5f, 57, View(rec), View(rec)));
    EXPECT_FALSE(InterpolateCommandParams(&r, 0.5f, 97, View(rec), View(rec)));
}

TEST_F(InterpolateTest, OtherTypes) {
    auto from = Native(fixture::kAllFloats,
                       {-10, false, ParamValue::Floats({0, 0}), ParamValue::Floats({0, 0, 0, 0}),
                        ParamValue::Floats(std::vector<float>(16, 0.0f)), ParamValue::Floats({0, 0, 0, 1}),
                        ParamValue::Floats({0, 0, 0, 0}), ParamValue::Floats({0, 0, 0, 0, 0, 0}),
                        ParamValue::Floats({0, 0, 0, 0}), "from"});
    auto to = Native(fixture::kAllFloats,
                     {10, true, ParamValue::Floats({2, 2}), ParamValue::Floats({2, 2, 2, 2}),
                      ParamValue::Floats(std::vector<float>(16, 2.0f)),
                      ParamValue::Floats({0, std::sqrt(0.5f), 0, std::sqrt(0.5f)}),
                      ParamValue::Floats({2, 2, 2, 2}), ParamValue::Floats({2, 2, 2, 2, 2, 2}),
                      ParamValue::Floats({2, 2, 2, 2}), "to"});
    auto mid = Lerp(fixture::kAllFloats, 0.5f, from, to);
    ASSERT_EQ(mid.size(), from.size());
    ParamReader r(fixture::kAllFloats, View(mid));
    EXPECT_EQ(r.I32(), 0);
    EXPECT_TRUE(r.Bool());
    for (size_t n : {2u, 4u, 16u}) {
        ParamBlock v = r.Next();
        for (size_t i = 0; i < n; ++i)
            EXPECT_EQ(v.ReadF32(i * 4), 1.0f);
    }
    // Slerp halfway through a quarter turn about Y: an eighth turn.
    ParamBlock q = r.Next();
    EXPECT_NEAR(q.ReadF32(4), std::sin(3.14159265f / 8), 1e-5f);
    EXPECT_NEAR(q.ReadF32(12), std::cos(3.14159265f / 8), 1e-5f);
    for (size_t n : {4u, 6u, 4u}) {
        ParamBlock v = r.Next();
        for (size_t i = 0; i < n; ++i)
            EXPECT_EQ(v.ReadF32(i * 4), 1.0f);
    }
    EXPECT_EQ(r.String(), "to");

    // Pointers and texts take the "to" value.
    auto aimFrom = Native(1754, {ParamValue::ActorExt(A, "a long bone name")});
    auto aimTo = Native(1754, {ParamValue::ActorExt(B, "head")});
    EXPECT_EQ(Lerp(1754, 0.1f, aimFrom, aimTo), aimTo);
    auto forceFrom = Native(141, {A, 0.0f, 0.0f, 0.0f});
    auto forceTo = Native(141, {B, 1.0f, 1.0f, 1.0f});
    EXPECT_EQ(Lerp(141, 0.5f, forceFrom, forceTo), Native(141, {B, 0.5f, 0.5f, 0.5f}));

    // Short blocks read zeros; the result is whole.
    auto shortTo = std::vector<uint8_t>(to.begin(), to.begin() + 6);
    auto partial = Lerp(63, 1.0f, {}, shortTo);
    EXPECT_EQ(partial.size(), 12u);
}

} // namespace
