#include "sample_mission2.h"

#include <string>
#include <vector>

#include "actors/characters/aim_target_actor.h"
#include "actors/presentation/light_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "actors/world/timer_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"
#include "sample_actors.h"
#include "sample_ai.h"
#include "sample_guidance.h"
#include "sample_level_parts.h"
#include "sample_output.h"

namespace {

// The side of the exit's square in the yard's corner.
constexpr float kExitSide = 200.0f;

// A Draw Group below "Scenery" with a solid floor box over its width.
Actor *MakeYard(const std::string &name, int32_t &next, float half, float height) {
    Actor *room = MakeSampleActor(kDrawGroupClassId, name, kSceneryRootId, next++);
    if (room == nullptr)
        return nullptr;
    SendCommandArgs(room, cmd::base::SetBoxMin, Vector3{-half - 50.0f, -100.0f, -half - 50.0f});
    SendCommandArgs(room, cmd::base::SetBoxMax, Vector3{half + 50.0f, height, half + 50.0f});
    return room;
}

// The player's start and the spot it looks at.
bool AddStart(Actor *room, int32_t &next, const Vector3 &at, const Vector3 &aim) {
    Actor *start = CreateActor(static_cast<int32_t>(kSpawnPointClassId), "PlayerStart0", nullptr,
                               room, next++, true);
    Actor *spot = CreateActor(static_cast<int32_t>(kAimTargetClassId), "AimSpot", nullptr, room,
                              next++, true);
    if (start == nullptr || spot == nullptr)
        return false;
    SendCommandArgs(start, cmd::spawn_point::SetSpawnpointType, kSpawnTypePlayerStart);
    SendCommandArgs(start, cmd::base::SetPosition, at);
    SendCommandArgs(spot, cmd::base::SetPosition, aim);
    return true;
}

bool AddLamp(Actor *room, int32_t &next, const Vector3 &at, const Vector4 &color, float radius) {
    auto *light = dynamic_cast<LightActor *>(
        CreateActor(static_cast<int32_t>(kLightClassId), "Lamp", nullptr, room, next++, true));
    if (light == nullptr)
        return false;
    light->position = at;
    light->InvalidateTransform();
    SendCommandArgs(light, cmd::light::SetLightType, 0u);
    SendCommandArgs(light, cmd::light::SetDiffuseColor, color);
    SendCommandArgs(light, cmd::base::SetRadius, radius);
    return true;
}

// The floor mesh over the yard, in the named material, with the ground its
// mesh gives.
bool AddFloorMesh(Actor *room, int32_t &next, float scale, const std::string &material) {
    ResourceLibrary *library = GetLibrary();
    auto *floor = dynamic_cast<MeshObjectActor *>(CreateActor(
        static_cast<int32_t>(kMeshObjectClassId), "FloorMesh", nullptr, room, next++, true));
    const int32_t mesh = ResourceLibrary::GetItemIndex(
        library != nullptr ? library->FindItemByName("floor", ItemClass::Mesh) : nullptr);
    const int32_t slot = SampleMaterialSlot(material);
    if (floor == nullptr || floor->subMeshes.size() != 1 || mesh < 0 || slot < 0)
        return false;
    floor->meshFlags &= ~kMeshSyncMaterial;
    floor->meshIndex = static_cast<uint32_t>(mesh);
    floor->subMeshes[0].materialIndex = static_cast<uint32_t>(slot);
    floor->scale = {scale, scale, scale};
    floor->InvalidateTransform();
    return true;
}

} // namespace

bool WriteMission2(SampleOutput &out) {
    const std::string file = "game/Data/Mission_02_Release.qva";
    if (!ResetSampleWorld())
        return out.Fail(file, "cannot make the actor world");
    int32_t next = kFirstMission2Id;
    const float h = kMission2Half;
    Actor *hall = MakeYard("Hall", next, h, 600.0f);
    Actor *solids =
        hall == nullptr ? nullptr : CreateActor(0, "Walls", nullptr, hall, next++, true);
    if (solids == nullptr || !AddFloorMesh(hall, next, h / 1000.0f, "Tile")) {
        return out.Fail(file, "cannot make the hall");
    }
    AddSolidBox(solids, "Ground", {-h, -20.0f, -h}, {h, 0.0f, h});
    const float top = 350.0f;
    const float t = 20.0f;
    const std::vector<std::pair<Slab, const char *>> walls = {
        // The yard's four walls.
        {{{-h, -20.0f, -h}, {h, top, -h + t}}, "Brick"},
        {{{-h, -20.0f, h - t}, {h, top, h}}, "Brick"},
        {{{-h, -20.0f, -h}, {-h + t, top, h}}, "Brick"},
        {{{h - t, -20.0f, -h}, {h, top, h}}, "Brick"},
        // The wall across the middle, open for 400 units at its east end.
        {{{-h, -20.0f, -t / 2}, {h - 400.0f, top * 0.7f, t / 2}}, "Stone"},
        // Cover in the north half: the Lookout's pillar and two crates.
        {{{510.0f, -20.0f, 400.0f}, {590.0f, 220.0f, 480.0f}}, "Metal"},
        {{{-150.0f, -20.0f, 250.0f}, {-50.0f, 80.0f, 350.0f}}, "Wood"},
        {{{100.0f, -20.0f, 550.0f}, {200.0f, 80.0f, 650.0f}}, "Wood"},
    };
    int n = 0;
    for (const auto &[slab, material] : walls) {
        if (!AddWall(hall, solids, "Wall" + std::to_string(n++), next, slab, material)) {
            return out.Fail(file, "cannot make the hall's walls");
        }
    }
    const bool made =
        AddStart(hall, next, {-500.0f, 30.0f, -600.0f}, {-500.0f, 60.0f, -300.0f}) &&
        AddLamp(hall, next, {-400.0f, 300.0f, -400.0f}, {1.0f, 0.9f, 0.7f, 1.0f}, 900.0f) &&
        AddLamp(hall, next, {400.0f, 300.0f, 400.0f}, {0.7f, 0.8f, 1.0f, 1.0f}, 900.0f) &&
        AddExitLook(hall, next, {{-h + t, 0.0f, h - t - kExitSide}, {-h + t + kExitSide, 4.0f, h - t}});
    if (!made)
        return out.Fail(file, "cannot make the start, the lamps or the exit's mark");
    if (!AddHallAI(out, file, hall, next, {600.0f, 30.0f, 200.0f}, {-350.0f, 30.0f, -650.0f})) {
        return false;
    }
    const int32_t exitId = next++;
    const int32_t restartId = next++;
    // The exit fills the corner: its trigger reaches past the square's
    // corners, whichever way the hero walks in. As the last mission's exit it
    // reports index 25: the end, mission 26, starts at once, with no save
    // offer before it.
    const float exitMiddle = h - t - kExitSide / 2.0f;
    return AddBriefing(out, file, hall, next++,
                       "Reach the exit, the green square in the far north-west corner:\n"
                       "the way through the middle wall is at its east end.",
                       "Objective: through the gap at the east end of the wall, then west to the "
                       "green exit.") &&
           AddMissionExit(out, file, hall, exitId, {-exitMiddle, 50.0f, exitMiddle}, 25,
                          kExitSide * 0.75f) &&
           AddMissionRestart(out, file, restartId, "Mission_02_Release.qva") &&
           WriteActorFile(out, file, kFirstMission2Id, static_cast<uint32_t>(next));
}

