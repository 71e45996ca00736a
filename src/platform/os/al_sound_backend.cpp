#include "platform/os/al_sound_backend.h"

#define AL_ALEXT_PROTOTYPES 1
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "platform/os/library_log.h"

namespace {

constexpr float kDefaultMinDistance = 1.0f;
constexpr float kDefaultMaxDistance = 1e9f;

ALenum AlFormatOf(const WaveFormat& format) {
    if (format.channels == 1) {
        return format.bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    }
    return format.bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

ALCdevice* AsDevice(void* p) { return static_cast<ALCdevice*>(p); }
ALCcontext* AsContext(void* p) { return static_cast<ALCcontext*>(p); }

} // namespace

struct AlSoundBackend::SharedBuffer {
    ALuint id = 0;
    ~SharedBuffer() {
        if (id != 0) {
            alDeleteBuffers(1, &id);
        }
    }
};

struct AlSoundBackend::Voice {
    ALuint source = 0;
    bool stream = false;
    bool is3D = false;
    WaveFormat format;
    ALenum alFormat = AL_FORMAT_MONO16;
    uint32_t frequency = 0;
    std::shared_ptr<SharedBuffer> buffer; // static voices
    ALuint halves[2] = {0, 0};            // stream voices
    std::deque<uint32_t> queue;           // queued halves, oldest first
    float volumeGain = 1.0f;
    bool muted = false;
    float position[3] = {0.0f, 0.0f, 0.0f};
    float minDistance = kDefaultMinDistance;
    float maxDistance = kDefaultMaxDistance;
    float pendingPosition[3] = {0.0f, 0.0f, 0.0f};
    float pendingMin = kDefaultMinDistance;
    float pendingMax = kDefaultMaxDistance;
};

AlSoundBackend::AlSoundBackend(Output output) : output_(output) {}

AlSoundBackend::AlSoundBackend(DeviceOpener opener) : output_(Output::Default), opener_(opener) {}

AlSoundBackend::~AlSoundBackend() { Close(); }

AlSoundBackend::Voice* AlSoundBackend::Find(SoundVoice voice) {
    auto it = voices_.find(voice);
    return it == voices_.end() ? nullptr : it->second.get();
}

const char* AlSoundBackend::Open(uint32_t channels, uint32_t samplesPerSecond,
                                 uint32_t bitsPerSample) {
    (void)bitsPerSample; // the device chooses its own sample type
    QuietenSoundLibraries();
    Close();
    std::lock_guard lock(mutex_);
    channels_ = channels == 1 ? 1 : 2;
    ALCdevice* device = nullptr;
    if (opener_ != nullptr) {
        device = static_cast<ALCdevice*>(opener_());
    } else if (output_ == Output::Loopback) {
        auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        device = open != nullptr ? open(nullptr) : nullptr;
    } else {
        device = alcOpenDevice(nullptr);
    }
    if (device == nullptr) {
        return "Create Sound Device";
    }

    // Every loaded sound and copy holds a source: ask for plenty.
    std::vector<ALCint> attributes = {ALC_FREQUENCY, static_cast<ALCint>(samplesPerSecond),
                                      ALC_MONO_SOURCES, 1024, ALC_STEREO_SOURCES, 32};
    if (output_ == Output::Loopback && opener_ == nullptr) {
        attributes.insert(attributes.end(),
                          {ALC_FORMAT_CHANNELS_SOFT,
                           channels_ == 1 ? ALC_MONO_SOFT : ALC_STEREO_SOFT,
                           ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT});
    }
    attributes.push_back(0);
    ALCcontext* context = alcCreateContext(device, attributes.data());
    if (context == nullptr) {
        alcCloseDevice(device);
        return "Set Primary Sound Buffer Format";
    }
    if (alcMakeContextCurrent(context) != ALC_TRUE) {
        alcDestroyContext(context);
        alcCloseDevice(device);
        return "Set Cooperative Level";
    }
    device_ = device;
    context_ = context;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    alListener3f(AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    const ALfloat orientation[6] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
    alListenerfv(AL_ORIENTATION, orientation);
    listener_ = Listener{};
    pending_ = Listener{};
    alGetError();
    return nullptr;
}

void AlSoundBackend::Close() {
    std::lock_guard lock(mutex_);
    if (context_ == nullptr) {
        voices_.clear();
        return;
    }
    for (auto& [id, v] : voices_) {
        alSourceStop(v->source);
        alSourcei(v->source, AL_BUFFER, 0);
        alDeleteSources(1, &v->source);
        if (v->stream) {
            alDeleteBuffers(2, v->halves);
        }
    }
    voices_.clear(); // shared buffers go once no source holds them
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(AsContext(context_));
    alcCloseDevice(AsDevice(device_));
    context_ = nullptr;
    device_ = nullptr;
}

// --- listener --------------------------------------------------------------------

void AlSoundBackend::SetListenerPosition(float x, float y, float z) {
    std::lock_guard lock(mutex_);
    pending_.position[0] = x;
    pending_.position[1] = y;
    pending_.position[2] = z;
}

void AlSoundBackend::SetListenerVelocity(float x, float y, float z) {
    std::lock_guard lock(mutex_);
    pending_.velocity[0] = x;
    pending_.velocity[1] = y;
    pending_.velocity[2] = z;
}

void AlSoundBackend::SetListenerOrientation(const float front[3], const float top[3]) {
    std::lock_guard lock(mutex_);
    std::copy(front, front + 3, pending_.front);
    std::copy(top, top + 3, pending_.top);
}

void AlSoundBackend::ApplyGain(Voice& v) {
    alSourcef(v.source, AL_GAIN, v.muted ? 0.0f : v.volumeGain);
}

void AlSoundBackend::Commit() {
    std::lock_guard lock(mutex_);
    if (context_ == nullptr) {
        return;
    }
    alDeferUpdatesSOFT();
    listener_ = pending_;
    const Listener& l = listener_;
    alListener3f(AL_POSITION, l.position[0], l.position[1], -l.position[2]);
    alListener3f(AL_VELOCITY, l.velocity[0], l.velocity[1], -l.velocity[2]);
    const ALfloat orientation[6] = {l.front[0], l.front[1], -l.front[2],
                                    l.top[0],   l.top[1],   -l.top[2]};
    alListenerfv(AL_ORIENTATION, orientation);
    for (auto& [id, vp] : voices_) {
        Voice& v = *vp;
        if (!v.is3D) {
            continue;
        }
        std::copy(v.pendingPosition, v.pendingPosition + 3, v.position);
        v.minDistance = v.pendingMin;
        v.maxDistance = v.pendingMax;
        alSource3f(v.source, AL_POSITION, v.position[0], v.position[1], -v.position[2]);
        alSourcef(v.source, AL_REFERENCE_DISTANCE, v.minDistance);
        alSourcef(v.source, AL_MAX_DISTANCE, v.maxDistance);
        // Muted while beyond its maximum distance; a distance that is not
        // finite (a listener or sound nowhere) counts as beyond it.
        const float dx = v.position[0] - l.position[0];
        const float dy = v.position[1] - l.position[1];
        const float dz = v.position[2] - l.position[2];
        const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
        v.muted = !std::isfinite(distance) || distance > v.maxDistance;
        ApplyGain(v);
    }
    alProcessUpdatesSOFT();
    alGetError();
}

// --- voices ------------------------------------------------------------------------

SoundVoice AlSoundBackend::AddVoice(std::unique_ptr<Voice> voice) {
    Voice& v = *voice;
    alSourcef(v.source, AL_PITCH, 1.0f);
    alSourcef(v.source, AL_GAIN, 1.0f);
    alSourcei(v.source, AL_LOOPING, AL_FALSE);
    if (v.is3D) {
        alSourcei(v.source, AL_SOURCE_RELATIVE, AL_FALSE);
        alSource3f(v.source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(v.source, AL_ROLLOFF_FACTOR, 1.0f);
        alSourcef(v.source, AL_REFERENCE_DISTANCE, kDefaultMinDistance);
        alSourcef(v.source, AL_MAX_DISTANCE, kDefaultMaxDistance);
    } else {
        alSourcei(v.source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(v.source, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(v.source, AL_ROLLOFF_FACTOR, 0.0f);
        if (v.format.channels == 2) {
            alSourcei(v.source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
        }
    }
    alGetError();
    SoundVoice id = nextVoice_++;
    if (nextVoice_ == 0) {
        nextVoice_ = 1;
    }
    voices_[id] = std::move(voice);
    return id;
}

SoundVoice AlSoundBackend::CreateStatic(const WaveFormat& format, const void* data,
                                        uint32_t size, bool is3D) {
    std::lock_guard lock(mutex_);
    if (context_ == nullptr || (is3D && format.channels != 1)) {
        return 0;
    }
    alGetError();
    auto buffer = std::make_shared<SharedBuffer>();
    alGenBuffers(1, &buffer->id);
    if (alGetError() != AL_NO_ERROR) {
        buffer->id = 0;
        return 0;
    }
    alBufferData(buffer->id, AlFormatOf(format), data, static_cast<ALsizei>(size),
                 static_cast<ALsizei>(format.samplesPerSecond));
    if (alGetError() != AL_NO_ERROR) {
        return 0;
    }
    auto voice = std::make_unique<Voice>();
    alGenSources(1, &voice->source);
    if (alGetError() != AL_NO_ERROR) {
        return 0;
    }
    voice->is3D = is3D;
    voice->format = format;
    voice->alFormat = AlFormatOf(format);
    voice->frequency = format.samplesPerSecond;
    voice->buffer = std::move(buffer);
    alSourcei(voice->source, AL_BUFFER, static_cast<ALint>(voice->buffer->id));
    return AddVoice(std::move(voice));
}

SoundVoice AlSoundBackend::Duplicate(SoundVoice source, bool is3D) {
    std::lock_guard lock(mutex_);
    Voice* src = Find(source);
    if (src == nullptr || src->stream) {
        return 0;
    }
    alGetError();
    auto voice = std::make_unique<Voice>();
    alGenSources(1, &voice->source);
    if (alGetError() != AL_NO_ERROR) {
        return 0;
    }
    voice->is3D = is3D && src->is3D;
    voice->format = src->format;
    voice->alFormat = src->alFormat;
    voice->frequency = src->format.samplesPerSecond;
    voice->buffer = src->buffer;
    alSourcei(voice->source, AL_BUFFER, static_cast<ALint>(voice->buffer->id));
    return AddVoice(std::move(voice));
}

SoundVoice AlSoundBackend::CreateStream(const WaveFormat& format, uint32_t halfSize,
                                        bool is3D) {
    std::lock_guard lock(mutex_);
    (void)halfSize;
    if (context_ == nullptr || (is3D && format.channels != 1)) {
        return 0;
    }
    alGetError();
    auto voice = std::make_unique<Voice>();
    alGenBuffers(2, voice->halves);
    if (alGetError() != AL_NO_ERROR) {
        return 0;
    }
    alGenSources(1, &voice->source);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(2, voice->halves);
        return 0;
    }
    voice->stream = true;
    voice->is3D = is3D;
    voice->format = format;
    voice->alFormat = AlFormatOf(format);
    voice->frequency = format.samplesPerSecond;
    return AddVoice(std::move(voice));
}

void AlSoundBackend::Destroy(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    auto it = voices_.find(voice);
    if (it == voices_.end()) {
        return;
    }
    Voice& v = *it->second;
    alSourceStop(v.source);
    alSourcei(v.source, AL_BUFFER, 0);
    alDeleteSources(1, &v.source);
    if (v.stream) {
        alDeleteBuffers(2, v.halves);
    }
    voices_.erase(it); // the shared buffer goes with its last source
    alGetError();
}

void AlSoundBackend::Play(SoundVoice voice, bool loop) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr || v->stream) {
        return;
    }
    ALint state = AL_INITIAL;
    alGetSourcei(v->source, AL_SOURCE_STATE, &state);
    alSourcei(v->source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    // A playing sound keeps its position.
    if (state != AL_PLAYING) {
        alSourcePlay(v->source);
    }
}

void AlSoundBackend::ClearQueue(Voice& v) {
    alSourceRewind(v.source);
    alSourcei(v.source, AL_BUFFER, 0);
    v.queue.clear();
}

void AlSoundBackend::Stop(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr) {
        return;
    }
    if (v->stream) {
        ClearQueue(*v);
    } else {
        alSourceRewind(v->source);
    }
}

void AlSoundBackend::Pause(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    if (Voice* v = Find(voice)) {
        ALint state = AL_INITIAL;
        alGetSourcei(v->source, AL_SOURCE_STATE, &state);
        if (state == AL_PLAYING) {
            alSourcePause(v->source);
        }
    }
}

bool AlSoundBackend::IsPlaying(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr) {
        return false;
    }
    ALint state = AL_INITIAL;
    alGetSourcei(v->source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

void AlSoundBackend::SetVolume(SoundVoice voice, int32_t attenuation) {
    std::lock_guard lock(mutex_);
    if (Voice* v = Find(voice)) {
        v->volumeGain = static_cast<float>(std::pow(10.0, attenuation / 2000.0));
        ApplyGain(*v);
    }
}

void AlSoundBackend::SetFrequency(SoundVoice voice, uint32_t samplesPerSecond) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr) {
        return;
    }
    if (samplesPerSecond == 0) {
        samplesPerSecond = v->format.samplesPerSecond;
    } else if (samplesPerSecond < 100 || samplesPerSecond > 200000) {
        return;
    }
    v->frequency = samplesPerSecond;
    alSourcef(v->source, AL_PITCH,
              static_cast<float>(samplesPerSecond) /
                  static_cast<float>(v->format.samplesPerSecond));
}

uint32_t AlSoundBackend::GetFrequency(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    return v == nullptr ? 0 : v->frequency;
}

void AlSoundBackend::SetPosition(SoundVoice voice, float x, float y, float z) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v != nullptr && v->is3D) {
        v->pendingPosition[0] = x;
        v->pendingPosition[1] = y;
        v->pendingPosition[2] = z;
    }
}

