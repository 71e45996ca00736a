// The Guard's class registration, defaults, commands and actor-file record:
// the sheet, the list editing, "Set Guard State", the type switch with its
// area boxes and node, and the record by version with its bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "actors/characters/brain_services.h"
#include "actors/characters/guard_actor.h"
#include "actors/world/path_node_actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "support/game_fixture.h"
#include "support/record_file.h"
#include "support/temp_folder.h"

namespace {

class GuardActorTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runner.Ready()); }

    GuardActor *NewGuard(const std::string &name = "Guard") {
        return dynamic_cast<GuardActor *>(builder.Make(kGuardClassId, name));
    }
    static int Text(Actor *actor, uint32_t id, std::string text) {
        return actor->HandleCommand(id, ParamBlock(text.data(), text.size() + 1));
    }
    static std::vector<std::string> Names(Actor *actor, uint32_t id) {
        std::vector<std::string> names = {"stale"};
        LabelListScope open(&names);
        std::vector<std::string> *list = &names;
        actor->HandleCommand(id, ParamBlock(&list, sizeof(list)));
        return names;
    }
    // The ids of the guard's own events that a spy saw, in order.
    static std::vector<uint32_t> Events(const game::Recorder &spy) {
        std::vector<uint32_t> ids;
        for (const RecordedCommand &entry : spy.Of(93)) {
            const uint32_t id = entry.Read<uint32_t>(0);
            if (id >= 1338 && id <= 1357) {
                ids.push_back(id);
            }
        }
        return ids;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
};

// The labels of the guard's and the AI player's lists go to a list that the
// caller holds open, and to no address that a block's bytes spell: a text
// of 40 characters (as a file's saved command or a script holds it), or the
// address of a list that no scope holds.
TEST_F(GuardActorTest, ListLabelsGoOnlyToAListTheCallerHolds) {
    Actor *brains[] = {NewGuard(), builder.Make(kAIPlayerClassId, "AI")};
    const struct {
        int brain;
        uint32_t add, labels;
        const char *first;
    } lists[] = {{0, cmd::guard::AddGuardHitEffect, cmd::guard::Unnamed_1315, "Hit Effect 0"},
                 {0, cmd::guard::AddGuardAttackParam, cmd::guard::Unnamed_1323, "Attack0"},
                 {1, cmd::ai_player::AddAIPlayerHitEffect, cmd::ai_player::Unnamed_1480, "Hit Effect 0"},
                 {1, cmd::ai_player::AddAIPlayerAttackParam, cmd::ai_player::Unnamed_1488, "Attack0"}};
    for (const auto &list : lists) {
        Actor *brain = brains[list.brain];
        ASSERT_NE(brain, nullptr);
        brain->HandleCommand(list.add, ParamBlock());
        Text(brain, list.labels, std::string(40, 'L'));
        std::vector<std::string> unheld = {"stale"};
        std::vector<std::string> *address = &unheld;
        brain->HandleCommand(list.labels, ParamBlock(&address, sizeof(address)));
        EXPECT_EQ(unheld, std::vector<std::string>{"stale"}) << list.labels;
        EXPECT_EQ(Names(brain, list.labels), std::vector<std::string>{list.first}) << list.labels;
    }
}

