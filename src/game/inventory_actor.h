// The game's front-end actor "Inventory" (class 10, always actor 16 under
// "Global"): the game's progress block that saved games exchange, the total
// score, the black screen fade, the volume options, the flash quads of the
// weapons and the head-up display's settings. Scripts and other actors reach
// it by commands only. Its record holds spare words: nothing of it is kept in
// actor files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class LibraryItem;

// The game's progress: 4122 words, word 0 the 1-based number of the mission
// the game continues with.
inline constexpr size_t kGameStateWords = 4122;
inline constexpr uint32_t kGameStateBytes = kGameStateWords * 4;
using GameStateBlock = std::array<uint32_t, kGameStateWords>;

// The block a game starts with: no mission yet, six slot words.
inline GameStateBlock FreshGameState() {
    GameStateBlock block{};
    block[1] = 6;
    return block;
}

// The block of the progress exchange (581 takes, 582 gives), in memory.
struct SaveExchangeBlock {
    char name[128];
    uint32_t mission;
    uint32_t *state;
    uint32_t size;
};
static_assert(offsetof(SaveExchangeBlock, mission) == 128);
static_assert(offsetof(SaveExchangeBlock, state) == 136);
static_assert(offsetof(SaveExchangeBlock, size) == 144);

// The head-up display's values of the process: the light sensor's shown
// colour, the film grain's texture offsets and the soul gauge's glow (its
// last amount is never updated, so the glow only shows when set).
struct InventoryHudValues {
    Vector4 lightSensorColor = {0.0f, 0.0f, 0.0f, 0.0f};
    float grainU = 0.0f;
    float grainV = 0.0f;
    float lastSoulAmount = 0.0f;
    float glowTimer = 0.0f;
};

// What one process keeps across every actor 16 it makes: each level load
// makes a new one from the globals file, and the game goes on with the
// progress block and the score all the same.
struct InventoryModuleValues {
    uint32_t missionNumber = 0;
    uint32_t showMissionMap = 0;
    float totalScore = 0.0f;
    uint32_t offerSaveAfterFade = 0;
    uint32_t musicVolumeStep = 4;
    uint32_t effectsVolumeStep = 4;
    float musicVolume = 1.0f;
    float effectsVolume = 1.0f;
    GameStateBlock gameState = FreshGameState();
};

class InventoryActor : public Actor {
  public:
    InventoryActor();

    static void RegisterClass();
    // The process's values (tests put them back with `= {}`).
    static InventoryModuleValues &Module();
    static InventoryHudValues &Hud();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    // Per frame (inventory_frame.cpp): the pause's end, the ammunition
    // selector and the screen fade; then the head-up display and the fade's
    // black quad.
    void Process() override;
    void Update() override;

    // Fades to black or from black over the seconds, unless one runs. No
    // time (0, less or not a number) ends at once at the end level.
    void FadeDown(float seconds);
    void FadeUp(float seconds);
    // Drops a running fade, fades down and plays the movie when it ends,
    // fading up over `fadeUpSeconds` after it.
    void FadeDownPlayMovie(const std::string &movie, float fadeUpSeconds);
    // Plays the film full screen until it ends or "Jump" or "Start" is
    // pressed, stops the player character's actions and fades up.
    void PlayPendingMovie(const std::string &movie);
    // Plays the film of mission index + 1 (index 200: mission 3) and loads
    // that mission with the globals, `flag` the load's first Bool. When the
    // mission's scene file is missing no film plays and the load is asked
    // for all the same: the world then brings back its start files.
    void StartMission(uint32_t index, uint32_t flag);

