// The sound output the sound layer (platform/sound.h) plays through: a device
// with a listener, and voices. A voice is either static (one buffer holding
// the whole sound; duplicates share it) or a stream (two halves that are
// filled and queued in turn, played one after the other).
//
// Coordinates are the engine's: left-handed, x right, y up, z ahead.
// Volumes are attenuations in hundredths of a decibel (0 = full, -5000 = far
// down); frequencies in samples per second. Listener and 3D voice settings
// are deferred until Commit.
//
// Implementations may be called from the window thread and the streaming
// thread at once and guard their own tables.
#pragma once

#include <cstdint>

#include "platform/wave_file.h"

// A voice handle; 0 is none.
using SoundVoice = uint32_t;

class SoundBackend {
public:
    virtual ~SoundBackend() = default;

    // Opens the output with the given format. Null on success, else the
    // text of the failed step.
    virtual const char* Open(uint32_t channels, uint32_t samplesPerSecond,
                             uint32_t bitsPerSample) = 0;
    // Frees every voice and closes the output. Voice handles made before
    // are invalid afterwards.
    virtual void Close() = 0;

    // --- listener (deferred) -----------------------------------------------
    virtual void SetListenerPosition(float x, float y, float z) = 0;
    virtual void SetListenerVelocity(float x, float y, float z) = 0;
    virtual void SetListenerOrientation(const float front[3], const float top[3]) = 0;
    // Applies the deferred listener and 3D voice settings.
    virtual void Commit() = 0;

    // --- voices ------------------------------------------------------------
    // A static voice holding the data (whole sample frames). 0 on failure.
    virtual SoundVoice CreateStatic(const WaveFormat& format, const void* data, uint32_t size,
                                    bool is3D) = 0;
    // A second voice on a static voice's buffer; 3D only when both the
    // request and the source are. 0 on failure.
    virtual SoundVoice Duplicate(SoundVoice source, bool is3D) = 0;
    // A stream voice with two halves of halfSize bytes. 0 on failure.
    virtual SoundVoice CreateStream(const WaveFormat& format, uint32_t halfSize, bool is3D) = 0;
    // Stops and frees a voice; a shared buffer goes with its last voice.
    virtual void Destroy(SoundVoice voice) = 0;

    // Static voice: starts it from its position; on a playing voice only
    // the looping changes.
    virtual void Play(SoundVoice voice, bool loop) = 0;
    // Stops and rewinds; a stream's queue is emptied.
    virtual void Stop(SoundVoice voice) = 0;
    // Stops, keeping the position.
    virtual void Pause(SoundVoice voice) = 0;
    virtual bool IsPlaying(SoundVoice voice) = 0;

    virtual void SetVolume(SoundVoice voice, int32_t attenuation) = 0;
    // 0 restores the voice's own rate; values outside 100..200000 are
    // refused and the rate stays.
    virtual void SetFrequency(SoundVoice voice, uint32_t samplesPerSecond) = 0;
    virtual uint32_t GetFrequency(SoundVoice voice) = 0;
    // 3D voices only (deferred).
    virtual void SetPosition(SoundVoice voice, float x, float y, float z) = 0;
    virtual void SetDistances(SoundVoice voice, float minDistance, float maxDistance) = 0;

    // --- streams -------------------------------------------------------------
    // Writes a half that is not queued (after creation or Stop).
    virtual void WriteStreamHalf(SoundVoice voice, uint32_t half, const void* data,
                                 uint32_t size) = 0;
    // Whether a half may be refilled: it has been played or is not queued.
    virtual bool IsStreamHalfDue(SoundVoice voice, uint32_t half) = 0;
    // Refills a due half and queues it behind the other; a voice that ran
    // dry while playing starts again.
    virtual void QueueStreamHalf(SoundVoice voice, uint32_t half, const void* data,
                                 uint32_t size) = 0;
    // Plays from half 0; half 1 follows when nextHalf is 0, else it waits
    // for its refill.
    virtual void PlayStream(SoundVoice voice, uint32_t nextHalf) = 0;
};
