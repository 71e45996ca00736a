#include "sample_mission1.h"

#include <algorithm>
#include <string>
#include <vector>

#include "actors/characters/game_object_actor.h"
#include "actors/characters/guard_actor.h"
#include "actors/presentation/light_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/particle_system_actor.h"
#include "actors/world/door_actor.h"
#include "actors/world/path_node_actor.h"
#include "actors/world/trigger_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "end_to_end_folder.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "sample_actors.h"
#include "sample_ai.h"
#include "sample_guidance.h"
#include "sample_hero.h"
#include "sample_hud.h"
#include "sample_level_parts.h"
#include "sample_missions.h"
#include "sample_output.h"
#include "sample_weapon.h"

namespace {

const std::string kFile = "game/Data/Mission_01_Release.qva";

const char *const kObjectiveFindKey =
    "Objective: find the key in this room's north-west corner,\n"
    "then go through the north door to the exit.";
const char *const kObjectiveWithKey =
    "Objective: go through the door in the north wall to the green exit square.";

constexpr float kWallTop = 300.0f;
constexpr float kThick = 20.0f;
// The doorway between RoomA and RoomC and the opening between RoomA and
// RoomB; the lintels fill the wall above them.
constexpr float kDoorHalf = 60.0f;
constexpr float kOpeningHalf = 100.0f;
constexpr float kLintel = 220.0f;

Actor *Room(const char *name) { return FindChildByName(GetActorById(kSceneryRootId), name); }

// The walls, ceiling and floor look of one room. `walls` lists its wall
// slabs; the ceiling covers the room's floor at kWallTop.
struct RoomPlan {
    const char *room;
    const char *floorMesh;
    const char *wallMaterial;
    const char *floorMaterial;
    float minX, maxX, minZ, maxZ;
    std::vector<Slab> walls;
};

std::vector<RoomPlan> Plans() {
    const float y0 = -20.0f;
    const float y1 = kWallTop + kThick;
    const float t = kThick;
    return {
        {"RoomA",
         "FloorA",
         "Stone",
         "Wood",
         -500,
         500,
         -500,
         500,
         {// west, south
          {{-500, y0, -500}, {-500 + t, y1, 500}},
          {{-500, y0, -500}, {500, y1, -500 + t}},
          // east, with the opening to RoomB and its lintel
          {{500 - t, y0, -500}, {500, y1, -kOpeningHalf}},
          {{500 - t, y0, kOpeningHalf}, {500, y1, 500}},
          {{500 - t, kLintel, -kOpeningHalf}, {500, y1, kOpeningHalf}},
          // north, with the doorway to RoomC and its lintel
          {{-500, y0, 500 - t}, {-kDoorHalf, y1, 500}},
          {{kDoorHalf, y0, 500 - t}, {500, y1, 500}},
          {{-kDoorHalf, kLintel, 500 - t}, {kDoorHalf, y1, 500}}}},
        {"RoomB",
         "FloorB",
         "Metal",
         "Stone",
         500,
         1500,
         -500,
         500,
         {{{500, y0, -500}, {1500, y1, -500 + t}},
          {{500, y0, 500 - t}, {1500, y1, 500}},
          {{1500 - t, y0, -500}, {1500, y1, 500}},
          {{500, y0, -500}, {500 + t, y1, -kOpeningHalf}},
          {{500, y0, kOpeningHalf}, {500 + t, y1, 500}},
          {{500, kLintel, -kOpeningHalf}, {500 + t, y1, kOpeningHalf}},
          // The dungeon cell in the south-east corner: its north wall and
          // its west wall with a way out.
          {{1200, y0, -240}, {1500, y1, -220}},
          {{1200, y0, -500}, {1220, y1, -400}},
          {{1200, y0, -320}, {1220, y1, -220}}}},
        {"RoomC",
         "FloorC",
         "Wood",
         "Stone",
         -500,
         500,
         500,
         1500,
         {{{-500, y0, 500}, {-500 + t, y1, 1500}},
          {{500 - t, y0, 500}, {500, y1, 1500}},
          {{-500, y0, 1500 - t}, {500, y1, 1500}},
          {{-500, y0, 500}, {-kDoorHalf, y1, 500 + t}},
          {{kDoorHalf, y0, 500}, {500, y1, 500 + t}},
          {{-kDoorHalf, kLintel, 500}, {kDoorHalf, y1, 500 + t}}}},
    };
}

bool AddRoomShell(const RoomPlan &plan, int32_t &next) {
    Actor *room = Room(plan.room);
    if (room == nullptr)
        return false;
    Actor *solids = CreateActor(0, "Walls", nullptr, room, next++, true);
    if (solids == nullptr)
        return false;
    int n = 0;
    for (const Slab &wall : plan.walls) {
        if (!AddWall(room, solids, std::string("Wall") + std::to_string(n++), next, wall,
                     plan.wallMaterial)) {
            return false;
        }
    }
    const Slab ceiling = {{plan.minX, kWallTop, plan.minZ},
                          {plan.maxX, kWallTop + kThick, plan.maxZ}};
    if (!AddWall(room, solids, "Ceiling", next, ceiling, "Stone"))
        return false;
    // The floor mesh keeps its ground; it wears the room's floor material.
    auto *floor = dynamic_cast<MeshObjectActor *>(FindChildByName(room, plan.floorMesh));
    const int32_t slot = SampleMaterialSlot(plan.floorMaterial);
    if (floor == nullptr || floor->subMeshes.empty() || slot < 0)
        return false;
    floor->meshFlags &= ~kMeshSyncMaterial;
    for (SubMeshRecord &sub : floor->subMeshes)
        sub.materialIndex = static_cast<uint32_t>(slot);
    return true;
}

// The level's pieces that stood against the south walls step into the
// rooms by the walls' thickness and more.
bool MoveOffTheWalls() {
    for (const char *name : {"ShelterB1", "ShelterB2", "PillarB", "Companion", "CompanionFloor",
                             "Watcher", "Cupboard", "TrapWire"}) {
        Actor *actor = FindDescendantByName(GetActorById(kSceneryRootId), name);
        if (actor == nullptr)
            return false;
        Vector3 at = actor->position;
        at.z += 60.0f;
        SendCommandArgs(actor, cmd::base::SetPosition, at);
    }
    // The Lookout keeps watch over RoomB from its north-west corner, on a
    // ground of its own, beyond the sight of the guard on its round (the
    // dungeon cell stays empty).
    Actor *lookout = FindDescendantByName(GetActorById(kSceneryRootId), "Lookout");
    Actor *ground = FindDescendantByName(GetActorById(kSceneryRootId), "LookoutFloor");
    if (lookout == nullptr || ground == nullptr || ground->colObjs.empty())
        return false;
    SendCommandArgs(lookout, cmd::base::SetPosition, Vector3{640.0f, 30.0f, 420.0f});
    ground->colObjs[0]->boxMin = {580.0f, -20.0f, 370.0f};
    ground->colObjs[0]->boxMax = {700.0f, 0.0f, 470.0f};
    return true;
}

// The follow camera hangs some 190 behind the hero, over his head and over the
// crates' tops: along RoomA's west wall, the way north, and along its north
// wall, the way from the key to the door, a crate close before it would
// hide him. The pieces that stood there stand off the way, and so does the
// spawn point that drops a crate on the way north. The file's prop no
// longer stands in the crate of the texture check, each top through the
// other; the campfire burns clear of the weapon panel as the mission
// starts.
bool ClearTheWay() {
    const struct {
        const char *name;
        Vector3 at;
    } moves[] = {{"CrateA", {0.0f, 50.0f, 130.0f}},  {"UVHolder", {-170.0f, 0.0f, 130.0f}},
                 {"Props", {220.0f, 0.0f, -90.0f}},  {"Rig", {60.0f, 0.0f, -300.0f}},
                 {"SP", {-100.0f, 0.0f, -100.0f}},   {"Campfire", {120.0f, 0.0f, 380.0f}}};
    for (const auto &move : moves) {
        Actor *actor = FindChildByName(Room("RoomA"), move.name);
        if (actor == nullptr)
            return false;
        SendCommandArgs(actor, cmd::base::SetPosition, move.at);
    }
    return true;
}

// Level1's crates and big spheres stand in the rooms as the hero finds
// them, but the cube gives its pieces no collision and the sphere's mesh is
// a shape no collision query meets (the lit pair takes none at all): the
// hero would walk through them and the follow camera's probe pass into them.
// Each gets a solid box or sphere of its own size instead, which stops the
// hero and pulls the camera in before it.
bool MakeShowpiecesSolid() {
    const struct {
        const char *name;
        bool sphere;
    } pieces[] = {{"CrateA", false}, {"CrateUV", false}, {"CrateB", false},    {"CrateC", false},
                  {"LitNear", true}, {"LitFar", true},   {"GA32_Beacon", true}};
    constexpr float kHalf = 50.0f; // the cube's half side and the sphere's radius
    for (const auto &piece : pieces) {
        auto *mesh = dynamic_cast<MeshObjectActor *>(
            FindDescendantByName(GetActorById(kSceneryRootId), piece.name));
        if (mesh == nullptr)
            return false;
        mesh->meshFlags &= ~kMeshSyncCollision;
        ColObj solid(mesh);
        solid.name = "Solid";
        solid.type = piece.sphere ? 1 : 2;
        const float half = kHalf * mesh->scale.x;
        solid.boxMin = piece.sphere ? Vector3{0.0f, 0.0f, 0.0f} : Vector3{-half, -half, -half};
        solid.boxMax = {half, half, half};
        mesh->AddColObj(solid);
    }
    return true;
}

// The door to RoomC is a portcullis that rises once the key is found:
// picking the key up unlocks it and raises it, so that it stands open by
// the time the hero comes to it (the camera behind him would meet the
// rising leaf), and brings the trigger before the door into reach, which
// raises it as well; its rising clears the blocks that hold the doorway
// shut.
bool AddLockedDoor(int32_t &next) {
    Actor *door = GetActorById(3060);
    Actor *roomA = Room("RoomA");
    Actor *roomC = Room("RoomC");
    Actor *key = FindDescendantByName(roomA, "Key");
    Actor *old = FindChildByName(roomA, "T");
    if (door == nullptr || door->classId != static_cast<int32_t>(kDoorClassId) ||
        roomC == nullptr || key == nullptr || old == nullptr || DeleteActor(old) == 0) {
        return false;
    }
    // Sliding: set by the field, since "Set Door Type" makes the children
    // anew (and drops the connector).
    static_cast<DoorActor *>(door)->doorType = kDoorSingleSide;
    SendCommandArgs(door, cmd::door::SetDoorAxis_758, 4u); // along y
    SendCommandArgs(door, cmd::door::SetOpenAngle, 0.0f);
    SendCommandArgs(door, cmd::door::SetOpenLength, 210.0f);
    SendCommandArgs(door, cmd::door::SetDoorOpenTime, 2.0f);
    SendCommandArgs(door, cmd::door::SetDoorAutoclose, false);
    SendCommandArgs(door, cmd::door::SetLockgroup, 1u);
    SendCommandArgs(door, cmd::door::SetLockLocked, true);
    SendCommandArgs(door, cmd::door::SetLockTime, 1000.0f);
    Actor *leaf = FindChildByName(door, "Door_1");
    auto *leafMesh = dynamic_cast<MeshObjectActor *>(leaf);
    const int32_t metal = SampleMaterialSlot("Metal");
    if (leafMesh == nullptr || leafMesh->subMeshes.empty() || metal < 0)
        return false;
    leafMesh->meshFlags &= ~kMeshSyncMaterial;
    leafMesh->subMeshes[0].materialIndex = static_cast<uint32_t>(metal);

    // In the walls' planes, so that a hero walking along the wall passes.
    const Slab blockA = {{-kDoorHalf, -20.0f, 500.0f - kThick}, {kDoorHalf, kLintel, 500.0f}};
    const Slab blockC = {{-kDoorHalf, -20.0f, 500.0f}, {kDoorHalf, kLintel, 500.0f + kThick}};
    if (AddSolidSlabs(roomA, "DoorBlockA", next++, &blockA, 1) == nullptr ||
        AddSolidSlabs(roomC, "DoorBlockC", next++, &blockC, 1) == nullptr) {
        return false;
    }
    std::string error;
    if (!AddSampleScript(door, "cleared", cmd::door::OnDoorOpen,
                         "/Scenery/RoomA/DoorBlockA.Delete(); /Scenery/RoomC/DoorBlockC.Delete();",
                         &error)) {
        return false;
    }
    // Out of reach below the floor until the key is taken.
    Actor *trigger = CreateActor(static_cast<int32_t>(kTriggerClassId), "DoorTrigger", nullptr,
                                 roomA, next++, true);
    if (trigger == nullptr || trigger->colObjs.empty())
        return false;
    SendCommandArgs(trigger, cmd::base::SetPosition, Vector3{0.0f, -1000.0f, 400.0f});
    SendCommandArgs(trigger, cmd::trigger::SetTriggerRadius, 90.0f);
    trigger->colObjs[0]->receiveGroups = 1u << 16;
    trigger->scripts.clear();
    if (!AddSampleScript(trigger, "open", cmd::trigger::OnTriggerEnter, "[ga]GA5.Open_Door();",
                         &error)) {
        return false;
    }
    // Before the key is found, coming to the door says it is locked.
    Actor *locked = CreateActor(static_cast<int32_t>(kTriggerClassId), "LockedDoor", nullptr,
                                roomA, next++, true);
    if (locked == nullptr || locked->colObjs.empty())
        return false;
    SendCommandArgs(locked, cmd::base::SetPosition, Vector3{0.0f, 50.0f, 400.0f});
    SendCommandArgs(locked, cmd::trigger::SetTriggerRadius, 110.0f);
    locked->colObjs[0]->receiveGroups = 1u << 16;
    locked->scripts.clear();
    if (!AddSampleScript(locked, "locked", cmd::trigger::OnTriggerEnter,
                         ShowNotice("The door is locked. Its key lies in the north-west corner,\n"
                                    "to the left of this door."),
                         &error)) {
        return false;
    }
    // The key lies in RoomA's north-west corner, far from the door. Taken,
    // it chimes, shows beside the weapon panel and says where it leads.
    SendCommandArgs(key, cmd::base::SetPosition, Vector3{-440.0f, 20.0f, 440.0f});
    return AddSampleScript(key, "found", cmd::game_object::OnPickup,
                           "/Scenery/RoomA/DoorTrigger.Set_Position((0, 50, 400)); "
                           "[ga]GA5.Set_Lock_Locked(0); [ga]GA5.Open_Door(); "
                           "/Scenery/RoomA/LockedDoor.Delete(); "
                           "/Scenery/RoomA/Ambience.ASound_Play(\"chime\", 2, 0); "
                           "/Global/Inventory/KeyHeld.Action_Start(); " +
                               ShowNotice("You have the key.\nThe door in the middle of the north wall opens for you.") +
                               " " + SetObjective(kObjectiveWithKey),
                           &error);
}

// The guard walks RoomB from its west end to its east end and up to the
// key, and back; the dungeon cell lies behind its first turn.
bool PlaceGuard() {
    Actor *guard = FindDescendantByName(Room("RoomA"), "Guard");
    Actor *a = guard == nullptr ? nullptr : FindChildByName(guard, "PatrolA");
    Actor *b = a == nullptr ? nullptr : FindChildByName(a, "PatrolB");
    Actor *dungeon = FindDescendantByName(Room("RoomB"), "DungeonSpawn");
    if (b == nullptr || dungeon == nullptr || ReparentActor(guard, Room("RoomB")) == 0)
        return false;
    SendCommandArgs(guard, cmd::base::SetPosition, Vector3{650.0f, 0.0f, -100.0f});
    SendCommandArgs(a, cmd::base::SetPosition, Vector3{650.0f, 0.0f, 0.0f});
    SendCommandArgs(b, cmd::base::SetPosition, Vector3{0.0f, 0.0f, 400.0f});
    SendCommandArgs(b, cmd::path_node::SetPathnodeEndtype, kPathEndReverse);
    SendCommandArgs(dungeon, cmd::base::SetPosition, Vector3{1350.0f, 30.0f, -360.0f});
    // Each catch costs health: the hero (99) lives through three, the third
    // taking him to the dungeon cell, and dies of the fourth.
    SendCommandArgs(guard, cmd::guard::AddGuardHitEffect);
    SendCommandArgs(guard, cmd::guard::SetGuardHitEffectType, 12u);
    SendCommandArgs(guard, cmd::guard::SetGuardHitEffectValue, -30.0f);
    SendCommandArgs(guard, cmd::guard::SetGuardHitEffectTime, 0.0f);
    return true;
}

// A warm lamp under each ceiling, a torch by RoomC's far wall and the items
// the player finds: the power-up in RoomB and a clip of ammunition in RoomA.
bool AddLightsAndItems(int32_t &next) {
    const struct {
        const char *room;
        Vector3 at;
    } lamps[] = {{"RoomA", {-250.0f, 260.0f, 250.0f}},
                 {"RoomB", {1000.0f, 260.0f, 0.0f}},
                 {"RoomC", {0.0f, 260.0f, 1000.0f}}};
    for (const auto &lamp : lamps) {
        auto *light = dynamic_cast<LightActor *>(CreateActor(
            static_cast<int32_t>(kLightClassId), "Lamp", nullptr, Room(lamp.room), next++, true));
        if (light == nullptr)
            return false;
        light->position = lamp.at;
        light->InvalidateTransform();
        SendCommandArgs(light, cmd::light::SetLightType, 0u);
        SendCommandArgs(light, cmd::light::SetDiffuseColor, Vector4{1.0f, 0.85f, 0.6f, 1.0f});
        SendCommandArgs(light, cmd::base::SetRadius, 700.0f);
    }
    Actor *torch = CreateActor(static_cast<int32_t>(kParticleSystemClassId), "Torch", nullptr,
                               Room("RoomC"), next++, true);
    if (torch == nullptr ||
        SendCommandArgs(torch, cmd::mesh_object::SetMaterial_447,
                        std::string("ParticleAdd")) == 0) {
        return false;
    }
    // Seen only: its flames stop nobody.
    static_cast<MeshObjectActor *>(torch)->meshFlags &= ~kMeshSyncCollision;
    torch->position = {-300.0f, 0.0f, 1400.0f};
    torch->scale = {1.5f, 1.5f, 1.5f};
    torch->InvalidateTransform();

    Actor *powerUp = FindDescendantByName(Room("RoomA"), "PowerUp");
    if (powerUp == nullptr || ReparentActor(powerUp, Room("RoomB")) == 0)
        return false;
    SendCommandArgs(powerUp, cmd::base::SetPosition, Vector3{700.0f, 20.0f, 400.0f});
    GameObjectActor *clip = MakeSampleItem(Room("RoomA"), "AmmoClip", next++, kItemAmmo);
    if (clip == nullptr)
        return false;
    SendCommandArgs(clip, cmd::game_object::SetState, static_cast<uint32_t>(kItemInScene));
    // By the west wall, halfway along it: seen apart from the key wherever
    // the hero stands.
    SendCommandArgs(clip, cmd::base::SetPosition, Vector3{-440.0f, 20.0f, 0.0f});
    // Each item shows what it is, under its name: the key in gold with a
    // light of its own, seen from across the room; a magazine of rounds; a
    // glowing crystal.
    using namespace sample;
    const struct {
        Actor *item;
        std::vector<PickupPart> parts;
        const char *word;
        Vector4 color;
        bool lamp;
    } looks[] = {
        {FindDescendantByName(Room("RoomA"), "Key"),
         {{kKeyMesh, kGoldMaterial}},
         "KEY",
         {1.0f, 0.8f, 0.3f, 1.0f},
         true},
        {powerUp, {{kCrystalMesh, kCrystalMaterial}}, "POWER-UP", {0.45f, 1.0f, 0.9f, 1.0f}, false},
        {clip,
         {{kClipMesh, kGunMetalMaterial}, {kRoundsMesh, kGoldMaterial}},
         "AMMO",
         {0.9f, 0.9f, 0.85f, 1.0f},
         false}};
    for (const auto &look : looks) {
        if (!AddPickupLook(look.item, next, look.parts, look.word, look.color, look.lamp))
            return false;
    }
    return true;
}

// Level1's showcase pieces (the ball, the beacon, the figures, the lit pair,
// the detail levels, the rig's head) wear the checker; here they are made of
// metal like the mission's fittings. A mesh that takes its own material
// takes it from its subsets; a missing material falls back to the checker.
void DressTheCheckeredProps(Actor *actor, uint32_t checker, uint32_t metal) {
    ResourceLibrary *library = GetLibrary();
    if (auto *object = dynamic_cast<MeshObjectActor *>(actor); object != nullptr) {
        auto *mesh = dynamic_cast<MeshItem *>(library->GetItemById(object->meshIndex));
        bool checkered = false;
        for (size_t i = 0; i < object->subMeshes.size(); ++i) {
            uint32_t slot = object->subMeshes[i].materialIndex;
            if ((object->meshFlags & kMeshSyncMaterial) != 0)
                slot = mesh != nullptr && i < mesh->subsetSettings.size()
                           ? mesh->subsetSettings[i].word1
                           : kDefaultMaterialSlot;
            auto *material = dynamic_cast<MaterialItem *>(library->GetItemById(slot));
            checkered =
                checkered || material == nullptr ||
                std::count(material->textureIds.begin(), material->textureIds.end(), checker) != 0;
        }
        if (checkered) {
            object->meshFlags &= ~kMeshSyncMaterial;
            for (SubMeshRecord &sub : object->subMeshes)
                sub.materialIndex = metal;
        }
    }
    for (Actor *child : actor->children)
        DressTheCheckeredProps(child, checker, metal);
}

} // namespace

