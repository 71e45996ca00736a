// The presentation actors of a room behind a closed door stand still while
// the walk never reaches them, and run from the frame the door opens without
// making up the frames they missed: a smoke emitter, a turning Matrix
// Animation, an Animation playing a motion on its children and a Path
// walking its mover.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "actors/presentation/animation_actor.h"
#include "actors/presentation/matrix_animation_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/particle_system_actor.h"
#include "actors/world/door_actor.h"
#include "actors/world/path_actor.h"
#include "actors/world/path_node_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "support/scene_harness.h"
#include "support/skin_items.h"
#include "support/two_rooms_scene.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetPlayOnStart = 260;
constexpr uint32_t kSetMotion = 1097;

TEST(UnseenRoomScene, NothingAdvancesUntilTheDoorOpens) {
    scene::SceneRunner runner;
    ASSERT_TRUE(runner.Ready());
    ASSERT_TRUE(skintest::LoadSkinItems(*runner.library));
    // The emitter draws its quads on the one sub-mesh record of "cube".
    auto *cube = dynamic_cast<MeshItem *>(runner.library->FindItemByName("cube", ItemClass::Mesh));
    ASSERT_NE(cube, nullptr);
    cube->subsetSettings.resize(1);
    cube->subsetSettings[0].word1 = kDefaultMaterialSlot;
    scene::SceneBuilder builder;
    std::string error;
    ASSERT_TRUE(scene::BuildTwoRooms(builder, {false, false, 0.0f}, &error)) << error;
    Actor *roomB = FindActorByName("RoomB", -1);
    // The camera looks along +x at the closed door.
    FindActorByName("Cam", -1)->rotation = {0.0f, 0.70710678f, 0.0f, 0.70710678f};

    Actor *smoke = builder.Make(kParticleSystemClassId, "Smoke", roomB);
    SendCommandArgs(smoke, kSetPosition, Vector3{800, 50, 0});
    SendCommandArgs(smoke, cmd::particle_system::SetParticleType, 1u);
    Actor *spin = builder.Make(kMatrixAnimationClassId, "Spin", roomB);
    SendCommandArgs(spin, cmd::matrix_animation::SetMatrixAnimPosition, Vector3{1000, 100, 200});
    SendCommandArgs(spin, cmd::matrix_animation::SetMatrixAnimRotation,
                    Vector3{0.0f, 3.1415927f, 0.0f});
    builder.Make(kMeshObjectClassId, "SpinCube", spin);
    Actor *rig = builder.Make(kAnimationClassId, "Rig", roomB);
    for (const char *track : {"Bip01", "Spine1", "Head"}) builder.Make(0, track, rig);
    SendCommandArgs(rig, kSetPlayOnStart, true);
    SendCommandArgs(rig, kSetMotion, std::string("N_Neutral"));
    Actor *path = builder.Make(kPathClassId, "Route", roomB);
    SendCommandArgs(path, kSetPosition, Vector3{1000, 50, -200});
    SendCommandArgs(path, cmd::path::SetPathSpeed, 100.0f);
    Actor *node = builder.Make(kPathNodeClassId, "Node", path);
    SendCommandArgs(node, kSetPosition, Vector3{200, 0, 0});
    builder.Make(0, "Mover", path);
    ASSERT_TRUE(builder.Load(&error)) << error;

    auto *smokeNow = dynamic_cast<ParticleSystemActor *>(scene::SceneBuilder::Find("Smoke"));
    auto *spinNow = dynamic_cast<MatrixAnimationActor *>(scene::SceneBuilder::Find("Spin"));
    auto *rigNow = dynamic_cast<AnimationActor *>(scene::SceneBuilder::Find("Rig"));
    Actor *mover = scene::SceneBuilder::Find("Mover");
    ASSERT_TRUE(smokeNow != nullptr && spinNow != nullptr && rigNow != nullptr && mover != nullptr);
    auto live = [smokeNow] {
        return smokeNow->SlotCount() - static_cast<uint32_t>(smokeNow->freeIndices.size());
    };
    runner.Step(60);
    EXPECT_EQ(live(), 0u);
    EXPECT_EQ(spinNow->time, 0.0f);
    EXPECT_EQ(rigNow->currentTime, 0.0f);
    EXPECT_EQ(mover->position.x, 0.0f);

    SendCommandArgs(scene::SceneBuilder::Find("GA5_Door"), cmd::door::OpenDoor_768);
    uint32_t most = 0;
    for (int i = 0; i < 60; ++i) {
        runner.Step();
        most = std::max(most, live());
    }
    const float frame = 1.0f / 60.0f;
    EXPECT_NEAR(spinNow->time, 1.0f, frame + 1e-3f);
    const float yaw = 2.0f * std::atan2(std::fabs(spinNow->rotation.y), std::fabs(spinNow->rotation.w));
    EXPECT_NEAR(yaw, 3.1415927f, 3.1415927f * frame + 1e-3f);
    EXPECT_GE(live(), 7u);
    EXPECT_LE(live(), 9u);
    EXPECT_LE(most, 20u);
    EXPECT_NEAR(std::fmod(rigNow->currentTime, rigNow->totalTime), 1.0f, frame + 1e-3f);
    EXPECT_NEAR(mover->position.x, 100.0f, 100.0f * frame + 1e-2f);
}

} // namespace
