// The Sound actor (class 2): a sound emitter in the scene tree. It owns a
// private copy of one library sound and plays it plainly (2D) or at its
// world position (3D), once or looped, with a random volume, pan and
// frequency around its base values at each start. Its pitch follows the
// speed of its own time; it fades in and out with its draw group and
// restarts when an action starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"

class LibraryItem;

inline constexpr uint32_t kSoundClassId = 2;

inline constexpr uint32_t kCmdSoundSet = 405;
inline constexpr uint32_t kCmdSoundGet = 406;
inline constexpr uint32_t kCmdSoundSetType = 407;
inline constexpr uint32_t kCmdSoundGetType = 408;
inline constexpr uint32_t kCmdSoundSetPlayStyle = 409;
inline constexpr uint32_t kCmdSoundGetPlayStyle = 410;
inline constexpr uint32_t kCmdSoundSetLoopCount = 411;
inline constexpr uint32_t kCmdSoundGetLoopCount = 412;
inline constexpr uint32_t kCmdSoundSetStartPlaying = 413;
inline constexpr uint32_t kCmdSoundGetStartPlaying = 414;
inline constexpr uint32_t kCmdSoundSetMinRadius = 415;
inline constexpr uint32_t kCmdSoundGetMinRadius = 416;
inline constexpr uint32_t kCmdSoundSetRadius = 417;
inline constexpr uint32_t kCmdSoundGetRadius = 418;
inline constexpr uint32_t kCmdSoundSetVolume = 419;
inline constexpr uint32_t kCmdSoundGetVolume = 420;
inline constexpr uint32_t kCmdSoundSetPan = 421;
inline constexpr uint32_t kCmdSoundGetPan = 422;
inline constexpr uint32_t kCmdSoundSetFrequency = 423;
inline constexpr uint32_t kCmdSoundGetFrequency = 424;
inline constexpr uint32_t kCmdSoundSetVolumeV = 425;
inline constexpr uint32_t kCmdSoundGetVolumeV = 426;
inline constexpr uint32_t kCmdSoundSetPanV = 427;
inline constexpr uint32_t kCmdSoundGetPanV = 428;
inline constexpr uint32_t kCmdSoundSetFrequencyV = 429;
inline constexpr uint32_t kCmdSoundGetFrequencyV = 430;
inline constexpr uint32_t kCmdSoundSet3DPosEffect = 431;
inline constexpr uint32_t kCmdSoundGet3DPosEffect = 432;
inline constexpr uint32_t kCmdSoundPlayByName = 433;
inline constexpr uint32_t kCmdSoundPlayWithPriority = 434;
inline constexpr uint32_t kCmdSoundPlay = 435;
inline constexpr uint32_t kCmdSoundStop = 436;
inline constexpr uint32_t kCmdSoundPause = 437;
inline constexpr uint32_t kCmdSoundVolume = 438; // "Sound"
inline constexpr uint32_t kCmdSoundUpdatePlaying = 439;
inline constexpr uint32_t kCmdSoundPausePlaying = 440;
inline constexpr uint32_t kCmdSoundResumePlaying = 441;

// Sound types and play styles.
inline constexpr uint32_t kSound2D = 0;
inline constexpr uint32_t kSound3D = 1;
inline constexpr uint32_t kSoundOnce = 0;
inline constexpr uint32_t kSoundLoop = 1;
inline constexpr uint32_t kSoundLoopTimes = 2;

class SoundActor : public Actor {
  public:
    SoundActor();
    ~SoundActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    void StartPlaying(bool loop);
    void RandomizeParameters();
    // This actor's time rate: the simulation multiplier times the effective
    // multiplier of its time record, brought up to date first.
    float TimeRate();

    LibraryItem *item = nullptr;
    uint32_t itemIndex = 1;
    uint32_t type = kSound3D;
    float volume = 1.0f;
    float pan = 0.0f;
    float frequency = 1.0f;
    float volumeVariation = 0.0f;
    float panVariation = 0.0f;
    float frequencyVariation = 0.0f;
    float currentVolume = 1.0f;
    float currentPan = 0.0f;
    float currentFrequency = 1.0f;
    float minRadius = 200.0f;
    float radius = 600.0f;
    float positionEffect = 0.2f;
    uint32_t playOnStart = 0;
    uint32_t playStyle = kSoundOnce;
    uint32_t loopCount = 0;
    uint32_t reserved = 0;
    uint32_t resourcesLoaded = 0;
    uint32_t playing = 0;
    float lastFrequency = 1.0f;
    float spare = 1.0f;
    float actionVolume = 1.0f;
    float soundVolume = 1.0f;
    float restartFade = 1.0f;
    uint32_t restartPending = 0;

  private:
    uint32_t PlayFlag() const { return type == kSound3D ? 2u : 0u; }
    // Lets go of the item (a private copy is deleted).
    void ReleaseItem();
    LibraryItem *AcquireAt(uint32_t index);
    int SetSound(LibraryItem *newItem);
    void SendVolume(float value);
    void SendFrequency(float value);
    int Create(ParamBlock block);
    void ScheduleFade(float from, float to);
};
