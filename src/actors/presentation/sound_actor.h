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
#include "core/actors/command_ids.h"

class LibraryItem;

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
