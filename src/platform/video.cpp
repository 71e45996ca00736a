#include "platform/video.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "base/file_system.h"
#include "platform/graphics.h"
#include "platform/os/sound_backend.h"
#include "platform/sound.h"
#include "platform/texture_object.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// Whether films may play their sound (the library's sound switch); no sound
// while nothing is installed.
bool (*g_soundEnabledQuery)() = nullptr;

// Pictures decoded ahead of the one on show.
constexpr size_t kQueuedPictures = 8;
// Sound goes out in halves of a quarter second: the streaming pass that
// refills them comes every tenth of a second.
constexpr uint32_t kSoundHalfFrames = video::kFilmSoundRate / 4;
// A decoder stuck this long (media clock) in one read or decode ends a
// full-screen film.
constexpr double kBlockedSeconds = 2.0;
// The full-screen start waits this long (media clock) for the first picture.
constexpr double kStartSeconds = 5.0;
// Due times within this of the clock count as due.
constexpr double kTimeSlack = 1e-6;

VideoClock g_clock;
FilmSourceOpener g_opener;

double Now() {
    if (g_clock.now) {
        return g_clock.now();
    }
    return std::chrono::duration<double>(SteadyClock::now().time_since_epoch()).count();
}

void Sleep(uint32_t milliseconds) {
    if (g_clock.sleep) {
        g_clock.sleep(milliseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

// The skipped waits' clock (ENGINE_SKIP_WAITS): microseconds slept.
std::atomic<int64_t> g_skippedMicros{0};

std::unique_ptr<video::FilmSource> OpenSource(const std::string &osPath) {
    if (g_opener) {
        return g_opener(osPath);
    }
    return video::OpenFfmpegFilmSource(osPath);
}

struct Picture {
    double time = 0.0;
    std::vector<uint8_t> bgra;
};

// One film behind a texture object.
class Film {
  public:
    Film(std::unique_ptr<video::FilmSource> source, gfx::Texture *texture)
        : source_(std::move(source)), texture_(texture), width_(source_->Width()),
          height_(source_->Height()), duration_(source_->Duration()) {
        OpenSound();
        if (voice_ != 0) {
            AddStreamFeed(&Film::FeedSoundOf, this);
        }
    }
    ~Film() {
        if (voice_ != 0) {
            RemoveStreamFeed(this);
        }
        Park();
        if (voice_ != 0) {
            if (SoundBackend *backend = GetSoundBackend()) {
                backend->Destroy(voice_);
            }
        }
    }
    bool HasSound() const { return voice_ != 0; }
    Film(const Film &) = delete;
    Film &operator=(const Film &) = delete;

    // Starts the decoder and the media clock; nothing while running.
    void Run() {
        if (running_) {
            return;
        }
        runStart_ = Now();
        running_ = true;
        if (voice_ != 0) {
            std::lock_guard<std::mutex> lock(feedMutex_);
            feeding_ = true;
        }
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Decode(); });
        }
    }

    // Stops the decoder thread; no picture lands after this.
    void Park() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        source_->Interrupt();
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        source_->ClearInterrupt();
        StopSound();
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = false;
    }

    // Stopped, rewound, no pending picture, texels zero.
    void Reset() {
        Park();
        running_ = false;
        source_->Rewind();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.clear();
            sound_.clear();
            soundEnded_ = false;
            decodedAny_ = false;
            lastTime_ = 0.0;
            lastGap_ = 0.0;
            ended_ = false;
            failed_ = false;
            busy_ = false;
        }
        ZeroTexels();
    }

    double Position() const { return running_ ? Now() - runStart_ : 0.0; }
    double Duration() const { return duration_; }
    bool Running() const { return running_; }

    // Brings the picture due now into the texture; true when one was written.
    // Never waits for the decoder: when the due picture is not decoded yet
    // the last one stays up and the film catches up on a later draw.
    bool Update() {
        if (!running_) {
            return false;
        }
        const double position = Position();
        Picture due;
        bool have = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            while (!queue_.empty() && queue_.front().time <= position + kTimeSlack) {
                due = std::move(queue_.front());
                queue_.pop_front();
                have = true;
            }
            if (have) {
                wake_.notify_all();
            }
        }
        if (have) {
            Upload(due);
        }
        return have;
    }

    // Waits until the picture due now is decoded or the film has ended.
    // Pictures that a later due one replaces are dropped on the way, so
    // that the decoder can go on past a full queue.
    bool WaitCaughtUp(uint32_t milliseconds) {
        const double position = Position();
        std::unique_lock<std::mutex> lock(mutex_);
        return wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
            bool dropped = false;
            while (queue_.size() >= 2 && queue_[1].time <= position + kTimeSlack) {
                queue_.pop_front();
                dropped = true;
            }
            if (dropped) {
                wake_.notify_all();
            }
            return ended_ || !thread_.joinable() ||
                   (!queue_.empty() && queue_.back().time > position + kTimeSlack);
        });
    }

    // Waits (at most `milliseconds` of real time) until the decoder has
    // caught up with the media clock, or ended, and is between two reads: a
    // clock that moves only by the window thread's sleeps must not run past
    // a read in progress, which would then count as stuck.
    bool WaitSettled(uint32_t milliseconds) {
        const double position = Position();
        std::unique_lock<std::mutex> lock(mutex_);
        return wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
            return !thread_.joinable() ||
                   (!busy_ && (ended_ || (!queue_.empty() &&
                                          queue_.back().time > position + kTimeSlack)));
        });
    }

    // Media-clock time at which the next decoded picture falls due; infinity
    // when none is decoded.
    double NextDue() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty() || !running_) {
            return std::numeric_limits<double>::infinity();
        }
        return runStart_ + queue_.front().time;
    }

    // The first picture is decoded, or the decoder has finished; waits for
    // that at most `wait` of real time.
    bool Started(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        return wake_.wait_for(lock, wait, [&] { return !queue_.empty() || ended_; });
    }

    // A full-screen film is over: a read error, a decoder stuck in one read
    // or decode, or the end of the stream with every picture shown and the
    // last one up for its time: as long as the gap before it, or until the
    // duration when that comes first. The container's duration alone ends
    // nothing: for program streams it is an estimate that can fall short
    // of the pictures.
    bool Finished() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failed_) {
            return true;
        }
        if (ended_ && queue_.empty()) {
            double end = lastTime_ + lastGap_;
            if (duration_ > 0.0) {
                end = std::min(end, duration_);
            }
            if (Position() >= end - kTimeSlack) {
                return true;
            }
        }
        return busy_ && Now() - busySince_ >= kBlockedSeconds;
    }

    void ZeroTexels() {
        gfx::LockedRect locked{};
        if (texture_ == nullptr || texture_->LockRect(0, &locked, nullptr, 0) != 0) {
            return;
        }
        std::memset(locked.bits, 0, size_t(locked.pitch) * height_);
        texture_->UnlockRect(0);
    }

    static void BeforeSample(void *context) { static_cast<Film *>(context)->Update(); }
    static void FeedSoundOf(void *context) { static_cast<Film *>(context)->FeedSound(); }

  private:
    // One non-positional stream voice per film, outside the sound layer's
    // stream list; none with sound disabled, without a device or without
    // sound in the film.
    void OpenSound() {
        SoundBackend *backend = GetSoundBackend();
        const uint32_t channels = source_->SoundChannels();
        if (g_soundEnabledQuery == nullptr || !g_soundEnabledQuery() || backend == nullptr ||
            !HasSoundDevice() || channels == 0) {
            return;
        }
        WaveFormat format;
        format.formatTag = 1;
        format.channels = uint16_t(channels);
        format.samplesPerSecond = video::kFilmSoundRate;
        format.bitsPerSample = 16;
        format.blockAlign = uint16_t(channels * 2);
        format.bytesPerSecond = video::kFilmSoundRate * format.blockAlign;
        halfSamples_ = kSoundHalfFrames * channels;
        voice_ = backend->CreateStream(format, halfSamples_ * 2, false);
    }

    void StopSound() {
        std::lock_guard<std::mutex> lock(feedMutex_);
        feeding_ = false;
        if (voice_ != 0 && soundStarted_) {
            if (SoundBackend *backend = GetSoundBackend()) {
                backend->Stop(voice_);
            }
        }
        soundStarted_ = false;
        nextHalf_ = 0;
    }

    // Takes one half of samples from the queue (silence after the end);
    // false when a half is not there yet.
    bool NextHalf(std::vector<int16_t> *half) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (sound_.size() < halfSamples_ && !soundEnded_) {
            return false;
        }
        if (sound_.empty()) {
            return false; // all played
        }
        const size_t take = std::min<size_t>(halfSamples_, sound_.size());
        half->assign(sound_.begin(), sound_.begin() + long(take));
        half->resize(halfSamples_, 0);
        sound_.erase(sound_.begin(), sound_.begin() + long(take));
        wake_.notify_all(); // the decoder may read on
        return true;
    }

    // The sound layer's streaming pass, whether the picture is drawn or
    // not: starts the voice once two halves are decoded and queues each half
    // that has been played.
    void FeedSound() {
        std::lock_guard<std::mutex> feedLock(feedMutex_);
        SoundBackend *backend = voice_ != 0 ? GetSoundBackend() : nullptr;
        if (backend == nullptr || !feeding_) {
            return;
        }
        std::vector<int16_t> half;
        if (!soundStarted_) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (sound_.size() < 2 * size_t(halfSamples_) && !soundEnded_) {
                    return;
                }
            }
            for (uint32_t h = 0; h < 2; ++h) {
                if (!NextHalf(&half)) {
                    half.assign(halfSamples_, 0);
                }
                backend->WriteStreamHalf(voice_, h, half.data(), halfSamples_ * 2);
            }
            backend->PlayStream(voice_, 0);
            soundStarted_ = true;
            nextHalf_ = 0;
            return;
        }
        while (backend->IsStreamHalfDue(voice_, nextHalf_) && NextHalf(&half)) {
            backend->QueueStreamHalf(voice_, nextHalf_, half.data(), halfSamples_ * 2);
            nextHalf_ ^= 1u;
        }
    }

    void Upload(const Picture &picture) {
        gfx::LockedRect locked{};
        if (texture_ == nullptr || picture.bgra.size() < size_t(width_) * height_ * 4 ||
            texture_->LockRect(0, &locked, nullptr, 0) != 0) {
            return; // the picture is dropped
        }
        auto *bits = static_cast<uint8_t *>(locked.bits);
        for (uint32_t row = 0; row < height_; ++row) {
            std::memcpy(bits + size_t(row) * locked.pitch,
                        picture.bgra.data() + size_t(row) * width_ * 4, size_t(width_) * 4);
        }
        texture_->UnlockRect(0);
    }

    // Sound runs this far ahead of what has been queued on the voice.
    bool SoundLow() const {
        return voice_ != 0 && !soundEnded_ && sound_.size() < 4 * size_t(halfSamples_);
    }

    // The decoder thread: keeps the picture queue and the sound filled until
    // the end of the film.
    void Decode() {
        for (;;) {
            bool readSound = false;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] {
                    return stop_ || (!ended_ && queue_.size() < kQueuedPictures) || SoundLow();
                });
                if (stop_) {
                    return;
                }
                readSound = SoundLow(); // sound first: it has no slack
                busy_ = true;
                busySince_ = Now();
            }
            if (readSound) {
                std::vector<int16_t> samples;
                const bool more = source_->ReadSound(&samples);
                std::lock_guard<std::mutex> lock(mutex_);
                busy_ = false;
                if (stop_) {
                    return;
                }
                sound_.insert(sound_.end(), samples.begin(), samples.end());
                soundEnded_ = !more;
                wake_.notify_all();
                continue;
            }
            Picture picture;
            const video::ReadResult result = source_->NextFrame(&picture.bgra, &picture.time);
            std::lock_guard<std::mutex> lock(mutex_);
            busy_ = false;
            if (stop_) {
                return;
            }
            if (result == video::ReadResult::Frame) {
                lastGap_ = decodedAny_ ? std::max(0.0, picture.time - lastTime_) : 0.0;
                lastTime_ = picture.time;
                decodedAny_ = true;
                queue_.push_back(std::move(picture));
                wake_.notify_all();
                continue;
            }
            ended_ = true;
            failed_ = result == video::ReadResult::Error;
            wake_.notify_all();
            if (failed_ || voice_ == 0 || soundEnded_) {
                return;
            }
        }
    }

    std::unique_ptr<video::FilmSource> source_;
    gfx::Texture *texture_;
    uint32_t width_;
    uint32_t height_;
    double duration_;

    // Window thread only.
    bool running_ = false;
    double runStart_ = 0.0;

    // Shared with the decoder thread.
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Picture> queue_;
    bool stop_ = false;
    bool ended_ = false;
    bool failed_ = false;
    bool busy_ = false;
    double busySince_ = 0.0;
    bool decodedAny_ = false;
    double lastTime_ = 0.0; // time of the last picture decoded
    double lastGap_ = 0.0;  // and its distance from the one before
    std::vector<int16_t> sound_; // decoded samples not yet queued
    bool soundEnded_ = false;

    // Sound: the voice is made and freed on the window thread and fed on
    // the streaming pass; feedMutex_ guards the rest.
    SoundVoice voice_ = 0;
    uint32_t halfSamples_ = 0;
    std::mutex feedMutex_;
    bool feeding_ = false; // between Run and Park
    bool soundStarted_ = false;
    uint32_t nextHalf_ = 0;
};