bool WriteMission1(SampleOutput &out) {
    int32_t end = 0;
    if (!MakeLevelWorld(out, kFile, end))
        return false;
    // Without the checks' drivers: the floor's timed drop, the rooms' probes
    // and the runner's tour.
    Actor *scenery = GetActorById(kSceneryRootId);
    Actor *floor = FindChildByName(scenery, "Floor");
    Actor *roomC = Room("RoomC");
    if (floor == nullptr || roomC == nullptr)
        return out.Fail(kFile, "no floor or RoomC");
    floor->CancelScheduledCommands(cmd::base::SetPosition);
    for (const char *name : {"ProbeA", "ProbeB", "ProbeC", "Tour"}) {
        Actor *driver = FindDescendantByName(scenery, name);
        if (driver == nullptr || DeleteActor(driver) == 0) {
            return out.Fail(kFile, std::string("cannot remove ") + name);
        }
    }
    int32_t next = kFirstMission1Id;
    for (const RoomPlan &plan : Plans()) {
        if (!AddRoomShell(plan, next))
            return out.Fail(kFile, std::string("cannot wall ") + plan.room);
    }
    if (!MoveOffTheWalls())
        return out.Fail(kFile, "cannot move the pieces off the walls");
    if (!ClearTheWay())
        return out.Fail(kFile, "cannot move the pieces off the way");
    if (!MakeShowpiecesSolid())
        return out.Fail(kFile, "cannot make the crates and spheres solid");
    if (!AddLockedDoor(next))
        return out.Fail(kFile, "cannot lock the door");
    if (!PlaceGuard())
        return out.Fail(kFile, "cannot place the guard");
    if (!AddLightsAndItems(next))
        return out.Fail(kFile, "cannot make the lamps and the items");
    DeleteDetachedActors();
    ResourceLibrary *library = GetLibrary();
    const int32_t checker = ResourceLibrary::GetItemIndex(
        library != nullptr ? library->FindItemByName("checker", ItemClass::Texture) : nullptr);
    const int32_t metal = SampleMaterialSlot("Metal");
    if (checker < 0 || metal < 0)
        return out.Fail(kFile, "no checker texture or metal material");
    DressTheCheckeredProps(scenery, uint32_t(checker), uint32_t(metal));
    // At the far end of RoomC, behind the locked door.
    if (!AddMissionExit(out, kFile, roomC, kMissionExitId, {-430.0f, 50.0f, 1430.0f}, 1, 90.0f) ||
        !AddExitLook(roomC, next, {{-480.0f, 0.0f, 1380.0f}, {-380.0f, 4.0f, 1480.0f}})) {
        return out.Fail(kFile, "cannot make the exit");
    }
    if (!AddBriefing(out, kFile, Room("RoomA"), next++,
                     "Find the key and reach the exit:\nthe green square beyond the door in the north wall.",
                     kObjectiveFindKey)) {
        return false;
    }
    const int32_t restartId = next++;
    // The Lookout in the guards' uniform, the Companion in metal: figures of the
    // hero's body, with his motions to walk, fight and follow by.
    if (!DressInFigure(out, kFile, FindDescendantByName(scenery, "Lookout"),
                       sample::kGuardMeshName) ||
        !DressInFigure(out, kFile, FindDescendantByName(scenery, "Companion"),
                       sample::kHeroMeshName, "Metal")) {
        return false;
    }
    return AddMissionRestart(out, kFile, restartId, "Mission_01_Release.qva") &&
           WriteActorFile(out, kFile, 3000,
                          static_cast<uint32_t>(std::max({end, kMissionExitId + 1, next})));
}
