// The game-layer fixture itself: a stepped frame runs the scheduled
// commands and the collision pass, spy logs keep their order, the recorder
// standing in for the front end answers, the scripted skin serves its
// motions and bones, a fed key reads as pressed in its frame, and the
// frame's screen layers are kept as they were drawn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "library/skeleton.h"
#include "platform/input.h"
#include "support/game_fixture.h"

namespace {


class GameFixtureTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runner.Ready()); }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass walls{12};
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
};

TEST_F(GameFixtureTest, FramesRunScheduleAndCollisionsAndTheDoublesAnswer) {
    Actor *room = game::Room(builder, "RoomA", {-500, -100, -500}, {500, 400, 500});
    game::BoxWall(builder, "Floor", {-400, -20, -400}, {400, 0, 400}, room);
    game::SpawnPoint(builder, "PlayerStart0", {0, 30, 0}, 1, room);
    game::PathNode(builder, "Node", {100, 0, 0}, room);
    Actor *wall = builder.Make(12, "Wall", room);
    ColObj box(wall);
    box.name = "Wall";
    box.flags = kColObjActive | kColObjSolid | kColObjTakesEvents;
    box.boxMin = {60, 0, -50};
    box.boxMax = {80, 100, 50};
    wall->AddColObj(box);
    game::MakeCharacter(builder, "Hero", {30, 30, 0}, room);
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    auto *hero = dynamic_cast<CharacterActor *>(scene::SceneBuilder::Find("Hero"));
    auto *recorder = dynamic_cast<game::Recorder *>(scene::SceneBuilder::Find("Wall"));
    auto *skin = dynamic_cast<game::ScriptedSkin *>(FindChildByName(hero, "Skin"));
    ASSERT_TRUE(hero != nullptr && recorder != nullptr && skin != nullptr);
    EXPECT_EQ(hero->FindOwnColObj("Chest"), 1);
    EXPECT_EQ(hero->colObjs[2]->flags & kColObjActive, 0u);
    for (const char *holder : {"Items", "LeftHand", "RightHand"}) {
        EXPECT_NE(FindChildByName(hero, holder), nullptr) << holder;
    }

    // A delayed command runs in its frame; the hero walks into the wall and
    // the collision pass tells the wall.
    recorder->ScheduleCommand(42, ParamBlock(), 0x200, 1.5f / 60.0f, 0.0f, 0.0f);
    scene::SpyLog spies;
    spies.Watch(recorder);
    spies.Watch(hero);
    runner.preStep = [&](uint32_t) { SendCommandArgs(hero, cmd::base::PositionAdd,
                                                     Vector3{10, 0, 0}); };
    runner.SetCamera({0, 50, -300});
    const uint32_t start = FrameCounter;
    runner.Step(4);
    ASSERT_EQ(recorder->Of(42).size(), 1u);
    EXPECT_EQ(recorder->Of(42)[0].frame, start + 2);
    ASSERT_FALSE(recorder->Of(cmd::base::CollisionEvent).empty());
    const std::vector<std::string> touches = spies.Of(cmd::base::CollisionEvent);
    ASSERT_FALSE(touches.empty());
    EXPECT_EQ(spies.Of(42), (std::vector<std::string>{std::to_string(start + 2) + " Wall"}));
    for (size_t i = 1; i < spies.notices.size(); ++i) {
        EXPECT_LE(spies.notices[i - 1].frame, spies.notices[i].frame);
    }

    // The front end at 16 answers its queries.
    game::Recorder *front = game::MakeFrontEnd();
    ASSERT_NE(front, nullptr);
    uint32_t visible = 0;
    SendCommand(kInventoryActorId, 457, ParamBlock(&visible, sizeof(visible)));
    EXPECT_EQ(visible, 1u);
    EXPECT_EQ(front->Ids().back(), 457u);

    // The skin: motions, bones and the callbacks to its character.
    game::Recorder probe;
    std::vector<std::string> names;
    void *listPointer = &names;
    skin->HandleCommand(1096, ParamBlock(&listPointer, sizeof(listPointer)));
    EXPECT_EQ(names, skin->motions);
    spies.Take();
    EXPECT_EQ(SendCommandArgs(skin, 1097, "Nothing"), 0);
    EXPECT_EQ(SendCommandArgs(skin, 1097, "R_Forward"), 1);
    EXPECT_EQ(SendCommandArgs(skin, 1097, "R_Forward"), 1);
    skin->SendLooping(0);
    EXPECT_EQ(spies.Of(1122).size(), 1u);
    EXPECT_EQ(spies.Of(1121).size(), 1u);
    EXPECT_EQ(skin->Of(267).size(), 1u);
    skin->missingBones.insert("Head");
    struct {
        const char *name;
        Bone *bone;
    } ask{"Neck", nullptr};
    skin->HandleCommand(1120, ParamBlock(&ask, sizeof(ask)));
    EXPECT_EQ(ask.bone, GetSkeletonBone(skin->skeleton, 4));
    ask = {"Head", nullptr};
    skin->HandleCommand(1120, ParamBlock(&ask, sizeof(ask)));
    EXPECT_EQ(ask.bone, nullptr);
}

TEST_F(GameFixtureTest, AFedKeyReadsAsPressedInItsFrameAndTheFramesLayersAreKept) {
    game::ScriptedKeys keys(runner);
    ASSERT_TRUE(builder.Load());
    auto *material =
        static_cast<MaterialItem *>(runner.library->FindItemByName("Default", ItemClass::Material));
    ASSERT_NE(material, nullptr);
    runner.preStep = [&](uint32_t) {
        runner.library->QueueRect(10.0f, 20.0f, 30.0f, 40.0f, 1.0f, 1.0f, 1.0f, 1.0f, material);
    };
    runner.Step();
    EXPECT_EQ(runner.frameLayers.quads.size(), 1u);
    runner.preStep = nullptr;
    keys.Key('W', true);
    runner.Step();
    EXPECT_TRUE(runner.frameLayers.quads.empty());
    EXPECT_EQ(std::tuple(InputPressed('W'), InputDown('W')), std::tuple(1, 1));
    runner.Step();
    EXPECT_EQ(std::tuple(InputPressed('W'), InputDown('W')), std::tuple(0, 1));
    keys.Key('W', false);
    runner.Step();
    EXPECT_EQ(std::tuple(InputReleased('W'), InputDown('W')), std::tuple(1, 0));
}

} // namespace
