#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/command_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <tuple>
#include <string>
#include <vector>

namespace {

// Registers the real table once per test from empty tables.
class CommandTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCommandTablesForTest();
        std::string error;
        ASSERT_TRUE(RegisterAllCommands(&error)) << error;
    }
    void TearDown() override { ResetCommandTablesForTest(); }

    static const CommandInfo& Info(uint32_t id) { return GetCommandTable()[id]; }
    static bool InMap(uint32_t id) {
        return Info(id).Has(CommandFlags::EventHook) || Info(id).Has(CommandFlags::ScriptCallable);
    }
    static std::vector<std::string> Types(uint32_t id) {
        std::vector<std::string> names;
        for (uint32_t type : Info(id).paramTypes)
            names.push_back(GetParamTypeTable().Get(type).name);
        return names;
    }
};

using Strings = std::vector<std::string>;

std::string ParseError(std::string_view text) {
    std::vector<CommandRow> rows;
    std::string error;
    EXPECT_FALSE(ParseCommandRows(text, rows, error)) << text;
    return error;
}

} // namespace

TEST(CommandRows, ParsesEveryRowForm) {
    std::vector<CommandRow> rows;
    std::string error;
    ASSERT_TRUE(ParseCommandRows("\nclass 3\n"
                                 "7 \"Plain\"\n"
                                 "8 \"Get  Two  Blanks \": S128 A U S {s}\n"
                                 "\n"
                                 "class 16\n"
                                 "9 \"Heal\": R AddToHealth, R MaxHealth {es}\n"
                                 "10 \"Connect\": A TimeInstanceActor {s}\n"
                                 "11 \"\": B R R U\n"
                                 "12 \"Ev\" {e}\n",
                                 rows, error))
        << error;
    ASSERT_EQ(rows.size(), 6u);

    EXPECT_EQ(std::tuple(rows[0].id, rows[0].classId, rows[0].registerFlags),
              std::tuple(7u, 3, 0u));
    EXPECT_TRUE(rows[0].types.empty());
    EXPECT_EQ(rows[0].line, 3);

    EXPECT_EQ(rows[1].name, "Get  Two  Blanks ");
    EXPECT_EQ(rows[1].types, (std::vector<uint32_t>{5, 8, 1, 15}));
    EXPECT_TRUE(rows[1].paramNames.empty());
    EXPECT_EQ(rows[1].registerFlags, 2u);

    EXPECT_EQ(rows[2].classId, 16);
    EXPECT_EQ(rows[2].types, (std::vector<uint32_t>{4, 4}));
    EXPECT_EQ(rows[2].paramNames, (Strings{"AddToHealth", "MaxHealth"}));
    EXPECT_EQ(rows[2].registerFlags, 16u | 3u);

    // One named parameter: a type letter followed by a name.
    EXPECT_EQ(rows[3].types, (std::vector<uint32_t>{8}));
    EXPECT_EQ(rows[3].paramNames, (Strings{"TimeInstanceActor"}));
    EXPECT_EQ(rows[3].registerFlags, 18u);

    EXPECT_EQ(rows[4].name, "");
    EXPECT_EQ(rows[4].types, (std::vector<uint32_t>{3, 4, 4, 1}));
    EXPECT_EQ(std::tuple(rows[5].registerFlags, rows[5].line), std::tuple(1u, 10));

    // Every type letter maps to its type, in order.
    ASSERT_TRUE(ParseCommandRows("class 0\n1 \"All\": U I B R S128 K P A AX CO SC SP C D S D16 D32 "
                                 "V2 V3 V4 M Q PL BX CL\n",
                                 rows, error))
        << error;
    ASSERT_EQ(rows[0].types.size(), 25u);
    for (uint32_t i = 0; i < 25; ++i)
        EXPECT_EQ(rows[0].types[i], i + 1);
}

