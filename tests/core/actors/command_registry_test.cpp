#include "core/actors/command_registry.h"

#include <gtest/gtest.h>

#include "core/actors/command_fixture.h"

namespace {

using P = ParamType;
using F = CommandFlags;

class CommandRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { fixture::RegisterCommands(); }
    void TearDown() override { ResetCommandRegistry(); }
};

TEST_F(CommandRegistryTest, FinishedRowsOfTheTable) {
    const CommandTable& t = GetCommandTable();

    EXPECT_EQ(std::tuple(t[33].flags, t[32].flags, t[32].paramBytes),
              std::tuple(F::PlainBlock | F::GetQuery, F::ScriptCallable | F::PlainBlock, -1));
    EXPECT_EQ(ScriptName(t[32].name), "set_name");
    EXPECT_TRUE(t[32].paramNames.empty());

    const CommandInfo& force = t[141];
    EXPECT_EQ(force.paramTypes, (std::vector<uint32_t>{P::ActorPointer, P::Real, P::Real, P::Real}));
    EXPECT_EQ(force.paramNames,
              (std::vector<std::string>{"Actor", "Strength", "StrengthRand", "AnlgeRand"}));
    EXPECT_EQ(std::tuple(force.paramBytes, force.nativeParamBytes, force.flags),
              std::tuple(16, 20, F::ScriptCallable));

    EXPECT_EQ(std::tuple(t[349].paramBytes, t[349].nativeParamBytes), std::tuple(12, 16));
    EXPECT_FALSE(t[349].Has(F::PlainBlock));
    EXPECT_EQ(t[349].paramNames, (std::vector<std::string>{"SetCommand", "Source", "GetCommand"}));

    EXPECT_EQ(std::tuple(t[1226].paramBytes, t[1226].nativeParamBytes), std::tuple(-1, -1));
    EXPECT_FALSE(t[1226].Has(F::PlainBlock));

    // "StringPtr" is plain in the type table, "Pointer" is not.
    EXPECT_FALSE(t[1120].Has(F::PlainBlock));
    EXPECT_EQ(std::tuple(t[1120].paramBytes, t[1120].nativeParamBytes), std::tuple(8, 16));

    EXPECT_EQ(t[57].paramBytes, -1);
    EXPECT_TRUE(t[57].Has(F::PlainBlock)); // "Command" is plain; nested blocks are checked at run time

    EXPECT_EQ(t[1765].flags, F::EventHook | F::PlainBlock);
    EXPECT_TRUE(t[1765].paramTypes.empty());
    EXPECT_EQ(t[1765].paramBytes, 0);
    EXPECT_EQ(LookupCommandByName("Set Lod Level Count"), 1765u);

    // Unregistered rows inside the table.
    ASSERT_NE(t.Find(93), nullptr);
    EXPECT_EQ(std::tuple(t[93].name, t[93].classId, t[93].flags),
              std::tuple("", -1, F::PlainBlock));
    EXPECT_EQ(t.Find(static_cast<uint32_t>(t.size())), nullptr);
}

TEST_F(CommandRegistryTest, ParamTypeTable) {
    const ParamTypeTable& types = GetParamTypeTable();
    ASSERT_EQ(types.size(), 100u);
    EXPECT_TRUE(types.Get(0).plain());
    EXPECT_EQ(std::tuple(types.Get(26).name, types.Get(5000).size), std::tuple("", 0));
    EXPECT_EQ(types.Get(P::Box).components, (std::vector<uint32_t>{P::Vector3, P::Vector3}));
    EXPECT_EQ(types.Get(P::ActorPointerExt).components,
              (std::vector<uint32_t>{P::ActorPointer, P::String}));
    EXPECT_TRUE(types.Get(P::StringPtr).plain());
    EXPECT_FALSE(types.Get(P::ColObjPointer).plain());
    EXPECT_EQ(types.Get(P::ColObjPointer).nativeSize, 8);
    EXPECT_EQ(types.Get(P::Matrix).components.size(), 16u);
}

