#include "platform/sound.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/os/al_sound_backend.h"

namespace {

constexpr size_t kErrorTextSize = 512;

struct SoundModule {
    std::unique_ptr<SoundBackend> backend;
    uint32_t generation = 1;
    bool listener = false;
    float distanceScale = 1.0f;
    Vector3 front{0.0f, 0.0f, 1.0f};
    Vector3 top{0.0f, 1.0f, 0.0f};

    std::mutex soundLock; // SoundLock
    SoundStream* head = nullptr;
    uint32_t count = 0;
    std::vector<std::pair<StreamFeed, void*>> feeds;

    std::thread thread;
    std::mutex wakeMutex;
    std::condition_variable wake;
    bool stopThread = false;

    char errorText[kErrorTextSize] = {};
};

SoundModule& Module() {
    static SoundModule module;
    return module;
}

// Shuts the device down at exit, before the module itself goes.
struct ExitGuard {
    ExitGuard() { Module(); }
    ~ExitGuard() { ShutdownSoundDevice(); }
} exitGuard;

// The output a sound's voice lives on; null when the device it was made on
// is gone.
SoundBackend* BackendOf(const SoundBuffer* sound) {
    SoundModule& m = Module();
    if (sound == nullptr || sound->voice == 0 || sound->generation != m.generation) {
        return nullptr;
    }
    return m.backend.get();
}

void LinkSoundStream(SoundStream* s) {
    SoundModule& m = Module();
    s->next = m.head;
    m.head = s;
    s->listed = true;
    ++m.count;
}

void UnlinkSoundStream(SoundStream* s) {
    SoundModule& m = Module();
    for (SoundStream** link = &m.head; *link != nullptr; link = &(*link)->next) {
        if (*link == s) {
            *link = s->next;
            --m.count;
            break;
        }
    }
    s->next = nullptr;
    s->listed = false;
}

// Reads up to size bytes of data at the file position; what cannot be read
// becomes silence.
void ReadData(SoundStream* s, uint8_t* dst, uint32_t size) {
    if (size == 0) {
        return;
    }
    if (s->file.Read(dst, size) != 1) {
        std::memset(dst, 0, size);
    }
}

// Seeks the file to the data start and fills both halves from the start of
// the data. The ring never reads past the data size: the rest is silence,
// or for a looping stream the data again from its start.
void FillRing(SoundStream* s, uint32_t loop) {
    SoundBackend* backend = BackendOf(s);
    s->file.Seek(static_cast<int32_t>(s->dataStart), 0);
    const uint32_t h = s->halfSize;
    uint32_t consumed = 0; // data bytes since the last return to the start
    bool wrapped = false;
    for (uint32_t half = 0; half < 2; ++half) {
        uint8_t* dst = s->staging.data();
        uint32_t filled = 0;
        while (filled < h) {
            const uint32_t remain = s->dataSize - consumed;
            if (remain == 0) {
                if (loop != 0 && s->dataSize > 0) {
                    s->file.Seek(static_cast<int32_t>(s->dataStart), 0);
                    consumed = 0;
                    wrapped = true;
                    continue;
                }
                std::memset(dst + filled, 0, h - filled);
                break;
            }
            const uint32_t take = std::min(h - filled, remain);
            ReadData(s, dst + filled, take);
            consumed += take;
            filled += take;
        }
        if (backend != nullptr) {
            backend->WriteStreamHalf(s->voice, half, dst, h);
        }
    }
    s->bytesRead = wrapped ? consumed : 2 * h;
    s->nextHalf = 0;
    s->ringFresh = true;
    s->ringFillLoop = loop;
}

// StopSoundBuffer of a stream with SoundLock held.
void StopStreamLocked(SoundStream* s) {
    const bool wasPlaying = s->listed;
    if (SoundBackend* backend = BackendOf(s)) {
        backend->Stop(s->voice);
    }
    if (wasPlaying) {
        UnlinkSoundStream(s);
        FillRing(s, s->loop);
    }
}

// Refills the half that is due with the next H bytes of data or silence.
void QueueHalf(SoundBackend* backend, SoundStream* s, bool silence) {
    uint8_t* dst = s->staging.data();
    if (silence) {
        std::memset(dst, 0, s->halfSize);
    } else {
        ReadData(s, dst, s->halfSize);
    }
    backend->QueueStreamHalf(s->voice, s->nextHalf, dst, s->halfSize);
    s->bytesRead += s->halfSize;
    s->nextHalf ^= 1u;
    s->ringFresh = false;
}

void StreamThreadMain() {
    SoundModule& m = Module();
    std::unique_lock wakeLock(m.wakeMutex);
    while (!m.stopThread) {
        m.wake.wait_for(wakeLock, std::chrono::milliseconds(100), [&m] { return m.stopThread; });
        if (m.stopThread) {
            break;
        }
        wakeLock.unlock();
        RunStreamingPass();
        wakeLock.lock();
    }
}

bool IsStream(const SoundBuffer* sound) { return sound->streamFlag != 0; }

// A listener position or velocity, in the backend's units, to the backend's
// setter; nothing without a listener.
void SetScaledListenerVector(void (SoundBackend::*set)(float, float, float), const Vector3& v) {
    SoundModule& m = Module();
    if (!m.listener) {
        return;
    }
    const float s = m.distanceScale;
    (m.backend.get()->*set)(v.x * s, v.y * s, v.z * s);
}

// The kept front and top to the backend.
void SendListenerOrientation(SoundModule& m) {
    const float f[3] = {m.front.x, m.front.y, m.front.z};
    const float t[3] = {m.top.x, m.top.y, m.top.z};
    m.backend->SetListenerOrientation(f, t);
}

} // namespace

