#include "sample_character.h"

#include "actors/characters/aim_target_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/game_object_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/motion.h"
#include "library/resource_library.h"
#include "sample_actors.h"
#include "sample_camera.h"
#include "sample_hero.h"
#include "sample_output.h"
#include "sample_weapon.h"

namespace {

constexpr int32_t kGlobalRoot = 1;

}  // namespace

SkinObjectActor* AddWormSkin(SampleOutput& out, const std::string& file, Actor* owner,
                             int32_t& next, const char* material) {
    // The skin reads the worm's bones from its data file.
    ResourceLibrary* library = GetLibrary();
    if (library == nullptr) {
        out.Fail(file, "no library for the skin");
        return nullptr;
    }
    const std::string folder = library->GetBaseFolder();
    library->SetBaseFolder((out.Root() + "/game").c_str());
    auto* skin = dynamic_cast<SkinObjectActor*>(CreateActor(
        static_cast<int32_t>(kSkinObjectClassId), "Skin", nullptr, owner, next++, true));
    bool skinned =
        skin != nullptr && SendCommandArgs(skin, cmd::base::SetResource, std::string("worm")) != 0;
    library->SetBaseFolder(folder.c_str());
    if (skinned && material != nullptr) {
        // Its own material, not the mesh's.
        SendCommandArgs(skin, cmd::mesh_object::SetSyncMaterial, false);
        SendCommandArgs(skin, cmd::mesh_object::SetMaterial_447, std::string(material));
        skinned = !skin->subMeshes.empty() && skin->subMeshes[0].material != nullptr &&
                  std::string(ResourceLibrary::GetItemName(skin->subMeshes[0].material)) == material;
    }
    // The motions of its postures.
    for (const char* name : {"N_Neutral", "N_Forward", "N_Relax", "R_Forward", "C_Neutral",
                             "J_Neutral", "J_Forward", "F_Neutral"}) {
        const int32_t index =
            ResourceLibrary::GetItemIndex(library->FindItemByName(name, ItemClass::Motion));
        auto* item = index < 0 ? nullptr
                               : static_cast<MotionItem*>(library->AcquireItem(
                                     static_cast<uint32_t>(index), ItemClass::Motion, 0, 0));
        if (!skinned || item == nullptr) {
            return nullptr;
        }
        SkinMotion motion;
        motion.item = item;
        motion.index = index;
        motion.name = name;
        motion.length = GetMotionLength(item);
        skin->motions.push_back(std::move(motion));
    }
    return skinned ? skin : nullptr;
}

bool AddPlayerCharacter(SampleOutput& out, const std::string& file, int32_t& next) {
    auto* hero = dynamic_cast<CharacterActor*>(
        MakeSampleActor(static_cast<int32_t>(kCharacterClassId), "PlayerCharacter", kGlobalRoot,
                        next++));
    if (hero == nullptr) return out.Fail(file, "cannot make actor \"PlayerCharacter\"");
    hero->characterType = kCharacterThirdPerson;
    hero->health = 99.0f;
    // The group the AI of the level fights.
    hero->characterGroup = 1;
    for (uint32_t gamma : {kParamGammaRAdd, kParamGammaGAdd, kParamGammaBAdd}) {
        hero->paramBase[gamma] = 0.0f;
    }
    // Only its copy in the level takes part in the game.
    hero->state &= ~kActorOperational;
    const struct {
        const char* name;
        Vector3 centre;
        float radius;
        uint32_t flags;
    } spheres[] = {
        {"Chest", {0.0f, 40.0f, 0.0f}, 15.0f,
         kColObjActive | kColObjCausesEvents | kColObjTakesEvents},
        {"Action", {0.0f, 30.0f, 30.0f}, 40.0f, kColObjCausesEvents | kColObjTakesEvents},
    };
    for (const auto& sphere : spheres) {
        ColObj object(hero);
        object.name = sphere.name;
        object.type = 1;
        object.flags = sphere.flags;
        object.boxMin = sphere.centre;
        object.boxMax = {sphere.radius, sphere.radius, sphere.radius};
        hero->AddColObj(object);
    }

    if (AddHeroSkin(out, file, hero, next, sample::kHeroMeshName) == nullptr) {
        return out.Fail(file, "cannot make the skin of \"PlayerCharacter\"");
    }
    Actor* items = nullptr;
    Actor* hand = nullptr;
    for (const char* holder : {"Items", "LeftHand", "RightHand"}) {
        Actor* made = CreateActor(0, holder, nullptr, hero, next++, true);
        if (made == nullptr) {
            return out.Fail(file, std::string("cannot make actor \"") + holder + "\"");
        }
        if (items == nullptr) items = made;
        hand = made;
    }
    // The pistol of the weapon check in its right hand (action 16 fires it),
    // and a spare clip among its items.
    if (AddPistol(hand, next) == nullptr) {
        return out.Fail(file, "cannot make the pistol of \"PlayerCharacter\"");
    }
    GameObjectActor* spare = MakeSampleItem(items, "SpareAmmo", next++, kItemAmmo);
    if (spare == nullptr) return out.Fail(file, "cannot make actor \"SpareAmmo\"");
    SendCommandArgs(spare, cmd::game_object::SetState, static_cast<uint32_t>(kItemInInventory));
    return AddFollowCameraRig(out, file, hero, next);
}

