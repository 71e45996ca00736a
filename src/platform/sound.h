// The sound layer: one output device with a 3D listener, sounds held whole
// (SoundBuffer) and sounds streamed from their wave file through a ring of
// two halves (SoundStream) that a background thread refills every 100 ms.
//
// Everything here is module-wide state used from the window thread; the
// streaming thread only runs RunStreamingPass. SoundLock guards the stream
// list and every stream's ring, file position and counters.
//
// Failing operations answer 0 or null and leave their text in the sound
// layer's error text (GetSoundErrorText). A null sound is ignored by every
// operation; queries answer 0. Without a device nothing plays: opening a
// sound fails and the listener calls do nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/math.h"
#include "platform/os/sound_backend.h"
#include "platform/wave_file.h"

class SoundBackend;

// Buffer-description flags of the open operations.
inline constexpr uint32_t kSoundCtrl3D = 0x10;
inline constexpr uint32_t kSoundFlags2D = 0xE0;    // frequency, pan and volume control
inline constexpr uint32_t kSoundFlags3D = 0x200B0; // 3D, frequency, volume, mute at max distance

// At most this many streams play at once.
inline constexpr uint32_t kMaxPlayingStreams = 4;

// A sound held whole in one buffer.
struct SoundBuffer {
    SoundBuffer() = default;
    virtual ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    SoundVoice voice = 0;
    uint32_t generation = 0; // the device the voice belongs to
    bool has3D = false;
    uint32_t baseFrequency = 0;
    uint32_t streamFlag = 0;
    uint32_t duplicateFlag = 0;
    float length = 0.0f; // seconds
    WaveFormat format;
};

// A sound streamed from its file through two halves of H bytes.
struct SoundStream : SoundBuffer {
    ~SoundStream() override;

    FileHandle file;
    uint32_t dataStart = 0;
    SoundStream* next = nullptr; // stream list, newest first
    uint32_t halfSize = 0;       // H
    uint32_t dataSize = 0;       // played bytes: whole halves
    uint32_t bytesRead = 0;      // put into the ring so far, silence included
    uint32_t nextHalf = 0;       // the half refilled next
    float frequencyFactor = 1.0f;
    std::string fileName;
    uint32_t loop = 0;

    bool listed = false;          // in the stream list (playing)
    bool ringFresh = false;       // the ring holds a fill no pass has refilled
    uint32_t ringFillLoop = 0;    // the loop flag that fill assumed
    std::vector<uint8_t> staging; // one half, on its way to the output
};

// --- device and listener -------------------------------------------------------

// Opens the default output (window is unused) and starts the streaming
// thread. 1, or 0 with the text of the failed step.
int CreateSoundDevice(void* window, uint32_t channels, uint32_t samplesPerSecond,
                      uint32_t bitsPerSample);
// The same on a given output; tests may leave the thread off and run the
// passes themselves.
int CreateSoundDeviceOn(std::unique_ptr<SoundBackend> backend, uint32_t channels,
                        uint32_t samplesPerSecond, uint32_t bitsPerSample,
                        bool startThread = true);
// Stops and joins the streaming thread, empties the stream list and closes
// the output. Sounds still open stay valid objects without a voice; only
// ReleaseSoundBuffer is of use on them. Also run at exit.
void ShutdownSoundDevice();
bool HasSoundDevice();
// The open output, or null.
SoundBackend* GetSoundBackend();

void SetListenerPosition(const Vector3& position);
void SetListenerVelocity(const Vector3& velocity);
void SetListenerFront(const Vector3& front);
void SetListenerTop(const Vector3& top);
void CommitListenerSettings();

const char* GetSoundErrorText();
// Stores the text (at most 511 characters) and answers 0.
int SetSoundError(const char* text);

// --- sounds ------------------------------------------------------------------------

SoundBuffer* OpenStaticSound(const char* fileName, uint32_t flags);
SoundStream* OpenStreamedSound(const char* fileName, uint32_t flags);
SoundBuffer* OpenStaticSound2D(const char* fileName);
SoundStream* OpenStreamedSound2D(const char* fileName);
SoundBuffer* OpenStaticSound3D(const char* fileName);
SoundStream* OpenStreamedSound3D(const char* fileName);

// A static sound: a second voice on the same data. A stream: its file opened
// again as a 2D stream.
SoundBuffer* DuplicateSoundBuffer(SoundBuffer* sound, uint32_t flags);
SoundBuffer* DuplicateSoundBuffer3D(SoundBuffer* sound);

void PlaySoundBuffer(SoundBuffer* sound, uint32_t loop);
void StopSoundBuffer(SoundBuffer* sound);
void PauseSoundBuffer(SoundBuffer* sound);
uint32_t IsSoundBufferPlaying(SoundBuffer* sound);
void SetSoundVolume(SoundBuffer* sound, float volume);
void SetSoundFrequency(SoundBuffer* sound, float factor);
void SetSoundPosition(SoundBuffer* sound, const Vector3& position);
void SetSoundDistances(SoundBuffer* sound, float minDistance, float maxDistance);
float GetSoundLength(SoundBuffer* sound);
void ReleaseSoundBuffer(SoundBuffer* sound);

// --- streaming ---------------------------------------------------------------------

// One pass of the streaming thread over the stream list: refills the halves
// that are due, loops or pads with silence, and stops streams that have
// played out.
void RunStreamingPass();
// Voices fed by others (films): each feed is called at the start of every
// streaming pass with SoundLock held, device or not in between. Removing a
// feed waits for a pass in progress.
using StreamFeed = void (*)(void* context);
void AddStreamFeed(StreamFeed feed, void* context);
void RemoveStreamFeed(void* context);
// Streams in the stream list.
uint32_t GetPlayingStreamCount();

// Attenuation in hundredths of a decibel for a volume (clamped to 0..1).
int32_t SoundVolumeToAttenuation(float volume);