void AlSoundBackend::SetDistances(SoundVoice voice, float minDistance, float maxDistance) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v != nullptr && v->is3D) {
        v->pendingMin = minDistance;
        v->pendingMax = maxDistance;
    }
}

// --- streams -------------------------------------------------------------------------

void AlSoundBackend::Unqueue(Voice& v, int count) {
    for (int i = 0; i < count && !v.queue.empty(); ++i) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(v.source, 1, &buffer);
        v.queue.pop_front();
    }
}

void AlSoundBackend::WriteStreamHalf(SoundVoice voice, uint32_t half, const void* data,
                                     uint32_t size) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr || !v->stream || half > 1 ||
        std::find(v->queue.begin(), v->queue.end(), half) != v->queue.end()) {
        return;
    }
    alBufferData(v->halves[half], v->alFormat, data, static_cast<ALsizei>(size),
                 static_cast<ALsizei>(v->format.samplesPerSecond));
    alGetError();
}

bool AlSoundBackend::IsStreamHalfDue(SoundVoice voice, uint32_t half) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr || !v->stream || half > 1) {
        return false;
    }
    ALint state = AL_INITIAL;
    alGetSourcei(v->source, AL_SOURCE_STATE, &state);
    if (state == AL_STOPPED) {
        // Ran dry: everything queued has played.
        Unqueue(*v, static_cast<int>(v->queue.size()));
    }
    auto it = std::find(v->queue.begin(), v->queue.end(), half);
    if (it == v->queue.end()) {
        return true;
    }
    ALint processed = 0;
    alGetSourcei(v->source, AL_BUFFERS_PROCESSED, &processed);
    return (it - v->queue.begin()) < processed;
}

