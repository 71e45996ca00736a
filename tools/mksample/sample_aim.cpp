#include "sample_aim.h"

#include <algorithm>
#include <string>

#include "actors/characters/auto_aim_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/game_container_actor.h"
#include "actors/characters/game_object_actor.h"
#include "actors/presentation/camera_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/sound_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "sample_actors.h"
#include "sample_ai.h"
#include "sample_menu.h"
#include "sample_output.h"
#include "sample_presentation.h"
#include "sample_weapon.h"

namespace {

constexpr int32_t kFirstAimId = 3250;
constexpr int32_t kDriverId = 10;
// Only the objects of characters carry this group (given at "Init Load").
constexpr uint32_t kCharacterGroup = 0x4000000;

Actor* Place(Actor* actor, const Vector3& at) {
    if (actor != nullptr) SendCommandArgs(actor, cmd::base::SetPosition, at);
    return actor;
}

// A type-0 AutoAim at the point with an event sphere of the radius that only
// characters touch.
AutoAimActor* MakeAim(Actor* parent, const char* name, int32_t id, const Vector3& at,
                      float radius) {
    auto* aim = dynamic_cast<AutoAimActor*>(Place(
        CreateActor(static_cast<int32_t>(kAutoAimClassId), name, nullptr, parent, id, true), at));
    if (aim == nullptr) return nullptr;
    SendCommandArgs(aim, cmd::auto_aim::SetAutoaimType, kAimType2Axis);
    ColObj sphere(aim);
    sphere.name = "Sight";
    sphere.type = 1;
    sphere.flags = kColObjActive | kColObjTakesEvents;
    sphere.groups = 0;
    sphere.receiveGroups = kCharacterGroup;
    sphere.excludeGroups = 0;
    sphere.boxMin = {0.0f, 0.0f, 0.0f};
    sphere.boxMax = {radius, radius, radius};
    aim->AddColObj(sphere);
    return aim;
}

// A Game Container of the kind whose children move to the ids from `next`
// on (they are made at free ids).
GameContainerActor* MakeContainer(Actor* parent, const char* name, uint32_t kind, int32_t& next,
                                  const Vector3& at) {
    auto* box = dynamic_cast<GameContainerActor*>(Place(
        CreateActor(static_cast<int32_t>(kGameContainerClassId), name, nullptr, parent, next++, true),
        at));
    if (box == nullptr) return nullptr;
    if (kind != kContainerObject) SendCommandArgs(box, cmd::game_container::SetContainerType, kind);
    for (Actor* child : box->children) {
        if (!MoveSampleActorId(child, next++)) return nullptr;
    }
    return box;
}

// A power-up in the container's "Spawn".
bool Fill(GameContainerActor* box, const char* name, int32_t id) {
    Actor* spawn = box != nullptr ? FindChildByName(box, "Spawn") : nullptr;
    return spawn != nullptr && MakeSampleItem(spawn, name, id, kItemPowerUp) != nullptr;
}

}  // namespace

bool AddLevelAim(SampleOutput& out, const std::string& file, int32_t& end) {
    Actor* room = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (room == nullptr) return out.Fail(file, "no room RoomA for the watcher");
    int32_t next = kFirstAimId;
    // In the strip behind "GA29_Cam" (z -450), clear of the guard's patrol.
    AutoAimActor* watcher = MakeAim(room, "Watcher", next++, {420.0f, 150.0f, -475.0f}, 600.0f);
    auto* head = watcher == nullptr ? nullptr
                                    : dynamic_cast<MeshObjectActor*>(CreateActor(
                                          static_cast<int32_t>(kMeshObjectClassId), "Head",
                                          nullptr, watcher, next++, true));
    Actor* beep = head == nullptr ? nullptr
                                  : CreateActor(static_cast<int32_t>(kSoundClassId), "Beep",
                                                nullptr, watcher, next++, true);
    std::string error;
    if (beep == nullptr || SendCommandArgs(head, cmd::base::SetResource,
                                           std::string("sphere")) == 0 ||
        SendCommandArgs(beep, cmd::base::SetResource, std::string("beep")) == 0 ||
        !AddSampleScript(watcher, "beep", cmd::auto_aim::OnAutoAimTresholdEnter,
                         "Beep.Play_Sound();", &error)) {
        return out.Fail(file, "cannot make the watcher " + error);
    }
    head->meshFlags &= ~kMeshSyncCollision;
    head->scale = {0.3f, 0.3f, 0.3f};
    head->InvalidateTransform();
    SendCommandArgs(watcher, cmd::auto_aim::SetAutoaimSmoothstyle_1722, kAimLinear);
    SendCommandArgs(watcher, cmd::auto_aim::SetAutoaimTurnspeed, 2.0f);
    watcher->aimOutput.Assign(head);

    GameContainerActor* cupboard =
        MakeContainer(room, "Cupboard", kContainerObject, next, {300.0f, 0.0f, -480.0f});
    if (cupboard == nullptr || !Fill(cupboard, "CupboardPowerUp", next++)) {
        return out.Fail(file, "cannot make the cupboard");
    }
    SendCommandArgs(cupboard, cmd::game_container::SetSearchTime, 1.0f);
    if (MakeContainer(room, "TrapWire", kContainerTrapWire, next, {450.0f, 0.0f, -480.0f}) ==
        nullptr) {
        return out.Fail(file, "cannot make the trap wire");
    }
    end = std::max(end, next);
    return true;
}