TEST_F(GuardActorTest, SheetAndDefaults) {
    NewGuard();
    const ActorClassDescriptor &d = ClassDescriptorTable[kGuardClassId];
    EXPECT_EQ(d.name, "Guard");
    EXPECT_EQ(d.description, "Guard Character Control");
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, 25}));
    // Kind, set, get of the 38 items in order.
    const std::tuple<uint32_t, uint32_t, uint32_t> items[] = {
        {13, 0, 0},       {12, 0, 0},       {16, 1291, 1292}, {12, 0, 0},       {16, 1293, 1294},
        {12, 0, 0},       {26, 1303, 1304}, {17, 1295, 1296}, {33, 1358, 1359}, {4, 1297, 1298},
        {4, 1299, 1300},  {33, 1301, 1302}, {13, 0, 0},       {20, 1322, 1323}, {14, 1324, 0},
        {14, 1325, 0},    {12, 0, 0},       {3, 1326, 1327},  {33, 1330, 1331}, {4, 1328, 1329},
        {12, 0, 0},       {4, 1336, 1337},  {13, 0, 0},       {16, 1332, 1333}, {4, 1334, 1335},
        {13, 0, 0},       {12, 0, 0},       {16, 1306, 1307}, {16, 1308, 1309}, {33, 1310, 1311},
        {12, 0, 0},       {20, 1314, 1315}, {14, 1312, 0},    {14, 1313, 0},    {12, 0, 0},
        {16, 1316, 1317}, {4, 1318, 1319},  {33, 1320, 1321},
    };
    ASSERT_EQ(d.items.size(), 38u);
    for (size_t i = 0; i < d.items.size(); ++i) {
        const PropertyItem &item = d.items[i];
        EXPECT_EQ(std::tuple(static_cast<uint32_t>(item.kind), item.setCommand, item.getCommand),
                  items[i])
            << i << " " << item.label;
        EXPECT_EQ(item.ranged, 0u);
        EXPECT_EQ(item.displayScale, 1.0f);
    }
    EXPECT_EQ(d.items[4].label, "State:|Sleep|0|Patrol|1|Idle|8|");
    EXPECT_EQ(d.items[25].label, "Hit Effect Management");
    EXPECT_EQ(d.items[30].label, "Hit Effect Management");

    GuardActor fresh;
    EXPECT_EQ(std::tuple(fresh.classId, fresh.characterTemplateId, fresh.guardState,
                         fresh.previousState, fresh.turnDistance, fresh.hitDistance,
                         fresh.jumpInterval, fresh.fightDistance),
              std::tuple(25u, -1, 1u, -1, 40.0f, 60.0f, 3.0f, 500.0f));
    EXPECT_EQ(std::tuple(fresh.evalTimer, fresh.comboPattern, fresh.fightReady, fresh.motionId,
                         fresh.walkForward, fresh.attackIndex, fresh.effectIndex),
              std::tuple(1.0e38f, 0xFFFFFFFFu, 1u, -1, 1u, -1, -1));
    fresh.HandleCommand(cmd::guard::AddGuardAttackParam, ParamBlock());
    fresh.HandleCommand(cmd::guard::AddGuardHitEffect, ParamBlock());
    EXPECT_EQ(std::tuple(fresh.attackParams[0].weight, fresh.attackParams[0].effectMul,
                         fresh.attackParams[0].evalDelay),
              std::tuple(1u, 1.0f, 0.0f));
    EXPECT_EQ(std::tuple(fresh.hitEffects[0].type, fresh.hitEffects[0].value,
                         fresh.hitEffects[0].time),
              std::tuple(0u, 100.0f, 5.0f));
}

TEST_F(GuardActorTest, SetGuardStateStoresTheNumberOnly) {
    GuardActor *guard = NewGuard();
    game::Recorder spy;
    AddCommandSpy(guard, &spy);
    for (uint32_t value : {2u, 11u, 1u}) {
        SendCommandArgs(guard, cmd::guard::SetGuardState, value);
        uint32_t answer = 0;
        guard->HandleCommand(cmd::guard::GetGuardState, ParamBlock(&answer, sizeof(answer)));
        EXPECT_EQ(answer, value);
    }
    EXPECT_TRUE(Events(spy).empty());
    EXPECT_EQ(guard->trailTarget.target, nullptr);
    EXPECT_EQ(guard->trailInterval, 0.0f);
    RemoveAllCommandSpies(guard);
}