// --- objects -----------------------------------------------------------------------

SoundBuffer::~SoundBuffer() {
    if (SoundBackend* backend = BackendOf(this)) {
        backend->Destroy(voice);
    }
}

SoundStream::~SoundStream() {
    if (listed) {
        std::lock_guard lock(Module().soundLock);
        UnlinkSoundStream(this);
    }
    file.Close();
}

// --- device and listener -------------------------------------------------------

int SetSoundError(const char* text) {
    SoundModule& m = Module();
    std::snprintf(m.errorText, sizeof m.errorText, "%s", text == nullptr ? "" : text);
    return 0;
}

const char* GetSoundErrorText() { return Module().errorText; }

int CreateSoundDevice(void* window, uint32_t channels, uint32_t samplesPerSecond,
                      uint32_t bitsPerSample) {
    (void)window;
    return CreateSoundDeviceOn(std::make_unique<AlSoundBackend>(), channels, samplesPerSecond,
                               bitsPerSample, true);
}

int CreateSoundDeviceOn(std::unique_ptr<SoundBackend> backend, uint32_t channels,
                        uint32_t samplesPerSecond, uint32_t bitsPerSample, bool startThread) {
    ShutdownSoundDevice();
    SoundModule& m = Module();
    m.errorText[0] = '\0';
    if (backend == nullptr) {
        return SetSoundError("Create Sound Device");
    }
    if (const char* failure = backend->Open(channels, samplesPerSecond, bitsPerSample)) {
        return SetSoundError(failure);
    }
    m.backend = std::move(backend);
    ++m.generation;
    m.listener = true;
    m.distanceScale = 0.01f;
    m.front = {0.0f, 0.0f, 1.0f};
    m.top = {0.0f, 1.0f, 0.0f};
    if (startThread) {
        m.stopThread = false;
        m.thread = std::thread(StreamThreadMain);
    }
    return 1;
}

void ShutdownSoundDevice() {
    SoundModule& m = Module();
    if (m.thread.joinable()) {
        {
            std::lock_guard wakeLock(m.wakeMutex);
            m.stopThread = true;
        }
        m.wake.notify_all();
        m.thread.join();
    }
    {
        std::lock_guard lock(m.soundLock);
        while (m.head != nullptr) {
            UnlinkSoundStream(m.head);
        }
        m.count = 0;
    }
    if (m.backend != nullptr) {
        m.backend->Close();
        m.backend.reset();
    }
    ++m.generation;
    m.listener = false;
    m.distanceScale = 1.0f;
    m.front = {0.0f, 0.0f, 1.0f};
    m.top = {0.0f, 1.0f, 0.0f};
}

bool HasSoundDevice() { return Module().backend != nullptr; }

SoundBackend* GetSoundBackend() { return Module().backend.get(); }

