// The sound layer heard through OpenAL Soft's loopback output: rendered as
// floats, so that samples compare exactly.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <string>
#include <vector>

#include "platform/os/al_sound_backend.h"
#include "platform/sound.h"
#include "support/sound_test_util.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kChunk = 4410; // 100 ms: one streaming pass per chunk

float Expected(uint32_t frame, uint16_t channel) {
    return static_cast<float>(CountingSample(frame, channel)) / 32768.0f;
}

class Loopback : public ::testing::Test {
protected:
    void SetUp() override {
        auto backend = std::make_unique<AlSoundBackend>(AlSoundBackend::Output::Loopback);
        al = backend.get();
        ASSERT_EQ(CreateSoundDeviceOn(std::move(backend), 2, kRate, 16, Threaded()), 1)
            << GetSoundErrorText();
    }
    void TearDown() override { ShutdownSoundDevice(); }
    virtual bool Threaded() const { return false; }

    // Renders frames of stereo output, running the streaming pass after
    // every 100 ms as the thread would.
    std::vector<float> Render(uint32_t frames) {
        std::vector<float> out(static_cast<size_t>(frames) * 2);
        for (uint32_t done = 0; done < frames;) {
            uint32_t n = std::min(kChunk, frames - done);
            EXPECT_TRUE(al->RenderLoopback(out.data() + static_cast<size_t>(done) * 2, n));
            done += n;
            RunStreamingPass();
        }
        return out;
    }

    static double Rms(const std::vector<float>& out, int channel) {
        double sum = 0;
        for (size_t i = channel; i < out.size(); i += 2) {
            sum += static_cast<double>(out[i]) * out[i];
        }
        return std::sqrt(sum / (static_cast<double>(out.size()) / 2));
    }

    // First frame (from `from`) whose output differs from the counting
    // pattern starting at frame `first` and wrapping at `period`; -1 when all match.
    static long FirstMismatch(const std::vector<float>& out, uint32_t first, uint32_t period) {
        for (size_t i = 0; i < out.size() / 2; ++i) {
            auto frame = static_cast<uint32_t>((first + i) % period);
            if (out[2 * i] != Expected(frame, 0) || out[2 * i + 1] != Expected(frame, 1)) {
                return static_cast<long>(i);
            }
        }
        return -1;
    }

    TempWaveFolder dir;
    AlSoundBackend* al = nullptr;
};

