// Mesh Objects in loaded scenes run through the frame step: only the
// visibility walk updates them, so a mesh in a group the walk misses
// neither animates nor draws; a mesh below a UVAnimation runs on the same
// clock as its room's; "Start Game" plays the meshes set to play.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/uv_animation_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"
#include "support/presentation_items.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;

class MeshObjectScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        ASSERT_TRUE(scene::LoadPresentationItems(*runner.library));
    }
    Actor *Group(const std::string &name, Vector3 min, Vector3 max) {
        Actor *group = builder.Make(kDrawGroupClassId, name);
        SendCommandArgs(group, kSetBoxMin, min);
        SendCommandArgs(group, kSetBoxMax, max);
        return group;
    }
    // A playing "flag" mesh (0.5 s, Forward Loop) at the point.
    Actor *Flag(const std::string &name, Actor *parent, Vector3 at) {
        Actor *mesh = builder.Make(kMeshObjectClassId, name, parent);
        LibraryItem *item = runner.library->GetItemById(scene::kFlagMeshSlot);
        mesh->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&item, sizeof(item)));
        SendCommandArgs(mesh, cmd::mesh_object::SetInitialMeshAnimationPlaying_454, true);
        SendCommandArgs(mesh, kSetPosition, at);
        return mesh;
    }
    static MeshObjectActor *M(const std::string &name) {
        return dynamic_cast<MeshObjectActor *>(scene::SceneBuilder::Find(name));
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
};

TEST_F(MeshObjectScene, OnlyMeshesOfReachedGroupsAnimateAndDraw) {
    Actor *a = Group("RoomA", {-500, -100, -500}, {500, 400, 500});
    Actor *b = Group("RoomB", {500, -100, -500}, {1500, 410, 500});
    builder.Make(kDrawGroupConnectorClassId, "Closed");
    Flag("InA", a, {0, 50, 200});
    Flag("InB", b, {1000, 50, 200});
    Actor *holder = builder.Make(static_cast<int32_t>(kUVAnimationClassId), "Holder", a);
    Flag("InHolder", holder, {100, 50, 200});
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    MeshObjectActor *inA = M("InA"), *inB = M("InB"), *inHolder = M("InHolder");
    ASSERT_TRUE(inA != nullptr && inB != nullptr && inHolder != nullptr);
    // "Start Game" played the meshes set to play.
    EXPECT_EQ(inA->meshFlags & kMeshPlaying, kMeshPlaying);
    EXPECT_EQ(inA->totalTime, 15.0f / 30.0f);

    runner.SetCamera({0, 50, 0});
    const uint32_t queued = runner.library->GetQueuedInstanceCount();
    runner.Step(6);
    EXPECT_FLOAT_EQ(inA->playTime, 6.0f / 60.0f);
    EXPECT_FLOAT_EQ(inHolder->playTime, 6.0f / 60.0f);
    ASSERT_NE(inA->subMeshes[0].instance, nullptr);
    EXPECT_EQ(inA->subMeshes[0].instance->frame, 30.0f * inA->playTime);
    EXPECT_EQ(runner.library->GetQueuedInstanceCount() - queued, 12u);
    // RoomB lies behind a closed portal: no time, no instance.
    EXPECT_EQ(std::tuple(inB->playTime, inB->subMeshes[0].instance),
              std::tuple(0.0f, static_cast<DrawInstance *>(nullptr)));
}

TEST_F(MeshObjectScene, ANewMeshPutsItsObjectsIntoTheGroupsCollisionList) {
    Actor *a = Group("RoomA", {-500, -100, -500}, {500, 400, 500});
    Flag("Crate", a, {0, 50, 200});
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    MeshObjectActor *crate = M("Crate");
    ASSERT_NE(crate, nullptr);
    runner.SetCamera({0, 50, 0});
    runner.Step(3); // the base steps enter it
    ASSERT_TRUE(crate->HasFlag(kActorInDrawGroup));

    LibraryItem *item = runner.library->GetItemById(scene::kTripleMeshSlot);
    ASSERT_EQ(crate->HandleCommand(cmd::mesh_object::SetMesh, ParamBlock(&item, sizeof(item))), 1);
    EXPECT_TRUE(crate->HasFlag(kActorInDrawGroup));
    ASSERT_EQ(crate->colObjs.size(), 3u);
    PointerList<ColObj> &statics =
        GetActorSystem()->StaticColObjs(static_cast<size_t>(crate->drawGroupId));
    for (const auto &object : crate->colObjs) {
        EXPECT_TRUE(statics.Contains(object.get())) << object->type;
    }
}

} // namespace