Film *FilmOf(TextureObject *object) {
    return object != nullptr ? static_cast<Film *>(object->video) : nullptr;
}

void DestroyFilm(TextureObject *object) {
    Film *film = FilmOf(object);
    if (object->texture != nullptr) {
        object->texture->SetSampleHook(nullptr, nullptr);
    }
    delete film;
    object->video = nullptr;
}

// --- full screen --------------------------------------------------------------------

struct ScreenVertex {
    float x, y, z, rhw;
    float u, v;
};
constexpr uint32_t kScreenFvf = gfx::Fvf::XyzRhw | gfx::Fvf::Tex1;

struct FullScreenFilm {
    TextureObject *object = nullptr;
    uint32_t ownState = 0;   // the film's drawing states
    uint32_t savedState = 0; // the same entries, captured before each draw
};

FullScreenFilm *g_full = nullptr; // left alone at exit: no destructor races the device

void BlackFrame() {
    CQVGraphics *graphics = GetGraphics();
    if (graphics == nullptr) {
        return;
    }
    graphics->ClearScreen(0);
    graphics->BeginFrame();
    graphics->EndFrame();
    graphics->PresentFrame();
}

// The states of the film quad, recorded into a state block.
void SetFilmStates(gfx::Device *device, gfx::Texture *texture) {
    using namespace gfx;
    device->SetTexture(0, texture);
    device->SetTexture(1, nullptr);
    device->SetTextureStageState(0, StageState::ColorOp, TextureOp::SelectArg1);
    device->SetTextureStageState(0, StageState::ColorArg1, TextureArg::Texture);
    device->SetTextureStageState(0, StageState::AlphaOp, TextureOp::SelectArg1);
    device->SetTextureStageState(0, StageState::AlphaArg1, TextureArg::Texture);
    device->SetTextureStageState(0, StageState::MinFilter, TextureFilter::Linear);
    device->SetTextureStageState(0, StageState::MagFilter, TextureFilter::Linear);
    device->SetTextureStageState(0, StageState::MipFilter, TextureFilter::None);
    device->SetTextureStageState(0, StageState::AddressU, TextureAddress::Clamp);
    device->SetTextureStageState(0, StageState::AddressV, TextureAddress::Clamp);
    device->SetTextureStageState(1, StageState::ColorOp, TextureOp::Disable);
    device->SetTextureStageState(1, StageState::AlphaOp, TextureOp::Disable);
    device->SetRenderState(RenderState::Lighting, 0);
    device->SetRenderState(RenderState::DepthEnable, 0);
    device->SetRenderState(RenderState::DepthWriteEnable, 0);
    device->SetRenderState(RenderState::AlphaBlendEnable, 0);
    device->SetRenderState(RenderState::AlphaTestEnable, 0);
    device->SetRenderState(RenderState::StencilEnable, 0);
    device->SetRenderState(RenderState::FogEnable, 0);
    device->SetRenderState(RenderState::CullMode, Cull::None);
    device->SetVertexShader(kScreenFvf);
}

