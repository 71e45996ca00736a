// Spawn points in loaded scenes: a warp box made while the point is entered
// in its room joins the room's collision list (and leaves it again), and the
// collision pass brings the master character that touches it back onto the
// point.
#include <gtest/gtest.h>

#include <string>

#include "actors/world/draw_group_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "support/scene_harness.h"
#include "support/test_character.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;

class SpawnPointScene : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runner.Ready()); }

    Actor *Room() {
        Actor *group = builder.Make(kDrawGroupClassId, "RoomA");
        SendCommandArgs(group, kSetBoxMin, Vector3{-500, -100, -500});
        SendCommandArgs(group, kSetBoxMax, Vector3{500, 400, 500});
        return group;
    }
    static Actor *A(const std::string &name) { return scene::SceneBuilder::Find(name); }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
};

TEST_F(SpawnPointScene, WarpBoxesFollowTheRoomsCollisionList) {
    Actor *room = Room();
    Actor *point = builder.Make(kSpawnPointClassId, "Warp", room);
    SendCommandArgs(point, kSetPosition, Vector3{0, 50, 300});
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    point = A("Warp");
    ASSERT_NE(point, nullptr);
    runner.SetCamera({0, 50, 0});
    runner.Step(3);
    ASSERT_TRUE(point->HasFlag(kActorInDrawGroup));
    ASSERT_GE(point->drawGroupId, 0);
    PointerList<ColObj> &statics =
        GetActorSystem()->StaticColObjs(static_cast<size_t>(point->drawGroupId));

    EXPECT_EQ(SendCommandArgs(point, cmd::spawn_point::SetSpawnpointType, kSpawnTypeWarp), 1);
    ASSERT_EQ(point->colObjs.size(), 1u);
    EXPECT_TRUE(point->HasFlag(kActorInDrawGroup));
    EXPECT_TRUE(statics.Contains(point->colObjs[0].get()));

    EXPECT_EQ(SendCommandArgs(point, cmd::spawn_point::SetSpawnpointType, kSpawnTypeSpawn), 1);
    EXPECT_TRUE(point->colObjs.empty());
    EXPECT_TRUE(point->HasFlag(kActorInDrawGroup));
    size_t left = 0;
    for (ColObj *object : statics.Items()) {
        left += object->owner == point ? 1 : 0;
    }
    EXPECT_EQ(left, 0u);
}

TEST_F(SpawnPointScene, TheMasterCharacterTouchingTheWarpBoxIsPutBack) {
    testcharacter::TestCharacterClass characters;
    Actor *room = Room();
    Actor *point = builder.Make(kSpawnPointClassId, "Warp", room);
    SendCommandArgs(point, kSetPosition, Vector3{0, 50, 300});
    SendCommandArgs(point, cmd::spawn_point::SetSpawnpointType, kSpawnTypeWarp);
    auto *hero = static_cast<testcharacter::TestCharacter *>(
        builder.Make(testcharacter::kCharacterClassId, "Hero", room));
    hero->AddCharacterCol();
    SendCommandArgs(hero, kSetPosition, Vector3{60, 50, 300});
    auto *other = static_cast<testcharacter::TestCharacter *>(
        builder.Make(testcharacter::kCharacterClassId, "Other", room));
    other->AddCharacterCol();
    SendCommandArgs(other, kSetPosition, Vector3{-60, 50, 300});
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    hero = static_cast<testcharacter::TestCharacter *>(A("Hero"));
    other = static_cast<testcharacter::TestCharacter *>(A("Other"));
    ASSERT_TRUE(hero != nullptr && other != nullptr);
    hero->SetMaster(true);
    other->SetMaster(false);
    for (Actor *character : {static_cast<Actor *>(hero), static_cast<Actor *>(other)}) {
        character->colObjs[0]->flags |= kColObjCausesEvents;
    }
    // Both walk towards -x; inside the box the hero is put back every frame.
    runner.preStep = [&](uint32_t) {
        SendCommandArgs(hero, 78, Vector3{-1, 0, 0});
        SendCommandArgs(other, 78, Vector3{-1, 0, 0});
    };
    runner.SetCamera({0, 50, 0});
    runner.Step(3);
    EXPECT_FLOAT_EQ(hero->position.x, 0.0f);
    EXPECT_FLOAT_EQ(hero->position.y, 50.0f);
    EXPECT_FLOAT_EQ(hero->position.z, 300.0f);
    EXPECT_LT(other->position.x, -60.0f); // not the master: walks on
    EXPECT_GT(other->position.x, -64.0f);
}

} // namespace
