#include "sample_ai.h"

#include <algorithm>
#include <vector>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player2_actor.h"
#include "actors/characters/ai_player_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "actors/world/draw_group_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/resource_library.h"
#include "sample_actors.h"
#include "sample_character.h"
#include "sample_hero.h"
#include "sample_output.h"
#include "sample_presentation.h"

namespace {

constexpr int32_t kGlobalRoot = 1;
constexpr int32_t kSceneryRoot = 2;
constexpr int32_t kFirstLookoutId = 3140;
constexpr int32_t kLookoutIdEnd = 3150;
constexpr int32_t kFirstCompanionId = 3240;
constexpr int32_t kCompanionIdEnd = 3250;
constexpr int32_t kDriverId = 10;
constexpr int32_t kEnvironmentId = 14;

Actor* Make(int32_t classId, const std::string& name, Actor* parent, int32_t& next,
            const Vector3& at = {0.0f, 0.0f, 0.0f}) {
    Actor* actor = CreateActor(classId, name, nullptr, parent, next++, true);
    if (actor != nullptr) {
        actor->position = at;
        actor->InvalidateTransform();
    }
    return actor;
}

// A class-0 actor with one solid box between the corners.
Actor* Box(const std::string& name, Actor* parent, int32_t& next, const Vector3& min,
           const Vector3& max) {
    Actor* box = Make(0, name, parent, next);
    if (box != nullptr) {
        ColObj object(box);
        object.name = name;
        object.boxMin = min;
        object.boxMax = max;
        box->AddColObj(object);
    }
    return box;
}

// The Lookout with its brain and sensors (six ids).
CharacterActor* Lookout(Actor* parent, int32_t& next, const Vector3& at,
                        SampleOutput* out = nullptr) {
    CharacterActor* body = SampleBody("Lookout", parent, next, at, 2, 100.0f, out);
    auto* brain = body == nullptr
                      ? nullptr
                      : dynamic_cast<AIPlayer2Actor*>(
                            Make(static_cast<int32_t>(kAIPlayer2ClassId), "Brain", body, next));
    if (brain == nullptr) return nullptr;
    brain->fightGroup = 1;
    brain->rayGroup = 0xFFFFFFFFu;
    brain->rayReceive = 0x10000u;
    brain->rayExclude = 0;
    const struct {
        const char* name;
        float radius;
    } sensors[] = {{"Vision", 700.0f}, {"Hearing", 400.0f}};
    for (const auto& sensor : sensors) {
        Actor* s = Make(0, sensor.name, body, next);
        if (s == nullptr) return nullptr;
        ColObj sphere(s);
        sphere.name = sensor.name;
        sphere.type = 1;
        sphere.flags = kColObjActive | kColObjTakesEvents;
        sphere.receiveGroups = 0;
        sphere.boxMin = {0.0f, 40.0f, 0.0f};
        sphere.boxMax = {sensor.radius, sensor.radius, sensor.radius};
        s->AddColObj(sphere);
    }
    return body;
}

Actor* Shelter(const std::string& name, Actor* parent, int32_t& next, const Vector3& at) {
    return Make(static_cast<int32_t>(kAIHelperClassId), name, parent, next, at);
}

}  // namespace

CharacterActor* SampleBody(const std::string& name, Actor* parent, int32_t& next, const Vector3& at,
                           uint32_t group, float health, SampleOutput* out) {
    auto* body = dynamic_cast<CharacterActor*>(
        Make(static_cast<int32_t>(kCharacterClassId), name, parent, next, at));
    const bool skinned =
        body != nullptr && (out != nullptr ? AddWormSkin(*out, "", body, next, "Hero") != nullptr
                                           : Make(static_cast<int32_t>(kSkinObjectClassId), "Skin",
                                                  body, next) != nullptr);
    if (!skinned) {
        return nullptr;
    }
    body->characterGroup = group;
    body->health = health;
    ColObj chest(body);
    chest.name = "Chest";
    chest.type = 1;
    chest.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents;
    chest.boxMin = {0.0f, 40.0f, 0.0f};
    chest.boxMax = {15.0f, 15.0f, 15.0f};
    body->AddColObj(chest);
    return body;
}

