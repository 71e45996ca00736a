#include "end_to_end_folder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_builder.h"
#include "actors/world/timer_actor.h"
#include "sample_actors.h"
#include "sample_ai.h"
#include "sample_aim.h"
#include "sample_output.h"
#include "sample_camera.h"
#include "sample_door.h"
#include "sample_guard.h"
#include "sample_key_words.h"
#include "sample_character.h"
#include "sample_logic.h"
#include "sample_moving.h"
#include "sample_presentation.h"
#include "sample_simulation.h"
#include "sample_spawn.h"
#include "sample_weapon.h"

namespace {

constexpr int32_t kGlobalRoot = 1;
constexpr int32_t kSceneryRoot = 2;
constexpr int32_t kMoverId = 10;
constexpr int32_t kEnvironmentId = 14;
constexpr int32_t kFirstSceneryId = 3000;
constexpr int32_t kPlayerStartId = 3090;
constexpr int32_t kLevelGuardId = 3130;

bool WriteGlobals(SampleOutput& out) {
    const std::string file = "game/Data/Globals.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* mover = MakeSampleActor(0, "Mover", kGlobalRoot, kMoverId);
    if (mover == nullptr) return out.Fail(file, "cannot make actor \"Mover\"");
    SendCommandArgs(mover, cmd::base::SetActionStartTime, 1.0f);
    std::string error;
    if (!AddSampleScript(mover, "boot", cmd::base::StartGame,
                         "this.TimerCommand(0.5, Set_Position((1, 2, 3))); this.Action_Start_Pre();",
                         &error) ||
        !AddSampleScript(mover, "done", cmd::base::ActionStartPost,
                         "sys.Load_Resource(\"film\"); sys.Play_Texture_Movie(\"film\"); "
                         "sys.Capture_BackBuffer((800, 600)); sys.Capture_Save(\"shot.tga\"); "
                         "sys.Save_Game(\"demo.sav\"); sys.Exit_Engine();",
                         &error)) {
        return out.Fail(file, error);
    }
    if (!AddSampleEnvironment(out, file) || !AddGuardTemplate(out, file)) return false;
    return WriteActorFile(out, file, kMoverId, kGuardIdsEnd);
}

// Three rooms around the origin, where the camera stays: A holds it, B is
// seen through a portal held open, C lies behind a closed one. Each room
// holds a probe that moves to (7, 7, 7) when its room starts drawing.
bool AddRooms(SampleOutput& out, const std::string& file, int32_t& next) {
    struct Room {
        const char* name;
        const char* probe;
        Vector3 min;
        Vector3 max;
    };
    const Room rooms[] = {
        {"RoomA", "ProbeA", {-500.0f, -100.0f, -500.0f}, {500.0f, 400.0f, 500.0f}},
        {"RoomB", "ProbeB", {500.0f, -100.0f, -500.0f}, {1500.0f, 410.0f, 500.0f}},
        {"RoomC", "ProbeC", {-500.0f, -100.0f, 500.0f}, {500.0f, 420.0f, 1500.0f}},
    };
    std::vector<Actor*> made;
    for (const Room& room : rooms) {
        Actor* group = MakeSampleActor(kDrawGroupClassId, room.name, kSceneryRoot, next++);
        if (group == nullptr) return out.Fail(file, std::string("cannot make ") + room.name);
        SendCommandArgs(group, cmd::base::SetBoxMin, room.min);
        SendCommandArgs(group, cmd::base::SetBoxMax, room.max);
        made.push_back(group);
    }
    struct Portal {
        const char* name;
        Vector3 at;
        bool forcedOpen;
    };
    const Portal portals[] = {{"Portal AB", {500.0f, 30.0f, 0.0f}, true}};
    for (const Portal& portal : portals) {
        Actor* connector = MakeSampleActor(kDrawGroupConnectorClassId, portal.name, kSceneryRoot,
                                           next++);
        if (connector == nullptr) return out.Fail(file, std::string("cannot make ") + portal.name);
        SendCommandArgs(connector, cmd::base::SetPosition, portal.at);
        SendCommandArgs(connector, cmd::base::SetRadius, 25.0f);
        if (portal.forcedOpen) SendCommandArgs(connector,
                                               cmd::draw_group_connector::GetForceOpenConnactor,
                                               1u);
    }
    // RoomA and RoomC meet where the door's connector stands; the id of
    // the portal that stood there stays unused.
    ++next;
    for (size_t i = 0; i < made.size(); ++i) {
        Actor* root = made[i];
        Actor* probe = CreateActor(0, rooms[i].probe, nullptr, root, next++, true);
        if (probe == nullptr) return out.Fail(file, std::string("cannot make ") + rooms[i].probe);
        std::string error;
        if (!AddSampleScript(probe, "shown", cmd::base::OnDrawStart,
                             "this.Set_Position((7, 7, 7));",
                             &error)) {
            return out.Fail(file, error);
        }
    }
    return true;
}

bool WriteLevel(SampleOutput& out) {
    const std::string file = "game/Data/Level1.qva";
    int32_t end = 0;
    return MakeLevelWorld(out, file, end) &&
           WriteActorFile(out, file, kFirstSceneryId, static_cast<uint32_t>(end));
}

}  // namespace