void SetListenerPosition(const Vector3& position) {
    SetScaledListenerVector(&SoundBackend::SetListenerPosition, position);
}

void SetListenerVelocity(const Vector3& velocity) {
    SetScaledListenerVector(&SoundBackend::SetListenerVelocity, velocity);
}

void SetListenerFront(const Vector3& front) {
    SoundModule& m = Module();
    if (m.listener) {
        m.front = front;
        SendListenerOrientation(m);
    }
}

void SetListenerTop(const Vector3& top) {
    SoundModule& m = Module();
    if (m.listener) {
        m.top = top;
        SendListenerOrientation(m);
    }
}

void CommitListenerSettings() {
    SoundModule& m = Module();
    if (m.listener) {
        m.backend->Commit();
    }
}

// --- opening ---------------------------------------------------------------------------

namespace {

// Opens the file and reads its header. Null (with the text set, or none for
// a file that is not a wave) on failure.
bool OpenWave(FileHandle& file, const char* fileName, WaveHeader& header) {
    if (fileName == nullptr || !file.Open(fileName, "rb")) {
        SetSoundError("File Open");
        return false;
    }
    switch (ReadWaveHeader(file, header)) {
    case WaveReadResult::Ok:
        return true;
    case WaveReadResult::BadFormat:
        SetSoundError("Create Sound Buffer");
        return false;
    case WaveReadResult::NotWave:
        break;
    }
    return false;
}

// Whether a buffer of this format can be made on the device.
bool CanCreate(const WaveFormat& format, uint32_t flags) {
    if (!HasSoundDevice()) {
        return false;
    }
    // A 3D sound must be mono.
    return (flags & kSoundCtrl3D) == 0 || format.channels == 1;
}

} // namespace

SoundBuffer* OpenStaticSound(const char* fileName, uint32_t flags) {
    FileHandle file;
    WaveHeader header;
    if (!OpenWave(file, fileName, header)) {
        return nullptr;
    }
    const WaveFormat& format = header.format;
    const uint32_t size = header.dataSize - header.dataSize % format.blockAlign;
    if (!CanCreate(format, flags) || size == 0) {
        SetSoundError("Create Sound Buffer");
        return nullptr;
    }
    std::vector<uint8_t> data(size);
    if (file.Read(data.data(), size) != 1) {
        std::fill(data.begin(), data.end(), 0);
    }
    file.Close();

    SoundModule& m = Module();
    const bool is3D = (flags & kSoundCtrl3D) != 0;
    SoundVoice voice = m.backend->CreateStatic(format, data.data(), size, is3D);
    if (voice == 0) {
        SetSoundError("Create Sound Buffer");
        return nullptr;
    }
    auto* sound = new SoundBuffer();
    sound->voice = voice;
    sound->generation = m.generation;
    sound->has3D = is3D;
    sound->format = format;
    sound->baseFrequency = m.backend->GetFrequency(voice);
    sound->length = static_cast<float>(header.dataSize) / static_cast<float>(format.bytesPerSecond);
    return sound;
}

SoundStream* OpenStreamedSound(const char* fileName, uint32_t flags) {
    auto stream = std::make_unique<SoundStream>();
    stream->streamFlag = 1;
    WaveHeader header;
    if (!OpenWave(stream->file, fileName, header)) {
        return nullptr;
    }
    const WaveFormat& format = header.format;
    stream->format = format;
    stream->dataStart = header.dataStart;
    const StreamLayout layout = ComputeStreamLayout(format, header.dataSize);
    stream->halfSize = layout.halfSize;
    stream->dataSize = layout.dataSize;
    stream->length = layout.length;
    if (!CanCreate(format, flags)) {
        SetSoundError("Create Sound Buffer");
        return nullptr;
    }

    SoundModule& m = Module();
    const bool is3D = (flags & kSoundCtrl3D) != 0;
    stream->voice = m.backend->CreateStream(format, stream->halfSize, is3D);
    if (stream->voice == 0) {
        SetSoundError("Create Sound Buffer");
        return nullptr;
    }
    stream->generation = m.generation;
    stream->has3D = is3D;
    stream->staging.assign(stream->halfSize, 0);
    FillRing(stream.get(), 0);
    stream->baseFrequency = m.backend->GetFrequency(stream->voice);
    stream->fileName = fileName;
    return stream.release();
}