TEST_F(Loopback, StreamPlaysItsSamplesThenSilenceAndStopsItself) {
    const uint32_t frames = 154350; // 3.5 s, 617,400 bytes
    SoundStream* s = OpenStreamedSound2D(
        dir.Write("s.wav", 2, 16, kRate, CountingPcm16(frames, 2)).c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ((std::tuple{s->halfSize, s->dataSize}), (std::tuple{205800u, 617400u}));

    PlaySoundBuffer(s, 0);
    std::vector<float> out = Render(frames);
    EXPECT_EQ(FirstMismatch(out, 0, frames), -1);

    // Then silence until the stream stops itself, one to two halves later.
    const uint32_t half = 51450;
    uint32_t silent = 0;
    while (IsSoundBufferPlaying(s) != 0 && silent < 4 * half) {
        std::vector<float> more = Render(kChunk);
        for (float f : more) {
            ASSERT_EQ(f, 0.0f);
        }
        silent += kChunk;
    }
    EXPECT_EQ(IsSoundBufferPlaying(s), 0u);
    EXPECT_TRUE(silent >= half && silent <= 3 * half) << silent;

    PlaySoundBuffer(s, 0); // from the first sample again
    EXPECT_EQ(FirstMismatch(Render(3 * kChunk), 0, frames), -1);
    ReleaseSoundBuffer(s);
}

TEST_F(Loopback, LoopingStreamsRepeatWithoutGap) {
    // 3.5 s, and 0.3 s: halves of 0.3 s against passes every 0.1 s, no under-run.
    for (auto [frames, periods] : {std::pair{154350u, 3u}, {13230u, 5u}}) {
        SoundStream* s = OpenStreamedSound2D(
            dir.Write("s.wav", 2, 16, kRate, CountingPcm16(frames, 2)).c_str());
        ASSERT_NE(s, nullptr);
        PlaySoundBuffer(s, 1);
        EXPECT_EQ(FirstMismatch(Render(periods * frames), 0, frames), -1) << frames;
        EXPECT_EQ(IsSoundBufferPlaying(s), 1u);
        ReleaseSoundBuffer(s);
    }
}

TEST_F(Loopback, FifthStreamStaysSilent) {
    std::string quiet = dir.Write("q.wav", 2, 16, kRate, std::vector<uint8_t>(4 * kRate, 0));
    std::string loud = dir.Write("l.wav", 2, 16, kRate, CountingPcm16(kRate, 2));
    std::vector<SoundBuffer*> streams;
    for (int i = 0; i < 4; ++i) {
        streams.push_back(OpenStreamedSound2D(quiet.c_str()));
        PlaySoundBuffer(streams.back(), 1);
    }
    streams.push_back(OpenStreamedSound2D(loud.c_str()));
    PlaySoundBuffer(streams.back(), 1);
    std::vector<float> out = Render(2 * kChunk);
    EXPECT_EQ(Rms(out, 0) + Rms(out, 1), 0.0);
    for (SoundBuffer* b : streams) {
        ReleaseSoundBuffer(b);
    }
}

TEST_F(Loopback, PausedStaticSoundResumesAndPlayingAgainDoesNotRestart) {
    SoundBuffer* b =
        OpenStaticSound2D(dir.Write("b.wav", 2, 16, kRate, CountingPcm16(kRate, 2)).c_str());
    ASSERT_NE(b, nullptr);
    PlaySoundBuffer(b, 0);
    EXPECT_EQ(FirstMismatch(Render(1000), 0, kRate), -1);
    PauseSoundBuffer(b);
    EXPECT_EQ(IsSoundBufferPlaying(b), 0u);
    std::vector<float> paused = Render(500);
    EXPECT_EQ(Rms(paused, 0), 0.0);
    PlaySoundBuffer(b, 0);
    EXPECT_EQ(FirstMismatch(Render(1000), 1000, kRate), -1);
    PlaySoundBuffer(b, 1); // playing: only the looping changes
    EXPECT_EQ(FirstMismatch(Render(1000), 2000, kRate), -1);
    StopSoundBuffer(b);
    PlaySoundBuffer(b, 0); // stopped: from the start
    EXPECT_EQ(FirstMismatch(Render(1000), 0, kRate), -1);
    ReleaseSoundBuffer(b);
}

TEST_F(Loopback, AttenuationBecomesGain) {
    SoundBuffer* b =
        OpenStaticSound2D(dir.Write("b.wav", 2, 16, kRate, CountingPcm16(kRate, 2)).c_str());
    ASSERT_NE(b, nullptr);
    const std::pair<float, double> cases[] = {{0.5f, 0.0562341}, {0.0f, 0.00316228}, {1.0f, 1.0}};
    uint32_t at = 0;
    for (auto [volume, gain] : cases) {
        SetSoundVolume(b, volume);
        PlaySoundBuffer(b, 1);
        Render(kChunk); // gain changes are smoothed over a short fade
        at += kChunk;
        std::vector<float> out = Render(2000);
        double measured = 0;
        double expected = 0;
        for (uint32_t i = 0; i < 2000; ++i) {
            measured += std::fabs(out[2 * i]);
            expected += std::fabs(Expected(at + i, 0));
        }
        at += 2000;
        EXPECT_NEAR(measured / expected, gain, gain * 0.005) << volume;
        EXPECT_NEAR(al->GetGain(b->voice), gain, gain * 0.001);
    }
    ReleaseSoundBuffer(b);
}

TEST_F(Loopback, FrequencyBecomesPitch) {
    SoundBuffer* b = OpenStaticSound2D(dir.Write("b.wav", 1, 16, kRate, SinePcm16(100, kRate, 440, 1000)).c_str());
    ASSERT_NE(b, nullptr);
    // 0.001 (44 Hz) is refused; 0 goes back to the file's rate.
    for (auto [factor, pitch] : {std::pair{2.0f, 2.0f}, {0.001f, 2.0f}, {0.0f, 1.0f}}) {
        SetSoundFrequency(b, factor);
        EXPECT_FLOAT_EQ(al->GetPitch(b->voice), pitch) << factor;
    }
    ReleaseSoundBuffer(b);
}

TEST_F(Loopback, SoundToTheRightIsHeardRightAndBeyondItsMaximumNotAtAll) {
    SoundBuffer* b =
        OpenStaticSound3D(dir.Write("m.wav", 1, 16, kRate, SinePcm16(kRate, kRate, 440, 8000)).c_str());
    ASSERT_NE(b, nullptr);
    SetSoundPosition(b, {100.0f, 0.0f, 0.0f});
    CommitListenerSettings();
    PlaySoundBuffer(b, 1);
    std::vector<float> out = Render(kChunk);
    EXPECT_GT(Rms(out, 1), 0.1);
    EXPECT_LT(Rms(out, 0), Rms(out, 1) * 1e-3);

    // The listener turned around (front -z): now on the left.
    SetListenerFront({0.0f, 0.0f, -1.0f});
    CommitListenerSettings();
    Render(kChunk); // changes fade in over a short time
    out = Render(kChunk);
    EXPECT_LT(Rms(out, 1), Rms(out, 0) * 1e-3);

    SetSoundDistances(b, 10.0f, 50.0f); // maximum 0.5 units, the sound is at 1
    CommitListenerSettings();
    Render(kChunk);
    out = Render(kChunk);
    EXPECT_EQ(Rms(out, 0) + Rms(out, 1), 0.0);
    ReleaseSoundBuffer(b);
}

TEST_F(Loopback, ASoundBeyondItsMaximumStaysSilentForAListenerNowhere) {
    // A listener position that is not finite is no distance from anything:
    // the sound counts as beyond its maximum, whichever coordinate is bad.
    SoundBuffer* b =
        OpenStaticSound3D(dir.Write("m.wav", 1, 16, kRate, SinePcm16(kRate, kRate, 440, 8000)).c_str());
    ASSERT_NE(b, nullptr);
    SetSoundPosition(b, {100.0f, 0.0f, 0.0f});
    SetSoundDistances(b, 10.0f, 50.0f); // maximum 0.5 units, the sound is at 1
    PlaySoundBuffer(b, 1);
    const float inf = std::numeric_limits<float>::infinity();
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
        for (int axis = 0; axis < 3; ++axis) {
            Vector3 at = {0.0f, 0.0f, 0.0f};
            (axis == 0 ? at.x : axis == 1 ? at.y : at.z) = bad;
            SetListenerPosition(at);
            CommitListenerSettings();
            Render(kChunk);
            const std::vector<float> out = Render(kChunk);
            EXPECT_EQ(Rms(out, 0) + Rms(out, 1), 0.0) << "listener " << bad << " on axis " << axis;
        }
    }
    // Back at the origin, still beyond the maximum; near the sound, heard.
    SetListenerPosition({0.0f, 0.0f, 0.0f});
    CommitListenerSettings();
    Render(kChunk);
    EXPECT_EQ(Rms(Render(kChunk), 0), 0.0);
    SetListenerPosition({80.0f, 0.0f, 0.0f});
    CommitListenerSettings();
    Render(kChunk);
    EXPECT_GT(Rms(Render(kChunk), 1), 0.01);
    ReleaseSoundBuffer(b);
}