void AlSoundBackend::QueueStreamHalf(SoundVoice voice, uint32_t half, const void* data,
                                     uint32_t size) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr || !v->stream || half > 1) {
        return;
    }
    ALint state = AL_INITIAL;
    alGetSourcei(v->source, AL_SOURCE_STATE, &state);
    ALint processed = 0;
    alGetSourcei(v->source, AL_BUFFERS_PROCESSED, &processed);
    if (state == AL_STOPPED) {
        processed = static_cast<ALint>(v->queue.size());
    }
    auto it = std::find(v->queue.begin(), v->queue.end(), half);
    if (it != v->queue.end()) {
        const auto index = static_cast<ALint>(it - v->queue.begin());
        if (index >= processed) {
            return; // still to be played
        }
        Unqueue(*v, index + 1);
    }
    if (state == AL_STOPPED) {
        Unqueue(*v, static_cast<int>(v->queue.size()));
    }
    alBufferData(v->halves[half], v->alFormat, data, static_cast<ALsizei>(size),
                 static_cast<ALsizei>(v->format.samplesPerSecond));
    alSourceQueueBuffers(v->source, 1, &v->halves[half]);
    v->queue.push_back(half);
    if (state == AL_STOPPED || state == AL_INITIAL) {
        alSourcePlay(v->source);
    }
    alGetError();
}