TEST_F(GuardActorTest, ListsSelectByNameAndEditTheSelection) {
    GuardActor *guard = NewGuard();
    for (int i = 0; i < 3; ++i) {
        guard->HandleCommand(cmd::guard::AddGuardAttackParam, ParamBlock());
        guard->HandleCommand(cmd::guard::AddGuardHitEffect, ParamBlock());
    }
    EXPECT_EQ(Names(guard, cmd::guard::Unnamed_1323),
              (std::vector<std::string>{"Attack0", "Attack1", "Attack2"}));
    EXPECT_EQ(Names(guard, cmd::guard::Unnamed_1315),
              (std::vector<std::string>{"Hit Effect 0", "Hit Effect 1", "Hit Effect 2"}));

    Text(guard, cmd::guard::Unnamed_1322, "Attack1");
    EXPECT_EQ(guard->attackIndex, 1);
    SendCommandArgs(guard, 1326, uint32_t{7});
    SendCommandArgs(guard, 1330, 0.5f);
    Text(guard, cmd::guard::Unnamed_1322, "Attack9");
    Text(guard, cmd::guard::Unnamed_1322, "Hit Effect 0");
    EXPECT_EQ(guard->attackIndex, 1);
    EXPECT_EQ(std::tuple(guard->attackParams[1].weight, guard->attackParams[1].evalDelay),
              std::tuple(7u, 0.5f));

    Text(guard, cmd::guard::Unnamed_1314, "Hit Effect 2");
    SendCommandArgs(guard, 1316, uint32_t{12});
    SendCommandArgs(guard, 1318, -25.0f);
    float value = 0.0f;
    guard->HandleCommand(1319, ParamBlock(&value, sizeof(value)));
    EXPECT_EQ(value, -25.0f);
    EXPECT_EQ(guard->hitEffects[2].type, 12u);

    guard->HandleCommand(cmd::guard::DeleteGuardAttackParam, ParamBlock());
    EXPECT_EQ(std::tuple(guard->attackParams.size(), guard->attackIndex), std::tuple(2u, -1));
    EXPECT_EQ(guard->attackParams[1].weight, 1u); // the third moved up
    // Nothing selected: deleting and the entry commands do nothing.
    guard->HandleCommand(cmd::guard::DeleteGuardAttackParam, ParamBlock());
    SendCommandArgs(guard, 1326, uint32_t{9});
    ASSERT_EQ(guard->attackParams.size(), 2u);
    EXPECT_EQ(std::tuple(guard->attackParams[0].weight, guard->attackParams[1].weight),
              std::tuple(1u, 1u));
    uint32_t weight = 55;
    guard->HandleCommand(1327, ParamBlock(&weight, sizeof(weight)));
    EXPECT_EQ(weight, 55u);
}

TEST_F(GuardActorTest, TypeZeroTakesTheNodesAndGivesAreaBoxesTypeOneMakesANode) {
    GuardActor *guard = NewGuard();
    game::PathNode(builder, "A", {0, 0, 100}, guard);
    game::PathNode(builder, "B", {0, 0, 200}, guard->children[0]);
    SendCommandArgs(guard, cmd::guard::SetGuardType, uint32_t{0});
    EXPECT_TRUE(guard->children.empty());
    EXPECT_EQ(scene::SceneBuilder::Find("A"), nullptr);
    ASSERT_EQ(guard->colObjs.size(), 2u); // "Create" gave two already; they were replaced
    const struct {
        const char *name;
        Vector3 min, max;
    } boxes[] = {{"Patrol Area", {-10, -10, -40}, {10, 40, 40}},
                 {"Hunt Area", {-60, -10, -60}, {60, 40, 60}}};
    for (size_t i = 0; i < 2; ++i) {
        const ColObj &o = *guard->colObjs[i];
        EXPECT_EQ(o.name, boxes[i].name);
        EXPECT_EQ(std::tuple(o.type, o.material, o.fill, o.hitEffect, o.groups, o.receiveGroups,
                             o.excludeGroups, o.flags),
                  std::tuple(2u, 0u, 7u, 0u, 1u, 1u, 0u, 7u));
        EXPECT_EQ(std::tuple(o.boxMin.x, o.boxMin.y, o.boxMin.z, o.boxMax.x, o.boxMax.y, o.boxMax.z),
                  std::tuple(boxes[i].min.x, boxes[i].min.y, boxes[i].min.z, boxes[i].max.x,
                             boxes[i].max.y, boxes[i].max.z));
    }
    SendCommandArgs(guard, cmd::guard::SetGuardType, uint32_t{1});
    EXPECT_TRUE(guard->colObjs.empty());
    ASSERT_EQ(guard->children.size(), 1u);
    Actor *node = guard->children[0];
    EXPECT_EQ(std::tuple(node->classId, node->name), std::tuple(26u, std::string("Node")));
    EXPECT_EQ(std::tuple(node->position.x, node->position.y, node->position.z),
              std::tuple(100.0f, 0.0f, 0.0f));
    // With a child already there, no second node.
    SendCommandArgs(guard, cmd::guard::SetGuardType, uint32_t{2});
    EXPECT_EQ(guard->children.size(), 1u);
}

