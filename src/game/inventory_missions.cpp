// The front-end actor's mission flow: the start of a level, the end of one
// with the save offer, the end of the fade that follows, the restarts, and
// the start of a mission with its film and its load.
#include <cstdio>
#include <string>

#include "actors/characters/player_actor.h"
#include "actors/presentation/ambient_sound_actor.h"
#include "actors/presentation/sound_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_path.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "game/game_sleep.h"
#include "game/inventory_actor.h"
#include "game/inventory_helpers.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "library/resource_library.h"
#include "library/video_items.h"
#include "platform/graphics.h"
#include "platform/input.h"

using inventory::kFilmInputStep;
using inventory::Live;
using inventory::SendZero;
using inventory::StopPlayerCharacter;
using inventory::TellEveryActor;

namespace {

const char *const kGlobalsFile = "data\\Globals1_XBox.qva";
const char *const kStartLevelFile = "data\\StoneCourt.qva";
// The mission that shows neither the head-up display nor its map.
constexpr uint32_t kBareMission = 26;
constexpr uint32_t kSoundMixerChannels = 8;
constexpr float kSoundMixerStopSeconds = 1.8f;
constexpr float kLevelFadeUpSeconds = 3.0f;
constexpr float kAfterOfferSeconds = 0.5f;

Actor *Anywhere(const char *name) { return FindDescendantByName(GetActorSystem(), name); }

// The speed of time back to normal: the world's record and the Player's
// time-scale effect.
void ResetTime() {
    ResetPlayerTimeScale();
    RootTimeRecord()->effectiveMultiplier = 1.0f;
}

// The player character back in its neutral motion, hands stopped, held for
// a while.
void ResetCharacter() {
    Actor *player = GetGlobalActor(1);
    if (player == nullptr) {
        return;
    }
    SendCommandArgs(player, cmd::skin_object::SetMotion, std::string("N_Neutral"));
    StopPlayerCharacter();
    SendCommandArgs(GetGlobalActor(1), cmd::character::SetHoldTime, 2000.0f);
}

void PauseSounds() {
    SendZero(Anywhere("SoundMixer"), cmd::ambient_sound::ASoundPause);
    TellEveryActor(cmd::sound::SoundPausePlayingSound);
}

std::string MissionScene(uint32_t number) {
    char scene[64];
    std::snprintf(scene, sizeof(scene), "data\\Mission_%02u_Release.qva", number);
    return scene;
}

// Mission index 200 is mission 3.
uint32_t MissionNumber(uint32_t index) { return index == 200 ? 3 : index + 1; }

void NewGame(const std::string &scene, uint32_t flag) {
    SendCommandArgs(GetActorSystem(), cmd::actor_system::NewGame2, std::string(kGlobalsFile), scene,
                    flag != 0,
                    false);
}

// One black frame, so that nothing of the level shows before the film.
void BlackFrame() {
    if (ResourceLibrary *library = GetLibrary()) {
        library->SetClearColor(0);
    }
    CQVGraphics *graphics = GetGraphics();
    if (graphics != nullptr && graphics->BeginFrame()) {
        graphics->ClearScreen(0);
        graphics->EndFrame();
        graphics->PresentFrame();
    }
}

} // namespace

void InventoryActor::FindMasterCharacter() {
    // Looked up again at every start: a character an earlier level left is
    // not kept. ("Precalculate" finds the clock and the soul amount.)
    Actor *master = nullptr;
    if (auto *player =
            dynamic_cast<PlayerActor *>(FindActorByName("MASTERPLAYER", int32_t(kPlayerClassId)))) {
        master = player->characterPath.empty() ? Live(player->controlledCharacter)
                                               : FindActorByPath(player->characterPath, player);
    }
    masterCharacter.Assign(master);
    leftHandActor.Assign(FindDescendantByName(master, "LeftHand"));
    rightHandActor.Assign(FindDescendantByName(master, "RightHand"));
    itemsActor.Assign(FindDescendantByName(master, "Items"));
}