bool DressInFigure(SampleOutput &out, const std::string &file, Actor *body, const char *mesh,
                   const char *material) {
    if (body == nullptr)
        return out.Fail(file, "no character to dress");
    // Every skin it wears goes (a body made without one makes a plain one
    // of its own, outside the file's ids); the new one takes the id of the
    // last. The body takes it up before the others go: a body left without
    // a skin would make a plain one again at once.
    std::vector<Actor *> old;
    for (Actor *child : body->children) {
        if (child != nullptr && child->name == "Skin") {
            child->name = "OldSkin";
            old.push_back(child);
        }
    }
    if (old.empty())
        return out.Fail(file, body->name + " wears no skin");
    int32_t id = old.back()->actorId;
    old.pop_back(); // replaced by the new skin
    SkinObjectActor *skin = AddHeroSkin(out, file, body, id, mesh);
    if (skin == nullptr || SendCommandArgs(body, cmd::character::ResyncSkin) == 0) {
        return out.Fail(file, "cannot dress " + body->name);
    }
    for (Actor *child : old) {
        if (DeleteActor(child) == 0)
            return out.Fail(file, "cannot take off " + body->name + "'s skin");
    }
    if (material == nullptr)
        return true;
    SendCommandArgs(skin, cmd::mesh_object::SetSyncMaterial, false);
    SendCommandArgs(skin, cmd::mesh_object::SetMaterial_447, std::string(material));
    if (skin->subMeshes.empty() || skin->subMeshes[0].material == nullptr ||
        ResourceLibrary::GetItemName(skin->subMeshes[0].material) != std::string(material)) {
        return out.Fail(file, std::string("no material ") + material);
    }
    return true;
}

bool AddLookout(SampleOutput& out, const std::string& file, int32_t& end) {
    Actor* room = FindChildByName(GetActorById(kSceneryRoot), "RoomB");
    if (room == nullptr) return out.Fail(file, "no room RoomB");
    int32_t next = kFirstLookoutId;
    // Ids 3140-3145, then the floor, two shelters and their pillar.
    const bool made =
        Lookout(room, next, {1300.0f, 30.0f, -475.0f}) != nullptr &&
        Box("LookoutFloor", room, next, {700.0f, -20.0f, -500.0f}, {1500.0f, 0.0f, -450.0f}) &&
        Shelter("ShelterB1", room, next, {800.0f, 30.0f, -480.0f}) &&
        Shelter("ShelterB2", room, next, {1000.0f, 30.0f, -480.0f}) &&
        Box("PillarB", room, next, {880.0f, 0.0f, -495.0f}, {920.0f, 120.0f, -455.0f}) &&
        next <= kLookoutIdEnd;
    if (!made) return out.Fail(file, "cannot make the Lookout of RoomB");
    end = std::max(end, kLookoutIdEnd);
    return true;
}

bool AddCompanion(SampleOutput& out, const std::string& file, int32_t& end) {
    Actor* room = FindChildByName(GetActorById(kSceneryRoot), "RoomA");
    if (room == nullptr) return out.Fail(file, "no room RoomA");
    int32_t next = kFirstCompanionId;
    // Behind the camera at (0, 120, -450), which looks along +z.
    CharacterActor* companion = SampleBody("Companion", room, next, {350.0f, 30.0f, -480.0f}, 2, 100.0f,
                                     &out);
    auto* brain = companion == nullptr
                      ? nullptr
                      : dynamic_cast<AIPlayerActor*>(
                            Make(static_cast<int32_t>(kAIPlayerClassId), "Brain", companion, next));
    if (brain == nullptr ||
        !Box("CompanionFloor", room, next, {250.0f, -20.0f, -500.0f}, {450.0f, 0.0f, -460.0f}) ||
        next > kCompanionIdEnd) {
        return out.Fail(file, "cannot make the Companion of RoomA");
    }
    brain->startFollow = 0;
    brain->followGroup = 1;
    brain->fightGroup = 0;
    end = std::max(end, kCompanionIdEnd);
    return true;
}

bool AddHallAI(SampleOutput& out, const std::string& file, Actor* room, int32_t& next,
               const Vector3& lookoutAt, const Vector3& companionAt) {
    if (room == nullptr) return out.Fail(file, "no hall for the AI");
    // The Lookout watches the gap; its shelters lie behind the pillar 200
    // units behind it, as seen from the way the player comes.
    CharacterActor *lookout = Lookout(room, next, lookoutAt);
    const Vector3 behind = {lookoutAt.x, 30.0f, lookoutAt.z + 200.0f};
    if (lookout == nullptr ||
        !Shelter("ShelterH1", room, next, {behind.x - 120.0f, behind.y, behind.z + 60.0f}) ||
        !Shelter("ShelterH2", room, next, {behind.x + 120.0f, behind.y, behind.z + 60.0f}) ||
        !DressInFigure(out, file, lookout, sample::kGuardMeshName)) {
        return out.Fail(file, "cannot make the Lookout of the hall");
    }
    CharacterActor *companion = SampleBody("Companion", room, next, companionAt, 2, 100.0f);
    auto* brain = companion == nullptr
                      ? nullptr
                      : dynamic_cast<AIPlayerActor*>(
                            Make(static_cast<int32_t>(kAIPlayerClassId), "Brain", companion, next));
    if (brain == nullptr || !DressInFigure(out, file, companion, sample::kHeroMeshName, "Metal")) {
        return out.Fail(file, "cannot make the Companion of the hall");
    }
    brain->startFollow = 0;
    brain->followGroup = 1;
    brain->fightGroup = 0;
    return true;
}