TEST_F(CommandRegistryTest, NameLookups) {
    EXPECT_EQ(LookupCommandByName("Set Name"), 32u);
    EXPECT_EQ(LookupCommandByName("set_name"), 32u);
    EXPECT_EQ(LookupCommandByName("SET NAME"), 32u);
    EXPECT_EQ(LookupCommandByName("Get Name"), 0u); // registered with flags 0
    EXPECT_EQ(LookupCommandByName("no such command"), 0u);
    EXPECT_EQ(LookupCommandByName(""), 0u);
    // A name longer than any registered one simply misses.
    EXPECT_EQ(LookupCommandByName("set_name" + std::string(5000, 'x')), 0u);

    // A miss and a hit on "Unknown" (id 0) can be told apart.
    uint32_t id = 77;
    EXPECT_FALSE(FindCommandByName("no such command", &id));
    EXPECT_EQ(id, 77u);
    EXPECT_TRUE(FindCommandByName("unknown", &id));
    EXPECT_EQ(id, 0u);

    // The later id holds a name registered twice.
    EXPECT_EQ(LookupCommandByName("character_is_neutral"), 864u);
    EXPECT_EQ(LookupCommandByName("On Jump Start"), 1068u);

    // Event names: first event in id order, exact case.
    EXPECT_EQ(FindEventCommandByName("On Jump Start"), 1066u);
    EXPECT_EQ(FindEventCommandByName("on jump start"), 0u);
    EXPECT_EQ(FindEventCommandByName("Set Name"), 0u); // not an event
    EXPECT_EQ(FindEventCommandByName("Set Lod Level Count"), 1765u);

    // 12 entered commands under 10 distinct script names.
    EXPECT_EQ(GetCommandNameMap().entryCount(), 10u);
}

// Event look-ups follow the table as it changes: a later registration is
// found, a lower id of the same name takes over, a reset forgets them all.
TEST_F(CommandRegistryTest, EventLookUpsFollowRegistrationsAndResets) {
    EXPECT_EQ(FindEventCommandByName("On Test Event"), 0u);
    ASSERT_TRUE(RegisterCommand(1960, "On Test Event", "", 0, 1));
    EXPECT_EQ(FindEventCommandByName("On Test Event"), 1960u);
    ASSERT_TRUE(RegisterCommand(1955, "On Test Event", "", 0, 1));
    ASSERT_TRUE(RegisterCommand(1958, "Not An Event", "", 0, 2));
    EXPECT_EQ(FindEventCommandByName("On Test Event"), 1955u);
    EXPECT_EQ(FindEventCommandByName("Not An Event"), 0u);
    ResetCommandRegistry();
    EXPECT_EQ(FindEventCommandByName("On Test Event"), 0u);
    EXPECT_EQ(FindEventCommandByName("On Jump Start"), 0u);
}

TEST_F(CommandRegistryTest, CollidingNamesStayApart) {
    // These two names share a hash.
    ASSERT_EQ(NameHash("set_avynjx"), NameHash("set_zgxlqh"));
    ASSERT_TRUE(RegisterCommand(1950, "Set AVYNJX", "", 0, 2));
    FinishCommandRegistration();
    EXPECT_EQ(LookupCommandByName("set_avynjx"), 1950u);
    EXPECT_EQ(LookupCommandByName("set_zgxlqh"), 0u);

    CommandNameMap map;
    ASSERT_NE(StringHashInsert(map, "set_avynjx", 1, true), nullptr);
    ASSERT_NE(StringHashInsert(map, "set_zgxlqh", 2, true), nullptr);
    EXPECT_EQ(map.entryCount(), 2u);
    EXPECT_EQ(map.Find("set_avynjx")->value, 1u);
    EXPECT_EQ(map.Find("set_zgxlqh")->value, 2u);
    // Same key: replaced in place, or left alone without replace.
    EXPECT_NE(StringHashInsert(map, "set_zgxlqh", 3, true), nullptr);
    EXPECT_EQ(StringHashInsert(map, "set_zgxlqh", 4, false), nullptr);
    EXPECT_EQ(map.Find("set_zgxlqh")->value, 3u);
    EXPECT_EQ(map.entryCount(), 2u);
}