TEST(CommandRows, MalformedRowsNameTheirLine) {
    EXPECT_EQ(ParseError("5 \"x\"\n"), "line 1: row before the first class line");
    EXPECT_EQ(ParseError("class 0\n\nclass 54\n"), "line 3: bad class line");
    EXPECT_EQ(ParseError("class x\n"), "line 1: bad class line");
    EXPECT_EQ(ParseError("class 0\n1 \"a\"\n2 \"b\": U X\n"),
              "line 3: unknown parameter type \"X\"");
    EXPECT_EQ(ParseError("class 0\n1 \"a\": R Strength, R\n"),
              "line 2: expected \"type name\", got \"R\"");
    EXPECT_EQ(ParseError("class 0\n1 \"a\": R Strength, R SR\n"),
              "line 2: expected \"type name\", got \"R SR\"");
    EXPECT_EQ(ParseError("class 0\n1 \"a\": Q Rot, W Name\n"),
              "line 2: unknown parameter type \"W\"");
    EXPECT_EQ(ParseError("class 0\n1 \"a\" {x}\n"), "line 2: unknown flags \"{x}\"");
    EXPECT_EQ(ParseError("class 0\n1 \"a\" {}\n"), "line 2: unknown flags \"{}\"");
    EXPECT_EQ(ParseError("class 0\n1 \"a\"}\n"), "line 2: malformed flags");
    EXPECT_EQ(ParseError("class 0\n1 \"a\n"), "line 2: unterminated name");
    EXPECT_EQ(ParseError("class 0\n1 a\n"),
              "line 2: expected a blank and a quoted name after the id");
    EXPECT_EQ(ParseError("class 0\n\"a\"\n"), "line 2: expected a command id up to 9999");
    EXPECT_EQ(ParseError("class 0\n10000 \"a\"\n"), "line 2: expected a command id up to 9999");
    EXPECT_EQ(ParseError("class 0\n99999999999999999999 \"a\"\n"),
              "line 2: expected a command id up to 9999");
    EXPECT_EQ(ParseError("class 0\n1 \"a\":\n"),
              "line 2: expected \": \" and parameter types after the name");
    EXPECT_EQ(ParseError("class 0\n1 \"a\" U\n"),
              "line 2: expected \": \" and parameter types after the name");
    EXPECT_EQ(ParseError("class 0\n1 \"a\": U  U\n"), "line 2: unknown parameter type \"\"");
    EXPECT_EQ(ParseError("class 0\n1 \"a\"\nclass 2\n1 \"b\"\n"),
              "line 4: id 1 already listed on line 2");
}

TEST(CommandRows, CompiledTableParsesInRegistrationOrder) {
    std::vector<CommandRow> rows;
    std::string error;
    ASSERT_TRUE(ParseCommandRows(CommandTableText(), rows, error)) << error;
    EXPECT_EQ(rows.size(), 1492u);

    // Class blocks in registration order, each listed once.
    std::vector<int32_t> order;
    for (const CommandRow& row : rows) {
        if (order.empty() || order.back() != row.classId)
            order.push_back(row.classId);
    }
    EXPECT_EQ(order, (std::vector<int32_t>{0,  1,  2,  3,  4,  5,  6,  7,  9,  10, 11, 12, 13, 14,
                                           15, 16, 17, 18, 19, 20, 21, 25, 27, 26, 30, 31, 32, 29,
                                           50, 33, 34, 44, 35, 36, 38, 45, 23, 42, 46, 47, 52}));
}

TEST_F(CommandTableTest, RegistersOnceAndResets) {
    std::string error;
    ASSERT_TRUE(RegisterAllCommands(&error));
    EXPECT_EQ(GetCommandTable().size(), 1794u);
    EXPECT_EQ(GetCommandNameMap().entryCount(), 563u);

    ResetCommandTablesForTest();
    EXPECT_TRUE(GetCommandTable().empty());
    EXPECT_EQ(GetCommandNameMap().entryCount(), 0u);

    g_NetworkEnabled = 1;
    g_NetworkWord = 7;
    ASSERT_TRUE(RegisterAllCommands(&error)) << error;
    EXPECT_EQ(std::tuple(g_NetworkEnabled, g_NetworkWord, GetCommandTable().size()),
              std::tuple(0u, 0u, 1794u));
    EXPECT_EQ(GetCommandNameMap().entryCount(), 563u);
}