    int32_t pendingMission = -1;
    ActorLink missionMapActor{this};
    LibraryItem *gameFont = nullptr;
    uint32_t hudVisible = 0;
    LibraryItem *ammoFlareMaterial = nullptr;
    LibraryItem *soulIconMaterial = nullptr;
    LibraryItem *soulIcon02Material = nullptr;
    LibraryItem *soulIconFillMaterial = nullptr;
    LibraryItem *addGlowMaterial = nullptr;
    uint32_t hudOriginX = 0;
    uint32_t hudOriginY = 0;
    uint32_t screenWidth = 800;
    uint32_t screenHeight = 600;
    uint32_t screenCentreX = 400;
    uint32_t screenCentreY = 300;
    uint32_t fadeWidth = 800;
    uint32_t fadeHeight = 600;
    float fadeTimer = 0.0f;
    float fadeLevel = 0.0f;
    float fadeSpeed = 0.0f;
    LibraryItem *blackMaterial = nullptr;
    uint32_t fadeActive = 0;
    ActorLink masterCharacter{this};
    ActorLink itemsActor{this};
    uint32_t ammoItemCount = 0;
    std::array<int32_t, 100> ammoItems{}; // ids of the offered Game Objects
    ActorLink leftHandActor{this};
    ActorLink rightHandActor{this};
    uint32_t selectorOpen = 0;
    float selectorAlpha = 0.0f;
    float selectorFadeSpeed = 0.0f;
    float selectorTimer = 0.0f;
    int32_t selectedIndex = -1;
    ActorLink missionTimeActor{this};
    uint32_t missionClockShown = 1;
    ActorLink soulAmountActor{this};
    uint32_t soulGaugeShown = 1;
    GameStateBlock &gameState = Module().gameState;
    float rightFlash = 0.0f;
    float leftFlash = 0.0f;
    uint32_t leftLastBullets = 0;
    uint32_t rightLastBullets = 0;
    float hudAlpha = 1.0f;
    float pauseTime = 0.0f;
    std::string pendingMovie;
    float pendingMovieFadeUp = 0.0f;
    uint32_t handItemTick = 1;
    float filmGrainTimer = 0.0f;
    LibraryItem *filmGrainMaterial = nullptr;
    Vector4 filmGrainColor = {1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t lightSensorShown = 1;
    LibraryItem *lightSensorMaterial = nullptr;
    LibraryItem *lightSensor2Material = nullptr;
    std::string musicVolumeLabel;
    std::string effectsVolumeLabel;
    LibraryItem *enduranceBackMaterial = nullptr;
    LibraryItem *enduranceMarkMaterial = nullptr;
    uint32_t enduranceBarShown = 0;

  private:
    // Per frame (inventory_frame.cpp).
    float RecordDelta();
    void CountDownPause();
    void ListAmmoItems();
    void SelectorInput();
    void SelectorFade(float delta);
    void ScreenFade(float delta);
    // Polls the full-screen film until it ends; "Jump" or "Start" pressed
    // (with `heldJumpStops` "Jump" held too) stops it.
    static void WatchFilm(bool heldJumpStops);
    // Mission flow (inventory_missions.cpp).
    void StartGame();
    // The master player's character with its hands and "Items"; null when
    // there is none.
    void FindMasterCharacter();
    // True when the command ends early (the save offer waits for the fade).
    bool LevelCompleted(uint32_t index);
    // Where a fade ends with a mission waiting: the save offer, or the
    // mission.
    void FadeEndedWithMission();
    // "Inventory Hack" 5: the same mission again, or the start level from
    // mission 5 on.
    void RestartMission();
    // Whether the scene file is there, in the world's base folder.
    bool SceneFound(const std::string &scene);
    void DrawHud(float delta);
    void DrawHandPanel(Actor *hand, float anchorX, float &flash, uint32_t &lastBullets,
                       bool right, float delta);
    void DrawSelectorIcon();
    void DrawSoulGauge(float delta);
    void DrawMissionClock();
    void DrawEnduranceBar();
    void DrawFilmGrain(float delta);
    void DrawLightSensor(float delta);

    // Fades from one level to the other (0 clear, 1 black) over the seconds.
    void StartFade(float seconds, float from, float to);
    void SetUpHud();
    void QueueFlash(float alpha, float growth, uint32_t materialId);
    int TakeGameState(ParamBlock block);
    void GiveGameState(ParamBlock block);
    void Hack(uint32_t code);
    // The mission the flow was told of starts when a short fade to black
    // ends, after the save offer when `offerSave` is 1.
    void FadeToNextMission(uint32_t offerSave);
    void RetryWithFade(uint32_t missionWord);
    // Shows (and with `step` first advances) the music (0) or sound-effect
    // (1) volume; nothing without its "Text" actor.
    void VolumeOption(uint32_t which, bool step);
};