SoundBuffer* OpenStaticSound2D(const char* fileName) {
    return OpenStaticSound(fileName, kSoundFlags2D);
}

SoundStream* OpenStreamedSound2D(const char* fileName) {
    return OpenStreamedSound(fileName, kSoundFlags2D);
}

SoundBuffer* OpenStaticSound3D(const char* fileName) {
    return OpenStaticSound(fileName, kSoundFlags3D);
}

SoundStream* OpenStreamedSound3D(const char* fileName) {
    return OpenStreamedSound(fileName, kSoundFlags3D);
}

SoundBuffer* DuplicateSoundBuffer(SoundBuffer* sound, uint32_t flags) {
    if (sound == nullptr) {
        return nullptr;
    }
    if (IsStream(sound)) {
        return OpenStreamedSound2D(static_cast<SoundStream*>(sound)->fileName.c_str());
    }
    SoundBackend* backend = BackendOf(sound);
    const bool want3D = (flags & kSoundCtrl3D) != 0;
    SoundVoice voice = backend == nullptr ? 0 : backend->Duplicate(sound->voice, want3D);
    if (voice == 0) {
        SetSoundError("Create Sound Buffer");
        return nullptr;
    }
    auto* copy = new SoundBuffer();
    copy->voice = voice;
    copy->generation = sound->generation;
    copy->has3D = want3D && sound->has3D;
    copy->format = sound->format;
    copy->baseFrequency = sound->baseFrequency;
    copy->length = sound->length;
    copy->duplicateFlag = 1;
    return copy;
}

SoundBuffer* DuplicateSoundBuffer3D(SoundBuffer* sound) {
    return DuplicateSoundBuffer(sound, kSoundFlags3D);
}

// --- playing ---------------------------------------------------------------------------

void PlaySoundBuffer(SoundBuffer* sound, uint32_t loop) {
    SoundBackend* backend = BackendOf(sound);
    if (backend == nullptr) {
        return;
    }
    if (!IsStream(sound)) {
        backend->Play(sound->voice, loop != 0);
        return;
    }
    auto* s = static_cast<SoundStream*>(sound);
    SoundModule& m = Module();
    std::lock_guard lock(m.soundLock);
    if (m.count >= kMaxPlayingStreams) {
        return;
    }
    StopStreamLocked(s);
    s->loop = loop;
    // A ring that reaches past the data was filled for one loop flag; an
    // untouched fill is made again for the other.
    if (s->ringFresh && s->dataSize < 2 * s->halfSize && s->ringFillLoop != loop) {
        FillRing(s, loop);
    }
    LinkSoundStream(s);
    backend->PlayStream(s->voice, s->nextHalf);
}

void StopSoundBuffer(SoundBuffer* sound) {
    if (sound == nullptr) {
        return;
    }
    if (!IsStream(sound)) {
        if (SoundBackend* backend = BackendOf(sound)) {
            backend->Stop(sound->voice);
        }
        return;
    }
    std::lock_guard lock(Module().soundLock);
    StopStreamLocked(static_cast<SoundStream*>(sound));
}

void PauseSoundBuffer(SoundBuffer* sound) {
    if (sound == nullptr) {
        return;
    }
    SoundBackend* backend = BackendOf(sound);
    if (!IsStream(sound)) {
        if (backend != nullptr) {
            backend->Pause(sound->voice);
        }
        return;
    }
    auto* s = static_cast<SoundStream*>(sound);
    std::lock_guard lock(Module().soundLock);
    if (backend != nullptr) {
        backend->Pause(s->voice);
    }
    if (s->listed) {
        UnlinkSoundStream(s);
    }
}

uint32_t IsSoundBufferPlaying(SoundBuffer* sound) {
    if (sound == nullptr) {
        return 0;
    }
    if (IsStream(sound)) {
        std::lock_guard lock(Module().soundLock);
        return static_cast<SoundStream*>(sound)->listed ? 1 : 0;
    }
    SoundBackend* backend = BackendOf(sound);
    return backend != nullptr && backend->IsPlaying(sound->voice) ? 1 : 0;
}