class GuardFileTest : public GuardActorTest {
  protected:
    GuardActor *Filled() {
        GuardActor *guard = NewGuard();
        guard->characterTemplateId = 1234;
        guard->turnDistance = 50.0f;
        guard->useNodeTime = 1;
        guard->guardType = 2;
        guard->pathnodeTime = 2.5f;
        guard->hitDistance = 70.0f;
        guard->jumpInterval = 4.0f;
        guard->hitEffects = {{12, -20.0f, 2.0f}, {99, 1.0f, 1.0f}};
        guard->gethitId = 3;
        guard->damageId = 4;
        guard->hitHoldTime = 1.5f;
        guard->attackParams = {{0xFFFFFFFFu, 2.0f, 0.5f}};
        guard->deadType = 3;
        guard->deadDelay = 6.0f;
        guard->fightDistance = 300.0f;
        guard->guardState = 8;
        return guard;
    }
    std::string Path() const { return folder / "guard.bin"; }
    TempFolder folder;
};

TEST_F(GuardFileTest, RecordByVersion) {
    GuardActor *source = Filled();
    // Version 70: everything, the unknown effect type included.
    ASSERT_TRUE(recordfile::Write(*source, Path(), 70));
    GuardActor *back = NewGuard("Back");
    ASSERT_EQ(recordfile::Read(*back, Path(), 70), 1);
    EXPECT_EQ(std::tuple(back->characterTemplateId, back->turnDistance, back->useNodeTime,
                         back->guardType, back->pathnodeTime, back->hitDistance,
                         back->jumpInterval, back->guardState),
              std::tuple(1234, 50.0f, 1u, 2u, 2.5f, 70.0f, 4.0f, 8u));
    ASSERT_EQ(back->hitEffects.size(), 2u);
    EXPECT_EQ(std::tuple(back->hitEffects[1].type, back->hitEffects[0].value),
              std::tuple(99u, -20.0f));
    ASSERT_EQ(back->attackParams.size(), 1u);
    EXPECT_EQ(back->attackParams[0].weight, 0xFFFFFFFFu);
    EXPECT_EQ(std::tuple(back->gethitId, back->damageId, back->hitHoldTime, back->deadType,
                         back->deadDelay, back->fightDistance),
              std::tuple(3u, 4u, 1.5f, 3u, 6.0f, 300.0f));

    // Version 12: the hit effects come back, the attack list empties.
    ASSERT_TRUE(recordfile::Write(*source, Path(), 12));
    GuardActor *v12 = NewGuard("V12");
    v12->HandleCommand(cmd::guard::AddGuardAttackParam, ParamBlock());
    ASSERT_EQ(recordfile::Read(*v12, Path(), 12), 1);
    EXPECT_EQ(v12->hitEffects.size(), 2u);
    EXPECT_TRUE(v12->attackParams.empty());
    EXPECT_EQ(std::tuple(v12->deadType, v12->fightDistance), std::tuple(0u, 500.0f));

    // Version 52: the state stays as built.
    ASSERT_TRUE(recordfile::Write(*source, Path(), 52));
    GuardActor *v52 = NewGuard("V52");
    ASSERT_EQ(recordfile::Read(*v52, Path(), 52), 1);
    EXPECT_EQ(std::tuple(v52->guardState, v52->fightDistance), std::tuple(1u, 300.0f));
}