bool RecordBlock(gfx::Device *device, gfx::Texture *texture, uint32_t *token) {
    if (device->BeginStateBlock() != 0) {
        return false;
    }
    SetFilmStates(device, texture);
    return device->EndStateBlock(token) == 0;
}

// One picture over the whole viewport, stretched.
void DrawFullScreenFrame(FullScreenFilm &full) {
    CQVGraphics *graphics = GetGraphics();
    gfx::Device *device = graphics != nullptr ? graphics->GetD3DDevice() : nullptr;
    if (device == nullptr) {
        return;
    }
    graphics->ClearScreen(0);
    graphics->BeginFrame();
    gfx::Viewport viewport;
    device->GetViewport(&viewport);
    const float left = float(viewport.x) - 0.5f;
    const float top = float(viewport.y) - 0.5f;
    const float right = left + float(viewport.width);
    const float bottom = top + float(viewport.height);
    const ScreenVertex quad[4] = {
        {left, top, 0.0f, 1.0f, 0.0f, 0.0f},
        {right, top, 0.0f, 1.0f, 1.0f, 0.0f},
        {left, bottom, 0.0f, 1.0f, 0.0f, 1.0f},
        {right, bottom, 0.0f, 1.0f, 1.0f, 1.0f},
    };
    device->CaptureStateBlock(full.savedState);
    device->ApplyStateBlock(full.ownState);
    device->DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, quad, sizeof(ScreenVertex));
    device->ApplyStateBlock(full.savedState);
    graphics->EndFrame();
    graphics->PresentFrame();
}

