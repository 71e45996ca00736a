#include "platform/os/recording_sound_backend.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <set>

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

} // namespace

void RecordingSoundBackend::Log(std::string line) { log_.push_back(std::move(line)); }

RecordingSoundBackend::Voice* RecordingSoundBackend::Find(SoundVoice voice) {
    auto it = voices_.find(voice);
    return it == voices_.end() ? nullptr : &it->second;
}

const char* RecordingSoundBackend::Open(uint32_t channels, uint32_t samplesPerSecond,
                                        uint32_t bitsPerSample) {
    std::lock_guard lock(mutex_);
    Log(Format("Open %u %u %u", channels, samplesPerSecond, bitsPerSample));
    if (openFailure_ != nullptr) {
        return openFailure_;
    }
    open_ = true;
    return nullptr;
}

void RecordingSoundBackend::Close() {
    std::lock_guard lock(mutex_);
    Log("Close");
    voices_.clear();
    open_ = false;
}

void RecordingSoundBackend::SetListenerPosition(float x, float y, float z) {
    std::lock_guard lock(mutex_);
    Log(Format("SetListenerPosition %g %g %g", x, y, z));
    pendingListener_ = {x, y, z};
}

void RecordingSoundBackend::SetListenerVelocity(float x, float y, float z) {
    std::lock_guard lock(mutex_);
    Log(Format("SetListenerVelocity %g %g %g", x, y, z));
}

void RecordingSoundBackend::SetListenerOrientation(const float front[3], const float top[3]) {
    std::lock_guard lock(mutex_);
    Log(Format("SetListenerOrientation %g %g %g %g %g %g", front[0], front[1], front[2], top[0],
               top[1], top[2]));
}

void RecordingSoundBackend::Commit() {
    std::lock_guard lock(mutex_);
    Log("Commit");
    listenerPosition_ = pendingListener_;
    for (auto& [id, v] : voices_) {
        v.position = v.pendingPosition;
        v.minDistance = v.pendingMin;
        v.maxDistance = v.pendingMax;
    }
}

SoundVoice RecordingSoundBackend::CreateStatic(const WaveFormat& format, const void* data,
                                               uint32_t size, bool is3D) {
    std::lock_guard lock(mutex_);
    if (!open_ || failVoices_) {
        Log("CreateStatic failed");
        return 0;
    }
    SoundVoice id = nextVoice_++;
    Voice& v = voices_[id];
    v.is3D = is3D;
    v.format = format;
    v.frequency = format.samplesPerSecond;
    v.bufferId = nextBuffer_++;
    const auto* bytes = static_cast<const uint8_t*>(data);
    v.data.assign(bytes, bytes + size);
    Log(Format("CreateStatic %u ch=%u bits=%u rate=%u size=%u 3d=%d", id, format.channels,
               format.bitsPerSample, format.samplesPerSecond, size, is3D ? 1 : 0));
    return id;
}

SoundVoice RecordingSoundBackend::Duplicate(SoundVoice source, bool is3D) {
    std::lock_guard lock(mutex_);
    Voice* src = Find(source);
    if (src == nullptr || src->stream || failVoices_) {
        Log(Format("Duplicate %u failed", source));
        return 0;
    }
    Voice copy;
    copy.is3D = is3D && src->is3D;
    copy.format = src->format;
    copy.frequency = src->format.samplesPerSecond;
    copy.bufferId = src->bufferId;
    copy.data = src->data;
    SoundVoice id = nextVoice_++;
    voices_[id] = copy;
    Log(Format("Duplicate %u -> %u 3d=%d", source, id, copy.is3D ? 1 : 0));
    return id;
}

SoundVoice RecordingSoundBackend::CreateStream(const WaveFormat& format, uint32_t halfSize,
                                               bool is3D) {
    std::lock_guard lock(mutex_);
    if (!open_ || failVoices_) {
        Log("CreateStream failed");
        return 0;
    }
    SoundVoice id = nextVoice_++;
    Voice& v = voices_[id];
    v.stream = true;
    v.is3D = is3D;
    v.format = format;
    v.frequency = format.samplesPerSecond;
    Log(Format("CreateStream %u ch=%u bits=%u rate=%u half=%u 3d=%d", id, format.channels,
               format.bitsPerSample, format.samplesPerSecond, halfSize, is3D ? 1 : 0));
    return id;
}

void RecordingSoundBackend::Destroy(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Log(Format("Destroy %u", voice));
    voices_.erase(voice);
}

void RecordingSoundBackend::Play(SoundVoice voice, bool loop) {
    std::lock_guard lock(mutex_);
    Log(Format("Play %u loop=%d", voice, loop ? 1 : 0));
    if (Voice* v = Find(voice)) {
        v->looping = loop;
        v->playing = true;
        v->paused = false;
    }
}

void RecordingSoundBackend::Stop(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Log(Format("Stop %u", voice));
    if (Voice* v = Find(voice)) {
        v->playing = false;
        v->paused = false;
        v->queue.clear();
    }
}

void RecordingSoundBackend::Pause(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Log(Format("Pause %u", voice));
    if (Voice* v = Find(voice)) {
        v->paused = v->playing || v->paused;
        v->playing = false;
    }
}

bool RecordingSoundBackend::IsPlaying(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    return v != nullptr && v->playing;
}