TEST_F(CommandTableTest, EventsAndScriptCommands) {
    std::vector<uint32_t> both, otherEvents;
    for (uint32_t id = 0; id < GetCommandTable().size(); ++id) {
        const CommandInfo& info = Info(id);
        bool event = info.Has(CommandFlags::EventHook);
        if (event && info.Has(CommandFlags::ScriptCallable))
            both.push_back(id);
        if (event && info.name.compare(0, 3, "On ") != 0)
            otherEvents.push_back(id);
    }
    EXPECT_EQ(both, (std::vector<uint32_t>{98, 99, 154, 155, 156, 208, 209, 210, 211, 212, 213,
                                           830, 831, 1608, 1609}));
    EXPECT_EQ(otherEvents.size(), 33u);
    std::set<uint32_t> others(otherEvents.begin(), otherEvents.end());
    for (uint32_t id : {0u, 47u, 153u, 354u, 1765u, 1766u, 1767u, 1768u, 1769u, 1770u, 1777u})
        EXPECT_TRUE(others.count(id)) << id;

    // Not events despite their names.
    for (const char* name : {"On Collision", "On Ground Start", "On Ground Stop"})
        EXPECT_EQ(FindEventCommandByName(name), 0u) << name;
    EXPECT_FALSE(Info(170).Has(CommandFlags::EventHook));
    EXPECT_EQ(Info(170).name, "On Collision");

    // Lod and time-instance rows: events without parameters, found by name.
    for (uint32_t id : {1765u, 1766u, 1767u, 1768u, 1769u, 1770u, 1777u}) {
        EXPECT_TRUE(Info(id).Has(CommandFlags::EventHook)) << id;
        EXPECT_TRUE(Info(id).paramTypes.empty()) << id;
        EXPECT_EQ(Info(id).paramBytes, 0) << id;
        EXPECT_EQ(LookupCommandByName(Info(id).name), id);
    }
}

TEST_F(CommandTableTest, UnregisteredIdsAndScriptNames) {
    EXPECT_EQ(Info(93).name, "");
    EXPECT_TRUE(Info(93).paramTypes.empty());
    for (uint32_t id = 1; id <= 31; ++id)
        EXPECT_EQ(Info(id).classId, -1) << id;
    for (uint32_t id : {43u, 68u, 69u, 85u, 92u, 93u, 172u, 185u, 348u, 353u, 358u, 464u})
        EXPECT_EQ(Info(id).classId, -1) << id;

    EXPECT_FALSE(InMap(33));
    EXPECT_TRUE(Info(33).Has(CommandFlags::GetQuery));
    EXPECT_EQ(LookupCommandByName("get_name"), 0u);
    EXPECT_EQ(LookupCommandByName("cur_dg_and_neardg"), 54u);
    EXPECT_EQ(LookupCommandByName("character_is_neutral"), 864u);
    EXPECT_EQ(LookupCommandByName("on_jump_start"), 1068u);
    EXPECT_EQ(LookupCommandByName("on_jump_stop"), 1069u);
    EXPECT_EQ(FindEventCommandByName("On Jump Start"), 1066u);
    EXPECT_EQ(FindEventCommandByName("On Jump Stop"), 1067u);
    EXPECT_EQ(FindEventCommandByName("on jump start"), 0u);

    // Three rows each for the camera targets, none reachable from scripts.
    for (uint32_t id = 1222; id <= 1233; ++id) {
        EXPECT_FALSE(InMap(id)) << id;
        EXPECT_EQ(Info(id).classId, 19) << id;
    }
    EXPECT_EQ(Types(1222), Strings{"Pointer"});
    EXPECT_EQ(Types(1226), Strings{"ActorPointerExt"});
    EXPECT_EQ(Types(1230), Strings{"UInt32"});

    // The script command of a pair is the one a script name reaches.
    EXPECT_EQ(LookupCommandByName("Set AI Player Follow Group"), 1461u);
    EXPECT_EQ(LookupCommandByName("set_material"), 447u);
    EXPECT_EQ(LookupCommandByName("Open Door"), 768u);
}

