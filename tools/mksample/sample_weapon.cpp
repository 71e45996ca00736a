#include "sample_weapon.h"

#include <string>

#include "actors/characters/character_actor.h"
#include "actors/characters/game_object_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "sample_actors.h"
#include "sample_hud.h"
#include "sample_output.h"
#include "sample_presentation.h"

namespace {

// The check's scene, from the weapons' block on.
constexpr int32_t kRoomId = 3150;
// The items the level lays, up to 3199.
constexpr int32_t kLevelItemsId = 3190;
// Longer than the run: the copies stay to be counted in the save.
constexpr float kCopyLife = 100.0f;

Actor* Place(Actor* parent, const char* name, int32_t id, const Vector3& at) {
    Actor* actor = CreateActor(0, name, nullptr, parent, id, true);
    if (actor != nullptr) SendCommandArgs(actor, cmd::base::SetPosition, at);
    return actor;
}

}  // namespace

GameObjectActor* MakeSampleItem(Actor* parent, const char* name, int32_t id, uint32_t type) {
    auto* item = dynamic_cast<GameObjectActor*>(
        CreateActor(static_cast<int32_t>(kGameObjectClassId), name, nullptr, parent, id, true));
    if (item == nullptr) return nullptr;
    SendCommandArgs(item, cmd::game_object::SetGameobjectType_602, type);
    while (!item->children.empty()) {
        if (DeleteActor(item->children.back()) == 0) return nullptr;
    }
    return item;
}

GameObjectActor *AddGun(Actor *holder, const char *name, int32_t &next, uint32_t state,
                        uint32_t ammoGroup, const Vector3 &muzzleAt, float copyLife) {
    GameObjectActor *gun = MakeSampleItem(holder, name, next++, kItemWeapon);
    if (gun == nullptr)
        return nullptr;
    SendCommandArgs(gun, cmd::game_object::SetState, state);
    Actor* phases = nullptr;
    for (const char* phase : {"Loaded", "Fire", "ClipUnload"}) {
        phases = CreateActor(0, phase, nullptr, gun, next++, true);
    }
    Actor *shellExit =
        Place(gun, "ShellExitPos", next++, {muzzleAt.x, muzzleAt.y, muzzleAt.z + 20.0f});
    // The muzzle faces -z, the way the holder looks.
    Actor *muzzle = Place(gun, "FlashPos", next++, muzzleAt);
    GameObjectActor *ammo = MakeSampleItem(gun, "Ammo", next++, kItemAmmo);
    Actor* impact = ammo == nullptr ? nullptr : CreateActor(0, "Impact", nullptr, ammo, next++, true);
    Actor* shell = impact == nullptr ? nullptr : CreateActor(0, "Shell", nullptr, ammo, next++, true);
    if (phases == nullptr || shellExit == nullptr || muzzle == nullptr || shell == nullptr) {
        return nullptr;
    }
    SendCommandArgs(muzzle, cmd::base::SetQuaternion, Quaternion{0.0f, 1.0f, 0.0f, 0.0f});
    ammo->precision = 0.0f;
    if (ammoGroup != 1) {
        SendCommandArgs(gun, cmd::game_object::SetWeaponAmmoGroups, ammoGroup);
        SendCommandArgs(ammo, cmd::game_object::SetAmmoAmmoGroups, ammoGroup);
    }
    for (Actor* copied : {impact, shell}) {
        SendCommandArgs(copied, cmd::base::SetKillDelay, copyLife);
    }
    return gun;
}

GameObjectActor *AddPistol(Actor *hand, int32_t &next) {
    GameObjectActor *pistol =
        AddGun(hand, "Pistol", next, kItemInHand, 1, sample::kPistolMuzzle, sample::kShotCopyLife);
    if (pistol == nullptr || !AddWeaponLooks(pistol, next, sample::kPistolMesh,
                                             sample::kPistolIconMaterial, sample::kShotCopyLife)) {
        return nullptr;
    }
    return pistol;
}