bool AddPlayerStart(SampleOutput& out, const std::string& file, int32_t& next) {
    Actor* room = FindChildByName(GetActorById(kSceneryRootId), "RoomA");
    if (room == nullptr) return out.Fail(file, "no room RoomA");
    Actor* start = CreateActor(static_cast<int32_t>(kSpawnPointClassId), "PlayerStart0", nullptr,
                               room, next++, true);
    Actor* aim = CreateActor(static_cast<int32_t>(kAimTargetClassId), "AimSpot", nullptr, room,
                             next++, true);
    if (start == nullptr || aim == nullptr) {
        return out.Fail(file, "cannot make \"PlayerStart0\" and \"AimSpot\"");
    }
    SendCommandArgs(start, cmd::spawn_point::SetSpawnpointType, kSpawnTypePlayerStart);
    SendCommandArgs(start, cmd::base::SetPosition, Vector3{-300.0f, 30.0f, -300.0f});
    SendCommandArgs(aim, cmd::base::SetPosition, Vector3{-300.0f, 60.0f, 0.0f});
    return true;
}

bool AddCharacterDriver(SampleOutput& out, const std::string& file, int32_t id) {
    Actor* driver = MakeSampleActor(0, "Driver", kGlobalRoot, id);
    if (driver == nullptr) return out.Fail(file, "cannot make actor \"Driver\"");
    Actor* hero = FindChildByName(GetActorById(kGlobalRoot), "PlayerCharacter");
    if (hero == nullptr) return out.Fail(file, "no actor \"PlayerCharacter\"");
    // Past the game actor's fade from black at the start of the game.
    SendCommandArgs(driver, cmd::base::SetActionStartTime, 3.5f);
    std::string error;
    // The player jumps a tenth of a second in and is hurt by 10 as it leaves
    // the ground.
    if (!AddSampleScript(hero, "hurt", cmd::character::OnJumpStart_1066, "this.Hurt(10);",
                         &error) ||
        !AddSampleScript(driver, "jump", cmd::base::StartGame,
                         "[ga]GA1.TimerCommand(0.1, CC_Jump());", &error) ||
        !AddSampleScript(driver, "boot", cmd::base::StartGame, "this.Action_Start_Pre();",
                         &error) ||
        !AddSampleScript(driver, "done", cmd::base::ActionStartPost,
                         "sys.Capture_BackBuffer((800, 600)); sys.Capture_Save(\"character.tga\"); "
                         "sys.Save_Game(\"character.sav\"); sys.Exit_Engine();",
                         &error)) {
        return out.Fail(file, error);
    }
    return true;
}