int32_t SoundVolumeToAttenuation(float volume) {
    if (!(volume >= 0.0f)) {
        volume = 0.0f; // below 0 or not a number
    } else if (volume > 1.0f) {
        volume = 1.0f;
    }
    return static_cast<int32_t>(-((1.0f - volume) * 5000.0f));
}

void SetSoundVolume(SoundBuffer* sound, float volume) {
    if (SoundBackend* backend = BackendOf(sound)) {
        backend->SetVolume(sound->voice, SoundVolumeToAttenuation(volume));
    }
}

void SetSoundFrequency(SoundBuffer* sound, float factor) {
    if (sound == nullptr) {
        return;
    }
    const double rate = static_cast<double>(sound->baseFrequency) * static_cast<double>(factor);
    // Rates no buffer takes (negative, not a number, beyond 32 bits) are
    // passed as one out of range, which the output refuses.
    const uint32_t frequency =
        (rate > -1.0 && rate < 4294967296.0) ? static_cast<uint32_t>(rate) : 0xFFFFFFFFu;
    if (SoundBackend* backend = BackendOf(sound)) {
        backend->SetFrequency(sound->voice, frequency);
    }
    if (IsStream(sound)) {
        static_cast<SoundStream*>(sound)->frequencyFactor = factor;
    }
}

void SetSoundPosition(SoundBuffer* sound, const Vector3& position) {
    SoundBackend* backend = BackendOf(sound);
    if (backend == nullptr || !sound->has3D) {
        return;
    }
    const float s = Module().distanceScale;
    backend->SetPosition(sound->voice, position.x * s, position.y * s, position.z * s);
}

void SetSoundDistances(SoundBuffer* sound, float minDistance, float maxDistance) {
    SoundBackend* backend = BackendOf(sound);
    if (backend == nullptr || !sound->has3D) {
        return;
    }
    const float s = Module().distanceScale;
    backend->SetDistances(sound->voice, minDistance * s, maxDistance * s);
}

float GetSoundLength(SoundBuffer* sound) { return sound == nullptr ? 0.0f : sound->length; }

void ReleaseSoundBuffer(SoundBuffer* sound) {
    if (sound == nullptr) {
        return;
    }
    if (IsStream(sound)) {
        auto* s = static_cast<SoundStream*>(sound);
        std::lock_guard lock(Module().soundLock);
        StopStreamLocked(s);
        if (SoundBackend* backend = BackendOf(s)) {
            backend->Destroy(s->voice);
        }
        s->voice = 0;
    } else {
        StopSoundBuffer(sound);
    }
    delete sound;
}

// --- streaming ---------------------------------------------------------------------

void RunStreamingPass() {
    SoundModule& m = Module();
    std::lock_guard lock(m.soundLock);
    SoundBackend* backend = m.backend.get();
    if (backend == nullptr) {
        return;
    }
    for (const auto& [feed, context] : m.feeds) {
        feed(context);
    }
    SoundStream* s = m.head;
    while (s != nullptr) {
        if (!backend->IsStreamHalfDue(s->voice, s->nextHalf)) {
            s = s->next;
            continue;
        }
        const uint64_t h = s->halfSize;
        if (s->bytesRead + h <= s->dataSize) {
            QueueHalf(backend, s, false);
            s = s->next;
            continue;
        }
        if (s->loop != 0 && s->dataSize > 0) {
            // Back to the start: the same half is refilled from there at once.
            s->file.Seek(static_cast<int32_t>(s->dataStart), 0);
            s->bytesRead = 0;
            continue;
        }
        if (s->bytesRead <= s->dataSize + 2 * h) {
            QueueHalf(backend, s, true);
            continue;
        }
        // The data and two halves of silence have played: the stream stops
        // itself, without leaving the lock. The rest of the list waits.
        StopStreamLocked(s);
        break;
    }
}

void AddStreamFeed(StreamFeed feed, void* context) {
    SoundModule& m = Module();
    std::lock_guard lock(m.soundLock);
    m.feeds.emplace_back(feed, context);
}

void RemoveStreamFeed(void* context) {
    SoundModule& m = Module();
    std::lock_guard lock(m.soundLock);
    std::erase_if(m.feeds, [context](const auto& entry) { return entry.second == context; });
}

uint32_t GetPlayingStreamCount() {
    SoundModule& m = Module();
    std::lock_guard lock(m.soundLock);
    return m.count;
}