bool WriteAICheck(SampleOutput& out) {
    std::string file = "game/Data/AI2.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* arena =
        MakeSampleActor(static_cast<int32_t>(kDrawGroupClassId), "Arena", kSceneryRoot, 3000);
    if (arena == nullptr) return out.Fail(file, "cannot make actor \"Arena\"");
    SendCommandArgs(arena, cmd::base::SetBoxMin, Vector3{-1500.0f, -100.0f, -1500.0f});
    SendCommandArgs(arena, cmd::base::SetBoxMax, Vector3{1500.0f, 600.0f, 1500.0f});
    int32_t next = 3001;
    // The Intruder stands 400 ahead of the Lookout; seen from it, the
    // shelter on the left lies behind the pillar, the one on the right in
    // the open.
    std::string error;
    Actor* brain = nullptr;
    CharacterActor* lookout = nullptr;
    bool made = Box("Floor", arena, next, {-1400.0f, -20.0f, -1400.0f}, {1400.0f, 0.0f, 1400.0f}) &&
                SampleBody("Intruder", arena, next, {0.0f, 30.0f, 400.0f}, 1, 50.0f) != nullptr &&
                (lookout = Lookout(arena, next, {0.0f, 30.0f, 0.0f}, &out)) != nullptr &&
                Shelter("HiddenShelter", arena, next, {-300.0f, 30.0f, -100.0f}) &&
                Box("Pillar", arena, next, {-260.0f, 0.0f, 40.0f}, {-180.0f, 200.0f, 120.0f}) &&
                Shelter("OpenShelter", arena, next, {300.0f, 30.0f, -100.0f});
    if (made) {
        brain = FindChildByName(lookout, "Brain");
        const struct {
            const char* probe;
            uint32_t event;
        } probes[] = {{"GA40_FightProbe", cmd::ai_player2::OnAIPlayer2StartFight},
                      {"GA41_GoShelterProbe", cmd::ai_player2::OnAIPlayer2StartGotoShelter},
                      {"GA42_ShelterProbe", cmd::ai_player2::OnAIPlayer2StartShelter}};
        for (const auto& probe : probes) {
            const std::string slot = std::string(probe.probe).substr(0, 4);
            made = made && Make(0, probe.probe, arena, next) != nullptr;
            made = made && brain != nullptr &&
                   AddSampleScript(brain, probe.probe, probe.event,
                                   "[ga]" + slot + ".Set_Position((1, 0, 0));", &error);
        }
    }
    if (!made) return out.Fail(file, error.empty() ? "cannot make the arena" : error);
    if (!WriteActorFile(out, file, 3000, static_cast<uint32_t>(next))) return false;

    file = "game/Data/AI2Globals.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* driver = MakeSampleActor(0, "Driver", kGlobalRoot, kDriverId);
    if (driver == nullptr) return out.Fail(file, "cannot make actor \"Driver\"");
    // The save comes 5 s in: the Lookout reaches the hidden shelter after
    // about 3.5 s, but its run lasts to the end of its motion loop (a second
    // long), so it stops up to 300 units past the shelter.
    SendCommandArgs(driver, cmd::base::SetActionStartTime, 5.0f);
    if (!AddSampleScript(driver, "boot", cmd::base::StartGame, "this.Action_Start_Pre();",
                         &error) ||
        !AddSampleScript(driver, "done", cmd::base::ActionStartPost,
                         "sys.Save_Game(\"ai2.sav\"); sys.Exit_Engine();", &error)) {
        return out.Fail(file, error);
    }
    return AddSampleEnvironment(out, file) &&
           WriteActorFile(out, file, kDriverId, kEnvironmentId + 1) &&
           out.WriteText("e2e/ai2/init.txt",
                         CrLfLines({"../../game", "AI2.qva", "AI2Globals.qva", "AI2"}));
}