TEST_F(GuardFileTest, GoldenBytesAtVersion70) {
    GuardActor *guard = NewGuard();
    guard->characterTemplateId = 3001;
    guard->guardType = 1;
    guard->useNodeTime = 1;
    guard->hitEffects = {{12, -20.0f, 2.0f}};
    guard->attackParams = {{3, 1.5f, 0.25f}};
    guard->guardState = 0;
    ASSERT_TRUE(recordfile::Write(*guard, Path(), 70));
    const std::string bytes = folder.Get("guard.bin");
    const unsigned char expected[] = {
        0xB9, 0x0B, 0, 0,    0, 0, 0x20, 0x42, // template 3001, turn 40
        1,    0,    0, 0,    1, 0, 0,    0,    // use node time, type 1
        0,    0,    0, 0,    0, 0, 0x70, 0x42, // node time 0, hit 60
        0,    0,    0x40, 0x40, 0, 0, 0,  0,   // jump 3, spare
        1,    0,    0, 0,                      // one hit effect
        12,   0,    0, 0,    0, 0, 0xA0, 0xC1, // type 12, value -20
        0,    0,    0, 0x40, 0, 0, 0,    0,    // time 2, spare
        0,    0,    0, 0,    0, 0, 0,    0,    // gethit, damage
        0,    0,    0, 0,                      // hold time
        1,    0,    0, 0,                      // one attack
        3,    0,    0, 0,    0, 0, 0xC0, 0x3F, // weight 3, mul 1.5
        0,    0,    0x80, 0x3E, 0, 0, 0,  0,   // delay 0.25, spare
        0,    0,    0, 0,    0, 0, 0,    0,    // dead type, dead delay
        0,    0,    0xFA, 0x43,                // fight distance 500
        0,    0,    0, 0,                      // state 0
    };
    ASSERT_GE(bytes.size(), sizeof(expected));
    EXPECT_EQ(bytes.substr(bytes.size() - sizeof(expected)),
              std::string(reinterpret_cast<const char *>(expected), sizeof(expected)));
}

TEST_F(GuardFileTest, UnsoundCountsAndAShortBaseRecordFail) {
    GuardActor *source = NewGuard();
    ASSERT_TRUE(recordfile::Write(*source, Path(), 70));
    const std::string good = folder.Get("guard.bin");
    // The tail: 8 words, the effect count, 3 words, the attack count, 4 words.
    const size_t effectCount = good.size() - 68 + 32;
    const size_t attackCount = effectCount + 16;
    const auto readWith = [&](size_t at, uint32_t count, size_t padding) {
        std::string bytes = good;
        std::memcpy(bytes.data() + at, &count, 4);
        bytes += std::string(padding, '\0');
        folder.Put("bad.bin", bytes);
        GuardActor *back = NewGuard("Back");
        back->hitEffects = {{1, 2.0f, 3.0f}};
        const int answer = recordfile::Read(*back, folder / "bad.bin", 70);
        return std::tuple(answer, back->hitEffects.size());
    };
    EXPECT_EQ(readWith(effectCount, 0x7FFFFFFFu, 0), std::tuple(0, 1u));
    EXPECT_EQ(readWith(attackCount, 0x7FFFFFFFu, 0), std::tuple(0, 0u));
    // Above 4096 fails even when the bytes are there; 4096 itself reads.
    EXPECT_EQ(readWith(effectCount, 4097u, 4097 * 16), std::tuple(0, 1u));
    EXPECT_EQ(readWith(effectCount, 4096u, 4096 * 16), std::tuple(1, 4096u));
    // A file that ends inside the base record.
    folder.Put("short.bin", good.substr(0, 24));
    GuardActor *back = NewGuard("Short");
    back->turnDistance = 1.0f;
    EXPECT_EQ(recordfile::Read(*back, folder / "short.bin", 70), 0);
    EXPECT_EQ(back->turnDistance, 1.0f);
}

} // namespace