bool WriteGameEnd(SampleOutput &out) {
    const std::string file = "game/Data/Mission_26_Release.qva";
    if (!ResetSampleWorld())
        return out.Fail(file, "cannot make the actor world");
    int32_t next = kFirstGameEndId;
    Actor *stage = MakeYard("Stage", next, 300.0f, 400.0f);
    Actor *solids =
        stage == nullptr ? nullptr : CreateActor(0, "Walls", nullptr, stage, next++, true);
    if (solids == nullptr || !AddFloorMesh(stage, next, 0.3f, "Wood")) {
        return out.Fail(file, "cannot make the stage");
    }
    AddSolidBox(solids, "Ground", {-300.0f, -20.0f, -300.0f}, {300.0f, 0.0f, 300.0f});
    const std::vector<std::pair<Slab, const char *>> walls = {
        {{{-300.0f, -20.0f, -300.0f}, {300.0f, 300.0f, -280.0f}}, "Stone"},
        {{{-300.0f, -20.0f, -300.0f}, {-280.0f, 300.0f, 300.0f}}, "Stone"},
        {{{280.0f, -20.0f, -300.0f}, {300.0f, 300.0f, 300.0f}}, "Stone"},
        {{{-300.0f, -20.0f, 280.0f}, {300.0f, 300.0f, 300.0f}}, "Stone"},
        {{{-300.0f, 300.0f, -300.0f}, {300.0f, 320.0f, 300.0f}}, "Wood"},
    };
    int n = 0;
    for (const auto &[slab, material] : walls) {
        if (!AddWall(stage, solids, "Wall" + std::to_string(n++), next, slab, material)) {
            return out.Fail(file, "cannot make the stage's walls");
        }
    }
    // The curtain hangs before the far wall, in one piece.
    const bool made =
        AddSlabMeshes(stage, "Curtain", next, {{-240.0f, 60.0f, 250.0f}, {240.0f, 180.0f, 270.0f}},
                      "TheEnd", 1000.0f) &&
        AddStart(stage, next, {0.0f, 30.0f, -150.0f}, {0.0f, 60.0f, 250.0f}) &&
        AddLamp(stage, next, {0.0f, 250.0f, 0.0f}, {1.0f, 0.9f, 0.7f, 1.0f}, 700.0f);
    auto *curtainCall = dynamic_cast<TimerActor *>(CreateActor(
        static_cast<int32_t>(kTimerClassId), "CurtainCall", nullptr, stage, next++, true));
    if (!made || curtainCall == nullptr)
        return out.Fail(file, "cannot make the end");
    SendCommandArgs(curtainCall, cmd::timer::SetTimerType, kTimerForwardOnce);
    SendCommandArgs(curtainCall, cmd::base::SetTotalTime, 9.0f);
    SendCommandArgs(curtainCall, cmd::timer::SetTimerStartActive, 1u);
    // The end shows no head-up display, and the mission clock stops.
    curtainCall->AddKey(0.1f, "hud",
                        "/Global/Inventory.Inventory_Hack(10); "
                        "/Global/Inventory/MissionTime.Stop_Timer();");
    curtainCall->AddKey(8.0f, "title",
                        "sys.New_Game(\"Data/Title.qva\", \"Data/TitleStage.qva\");");
    if (!WriteActorFile(out, file, kFirstGameEndId, static_cast<uint32_t>(next)))
        return false;

    // The title's scene: nothing but a room, which the title's menu covers.
    const std::string title = "game/Data/TitleStage.qva";
    if (!ResetSampleWorld())
        return out.Fail(title, "cannot make the actor world");
    int32_t stageId = kFirstGameEndId + 190;
    if (MakeYard("TitleRoom", stageId, 100.0f, 200.0f) == nullptr) {
        return out.Fail(title, "cannot make the title's room");
    }
    return WriteActorFile(out, title, kFirstGameEndId + 190, static_cast<uint32_t>(stageId));
}