void ReleaseFullScreen() {
    if (g_full == nullptr) {
        return;
    }
    if (gfx::Device *device = GetD3DDevice()) {
        if (g_full->ownState != 0) {
            device->DeleteStateBlock(g_full->ownState);
        }
        if (g_full->savedState != 0) {
            device->DeleteStateBlock(g_full->savedState);
        }
    }
    DestroyTextureObject(g_full->object);
    delete g_full;
    g_full = nullptr;
}

} // namespace

void VideoTextureSize(int32_t width, int32_t height, uint32_t *outWidth, uint32_t *outHeight) {
    *outWidth = width < 0 ? uint32_t(-int64_t(width)) : uint32_t(width);
    *outHeight = height < 0 ? uint32_t(-int64_t(height)) : uint32_t(height);
}

TextureObject *OpenVideoTexture(const char *fileName) {
    gfx::Device *device = GetD3DDevice();
    if (fileName == nullptr || device == nullptr) {
        return nullptr;
    }
    const std::string osPath = ResolvePath(fileName, false);
    if (osPath.empty()) {
        return nullptr;
    }
    std::unique_ptr<video::FilmSource> source = OpenSource(osPath);
    if (source == nullptr) {
        return nullptr;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    VideoTextureSize(int32_t(source->Width()), int32_t(source->Height()), &width, &height);
    if (width == 0 || height == 0 || width > video::kMaxFilmSide || height > video::kMaxFilmSide) {
        return nullptr;
    }
    gfx::Texture *texture = nullptr;
    if (device->CreateTexture(width, height, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed,
                              &texture) != 0 ||
        texture == nullptr) {
        return nullptr;
    }
    auto *object = new TextureObject();
    object->texture = texture;
    texture->GetLevelDesc(0, &object->levelDesc);
    auto *film = new Film(std::move(source), texture);
    object->video = film;
    film->ZeroTexels();
    texture->SetSampleHook(&Film::BeforeSample, film);
    return object;
}

void SetVideoStageTexture(TextureObject *object, uint32_t stage) {
    gfx::Device *device = GetD3DDevice();
    if (device == nullptr) {
        return;
    }
    if (Film *film = FilmOf(object)) {
        film->Update();
    }
    device->SetTexture(stage, object != nullptr ? object->texture : nullptr);
}

void RunVideoTexture(TextureObject *object) {
    if (Film *film = FilmOf(object)) {
        film->Run();
    }
}

void ResetVideoTexture(TextureObject *object) {
    if (Film *film = FilmOf(object)) {
        film->Reset();
    }
}

int PlayFullScreenVideo(const char *path) {
    StopFullScreenVideo();
    gfx::Device *device = GetD3DDevice();
    if (device == nullptr || path == nullptr) {
        return 0;
    }
    TextureObject *object = OpenVideoTexture(path);
    if (object == nullptr) {
        return 0;
    }
    g_full = new FullScreenFilm();
    g_full->object = object;
    if (!RecordBlock(device, object->texture, &g_full->ownState) ||
        !RecordBlock(device, object->texture, &g_full->savedState)) {
        ReleaseFullScreen();
        return 0;
    }
    BlackFrame();
    BlackFrame();
    Film *film = FilmOf(object);
    film->Run();
    const double start = Now();
    // The state is asked for with a short time-out, the clock is read
    // between asks.
    // On a clock that waits for the decoder, each ask also waits out the
    // sleep's length of real time unless the picture comes first.
    const std::chrono::milliseconds ask(g_clock.waitsForDecoder ? 25 : 5);
    while (!film->Started(ask)) {
        if (Now() - start >= kStartSeconds) {
            StopFullScreenVideo();
            return 0;
        }
        Sleep(20);
    }
    BlackFrame();
    BlackFrame();
    return 1;
}

void StopFullScreenVideo() {
    if (g_full == nullptr) {
        return;
    }
    BlackFrame();
    BlackFrame();
    if (Film *film = FilmOf(g_full->object)) {
        film->Park();
    }
    Sleep(100);
    ReleaseFullScreen();
}

int PollFullScreenVideo() {
    if (g_full == nullptr) {
        return 0;
    }
    Film *film = FilmOf(g_full->object);
    const double deadline = Now() + 0.1;
    for (;;) {
        if (film->Update()) {
            DrawFullScreenFrame(*g_full);
        }
        if (film->Finished()) {
            StopFullScreenVideo();
            return 0;
        }
        const double now = Now();
        if (now >= deadline) {
            return 1;
        }
        double until = std::min(deadline, film->NextDue());
        if (!std::isfinite(until) || until > deadline) {
            until = deadline;
        }
        // Without a decoded next picture, look again soon.
        if (film->NextDue() == std::numeric_limits<double>::infinity()) {
            until = std::min(until, now + 0.02);
        }
        const uint32_t wait = uint32_t(std::max(1.0, std::ceil((until - now) * 1000.0)));
        Sleep(wait);
        // The sleep's length of real time at most, and no longer than the
        // decoder takes to catch up with the clock.
        if (g_clock.waitsForDecoder) {
            film->WaitSettled(wait);
        }
    }
}

void StopVideo() { StopFullScreenVideo(); }

int UpdateVideo() { return PollFullScreenVideo(); }

void InstallFilmHooks(bool (*soundEnabled)()) {
    g_soundEnabledQuery = soundEnabled;
    SetDestroyVideoHook(&DestroyFilm);
}

void SetVideoClock(VideoClock clock) { g_clock = std::move(clock); }

void VideoSleep(uint32_t milliseconds) { Sleep(milliseconds); }

void UseSkippedWaitsVideoClock() {
    g_skippedMicros = 0;
    SetVideoClock({[] { return double(g_skippedMicros.load()) / 1e6; },
                   [](uint32_t milliseconds) { g_skippedMicros += int64_t(milliseconds) * 1000; },
                   true});
}

void SetFilmSourceOpener(FilmSourceOpener opener) { g_opener = std::move(opener); }

bool WaitForVideoTexture(TextureObject *object, uint32_t milliseconds) {
    Film *film = FilmOf(object);
    return film != nullptr && film->WaitCaughtUp(milliseconds);
}

bool FullScreenVideoOpen() { return g_full != nullptr; }

bool VideoTextureHasSound(TextureObject *object) {
    Film *film = FilmOf(object);
    return film != nullptr && film->HasSound();
}