void RecordingSoundBackend::SetVolume(SoundVoice voice, int32_t attenuation) {
    std::lock_guard lock(mutex_);
    Log(Format("SetVolume %u %d", voice, attenuation));
    if (Voice* v = Find(voice)) {
        v->attenuation = attenuation;
    }
}

void RecordingSoundBackend::SetFrequency(SoundVoice voice, uint32_t samplesPerSecond) {
    std::lock_guard lock(mutex_);
    Log(Format("SetFrequency %u %u", voice, samplesPerSecond));
    Voice* v = Find(voice);
    if (v == nullptr) {
        return;
    }
    if (samplesPerSecond == 0) {
        v->frequency = v->format.samplesPerSecond;
    } else if (samplesPerSecond >= 100 && samplesPerSecond <= 200000) {
        v->frequency = samplesPerSecond;
    }
}

uint32_t RecordingSoundBackend::GetFrequency(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    return v == nullptr ? 0 : v->frequency;
}

void RecordingSoundBackend::SetPosition(SoundVoice voice, float x, float y, float z) {
    std::lock_guard lock(mutex_);
    Log(Format("SetPosition %u %g %g %g", voice, x, y, z));
    if (Voice* v = Find(voice)) {
        v->pendingPosition = {x, y, z};
    }
}

void RecordingSoundBackend::SetDistances(SoundVoice voice, float minDistance,
                                         float maxDistance) {
    std::lock_guard lock(mutex_);
    Log(Format("SetDistances %u %g %g", voice, minDistance, maxDistance));
    if (Voice* v = Find(voice)) {
        v->pendingMin = minDistance;
        v->pendingMax = maxDistance;
    }
}

RecordingSoundBackend::Voice* RecordingSoundBackend::StoreHalf(SoundVoice voice, uint32_t half,
                                                               const void* data, uint32_t size) {
    Voice* v = Find(voice);
    if (v == nullptr || half > 1) {
        return nullptr;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    v->halves[half].assign(bytes, bytes + size);
    return v;
}

void RecordingSoundBackend::WriteStreamHalf(SoundVoice voice, uint32_t half, const void* data,
                                            uint32_t size) {
    std::lock_guard lock(mutex_);
    Log(Format("WriteStreamHalf %u %u %u", voice, half, size));
    StoreHalf(voice, half, data, size);
}

bool RecordingSoundBackend::IsStreamHalfDue(SoundVoice voice, uint32_t half) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr || half > 1) {
        return false;
    }
    bool queued = std::find(v->queue.begin(), v->queue.end(), half) != v->queue.end();
    return !queued || v->played[half];
}

void RecordingSoundBackend::QueueStreamHalf(SoundVoice voice, uint32_t half, const void* data,
                                            uint32_t size) {
    std::lock_guard lock(mutex_);
    Log(Format("QueueStreamHalf %u %u %u", voice, half, size));
    Voice* v = StoreHalf(voice, half, data, size);
    if (v == nullptr) {
        return;
    }
    v->queue.erase(std::remove(v->queue.begin(), v->queue.end(), half), v->queue.end());
    v->queue.push_back(half);
    v->played[half] = false;
    if (!v->playing && !v->paused) {
        v->playing = true; // ran dry: starts again
    }
}

void RecordingSoundBackend::PlayStream(SoundVoice voice, uint32_t nextHalf) {
    std::lock_guard lock(mutex_);
    Log(Format("PlayStream %u next=%u", voice, nextHalf));
    Voice* v = Find(voice);
    if (v == nullptr) {
        return;
    }
    v->queue.clear();
    v->queue.push_back(0);
    v->played = {false, false};
    if (nextHalf == 0) {
        v->queue.push_back(1);
    }
    v->playing = true;
    v->paused = false;
}

void RecordingSoundBackend::EndStaticVoice(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v != nullptr && !v->stream && !v->looping) {
        v->playing = false;
        v->paused = false;
    }
}

void RecordingSoundBackend::MarkHalfPlayed(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    if (v == nullptr || !v->playing) {
        return;
    }
    bool left = false;
    bool marked = false;
    for (uint32_t half : v->queue) {
        if (v->played[half]) {
            continue;
        }
        if (!marked) {
            v->played[half] = true;
            marked = true;
        } else {
            left = true;
        }
    }
    if (!left) {
        v->playing = false;
    }
}

RecordingSoundBackend::Voice RecordingSoundBackend::GetVoice(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    Voice* v = Find(voice);
    return v == nullptr ? Voice{} : *v;
}

bool RecordingSoundBackend::HasVoice(SoundVoice voice) {
    std::lock_guard lock(mutex_);
    return Find(voice) != nullptr;
}

size_t RecordingSoundBackend::VoiceCount() {
    std::lock_guard lock(mutex_);
    return voices_.size();
}

size_t RecordingSoundBackend::BufferCount() {
    std::lock_guard lock(mutex_);
    std::set<uint32_t> buffers;
    for (auto& [id, v] : voices_) {
        if (!v.stream) {
            buffers.insert(v.bufferId);
        }
    }
    return buffers.size();
}

RecordingSoundBackend::Vec RecordingSoundBackend::ListenerPosition() {
    std::lock_guard lock(mutex_);
    return listenerPosition_;
}

std::vector<std::string> RecordingSoundBackend::TakeLog() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    out.swap(log_);
    return out;
}
