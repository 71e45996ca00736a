// The Ambient Sound actor (class 30): a plain (not positional) sound player
// with numbered channels. Scripts start a library sound by name on a
// channel, once or looped, with an optional fade-in, stop a channel with an
// optional fade-out, set a channel's volume, and pause or resume the whole
// actor. A sound faded out leaves its channel at once and dies away in a
// released entry at the end of the list. The actor plays the library's own
// (shared) sound items and does its work in "Process", to which it
// subscribes on "Precalculate".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

class LibraryItem;

// Entry states.
inline constexpr uint32_t kAmbientFree = 0;
inline constexpr uint32_t kAmbientPlaying = 1;
inline constexpr uint32_t kAmbientFadingIn = 2;
inline constexpr uint32_t kAmbientReleased = 3;

inline constexpr uint32_t kAmbientChannelCount = 8;

struct AmbientSoundEntry {
    LibraryItem *item = nullptr; // the library's shared item
    std::string name;
    float fade = 0.0f;
    float volume = 1.0f;
    float fadeRate = 0.0f;
    float frequency = 1.0f;
    uint32_t state = kAmbientFree;
    uint32_t looping = 0;
    int32_t refCount = 0;
    uint32_t useRefCount = 0;
    uint32_t channel = 0;
};

class AmbientSoundActor : public Actor {
  public:
    AmbientSoundActor();
    ~AmbientSoundActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    void Play(const std::string &name, uint32_t channel, float fadeTime, bool loop);
    void Stop(uint32_t channel, float fadeTime);

    std::vector<AmbientSoundEntry> entries;
    uint32_t channelCount = kAmbientChannelCount;

  private:
    // Whether another Ambient Sound in the actor table holds the item in
    // one of its entries.
    bool PlayedByAnother(const LibraryItem *item) const;
    bool IsChannel(uint32_t channel) const { return channel >= 1 && channel <= channelCount; }
    // Moves the entry's sound into a released entry at the end of the list
    // that fades out over about fadeTime seconds.
    void Release(const AmbientSoundEntry &entry, float fadeTime);
    void SendVolume(const AmbientSoundEntry &entry);
    void SendAllVolumes();
    void PlayItem(const AmbientSoundEntry &entry);
};
