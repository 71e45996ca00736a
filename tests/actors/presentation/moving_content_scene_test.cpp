// Matrix Animations, Paths and LOD actors in a loaded scene run through the
// frame step: those in the group that holds the camera advance, move their
// walker and start their level; those behind a closed portal stand still.
#include <gtest/gtest.h>

#include <string>

#include "actors/presentation/lod_actor.h"
#include "actors/presentation/matrix_animation_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/path_actor.h"
#include "actors/world/path_node_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;
constexpr uint32_t kActionStart = 211;

class MovingContentScene : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runner.Ready()); }
    // A room with a turning Matrix Animation, a Path walking "<room>Walker"
    // towards a node 100 units along x, and a LOD whose one level is near.
    void Room(const std::string &name, Vector3 min, Vector3 max, Vector3 centre) {
        Actor *group = builder.Make(kDrawGroupClassId, name);
        SendCommandArgs(group, kSetBoxMin, min);
        SendCommandArgs(group, kSetBoxMax, max);
        Actor *spin = builder.Make(kMatrixAnimationClassId, name + "Spin", group);
        SendCommandArgs(spin, cmd::matrix_animation::SetMatrixAnimPosition, centre);
        SendCommandArgs(spin, cmd::matrix_animation::SetMatrixAnimRotation,
                        Vector3{0.0f, 1.0f, 0.0f});
        Actor *path = builder.Make(kPathClassId, name + "Path", group);
        SendCommandArgs(path, kSetPosition, centre);
        Actor *node = builder.Make(kPathNodeClassId, name + "Node", path);
        SendCommandArgs(node, kSetPosition, Vector3{100.0f, 0.0f, 0.0f});
        builder.Make(0, name + "Walker", path);
        Actor *lod = builder.Make(kLodClassId, name + "Lod", group);
        SendCommandArgs(lod, kSetPosition, centre);
        builder.Make(0, "Lev_1", lod);
        SendCommandArgs(lod, cmd::lod::SetLodLevelCount, 1u);
        SendCommandArgs(lod, cmd::lod::SetLodLevelDistance, 5000.0f);
    }
    template <class T> static T *Find(const std::string &name) {
        return dynamic_cast<T *>(scene::SceneBuilder::Find(name));
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog log;
};

TEST_F(MovingContentScene, OnlyReachedGroupsMove) {
    Room("A", {-500, -100, -500}, {500, 400, 500}, {0, 50, 200});
    Room("B", {500, -100, -500}, {1500, 410, 500}, {1000, 50, 200});
    builder.Make(kDrawGroupConnectorClassId, "Closed");
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    for (const char *lod : {"ALod", "BLod"}) {
        log.Watch(FindChildByName(scene::SceneBuilder::Find(lod), "Lev_1"));
    }
    runner.SetCamera({0, 50, 0});
    runner.Step(30);

    auto *spinA = Find<MatrixAnimationActor>("ASpin");
    auto *spinB = Find<MatrixAnimationActor>("BSpin");
    ASSERT_TRUE(spinA != nullptr && spinB != nullptr);
    EXPECT_NEAR(spinA->time, 0.5f, 1e-4f);
    EXPECT_EQ(spinA->position.z, 200.0f);
    EXPECT_EQ(spinB->time, 0.0f);
    EXPECT_EQ(spinB->rotation.y, 0.0f);

    Actor *walkerA = scene::SceneBuilder::Find("AWalker");
    Actor *walkerB = scene::SceneBuilder::Find("BWalker");
    ASSERT_TRUE(walkerA != nullptr && walkerB != nullptr);
    EXPECT_NEAR(walkerA->position.x, 50.0f, 100.0f / 60.0f + 1e-3f);
    EXPECT_EQ(walkerB->position.x, 0.0f);

    EXPECT_EQ(Find<LodActor>("ALod")->activeLevel, 0);
    EXPECT_EQ(Find<LodActor>("BLod")->activeLevel, -1);
    EXPECT_EQ(log.Count("Lev_1", kActionStart), 1u);
}

} // namespace