TEST_F(CommandTableTest, RowsThatBelongToAnotherBlock) {
    const std::pair<uint32_t, int32_t> rows[] = {{1764, 17}, {1238, 19}, {1664, 35}, {1665, 35},
                                                 {1663, 36}, {376, 0},   {375, 1},   {377, 1}};
    for (const auto& [id, classId] : rows)
        EXPECT_EQ(Info(id).classId, classId) << id;
    EXPECT_EQ(Info(376).name, "Condition Command");
}

TEST_F(CommandTableTest, EmptyNameRows) {
    struct Expect {
        uint32_t id;
        int32_t classId;
        Strings types;
    };
    const Expect rows[] = {
        {563, 10, {"Bool", "Real", "Real", "UInt32"}},
        {564, 10, {"Real"}},
        {750, 12, {"Real"}},
        {1049, 16, {}},
        {1314, 25, {"String"}}, {1315, 25, {"String"}}, {1322, 25, {"String"}},
        {1323, 25, {"String"}}, {1479, 29, {"String"}}, {1480, 29, {"String"}},
        {1487, 29, {"String"}}, {1488, 29, {"String"}},
    };
    uint32_t emptyNames = 0;
    for (const CommandInfo& info : GetCommandTable().rows())
        emptyNames += info.classId != -1 && info.name.empty();
    EXPECT_EQ(emptyNames, 12u);
    for (const Expect& e : rows) {
        EXPECT_EQ(Info(e.id).name, "") << e.id;
        EXPECT_EQ(Info(e.id).classId, e.classId) << e.id;
        EXPECT_EQ(Types(e.id), e.types) << e.id;
        EXPECT_FALSE(InMap(e.id)) << e.id;
    }
}

TEST_F(CommandTableTest, ParameterNames) {
    EXPECT_EQ(Info(141).paramNames, (Strings{"Actor", "Strength", "StrengthRand", "AnlgeRand"}));
    EXPECT_EQ(Types(141), (Strings{"ActorPointer", "Real", "Real", "Real"}));
    EXPECT_EQ(Info(141).paramBytes, 16);
    EXPECT_FALSE(Info(141).Has(CommandFlags::PlainBlock));
    const std::pair<uint32_t, Strings> names[] = {
        {142, {"Strength", "StrengthRand", "AnlgeRand"}},
        {143, {"Actor", "DecayByDistance", "Strength", "StrengthRand", "AngleRand"}},
        {349, {"SetCommand", "Source", "GetCommand"}}, {355, {"TimeInstanceActor"}},
        {383, {"Source", "Dest"}}, {966, {"AddToHealth", "MaxHealth"}},
        {1131, {"LerpTime", "BlendValue"}}, {1132, {"BlendValue", "Layer"}}};
    for (const auto& [id, expected] : names)
        EXPECT_EQ(Info(id).paramNames, expected) << id;
    EXPECT_EQ(Types(1132), (Strings{"Real", "UInt32"}));

    // Only those rows carry names.
    std::set<uint32_t> named;
    for (uint32_t id = 0; id < GetCommandTable().size(); ++id) {
        if (!Info(id).paramNames.empty())
            named.insert(id);
    }
    EXPECT_EQ(named, (std::set<uint32_t>{141, 142, 143, 349, 355, 383, 966, 1131, 1132}));
}

