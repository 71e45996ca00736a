// A sound output without sound, for tests: every call is logged as a line of
// text and the voices keep their state, so that tests read volumes,
// frequencies, 3D settings and stream halves back. Stream halves are played
// only when a test says so (MarkHalfPlayed).
#pragma once

#include <array>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/os/sound_backend.h"

class RecordingSoundBackend : public SoundBackend {
public:
    struct Vec {
        float x = 0.0f, y = 0.0f, z = 0.0f;
    };

    struct Voice {
        bool stream = false;
        bool is3D = false;
        WaveFormat format;
        uint32_t frequency = 0; // current rate
        bool playing = false;
        bool paused = false;
        bool looping = false;
        int32_t attenuation = 0;
        Vec position;          // committed
        Vec pendingPosition;
        float minDistance = 1.0f;
        float maxDistance = 1e9f;
        float pendingMin = 1.0f;
        float pendingMax = 1e9f;
        uint32_t bufferId = 0; // shared by duplicates
        std::vector<uint8_t> data; // static voices
        std::array<std::vector<uint8_t>, 2> halves;
        std::deque<uint32_t> queue; // queued halves, oldest first
        std::array<bool, 2> played{{false, false}};
    };

    RecordingSoundBackend() = default;
    // Open answers this text (null: success).
    void FailOpenWith(const char* text) { openFailure_ = text; }
    // CreateStatic, Duplicate and CreateStream answer 0 from now on.
    void FailVoices(bool fail) { failVoices_ = fail; }

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

    // --- for tests ------------------------------------------------------------
    // The oldest queued half of a stream is played: it leaves the queue's
    // head unplayed no longer. When no half is left unplayed the stream ran
    // dry and stops.
    void MarkHalfPlayed(SoundVoice voice);
    // A static voice played once ran out of data: it stops at its start.
    // Looping and stream voices are left alone.
    void EndStaticVoice(SoundVoice voice);
    // A copy of a voice's state; a default voice when unknown.
    Voice GetVoice(SoundVoice voice);
    bool HasVoice(SoundVoice voice);
    size_t VoiceCount();
    // Buffers still held by a voice.
    size_t BufferCount();
    Vec ListenerPosition();
    // The logged lines, then empties the log.
    std::vector<std::string> TakeLog();

private:
    void Log(std::string line);
    Voice* Find(SoundVoice voice);
    // Under the lock: keeps a copy of a stream half's bytes. The voice, or
    // null (nothing kept) for an unknown voice or a half other than 0 or 1.
    Voice* StoreHalf(SoundVoice voice, uint32_t half, const void* data, uint32_t size);

    std::mutex mutex_;
    const char* openFailure_ = nullptr;
    bool failVoices_ = false;
    bool open_ = false;
    std::map<SoundVoice, Voice> voices_;
    SoundVoice nextVoice_ = 1;
    uint32_t nextBuffer_ = 1;
    Vec listenerPosition_, pendingListener_;
    std::vector<std::string> log_;
};