TEST(NameHash, SignedBytes) {
    EXPECT_EQ(std::tuple(NameHash(""), NameHash("a"), NameHash("ab")),
              std::tuple(0u, 97u, 97u * 65599u + 98u));
    // Bytes above 127 count as negative.
    EXPECT_EQ(NameHash("\xff"), 0xFFFFFFFFu);
    EXPECT_EQ(NameHash("a\x80"), 97u * 65599u - 128u);
    EXPECT_EQ(ScriptName("Cur_DG_And_NearDG"), "cur_dg_and_neardg");
    EXPECT_EQ(ScriptName("Light Fade "), "light_fade_");
    EXPECT_EQ(LowerCaseCopy("A\xc4Z"), "a\xc4z");
}

TEST(RegisterCommandTest, GrowthFirstWinsAndFreeRows) {
    ResetCommandRegistry();
    FillParamTypeTable();
    EXPECT_TRUE(RegisterCommand(5, "Five", "", 3, 0, {ParamType::UInt32}));
    EXPECT_EQ(GetCommandTable().size(), 15u);
    EXPECT_TRUE(RegisterCommand(14, "Fourteen", "", 3, 0));
    EXPECT_EQ(GetCommandTable().size(), 15u);
    EXPECT_TRUE(RegisterCommand(15, "Fifteen", "", 3, 0));
    EXPECT_EQ(GetCommandTable().size(), 25u);

    // The first registration wins, whole.
    EXPECT_FALSE(RegisterCommand(5, "Other", "", 4, 2, {ParamType::Real, ParamType::Real}));
    const CommandInfo& five = GetCommandTable()[5];
    EXPECT_EQ(std::tuple(five.name, five.classId), std::tuple("Five", 3));
    EXPECT_EQ(five.paramTypes, std::vector<uint32_t>{ParamType::UInt32});

    // An empty-name row is free and is filled afresh.
    EXPECT_TRUE(RegisterCommand(7, "", "", 10, 0, {ParamType::Bool, ParamType::Real}));
    EXPECT_TRUE(RegisterCommand(7, "Seven", "", 11, 1, {ParamType::String}));
    const CommandInfo& seven = GetCommandTable()[7];
    EXPECT_EQ(std::tuple(seven.name, seven.classId), std::tuple("Seven", 11));
    EXPECT_EQ(seven.paramTypes, std::vector<uint32_t>{ParamType::String});
    EXPECT_EQ(seven.flags, CommandFlags::EventHook | CommandFlags::PlainBlock);

    // Flag 4 has no effect; names come only with NamedParams; "get" in any case.
    EXPECT_TRUE(RegisterCommand(8, "gEt thing", "", 0, 4 | 2, {{ParamType::Real, "Ignored"}}));
    FinishCommandRegistration();
    const CommandInfo& eight = GetCommandTable()[8];
    EXPECT_EQ(eight.flags, CommandFlags::ScriptCallable | CommandFlags::PlainBlock | CommandFlags::GetQuery);
    EXPECT_TRUE(eight.paramNames.empty());
    ResetCommandRegistry();
    EXPECT_EQ(GetCommandTable().size(), 0u);
    EXPECT_EQ(LookupCommandByName("seven"), 0u);
}

TEST(RegisterCommandTest, FinishingPassStopsAtFirstVariableType) {
    ResetCommandRegistry();
    FillParamTypeTable();
    // Pointer after the variable parameter: PlainBlock survives.
    RegisterCommand(20, "A", "", 0, 0, {ParamType::String, ParamType::Pointer});
    // "ActorPointerExt" clears PlainBlock, then ends the sum.
    RegisterCommand(21, "B", "", 0, 0, {ParamType::Real, ParamType::ActorPointerExt, ParamType::Pointer});
    FinishCommandRegistration();
    EXPECT_TRUE(GetCommandTable()[20].Has(CommandFlags::PlainBlock));
    EXPECT_EQ(GetCommandTable()[20].paramBytes, -1);
    EXPECT_FALSE(GetCommandTable()[21].Has(CommandFlags::PlainBlock));
    EXPECT_EQ(GetCommandTable()[21].paramBytes, -1);
    ResetCommandRegistry();
}

} // namespace