TEST_F(CommandTableTest, NamesAreByteExact) {
    const std::pair<uint32_t, const char*> names[] = {
        {496, "Get  File Stringlist"}, {491, "Light Fade "}, {346, "nO Spawned"},
        {345, "On Spawned"}, {1764, "Anim UpdatE"}, {218, "Script Execut"},
        {203, "Calc Action Time"}, {204, "Calc Action Time"}};
    for (const auto& [id, name] : names)
        EXPECT_EQ(Info(id).name, name) << id;
    for (uint32_t id : {696u, 704u, 706u, 708u, 712u, 714u})
        EXPECT_EQ(Info(id).name, "Set Weapon ") << id;
    for (uint32_t id : {697u, 705u, 707u, 709u, 713u, 715u})
        EXPECT_EQ(Info(id).name, "Get Weapon ") << id;
    for (uint32_t id = 333; id <= 344; ++id)
        EXPECT_EQ(Info(id).name, "ZT") << id;
}

// The generated header holds one constant per row of the table and of the
// unregistered list, in the namespace of the row's class, with the row's id;
// plain, doubled and empty names keep their ids.
TEST(CommandIds, MatchTheTable) {
    static_assert(cmd::base::SetPosition == 63);
    static_assert(cmd::base::CalcActionTime_203 == 203 && cmd::base::CalcActionTime_204 == 204);
    static_assert(cmd::door::OpenDoor_768 == 768 && cmd::door::OpenDoor_770 == 770);
    static_assert(cmd::character::Unnamed_1049 == 1049);
    static_assert(cmd::character::Heal == 966);
    static_assert(cmd::light_sensor::GetLightsensorRayReceive == 1789);
    static_assert(cmd::light_sensor::SetLightSensorMinColor == 1792);
    static_assert(cmd::camera::CameraTurnHorizontal == 1240);
    static_assert(cmd::base::LockTransform == 179 && cmd::game_object::WeaponGone == 565);
    static_assert(kBaseClassId == 0 && kDoorClassId == 13 && kNullActorClassId == 39);
    static_assert(kStateClassId == 53 && kHighestClassId == 53);

    std::ifstream in(std::string(ENGINE_TEST_BINARY_DIR) + "/generated/core/actors/command_ids.h");
    ASSERT_TRUE(in.good());
    // (class, id) of every constant under namespace cmd; a class's namespace
    // line ends in "// class N".
    std::multiset<std::pair<int32_t, uint32_t>> constants;
    int32_t classId = -1;
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find("{ // class ");
        if (line.rfind("namespace ", 0) == 0 && at != std::string::npos) {
            classId = std::stoi(line.substr(at + 11));
        } else if (line.rfind("} // namespace", 0) == 0) {
            classId = -1;
        } else if (classId >= 0 && line.rfind("inline constexpr uint32_t ", 0) == 0) {
            constants.emplace(classId,
                              static_cast<uint32_t>(std::stoul(line.substr(line.find("= ") + 2))));
        }
    }
    std::vector<CommandRow> rows;
    std::string error;
    ASSERT_TRUE(ParseCommandRows(CommandTableText(), rows, error)) << error;
    std::multiset<std::pair<int32_t, uint32_t>> expected;
    for (const CommandRow& row : rows)
        expected.emplace(row.classId, row.id);
    std::ifstream more(std::string(ENGINE_TEST_SOURCE_DIR) +
                       "/src/core/actors/unregistered_commands.txt");
    ASSERT_TRUE(more.good());
    int32_t moreClass = -1;
    size_t moreRows = 0;
    while (std::getline(more, line)) {
        if (line.rfind("class ", 0) == 0) {
            moreClass = std::stoi(line.substr(6));
        } else if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
            ASSERT_GE(moreClass, 0) << line;
            expected.emplace(moreClass, static_cast<uint32_t>(std::stoul(line)));
            ++moreRows;
        }
    }
    EXPECT_GT(moreRows, 0u);
    EXPECT_EQ(constants.size(), rows.size() + moreRows);
    EXPECT_EQ(constants, expected);
    // An id names one command: none stands in the table and the list, or twice.
    std::set<uint32_t> ids;
    for (const auto& [owner, id] : expected)
        ids.insert(id);
    EXPECT_EQ(ids.size(), expected.size());
}
