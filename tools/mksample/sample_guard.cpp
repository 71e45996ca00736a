#include "sample_guard.h"

#include "actors/characters/character_actor.h"
#include "actors/characters/guard_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "actors/world/path_node_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/motion.h"
#include "library/resource_library.h"
#include "sample_actors.h"
#include "sample_camera.h"
#include "sample_character.h"
#include "sample_hero.h"
#include "sample_output.h"

namespace {

constexpr int32_t kGlobalRoot = 1;
// The check's scene, in the ids of the guards' block.
constexpr int32_t kRoomId = 3134;
constexpr int32_t kRoomEnd = 3140;

// A Path Guard of the template at the point, below the parent.
GuardActor* MakeGuard(Actor* parent, const char* name, int32_t id, const Vector3& at) {
    auto* guard = dynamic_cast<GuardActor*>(
        CreateActor(static_cast<int32_t>(kGuardClassId), name, nullptr, parent, id, true));
    if (guard == nullptr) return nullptr;
    SendCommandArgs(guard, cmd::base::SetPosition, at);
    SendCommandArgs(guard, cmd::guard::SetGuardCharacter, static_cast<uint32_t>(kGuardTemplateId));
    return guard;
}

Actor* MakeNode(Actor* parent, const char* name, int32_t id, const Vector3& at) {
    Actor* node = CreateActor(static_cast<int32_t>(kPathNodeClassId), name, nullptr, parent, id,
                              true);
    if (node != nullptr) SendCommandArgs(node, cmd::base::SetPosition, at);
    return node;
}

// Type 1 last: the nodes are there, so no "Node" is made.
bool MakePath(GuardActor* guard) {
    return SendCommandArgs(guard, cmd::guard::SetGuardType,
                           kGuardPath) != 0 && guard->colObjs.empty() &&
           guard->children.size() == 1;
}

}  // namespace

bool AddGuardTemplate(SampleOutput& out, const std::string& file) {
    Actor* definition = MakeSampleActor(0, "Definition", kGlobalRoot, kGuardDefinitionId);
    if (definition == nullptr) return out.Fail(file, "cannot make actor \"Definition\"");
    auto* guard = dynamic_cast<CharacterActor*>(CreateActor(
        static_cast<int32_t>(kCharacterClassId), "GuardTemplate", nullptr, definition,
        kGuardTemplateId, true));
    if (guard == nullptr) return out.Fail(file, "cannot make actor \"GuardTemplate\"");
    guard->characterType = kCharacterGuard;
    guard->health = 100.0f;
    // Only the guards' copies take part in the game.
    guard->state &= ~kActorOperational;
    for (const auto& [name, radius] : {std::pair{"Vision", 600.0f}, std::pair{"Hearing", 300.0f}}) {
        ColObj sphere(guard);
        sphere.name = name;
        sphere.type = 1;
        sphere.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents;
        sphere.boxMin = {0.0f, 40.0f, 0.0f};
        sphere.boxMax = {radius, radius, radius};
        guard->AddColObj(sphere);
    }
    int32_t next = kGuardTemplateId + 1;
    // The hero's body in the guards' uniform, with his motions (his walk and
    // run move as far a second as the guards' own).
    if (AddHeroSkin(out, file, guard, next, sample::kGuardMeshName) == nullptr) {
        return out.Fail(file, "cannot make the skin of \"GuardTemplate\"");
    }
    return next == kGuardIdsEnd || out.Fail(file, "the guard template's ids ran over");
}

bool AddLevelGuard(SampleOutput& out, const std::string& file, int32_t& next) {
    Actor* scenery = GetActorById(kSceneryRootId);
    Actor* roomA = FindChildByName(scenery, "RoomA");
    Actor* roomB = FindChildByName(scenery, "RoomB");
    if (roomA == nullptr || roomB == nullptr) return out.Fail(file, "no rooms RoomA and RoomB");
    // Behind the camera at (0, 120, -450), which looks along +z.
    GuardActor* guard = MakeGuard(roomA, "Guard", next++, {-400.0f, 0.0f, -490.0f});
    Actor* a = guard == nullptr ? nullptr : MakeNode(guard, "PatrolA", next++, {300.0f, 0.0f, 0.0f});
    Actor* b = a == nullptr ? nullptr : MakeNode(a, "PatrolB", next++, {300.0f, 0.0f, 0.0f});
    if (b == nullptr || !MakePath(guard)) return out.Fail(file, "cannot make the level's guard");
    Actor* dungeon = CreateActor(static_cast<int32_t>(kSpawnPointClassId), "DungeonSpawn", nullptr,
                                 roomB, next++, true);
    if (dungeon == nullptr) return out.Fail(file, "cannot make actor \"DungeonSpawn\"");
    SendCommandArgs(dungeon, cmd::base::SetPosition, Vector3{1300.0f, 30.0f, -300.0f});
    return true;
}

bool WriteGuardCheck(SampleOutput& out) {
    const std::string globals = "game/Data/GuardRun.qva";
    if (!ResetSampleWorld()) return out.Fail(globals, "cannot make the actor world");
    if (MakeSampleActor(kInventoryClassId, "Inventory", kGlobalRoot,
                        kInventoryActorId) == nullptr) {
        return out.Fail(globals, "cannot make actor \"Inventory\"");
    }
    if (!AddGuardTemplate(out, globals) ||
        !WriteActorFile(out, globals, kInventoryActorId, kGuardIdsEnd)) {
        return false;
    }

    const std::string scene = "game/Data/GuardRoom.qva";
    if (!ResetSampleWorld()) return out.Fail(scene, "cannot make the actor world");
    int32_t next = kRoomId;
    Actor* room = MakeFloorRoom(next);
    if (room == nullptr) return out.Fail(scene, "cannot make the room");
    GuardActor* guard = MakeGuard(room, "Guard", next++, {0.0f, 0.0f, -300.0f});
    Actor* a = guard == nullptr ? nullptr : MakeNode(guard, "A", next++, {0.0f, 0.0f, 300.0f});
    Actor* b = a == nullptr ? nullptr : MakeNode(a, "B", next++, {300.0f, 0.0f, 0.0f});
    if (b == nullptr || !MakePath(guard)) return out.Fail(scene, "cannot make the guard");
    SendCommandArgs(guard, cmd::guard::SetGuardUseNodeTime, true);
    SendCommandArgs(a, cmd::path_node::SetPathnodeTime, 1.0f);
    SendCommandArgs(b, cmd::path_node::SetPathnodeEndtype, kPathEndReverse);
    // The room is drawn, so the skin plays its motions.
    if (!AddSampleCamera(out, scene, next)) return false;
    std::string error;
    if (!AddSampleScript(guard, "paused", cmd::guard::OnGuardStartPauseInPatrol,
                         "sys.Save_Game(\"guard.sav\"); sys.Exit_Engine();", &error)) {
        return out.Fail(scene, error);
    }
    return next == kRoomEnd && WriteActorFile(out, scene, kRoomId, kRoomEnd) &&
           out.WriteText("e2e/guard/init.txt",
                         CrLfLines({"../../game", "GuardRoom.qva", "GuardRun.qva", "Guard"}));
}