bool WriteAimCheck(SampleOutput& out) {
    std::string file = "game/Data/AimGlobals.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* driver = MakeSampleActor(0, "Driver", kGlobalRootId, kDriverId);
    if (driver == nullptr) return out.Fail(file, "cannot make actor \"Driver\"");
    SendCommandArgs(driver, cmd::base::SetActionStartTime, 4.0f);
    std::string error;
    if (!AddSampleScript(driver, "boot", cmd::base::StartGame, "this.Action_Start_Pre();",
                         &error) ||
        !AddSampleScript(driver, "done", cmd::base::ActionStartPost,
                         "sys.Save_Game(\"aim.sav\"); sys.Exit_Engine();", &error)) {
        return out.Fail(file, error);
    }
    if (!AddSampleEnvironment(out, file) || !AddInventory(out, file) ||
        !WriteActorFile(out, file, kDriverId, kInventoryActorId + 1)) {
        return false;
    }

    file = "game/Data/Aim.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    int32_t next = kFirstAimId;
    Actor* room = MakeFloorRoom(next);
    auto* camera = room == nullptr ? nullptr
                                   : dynamic_cast<CameraActor*>(Place(
                                         CreateActor(static_cast<int32_t>(kCameraClassId), "Cam",
                                                     nullptr, room, next++, true),
                                         {0.0f, 150.0f, -800.0f}));
    if (camera == nullptr) return out.Fail(file, "cannot make the room and its camera");
    SendCommandArgs(camera, cmd::camera::SetCameraType, kCameraFree);
    SendCommandArgs(camera, cmd::camera::SetCameraActive, true);

    AutoAimActor* aim = MakeAim(room, "Aim", next++, {0.0f, 100.0f, 0.0f}, 400.0f);
    Actor* head = aim == nullptr ? nullptr : CreateActor(0, "Head", nullptr, aim, next++, true);
    // At the height where the floor holds a character: it stands still, and so
    // does its center point.
    CharacterActor* target = SampleBody("Target", room, next, {300.0f, 23.0001f, 0.0f}, 1, 100.0f);
    if (head == nullptr || target == nullptr) return out.Fail(file, "cannot make the aim");
    aim->aimOutput.Assign(head);

    // Well out of the aim's sphere.
    const Vector3 crateAt = {-600.0f, 0.0f, 0.0f};
    GameContainerActor* crate = MakeContainer(room, "Crate", kContainerObject, next, crateAt);
    if (crate == nullptr || !Fill(crate, "PowerUp", next++)) {
        return out.Fail(file, "cannot make the crate");
    }
    SendCommandArgs(crate, cmd::game_container::SetTriggerType, kTriggerCollision);
    SendCommandArgs(crate, cmd::game_container::SetDeleteAfterActivation, true);
    CharacterActor* runner =
        SampleBody("Runner", room, next, {crateAt.x, crateAt.y + 30.0f, crateAt.z}, 1, 100.0f);
    if (runner == nullptr) return out.Fail(file, "cannot make actor \"Runner\"");
    SendCommandArgs(runner, cmd::base::SetMaster, true);
    return WriteActorFile(out, file, kFirstAimId, static_cast<uint32_t>(next)) &&
           out.WriteText("e2e/aim/init.txt",
                         CrLfLines({"../../game", "Aim.qva", "AimGlobals.qva", "Aim"}));
}