bool AddLevelItems(SampleOutput& out, const std::string& file, int32_t& end) {
    Actor* room = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (room == nullptr) return out.Fail(file, "no room RoomA for the items");
    // Behind "GA29_Cam" (at z -450), in the corner by the player's start.
    const struct {
        const char* name;
        uint32_t type;
        Vector3 at;
    } items[] = {
        {"PowerUp", kItemPowerUp, {-450.0f, 20.0f, -490.0f}},
        {"Key", kItemKey, {-400.0f, 20.0f, -490.0f}},
    };
    int32_t id = kLevelItemsId;
    for (const auto& item : items) {
        GameObjectActor* made = MakeSampleItem(room, item.name, id++, item.type);
        if (made == nullptr) return out.Fail(file, std::string("cannot make actor \"") + item.name + "\"");
        SendCommandArgs(made, cmd::game_object::SetState, static_cast<uint32_t>(kItemInScene));
        SendCommandArgs(made, cmd::base::SetPosition, item.at);
    }
    end = id;
    return true;
}

bool WriteWeaponCheck(SampleOutput& out) {
    const std::string globals = "game/Data/WeaponRun.qva";
    if (!ResetSampleWorld()) return out.Fail(globals, "cannot make the actor world");
    if (!AddSampleEnvironment(out, globals) ||
        !WriteActorFile(out, globals, kEnvironmentActorId, kEnvironmentActorId + 1)) {
        return false;
    }

    const std::string scene = "game/Data/WeaponRoom.qva";
    if (!ResetSampleWorld()) return out.Fail(scene, "cannot make the actor world");
    int32_t next = kRoomId;
    Actor* room = MakeFloorRoom(next);
    if (room == nullptr) return out.Fail(scene, "cannot make the room");

    auto* shooter = dynamic_cast<CharacterActor*>(CreateActor(
        static_cast<int32_t>(kCharacterClassId), "Shooter", nullptr, room, next++, true));
    if (shooter == nullptr) return out.Fail(scene, "cannot make actor \"Shooter\"");
    shooter->characterType = 0;
    shooter->health = 100.0f;
    // Level look: it aims along -z.
    shooter->look.rotX = shooter->look.rotXSmooth = 0.0f;
    shooter->look.rotY = shooter->look.rotYSmooth = 0.0f;
    SendCommandArgs(shooter, cmd::base::SetPosition, Vector3{0.0f, 30.0f, 0.0f});
    Actor* hand = CreateActor(0, "RightHand", nullptr, shooter, next++, true);
    // The plain pistol: no looks, its copies kept to be counted.
    GameObjectActor *pistol = hand == nullptr ? nullptr
                                              : AddGun(hand, "Pistol", next, kItemInHand, 1,
                                                       {0.0f, 15.0f, -40.0f}, kCopyLife);
    if (pistol == nullptr) return out.Fail(scene, "cannot make the pistol");
    Actor* target = Place(room, "Target", next++, {0.0f, 0.0f, -300.0f});
    if (target == nullptr) return out.Fail(scene, "cannot make actor \"Target\"");
    AddSolidBox(target, "Target", {-300.0f, -300.0f, -20.0f}, {300.0f, 300.0f, 0.0f});

    // An "Action Stop" cancels the item's pending "Action Start"s: each stop
    // schedules the next pair. Shots at 1 s, 2 s, ... 7 s.
    std::string error;
    if (!AddSampleScript(pistol, "shoot", cmd::base::StartGame,
                         "this.TimerCommand(1, Action_Start()); this.TimerCommand(1.5, Action_Stop()); "
                         "this.TimerCommand(7.75, Action_Start_Post());",
                         &error) ||
        !AddSampleScript(pistol, "again", cmd::base::ActionStopPost,
                         "this.TimerCommand(0.5, Action_Start()); this.TimerCommand(1, Action_Stop());",
                         &error) ||
        !AddSampleScript(pistol, "done", cmd::base::ActionStartPost,
                         "sys.Save_Game(\"weapon.sav\"); sys.Exit_Engine();", &error)) {
        return out.Fail(scene, error);
    }
    return WriteActorFile(out, scene, kRoomId, static_cast<uint32_t>(next)) &&
           out.WriteText("e2e/weapons/init.txt",
                         CrLfLines({"../../game", "WeaponRoom.qva", "WeaponRun.qva", "Weapons"}));
}
