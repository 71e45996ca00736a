// The sound output on OpenAL Soft.
//
// Each voice is one AL source. A static voice plays one AL buffer, shared by
// its duplicates and deleted with the last of them. A stream voice queues
// its two half buffers in turn. The engine's left-handed coordinates become
// OpenAL's right-handed ones by negating z. Attenuation a (hundredths of a
// decibel) becomes the gain 10^(a / 2000). 3D voices attenuate by inverse
// distance, clamped between their minimum and maximum distances, and fall
// silent beyond the maximum; 2D voices sit on the listener, and stereo ones
// reach the left and right outputs unchanged.
//
// The loopback output mixes only when asked (RenderLoopback), as fast as the
// caller wants, without a sound card: tests listen through it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/os/sound_backend.h"

class AlSoundBackend : public SoundBackend {
public:
    enum class Output {
        Default,  // the system's default device
        Loopback, // mixed on demand into float samples
    };
    // Returns the device to open (an ALCdevice*), or null when none opens.
    using DeviceOpener = void* (*)();

    explicit AlSoundBackend(Output output = Output::Default);
    // Opens the device through the given function instead.
    explicit AlSoundBackend(DeviceOpener opener);
    ~AlSoundBackend() override;

    const char* Open(uint32_t channels, uint32_t samplesPerSecond,
                     uint32_t bitsPerSample) override;
    void Close() override;
    void SetListenerPosition(float x, float y, float z) override;
    void SetListenerVelocity(float x, float y, float z) override;
    void SetListenerOrientation(const float front[3], const float top[3]) override;
    void Commit() override;
    SoundVoice CreateStatic(const WaveFormat& format, const void* data, uint32_t size,
                            bool is3D) override;
    SoundVoice Duplicate(SoundVoice source, bool is3D) override;
    SoundVoice CreateStream(const WaveFormat& format, uint32_t halfSize, bool is3D) override;
    void Destroy(SoundVoice voice) override;
    void Play(SoundVoice voice, bool loop) override;
    void Stop(SoundVoice voice) override;
    void Pause(SoundVoice voice) override;
    bool IsPlaying(SoundVoice voice) override;
    void SetVolume(SoundVoice voice, int32_t attenuation) override;
    void SetFrequency(SoundVoice voice, uint32_t samplesPerSecond) override;
    uint32_t GetFrequency(SoundVoice voice) override;
    void SetPosition(SoundVoice voice, float x, float y, float z) override;
    void SetDistances(SoundVoice voice, float minDistance, float maxDistance) override;
    void WriteStreamHalf(SoundVoice voice, uint32_t half, const void* data,
                         uint32_t size) override;
    bool IsStreamHalfDue(SoundVoice voice, uint32_t half) override;
    void QueueStreamHalf(SoundVoice voice, uint32_t half, const void* data,
                         uint32_t size) override;
    void PlayStream(SoundVoice voice, uint32_t nextHalf) override;

    // Loopback only: mixes the next frames into out, interleaved floats of
    // the opened channel count. False when not a loopback output.
    bool RenderLoopback(float* out, uint32_t frames);
    // The source's current pitch and gain as OpenAL holds them (0 when the
    // voice is unknown).
    float GetPitch(SoundVoice voice);
    float GetGain(SoundVoice voice);

private:
    struct Voice;
    struct SharedBuffer;

    Voice* Find(SoundVoice voice);
    // A float property of the voice's source (AL_PITCH, AL_GAIN); 0 for an
    // unknown voice.
    float GetSourceFloat(SoundVoice voice, int param);
    void ApplyGain(Voice& v);
    SoundVoice AddVoice(std::unique_ptr<Voice> voice);
    void Unqueue(Voice& v, int count);
    void ClearQueue(Voice& v);

    Output output_;
    DeviceOpener opener_ = nullptr;
    uint32_t channels_ = 2;
    void* device_ = nullptr;  // ALCdevice*
    void* context_ = nullptr; // ALCcontext*
    std::mutex mutex_;
    std::map<SoundVoice, std::unique_ptr<Voice>> voices_;
    SoundVoice nextVoice_ = 1;
    // The engine's listener: committed, and set since the last commit.
    struct Listener {
        float position[3] = {0.0f, 0.0f, 0.0f};
        float velocity[3] = {0.0f, 0.0f, 0.0f};
        float front[3] = {0.0f, 0.0f, 1.0f};
        float top[3] = {0.0f, 1.0f, 0.0f};
    };
    Listener listener_, pending_;
};