void AlSoundBackend::PlayStream(SoundVoice voice, uint32_t nextHalf) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr || !v->stream) {
        return;
    }
    ClearQueue(*v);
    alSourcei(v->source, AL_LOOPING, AL_FALSE);
    alSourceQueueBuffers(v->source, 1, &v->halves[0]);
    v->queue.push_back(0);
    if (nextHalf == 0) {
        alSourceQueueBuffers(v->source, 1, &v->halves[1]);
        v->queue.push_back(1);
    }
    alSourcePlay(v->source);
    alGetError();
}

// --- tests -----------------------------------------------------------------------------

bool AlSoundBackend::RenderLoopback(float* out, uint32_t frames) {
    std::lock_guard lock(mutex_);
    if (output_ != Output::Loopback || device_ == nullptr) {
        return false;
    }
    static auto render =
        reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (render == nullptr) {
        return false;
    }
    render(AsDevice(device_), out, static_cast<ALCsizei>(frames));
    return true;
}

float AlSoundBackend::GetSourceFloat(SoundVoice voice, int param) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    ALfloat value = 0.0f;
    if (v != nullptr) {
        alGetSourcef(v->source, param, &value);
    }
    return value;
}

float AlSoundBackend::GetPitch(SoundVoice voice) { return GetSourceFloat(voice, AL_PITCH); }

float AlSoundBackend::GetGain(SoundVoice voice) { return GetSourceFloat(voice, AL_GAIN); }