bool WriteAIPlayerCheck(SampleOutput& out) {
    std::string file = "game/Data/AI1.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* arena =
        MakeSampleActor(static_cast<int32_t>(kDrawGroupClassId), "Arena", kSceneryRoot, 3000);
    if (arena == nullptr) return out.Fail(file, "cannot make actor \"Arena\"");
    SendCommandArgs(arena, cmd::base::SetBoxMin, Vector3{-1500.0f, -100.0f, -1500.0f});
    SendCommandArgs(arena, cmd::base::SetBoxMax, Vector3{2500.0f, 600.0f, 1500.0f});
    int32_t next = 3001;
    std::string error;
    CharacterActor* leader = nullptr;
    CharacterActor* follower = nullptr;
    AIPlayerActor* brain = nullptr;
    bool made = Box("Floor", arena, next, {-1400.0f, -20.0f, -1400.0f}, {2400.0f, 0.0f, 1400.0f}) &&
                (leader = SampleBody("Leader", arena, next, {0.0f, 30.0f, 400.0f}, 1, 100.0f)) &&
                (follower = SampleBody("Follower", arena, next, {0.0f, 30.0f, 0.0f}, 2, 100.0f, &out)) &&
                (brain = dynamic_cast<AIPlayerActor*>(Make(static_cast<int32_t>(kAIPlayerClassId),
                                                           "Brain", follower, next))) != nullptr;
    if (made) {
        brain->startFollow = 2;
        brain->fightGroup = 0;
        // The Leader's chest is solid: the follower's line of sight stops on it.
        leader->colObjs.back()->flags |= kColObjSolid;
        ColObj vision(follower);
        vision.name = "Vision";
        vision.type = 1;
        vision.flags = kColObjActive | kColObjTakesEvents;
        vision.receiveGroups = 0;
        vision.boxMin = {0.0f, 40.0f, 0.0f};
        vision.boxMax = {800.0f, 800.0f, 800.0f};
        follower->AddColObj(vision);
        std::string walk;
        for (int second = 1; second <= 5; ++second) {
            walk += "this.TimerCommand(" + std::to_string(second) +
                    ", Position_Add((200, 0, 0))); ";
        }
        // The brain asks a new motion of its character when the skin's
        // motion loops (every 30 s with the sample's motions) or when a
        // jump ends: a jump half a second in sets the follower running.
        made = AddSampleScript(leader, "walk", cmd::base::StartGame, walk, &error) &&
               AddSampleScript(follower, "hop", cmd::base::StartGame,
                               "this.TimerCommand(0.5, CC_Jump());", &error);
        const struct {
            const char* probe;
            uint32_t event;
        } probes[] = {{"GA40_StartFollowProbe", cmd::ai_player::OnAIPlayerStartFollow},
                      {"GA41_IdleToFollowProbe", cmd::ai_player::OnAIPlayerIdleToFollow}};
        for (const auto& probe : probes) {
            const std::string slot = std::string(probe.probe).substr(0, 4);
            made = made && Make(0, probe.probe, arena, next) != nullptr &&
                   AddSampleScript(brain, probe.probe, probe.event,
                                   "[ga]" + slot + ".Set_Position((1, 0, 0));", &error);
        }
    }
    if (!made) return out.Fail(file, error.empty() ? "cannot make the arena" : error);
    if (!WriteActorFile(out, file, 3000, static_cast<uint32_t>(next))) return false;

    file = "game/Data/AI1Globals.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* driver = MakeSampleActor(0, "Driver", kGlobalRoot, kDriverId);
    if (driver == nullptr ||
        MakeSampleActor(kInventoryClassId, "Inventory", kGlobalRoot,
                        kInventoryActorId) == nullptr) {
        return out.Fail(file, "cannot make the Driver and the game actor");
    }
    SendCommandArgs(driver, cmd::base::SetActionStartTime, 8.0f);
    if (!AddSampleScript(driver, "boot", cmd::base::StartGame, "this.Action_Start_Pre();",
                         &error) ||
        !AddSampleScript(driver, "done", cmd::base::ActionStartPost,
                         "sys.Save_Game(\"ai1.sav\"); sys.Exit_Engine();", &error)) {
        return out.Fail(file, error);
    }
    return AddSampleEnvironment(out, file) &&
           WriteActorFile(out, file, kDriverId, kInventoryActorId + 1) &&
           out.WriteText("e2e/ai1/init.txt",
                         CrLfLines({"../../game", "AI1.qva", "AI1Globals.qva", "AI1"}));
}