bool MakeLevelWorld(SampleOutput& out, const std::string& file, int32_t& end) {
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    Actor* floor = MakeSampleActor(0, "Floor", kSceneryRoot, kFirstSceneryId);
    Actor* post = MakeSampleActor(0, "Post", kSceneryRoot, kFirstSceneryId + 1);
    if (floor == nullptr || post == nullptr) return out.Fail(file, "cannot make the scenery actors");
    post->position = {5.0f, 0.0f, 5.0f};

    ColObj box(floor);
    box.name = "floor box";
    box.boxMin = {-100.0f, -1.0f, -100.0f};
    box.boxMax = {100.0f, 0.0f, 100.0f};
    floor->AddColObj(box);

    // Still pending when the demo saves, about four seconds later.
    if (SendCommandArgs(floor, cmd::base::TimerCommand, 5.0f,
                        ParamValue::Command(cmd::base::SetPosition,
                                            {Vector3{0.0f, -1.0f, 0.0f}})) == 0) {
        return out.Fail(file, "cannot schedule the timer command");
    }
    int32_t next = kFirstSceneryId + 2;
    if (!AddRooms(out, file, next) || !AddRoomMeshes(out, file, next) ||
        !AddFallingBall(out, file, next) || !AddSampleCamera(out, file, next) ||
        !AddRoomLogic(out, file, next) || !AddPropsAndSpawnPoint(out, file, next) ||
        !AddSkinFigures(out, file, next) || !AddLightsAndSounds(out, file, next) ||
        !AddDoorAndTrigger(out, file) || !AddMovingContent(out, file) ||
        !AddCampfire(out, file)) {
        return false;
    }
    const int32_t sceneryEnd = std::max({next, kSampleDoorIdEnd, kEndMovingId, kCampfireId + 1});
    // The player's start and aim target, and the guard, at ids of their own.
    int32_t playerIds = kPlayerStartId;
    int32_t guardIds = kLevelGuardId;
    if (!AddPlayerStart(out, file, playerIds) || !AddLevelGuard(out, file, guardIds)) return false;
    int32_t lookoutEnd = 0;
    int32_t itemsEnd = 0;
    int32_t aimEnd = 0;
    int32_t companionEnd = 0;
    if (!AddLookout(out, file, lookoutEnd) || !AddLevelItems(out, file, itemsEnd) ||
        !AddLevelAim(out, file, aimEnd) || !AddCompanion(out, file, companionEnd)) {
        return false;
    }
    end = std::max({sceneryEnd, playerIds, guardIds, lookoutEnd, itemsEnd, aimEnd, companionEnd});
    return true;
}

bool WriteEndToEndFolder(SampleOutput& out, const std::vector<uint8_t>& library) {
    if (!out.WriteText("init.txt", CrLfLines({"game", "Level1.qva", "", "Demo"}))) return false;
    if (!out.Write("game/DAZedirad.qvf", library)) return false;
    std::string text = CrLfLines({"3", "LOADING }", "Loading }", "MUSIC_VOLUME }", "Music }",
                                                     "SOUND_EFFECT_VOLUME }", "Effects }",
        // The save screen's messages.
        "SAVING_GAME }", "Saving }", "LOADING_GAME }", "Loading game }",
        "DONT_TURN_OFF_COMPUTER }", "Do not turn off the computer }",
        "OVERWRITE_SAVED_GAME }", "Overwrite the saved game? }",
        "QUIT_CURRENT_GAME }", "Quit the current game? }", "THIS_MU_IS_FULL }", "The device is full }",
        "THIS_MU_IS_UNUSABLE }", "The device cannot be used }",
        "MU_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME }", "Not enough free blocks on the device }",
        "HARD_DISK_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME }", "Not enough free space on the disc }",
        "UNABLE_TO_SAVE_GAME }", "Unable to save the game }",
        "UNABLE_TO_LOAD_GAME }", "Unable to load the game }", "SAVE_GAME_MENU }", "Save game }",
        "LOAD_GAME_MENU }", "Load game }", "MU_REMOVED_DURING_USE }",
        "%s was removed while trying to %s }", "SAVE }", "save }", "LOAD }", "load }"});
    // The words of the keys the options' rows show.
    for (const auto& [name, word] : sample::KeyWords()) {
        text += name + " }\r\n" + word + " }\r\n";
    }
    return out.WriteText("game/Data/text.txt", text);
}

bool WriteLevelCheck(SampleOutput& out) {
    const std::string file = "game/Data/LevelRun.qva";
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    auto* shots = dynamic_cast<TimerActor*>(
        MakeSampleActor(static_cast<int32_t>(kTimerClassId), "Shots", kGlobalRoot, kMoverId));
    if (shots == nullptr) return out.Fail(file, "cannot make the timer \"Shots\"");
    SendCommandArgs(shots, cmd::timer::SetTimerType, kTimerForwardOnce);
    SendCommandArgs(shots, cmd::base::SetTotalTime, 10.0f);
    SendCommandArgs(shots, cmd::timer::SetTimerStartActive, 1u);
    // Before the runner reaches the trigger, while the door stands open and
    // after it closed again.
    shots->AddKey(2.0f, "closed",
                  "sys.Capture_BackBuffer((800, 600)); sys.Capture_Save(\"closed.tga\");");
    shots->AddKey(6.5f, "open",
                  "sys.Capture_BackBuffer((800, 600)); sys.Capture_Save(\"open.tga\");");
    shots->AddKey(9.5f, "save", "sys.Save_Game(\"level.sav\"); sys.Exit_Engine();");
    return AddSampleEnvironment(out, file) &&
           WriteActorFile(out, file, kMoverId, kEnvironmentId + 1) &&
           out.WriteText("e2e/level/init.txt",
                         CrLfLines({"../../game", "Level1.qva", "LevelRun.qva", "LevelRun"}));
}

bool WriteEndToEndActors(SampleOutput& out) {
    return WritePropFiles(out) && WriteGlobals(out) && WriteLevel(out);
}