TEST_F(Loopback, ReleasingOneDuplicateLeavesTheOthersPlaying) {
    SoundBuffer* b =
        OpenStaticSound2D(dir.Write("b.wav", 2, 16, kRate, CountingPcm16(kRate, 2)).c_str());
    SoundBuffer* d1 = DuplicateSoundBuffer(b, kSoundFlags2D);
    SoundBuffer* d2 = DuplicateSoundBuffer(b, kSoundFlags2D);
    ASSERT_TRUE(d1 != nullptr && d2 != nullptr);
    PlaySoundBuffer(d1, 1);
    PlaySoundBuffer(d2, 1);
    Render(100);
    ReleaseSoundBuffer(d1);
    ReleaseSoundBuffer(b);
    EXPECT_EQ(IsSoundBufferPlaying(d2), 1u);
    EXPECT_EQ(FirstMismatch(Render(1000), 100, kRate), -1);
    ReleaseSoundBuffer(d2);
}

TEST_F(Loopback, ThousandStaticSoundsAllGetASource) {
    std::string path = dir.Write("t.wav", 1, 8, 8000, std::vector<uint8_t>(64, 128));
    std::vector<SoundBuffer*> sounds;
    for (int i = 0; i < 1000; ++i) {
        sounds.push_back(OpenStaticSound2D(path.c_str()));
        ASSERT_NE(sounds.back(), nullptr) << i << " " << GetSoundErrorText();
    }
    for (SoundBuffer* s : sounds) {
        ReleaseSoundBuffer(s);
    }
}