void InventoryActor::StartGame() {
    ResetTime();
    FindMasterCharacter();
    hudVisible = 1;
    InventoryModuleValues &module = Module();
    if (module.showMissionMap != 0 && module.missionNumber != kBareMission) {
        char name[32];
        std::snprintf(name, sizeof(name), "MissionMap_%02u", module.missionNumber);
        module.showMissionMap = 0;
        gameState[0] = module.missionNumber;
        missionMapActor.Assign(FindDescendantByName(this, name));
        if (Actor *map = Live(missionMapActor)) {
            SendCommandArgs(map, cmd::ui_sprite::SetUISpriteMaterial, std::string(name));
            SendZero(Live(missionMapActor), cmd::base::ActionStart);
            SendZero(Live(missionMapActor), cmd::base::ActionStop);
        }
    }
    FadeUp(kLevelFadeUpSeconds);
    if (module.missionNumber == kBareMission) {
        hudVisible = 0;
        handItemTick = 0;
        lightSensorMaterial = nullptr;
    }
}

bool InventoryActor::LevelCompleted(uint32_t index) {
    ResetTime();
    ResetCharacter();
    for (uint32_t channel = 1; channel <= kSoundMixerChannels; ++channel) {
        SendCommandArgs(Anywhere("SoundMixer"), cmd::ambient_sound::ASoundStop, channel,
                        kSoundMixerStopSeconds);
    }
    TellEveryActor(cmd::sound::SoundPausePlayingSound);
    hudVisible = 0;
    pendingMission = int32_t(index);
    gameState[0] = index + 1;
    HandleCommand(cmd::inventory::OnLevelCompleted, ParamBlock());

    if (index > 0 && index < 100 && index != 25) {
        // The save offer comes when the screen is black.
        FadeToNextMission(1);
        TellEveryActor(cmd::sound::SoundPausePlayingSound);
        return true;
    }
    StartMission(index, 1);
    pendingMission = -1;
    TellEveryActor(cmd::sound::SoundPausePlayingSound);
    SendZero(Anywhere("SoundMixer"), cmd::ambient_sound::ASoundPause);
    return false;
}

void InventoryActor::FadeEndedWithMission() {
    InventoryModuleValues &module = Module();
    Actor *offer = FindDescendantByName(Anywhere("Menu"), "SaveContinueMenu");
    if (module.offerSaveAfterFade != 0 && offer != nullptr) {
        // The menu takes the frames; when it closes this short fade ends and
        // the mission starts.
        SendZero(offer, cmd::base::ActionStart);
        SendZero(Anywhere("Menu"), cmd::ui_system::UISystemActivate);
        fadeTimer = kAfterOfferSeconds;
        fadeActive = 1;
        module.offerSaveAfterFade = 0;
        StopPlayerCharacter();
        return;
    }
    StartMission(uint32_t(pendingMission), 1);
    pendingMission = -1;
}

void InventoryActor::RestartMission() {
    const uint32_t number = Module().missionNumber;
    // Mission number 0 (none started yet) restarts the first.
    const uint32_t index = number > 0 ? number - 1 : 0;
    ResetCharacter();
    if (number < 5) {
        StartMission(index, 0);
        pendingMission = -1;
    } else {
        NewGame(kStartLevelFile, 0);
    }
}

bool InventoryActor::SceneFound(const std::string &scene) {
    std::string path;
    FileHandle file;
    ActorSystem *system = GetActorSystem();
    return system != nullptr && JoinBaseFolder(system->baseFolder, scene, &path) &&
           file.Open(path.c_str(), "rb");
}

void InventoryActor::StartMission(uint32_t index, uint32_t flag) {
    const uint32_t number = MissionNumber(index);
    const std::string scene = MissionScene(number);
    StopPlayerCharacter();
    PauseSounds();
    if (!SceneFound(scene)) {
        // No film for a mission that is not there. The load is asked for
        // all the same: like one whose file cannot be read whole, it brings
        // back the files the game started with, whose menu tells the player.
        NewGame(scene, flag);
        return;
    }
    GameSleep(50);
    GameSleep(50);
    char movie[32];
    std::snprintf(movie, sizeof(movie), "Mission_%02u", number);
    // Presses made before the film do not skip it.
    UpdateInput(kFilmInputStep, 1);
    UpdateInput(kFilmInputStep, 1);
    BlackFrame();
    PlayVideoFile(movie);
    GameSleep(200);
    WatchFilm(true);
    GameSleep(50);
    NewGame(scene, flag);
    Module().missionNumber = number;
    Module().showMissionMap = 1;
}
