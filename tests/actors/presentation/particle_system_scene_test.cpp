// A Particle System in a loaded scene run through the frame step: it
// advances only in the frames its group is reached and drawn, by that
// frame's delta alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "actors/presentation/particle_system_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;

TEST(ParticleSystemScene, SmokeEmitsOnlyWhileItsGroupIsDrawn) {
    scene::SceneRunner runner;
    ASSERT_TRUE(runner.Ready());
    scene::SceneBuilder builder;
    const struct {
        const char *name;
        Vector3 min, max;
    } rooms[] = {{"RoomA", {-500, -100, -500}, {500, 400, 500}},
                 {"RoomB", {500, -100, -500}, {1500, 410, 500}}};
    Actor *roomB = nullptr;
    for (const auto &room : rooms) {
        roomB = builder.Make(kDrawGroupClassId, room.name);
        SendCommandArgs(roomB, kSetBoxMin, room.min);
        SendCommandArgs(roomB, kSetBoxMax, room.max);
    }
    builder.Make(kDrawGroupConnectorClassId, "Closed");
    Actor *made = builder.Make(kParticleSystemClassId, "Smoke", roomB);
    SendCommandArgs(made, kSetPosition, Vector3{1000, 50, 200});
    SendCommandArgs(made, cmd::particle_system::SetParticleType, 1u);
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    auto *smoke = dynamic_cast<ParticleSystemActor *>(scene::SceneBuilder::Find("Smoke"));
    ASSERT_NE(smoke, nullptr);
    ASSERT_EQ(smoke->typeIndex, 1u);
    auto live = [smoke] {
        return smoke->SlotCount() - static_cast<uint32_t>(smoke->freeIndices.size());
    };

    // From RoomA the walk never reaches RoomB: nothing is built or emitted.
    runner.SetCamera({0, 50, 0});
    runner.Step(60);
    EXPECT_EQ(live(), 0u);
    EXPECT_EQ(smoke->emitAccumulator, 0.0f);

    // In RoomB: 8 a second at 1/60 s steps, the unseen second not made up.
    runner.SetCamera({1000, 50, 0});
    uint32_t most = 0;
    for (int frame = 0; frame < 60; ++frame) {
        runner.Step();
        most = std::max(most, live());
    }
    EXPECT_TRUE(smoke->IsBuilt());
    EXPECT_GE(live(), 7u);
    EXPECT_LE(live(), 9u);
    EXPECT_LE(most, 20u);
}

// The emitter draws its quads on the one sub-mesh record it was made with,
// whatever number of subsets the library's "cube" has: loaded, it keeps the
// record and the material chosen for it, and emits.
TEST(ParticleSystemScene, ALoadedEmitterKeepsItsRecordOnACubeOfAnySubsetCount) {
    constexpr uint32_t kWhiteAddSlot = 5;
    for (const size_t subsets : {size_t{2}, size_t{0}}) {
        SCOPED_TRACE(subsets);
        scene::SceneRunner runner;
        ASSERT_TRUE(runner.Ready());
        auto *cube = dynamic_cast<MeshItem *>(runner.library->GetItemById(kDefaultMeshSlot));
        ASSERT_NE(cube, nullptr);
        cube->subsetSettings.resize(subsets);
        for (SubsetSettings &subset : cube->subsetSettings) {
            subset.word1 = kDefaultMaterialSlot;
        }
        scene::SceneBuilder builder;
        Actor *room = builder.Make(kDrawGroupClassId, "Room");
        SendCommandArgs(room, kSetBoxMin, Vector3{-500, -100, -500});
        SendCommandArgs(room, kSetBoxMax, Vector3{500, 400, 500});
        builder.Make(kDrawGroupConnectorClassId, "Closed");
        Actor *made = builder.Make(kParticleSystemClassId, "Smoke", room);
        SendCommandArgs(made, kSetPosition, Vector3{0, 50, 200});
        SendCommandArgs(made, cmd::particle_system::SetParticleType, 1u);
        ASSERT_EQ(SendCommandArgs(made, cmd::mesh_object::SetMaterial_447, std::string("whiteadd")),
                  1);
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        auto *smoke = dynamic_cast<ParticleSystemActor *>(scene::SceneBuilder::Find("Smoke"));
        ASSERT_NE(smoke, nullptr);
        ASSERT_EQ(smoke->subMeshes.size(), 1u);
        EXPECT_EQ(smoke->subMeshes[0].materialIndex, kWhiteAddSlot);

        runner.SetCamera({0, 50, 0});
        runner.Step(60);
        EXPECT_TRUE(smoke->IsBuilt());
        EXPECT_GE(smoke->SlotCount() - static_cast<uint32_t>(smoke->freeIndices.size()), 7u);
    }
}

} // namespace