TEST(AlSoundDevice, NoDeviceGivesItsText) {
    AlSoundBackend::DeviceOpener none = []() -> void* { return nullptr; };
    EXPECT_EQ(CreateSoundDeviceOn(std::make_unique<AlSoundBackend>(none), 2, 44100, 16), 0);
    EXPECT_STREQ(GetSoundErrorText(), "Create Sound Device");
    EXPECT_FALSE(HasSoundDevice());
}

TEST_F(Loopback, PausedStreamResumesWithTheRefilledHalfAndNoStaleOne) {
    const uint32_t frames = 154350; // three halves of 51,450 frames
    const uint32_t half = 51450;
    SoundStream* s = OpenStreamedSound2D(
        dir.Write("s.wav", 2, 16, kRate, CountingPcm16(frames, 2)).c_str());
    ASSERT_NE(s, nullptr);
    PlaySoundBuffer(s, 0);
    Render(half + 2 * kChunk); // half 0 played and refilled with the third half
    ASSERT_EQ(s->nextHalf, 1u);
    PauseSoundBuffer(s);
    EXPECT_EQ(Rms(Render(kChunk), 0), 0.0);

    // The ring restarts at half 0: the third half, then silence where the
    // second half (already heard) lay.
    PlaySoundBuffer(s, 0);
    std::vector<float> out = Render(half + kChunk);
    std::vector<float> head(out.begin(), out.begin() + 2 * half);
    EXPECT_EQ(FirstMismatch(head, 2 * half, frames), -1);
    for (size_t i = 2 * half; i < out.size(); ++i) {
        ASSERT_EQ(out[i], 0.0f) << i;
    }
    ReleaseSoundBuffer(s);
}

// With the streaming thread running as in the engine.
class LoopbackThreaded : public Loopback {
protected:
    bool Threaded() const override { return true; }
};

TEST_F(LoopbackThreaded, StreamsComeAndGoWhileTheThreadRefills) {
    std::string shortFile = dir.Write("a.wav", 1, 16, kRate, CountingPcm16(2205, 1)); // 50 ms
    std::string longFile = dir.Write("b.wav", 2, 16, kRate, CountingPcm16(3 * kRate, 2));
    std::vector<float> out(2 * 441);
    for (int i = 0; i < 200; ++i) {
        SoundStream* a = OpenStreamedSound2D(shortFile.c_str());
        SoundStream* b = OpenStreamedSound2D(longFile.c_str());
        ASSERT_TRUE(a != nullptr && b != nullptr);
        PlaySoundBuffer(a, static_cast<uint32_t>(i % 2));
        PlaySoundBuffer(b, 1);
        for (int k = 0; k < i % 5; ++k) {
            al->RenderLoopback(out.data(), 441);
            RunStreamingPass();
        }
        if (i % 3 == 0) {
            PauseSoundBuffer(b);
            PlaySoundBuffer(b, 0);
        }
        ReleaseSoundBuffer(i % 2 ? a : b);
        ReleaseSoundBuffer(i % 2 ? b : a);
    }
    EXPECT_EQ(GetPlayingStreamCount(), 0u);
}

TEST_F(LoopbackThreaded, ShutdownWithAPlayingStreamIsClean) {
    SoundStream* s = OpenStreamedSound2D(
        dir.Write("s.wav", 2, 16, kRate, CountingPcm16(kRate / 2, 2)).c_str());
    ASSERT_NE(s, nullptr);
    PlaySoundBuffer(s, 1);
    std::vector<float> out(2 * kChunk);
    for (int i = 0; i < 5; ++i) {
        al->RenderLoopback(out.data(), kChunk);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    ShutdownSoundDevice();
    EXPECT_EQ(IsSoundBufferPlaying(s), 0u);
    ReleaseSoundBuffer(s);
}

} // namespace
