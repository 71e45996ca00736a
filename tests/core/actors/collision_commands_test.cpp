// Collision objects, simulation settings and forces of an actor.
#include <cmath>
#include <tuple>

#include "base/random.h"
#include "base_handler_fixture.h"
#include "core/actors/draw_group_hooks.h"

namespace {

std::vector<std::string> g_drawGroupCalls;

class CollisionTest : public BaseHandlerTest {
  protected:
    void SetUp() override {
        BaseHandlerTest::SetUp();
        g_drawGroupCalls.clear();
        DrawGroupHooks hooks;
        hooks.removeActor = [](Actor *actor, uint32_t) {
            g_drawGroupCalls.push_back("leave");
            actor->flags &= ~kActorInDrawGroup;
        };
        hooks.addActor = [](Actor *actor, uint32_t) {
            g_drawGroupCalls.push_back("enter");
            actor->flags |= kActorInDrawGroup;
        };
        SetDrawGroupHooks(hooks);
    }
};

TEST_F(CollisionTest, CommandsNeedACurrentObject) {
    RecordingActor *actor = MakeActor();
    EXPECT_TRUE(actor->colObjs.empty());
    EXPECT_EQ(actor->currentColObj, -1);
    Send(actor, 114, {uint32_t(5)});
    Send(actor, 110, {"name"});
    Send(actor, 109);
    EXPECT_EQ(Query<uint32_t>(actor, 115), 0u);
    EXPECT_TRUE(actor->colObjs.empty());

    Send(actor, 108);
    Send(actor, 108);
    Send(actor, 108);
    ASSERT_EQ(actor->colObjs.size(), 3u);
    EXPECT_EQ(std::tuple(actor->colObjs[0]->name, actor->colObjs[2]->name, actor->colObjs[1]->owner),
              std::tuple("Object 1", "Object 3", actor));
    EXPECT_EQ(actor->currentColObj, 2);
    Send(actor, 114, {uint32_t(1)});
    EXPECT_EQ(actor->colObjs[2]->type, 1u);
    EXPECT_EQ(Query<uint32_t>(actor, 115), 1u);

    // Selection by name picks the last match; an unknown name keeps it.
    Send(actor, 110, {"same"});
    actor->currentColObj = 0;
    Send(actor, 110, {"same"});
    Send(actor, 112, {"same"});
    EXPECT_EQ(actor->currentColObj, 2);
    Send(actor, 112, {"none"});
    EXPECT_EQ(actor->currentColObj, 2);
    std::vector<std::string> names;
    Send(actor, 113, {static_cast<void *>(&names)});
    EXPECT_EQ(names, (std::vector<std::string>{"same", "Object 2", "same"}));

    actor->currentColObj = 7; // out of range
    Send(actor, 114, {uint32_t(9)});
    Send(actor, 109);
    EXPECT_EQ(actor->colObjs.size(), 3u);
    EXPECT_TRUE(g_drawGroupCalls.empty());
}

TEST_F(CollisionTest, SubtypesRoundTrip) {
    RecordingActor *actor = MakeActor();
    Send(actor, 108);
    const ColObj &object = *actor->colObjs[0];
    Send(actor, 120, {uint32_t(2)});
    EXPECT_EQ(Query<uint32_t>(actor, 121), 2u);
    EXPECT_EQ(object.flags & 0x7Eu, (1u << 1) | (1u << 2) | (1u << 5) | (1u << 6));
    for (uint32_t subtype : {3u, 1u, 0u}) {
        Send(actor, 120, {subtype});
        EXPECT_EQ(Query<uint32_t>(actor, 121), subtype);
    }
    Send(actor, 120, {uint32_t(9)}); // no such subtype: bits 1-6 clear
    EXPECT_EQ(std::tuple(object.flags & 0x7Eu, object.flags & 1u), std::tuple(0u, 1u));
}

TEST_F(CollisionTest, GroupBitsAddressEveryObject) {
    RecordingActor *actor = MakeActor();
    Send(actor, 108);
    Send(actor, 108);
    Send(actor, 134, {uint32_t(3), true});
    Send(actor, 135, {uint32_t(32), true});
    Send(actor, 136, {uint32_t(1), true});
    Send(actor, 137, {uint32_t(2), true});
    for (const auto &objectPtr : actor->colObjs) {
        const ColObj &object = *objectPtr;
        EXPECT_EQ(std::tuple(object.groups, object.receiveGroups, object.excludeGroups),
                  std::tuple(1u | 4u, 1u | 0x80000000u, 1u));
        EXPECT_EQ(object.hitEffect, 2u);
    }
    Send(actor, 134, {uint32_t(1), false});
    EXPECT_EQ(actor->colObjs[1]->groups, 4u);
    // Numbers outside 1..32 name no group.
    Send(actor, 134, {uint32_t(0), true});
    Send(actor, 134, {uint32_t(33), true});
    Send(actor, 135, {uint32_t(0xFFFFFFFFu), false});
    EXPECT_EQ(actor->colObjs[0]->groups, 4u);
    EXPECT_EQ(actor->colObjs[0]->receiveGroups, 1u | 0x80000000u);
}

TEST_F(CollisionTest, RadiusRecentresBoxesAndSetsSphereRadius) {
    RecordingActor *actor = MakeActor();
    Send(actor, 108);
    Send(actor, 74, {Vector3{0, 0, 0}});
    Send(actor, 76, {Vector3{4, 4, 4}});
    Send(actor, 108);
    Send(actor, 114, {uint32_t(1)});
    Send(actor, 138, {5.0f});
    const ColObj &box = *actor->colObjs[0], &sphere = *actor->colObjs[1];
    EXPECT_EQ((std::vector<float>{box.boxMin.x, box.boxMin.y, box.boxMax.x, box.boxMax.z, sphere.boxMax.x, sphere.boxMin.x}),
              (std::vector<float>{-3, -3, 7, 7, 5, -10}));
    // "Precalculate" orders box corners.
    actor->colObjs[0]->boxMin.y = 9.0f;
    Send(actor, 153);
    EXPECT_EQ(actor->colObjs[0]->boxMin.y, 7.0f);
    EXPECT_EQ(actor->colObjs[0]->boxMax.y, 9.0f);
}

TEST_F(CollisionTest, CollisionEnableTouchesTheDrawGroupOnlyOnChange) {
    RecordingActor *actor = MakeActor();
    Send(actor, 108);
    Send(actor, 145, {true});
    EXPECT_TRUE(g_drawGroupCalls.empty());
    Send(actor, 145, {false});
    EXPECT_EQ(g_drawGroupCalls, (std::vector<std::string>{"leave", "enter"}));
    EXPECT_FALSE(actor->HasFlag(kActorCollisionEnabled));
    EXPECT_EQ(actor->colObjs[0]->flags & kColObjActive, 0u);
    EXPECT_EQ(Query<uint32_t>(actor, 146), 0u);
    Send(actor, 145, {true});
    EXPECT_EQ(actor->colObjs[0]->flags & kColObjActive, kColObjActive);
}

TEST_F(CollisionTest, DeleteCollisionReentersOnlyWhenEntered) {
    RecordingActor *actor = MakeActor();
    Send(actor, 108);
    Send(actor, 110, {"first"});
    Send(actor, 108);
    actor->currentColObj = 0;
    Send(actor, 109);
    ASSERT_EQ(actor->colObjs.size(), 1u);
    EXPECT_EQ(std::tuple(actor->colObjs[0]->name, actor->currentColObj), std::tuple("Object 2", 0));
    // An actor outside its group is not touched.
    EXPECT_EQ(g_drawGroupCalls, std::vector<std::string>{});
    g_drawGroupCalls.clear();
    actor->flags |= kActorInDrawGroup;
    Send(actor, 109);
    EXPECT_TRUE(actor->colObjs.empty());
    EXPECT_EQ(g_drawGroupCalls, (std::vector<std::string>{"leave", "enter"}));
}

TEST_F(CollisionTest, SimulationSettingsMakeTheRecordOnFirstUse) {
    RecordingActor *actor = MakeActor();
    EXPECT_EQ(Query<float>(actor, 313), 1.0f); // gravity multiplier default
    ASSERT_TRUE(actor->simParams);
    EXPECT_EQ(actor->simParams->GetFloat(11), 900.0f);
    Send(actor, 302, {uint32_t(3)});
    EXPECT_EQ(actor->simParams->words[0], 3u);
    Vector3 v{1, 2, 3};
    actor->HandleCommand(306, ParamBlock(&v, sizeof(v)));
    EXPECT_EQ(actor->simParams->GetFloat(4), 3.0f);
    Vector3 w = Query<Vector3>(actor, 309);
    EXPECT_EQ(w.x, 1.0f); // words 5-7 default to 1.0
    float value = 7.5f;
    for (uint32_t id : {304u, 310u, 314u, 316u, 318u, 320u, 322u}) {
        actor->HandleCommand(id, ParamBlock(&value, sizeof(value)));
        EXPECT_EQ(Query<float>(actor, id + 1), 7.5f) << id;
    }
    EXPECT_EQ(actor->simParams->GetFloat(14), 7.5f);
    EXPECT_EQ(actor->simParams->GetFloat(13), 7.5f);
    uint32_t on = 1;
    actor->HandleCommand(324, ParamBlock(&on, sizeof(on)));
    EXPECT_EQ(actor->simParams->words[15], 5u); // bit 2 kept
    EXPECT_EQ(Query<uint32_t>(actor, 325), 1u);
}

TEST_F(CollisionTest, StartSimulateMovesUnderSceneryKeepingTheWorldPlace) {
    auto *scenery = new RecordingActor();
    scenery->actorId = 2;
    scenery->parent = system;
    system->children.push_back(scenery);
    ActorTable[2] = scenery;
    RecordingActor *holder = MakeActor();
    Send(holder, 63, {Vector3{10, 0, 0}});
    RecordingActor *actor = MakeActor(holder);
    Send(actor, 63, {Vector3{1, 2, 3}});
    Send(actor, 139);
    EXPECT_EQ(std::tuple(actor->parent, actor->position.x), std::tuple(scenery, 11.0f));
    EXPECT_EQ(actor->GetWorldPosition().x, 11.0f);
    EXPECT_TRUE(actor->HasFlag(kActorSimulated));
    EXPECT_FALSE(actor->HasFlag(kActorFlag11));
    EXPECT_TRUE(actor->simState && actor->simParams);

    // System actors and roots stay where they are.
    auto *root = new RecordingActor();
    root->actorId = 3;
    root->parent = system;
    system->children.push_back(root);
    ActorTable[3] = root;
    Send(root, 139);
    EXPECT_EQ(root->parent, system);
    Send(scenery, 139);
    EXPECT_EQ(scenery->parent, system);
}

TEST_F(CollisionTest, StopSimulateReportsTheEndOfMotion) {
    RecordingActor *actor = MakeActor();
    Send(actor, 140);
    EXPECT_EQ(actor->Count(328) + actor->Count(330) + actor->Count(331), 0u);
    actor->flags |= kActorSimulated;
    actor->simParams = std::make_unique<SimParams>();
    Send(actor, 140);
    EXPECT_EQ(std::tuple(actor->Count(328), actor->Count(331)), std::tuple(1u, 1u));
    EXPECT_FALSE(actor->HasFlag(kActorSimulated));
    actor->simParams->words[30] = 1;
    Send(actor, 140);
    EXPECT_EQ(actor->Count(330), 1u);
    actor->simParams->words[30] = 2;
    Send(actor, 140);
    actor->simParams->words[30] = 0;
    actor->simParams->words[15] = 0;
    Send(actor, 140);
    EXPECT_EQ(actor->Count(331), 2u);
}

TEST_F(CollisionTest, ForcesUseTheEngineGenerator) {
    RecordingActor *actor = MakeActor();
    Send(actor, 144, {Vector3{1, 0, 0}});
    Send(actor, 144, {Vector3{1, 0, 0}});
    EXPECT_EQ(actor->deltaPosition.x, 2.0f);
    actor->deltaPosition = {0, 0, 0};

    // Forward axis (0, 0, 1) plus a random vector, normalised.
    SeedRand(77);
    Send(actor, 142, {10.0f, 0.5f, 0.25f});
    SeedRand(77);
    float rx = RandomSigned() * 0.5f, ry = RandomSigned() * 0.5f, rz = RandomSigned() * 0.5f;
    float k = 10.0f * (1.0f - RandomUnit() * 0.5f);
    Vector3 d{rx, ry, 1.0f + rz};
    float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    EXPECT_NEAR(actor->deltaPosition.x, d.x / len * k, 1e-4);
    EXPECT_NEAR(actor->deltaPosition.z, d.z / len * k, 1e-4);

    // Towards a target 300 away: decays with the distance.
    RecordingActor *target = MakeActor();
    Send(target, 63, {Vector3{300, 0, 0}});
    actor->deltaPosition = {0, 0, 0};
    SeedRand(5);
    Send(actor, 143, {static_cast<Actor *>(target), 0.5f, 4.0f, 0.0f, 0.0f});
    // v = (3, 0, 0), k = 3: d = (1, 0, 0) / ((3 - 1) * 0.5 + 1) = 0.5.
    EXPECT_NEAR(actor->deltaPosition.x, 2.0f, 1e-5);
    actor->deltaPosition = {0, 0, 0};
    Send(actor, 141, {static_cast<Actor *>(target), 3.0f, 0.0f, 0.0f});
    EXPECT_NEAR(actor->deltaPosition.z, 3.0f, 1e-5);
}

} // namespace
