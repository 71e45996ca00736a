// The sound layer's algorithm over the recording output: streams advance
// only when a test marks a half as played.
#include "platform/sound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/os/recording_sound_backend.h"
#include "support/sound_test_util.h"

namespace {

std::vector<uint8_t> Bytes(uint32_t n, uint32_t seed = 0) {
    std::vector<uint8_t> out(n);
    for (uint32_t i = 0; i < n; ++i) {
        out[i] = static_cast<uint8_t>((i + seed) % 251 + 1); // never 0: silence stands out
    }
    return out;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, uint32_t from, uint32_t n) {
    return std::vector<uint8_t>(v.begin() + from, v.begin() + from + n);
}

// Runs f on another thread and fails (ending the process) when it takes
// longer than the time-out, so that a hang cannot stall the suite.
template <class F> void WithinSeconds(int seconds, F f) {
    auto done = std::async(std::launch::async, f);
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        ADD_FAILURE() << "timed out";
        std::_Exit(1);
    }
    done.get();
}

class SoundLayer : public ::testing::Test {
protected:
    void SetUp() override {
        auto backend = std::make_unique<RecordingSoundBackend>();
        rec = backend.get();
        ASSERT_EQ(CreateSoundDeviceOn(std::move(backend), 2, 44100, 16, false), 1);
        rec->TakeLog();
    }
    void TearDown() override { ShutdownSoundDevice(); }

    // Mono 8-bit at 1000 Hz: one second is 1000 bytes.
    std::string MonoFile(const std::string& name, const std::vector<uint8_t>& data) {
        return dir.Write(name, 1, 8, 1000, data);
    }
    std::vector<uint8_t> Half(SoundStream* s, uint32_t half) {
        return rec->GetVoice(s->voice).halves[half];
    }
    // The output plays the oldest queued half; the thread's pass follows.
    void PlayHalf(SoundStream* s) {
        rec->MarkHalfPlayed(s->voice);
        RunStreamingPass();
    }

    TempWaveFolder dir;
    RecordingSoundBackend* rec = nullptr;
};

TEST_F(SoundLayer, StreamShorterThanOneSecondLoopsAndDoesNotHang) {
    std::vector<uint8_t> data = Bytes(300); // 0.3 s
    SoundStream* s = OpenStreamedSound2D(MonoFile("short.wav", data).c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::tie(s->halfSize, s->dataSize), std::tuple(300u, 300u));
    // Opened not looping: the data, then silence.
    EXPECT_EQ((std::tuple{Half(s, 0), Half(s, 1)}),
              (std::tuple{data, std::vector<uint8_t>(300, 0)}));

    WithinSeconds(20, [&] {
        PlaySoundBuffer(s, 1);
        EXPECT_EQ(Half(s, 1), data); // looping: the data again, no gap
        for (int k = 0; k < 10; ++k) {
            PlayHalf(s);
            EXPECT_EQ(Half(s, k % 2), data) << k;
        }
        StopSoundBuffer(s);
        EXPECT_EQ(IsSoundBufferPlaying(s), 0u);
        // Played once now: the data, silence, and the stream stops.
        PlaySoundBuffer(s, 0);
        EXPECT_EQ(Half(s, 1), std::vector<uint8_t>(300, 0));
        for (int k = 0; k < 3; ++k) {
            PlayHalf(s);
        }
        EXPECT_EQ(IsSoundBufferPlaying(s), 0u);
    });
    ReleaseSoundBuffer(s);
}

TEST_F(SoundLayer, StreamOfLessThanOneFrameIsSilentAndNeverLoops) {
    SoundStream* s = OpenStreamedSound2D(dir.Write("tiny.wav", 2, 16, 1000, {1, 2, 3}).c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::tie(s->dataSize, s->halfSize), std::tuple(0u, 4000u));
    WithinSeconds(20, [&] {
        PlaySoundBuffer(s, 1);
        for (int k = 0; k < 4; ++k) {
            PlayHalf(s);
        }
    });
    EXPECT_EQ(IsSoundBufferPlaying(s), 0u);
    ReleaseSoundBuffer(s);
}

TEST_F(SoundLayer, FifthStreamDoesNotStart) {
    std::string path = MonoFile("a.wav", Bytes(2000));
    std::vector<SoundBuffer*> streams;
    for (int i = 0; i < 5; ++i) {
        streams.push_back(OpenStreamedSound2D(path.c_str()));
        ASSERT_NE(streams.back(), nullptr);
        PlaySoundBuffer(streams.back(), 0);
    }
    EXPECT_EQ(GetPlayingStreamCount(), 4u);
    EXPECT_EQ(IsSoundBufferPlaying(streams[4]), 0u);
    EXPECT_FALSE(rec->GetVoice(streams[4]->voice).playing);
    // Playing a listed stream again does not list it twice.
    PlaySoundBuffer(streams[0], 0);
    StopSoundBuffer(streams[1]);
    PlaySoundBuffer(streams[0], 0);
    EXPECT_EQ(GetPlayingStreamCount(), 3u);
    for (SoundBuffer* s : streams) {
        ReleaseSoundBuffer(s);
    }
    EXPECT_EQ(GetPlayingStreamCount(), 0u);
}

TEST_F(SoundLayer, VolumeBecomesAttenuation) {
    SoundBuffer* b = OpenStaticSound2D(MonoFile("a.wav", Bytes(100)).c_str());
    ASSERT_NE(b, nullptr);
    const std::pair<float, int32_t> cases[] = {
        {2.0f, 0}, {1.0f, 0}, {0.5f, -2500}, {0.0f, -5000}, {-1.0f, -5000}, {NAN, -5000}};
    for (auto [volume, attenuation] : cases) {
        SetSoundVolume(b, volume);
        EXPECT_EQ(rec->GetVoice(b->voice).attenuation, attenuation) << volume;
    }
    ReleaseSoundBuffer(b);
}

TEST_F(SoundLayer, FrequencyFactorMultipliesTheBaseRate) {
    SoundBuffer* b = OpenStaticSound2D(dir.Write("a.wav", 1, 16, 44100, Bytes(200)).c_str());
    ASSERT_NE(b, nullptr);
    SetSoundFrequency(b, 2.0f);
    for (float bad : {-3.0f, NAN, 1e12f}) {
        SetSoundFrequency(b, bad);
    }
    EXPECT_EQ(rec->GetVoice(b->voice).frequency, 88200u);
    ReleaseSoundBuffer(b);
    SoundStream* s = OpenStreamedSound2D(dir.Write("b.wav", 1, 16, 44100, Bytes(200)).c_str());
    SetSoundFrequency(s, 1.5f);
    EXPECT_FLOAT_EQ(s->frequencyFactor, 1.5f);
    ReleaseSoundBuffer(s);
}

TEST_F(SoundLayer, PositionsAndDistancesAreScaledAndDeferred) {
    std::string path = MonoFile("a.wav", Bytes(100));
    SoundBuffer* b3 = OpenStaticSound3D(path.c_str());
    SoundBuffer* b2 = OpenStaticSound2D(path.c_str());
    ASSERT_TRUE(b3 != nullptr && b2 != nullptr);
    SetSoundPosition(b3, {100.0f, 0.0f, -50.0f});
    SetSoundDistances(b3, 200.0f, 3000.0f);
    EXPECT_EQ(rec->GetVoice(b3->voice).position.x, 0.0f); // not committed yet
    SetListenerPosition({300.0f, 0.0f, 0.0f});
    CommitListenerSettings();
    RecordingSoundBackend::Voice v = rec->GetVoice(b3->voice);
    for (auto [got, want] : {std::pair{v.position.x, 1.0f},
                             {v.position.z, -0.5f},
                             {v.minDistance, 2.0f},
                             {v.maxDistance, 30.0f},
                             {rec->ListenerPosition().x, 3.0f}}) {
        EXPECT_FLOAT_EQ(got, want);
    }

    rec->TakeLog();
    SetSoundPosition(b2, {1.0f, 2.0f, 3.0f}); // a 2D sound has no position
    SetSoundDistances(b2, 1.0f, 2.0f);
    EXPECT_TRUE(rec->TakeLog().empty());
    ReleaseSoundBuffer(b3);
    ReleaseSoundBuffer(b2);
}

TEST_F(SoundLayer, ListenerKeepsFrontAndTopBetweenCalls) {
    SetListenerFront({1.0f, 0.0f, 0.0f});
    SetListenerTop({0.0f, 0.0f, 1.0f});
    EXPECT_EQ(rec->TakeLog(), (std::vector<std::string>{"SetListenerOrientation 1 0 0 0 1 0",
                                                        "SetListenerOrientation 1 0 0 0 0 1"}));
}

TEST_F(SoundLayer, ThreeDimensionalStereoFileIsRefused) {
    std::string path = dir.Write("st.wav", 2, 16, 8000, Bytes(400));
    for (bool streamed : {false, true}) {
        SetSoundError("");
        EXPECT_EQ(streamed ? OpenStreamedSound3D(path.c_str()) : OpenStaticSound3D(path.c_str()),
                  nullptr);
        EXPECT_STREQ(GetSoundErrorText(), "Create Sound Buffer") << streamed;
    }
    SoundBuffer* two = OpenStaticSound2D(path.c_str());
    EXPECT_NE(two, nullptr);
    ReleaseSoundBuffer(two);
}

TEST_F(SoundLayer, DuplicatesKeepTheSourcesDimensions) {
    std::string path = MonoFile("a.wav", Bytes(3000));
    SoundStream* s3 = OpenStreamedSound3D(path.c_str());
    ASSERT_NE(s3, nullptr);
    EXPECT_TRUE(s3->has3D);
    auto* copy = static_cast<SoundStream*>(DuplicateSoundBuffer3D(s3));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->streamFlag, 1u);
    EXPECT_FALSE(copy->has3D || rec->GetVoice(copy->voice).is3D);
    EXPECT_EQ(copy->fileName, path);
    EXPECT_NE(copy->voice, s3->voice);

    SoundBuffer* b2 = OpenStaticSound2D(path.c_str());
    SoundBuffer* d = DuplicateSoundBuffer3D(b2);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(!d->has3D && d->duplicateFlag == 1u);
    EXPECT_EQ(rec->GetVoice(d->voice).bufferId, rec->GetVoice(b2->voice).bufferId);
    SoundBuffer* b3 = OpenStaticSound3D(path.c_str());
    SoundBuffer* d3 = DuplicateSoundBuffer3D(b3);
    EXPECT_TRUE(d3->has3D);
    for (SoundBuffer* b : {static_cast<SoundBuffer*>(s3), static_cast<SoundBuffer*>(copy), b2,
                           d, b3, d3}) {
        ReleaseSoundBuffer(b);
    }
    EXPECT_EQ(rec->VoiceCount(), 0u);
}

TEST_F(SoundLayer, ExtraChunksAreNotPlayed) {
    // "LIST" and "fact" chunks between the format and the data.
    std::vector<uint8_t> samples = Bytes(1500);
    std::vector<uint8_t> file = WaveWriter(1, 8, 1000).Build(samples.data(), 1500);
    std::vector<uint8_t> extra = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 0,
                                  'f', 'a', 'c', 't', 4, 0, 0, 0, 0xDC, 5, 0, 0};
    file.insert(file.begin() + 36, extra.begin(), extra.end());
    std::string path = dir.WriteBytes("list.wav", file);

    SoundBuffer* b = OpenStaticSound2D(path.c_str());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(rec->GetVoice(b->voice).data, samples);
    SoundStream* s = OpenStreamedSound2D(path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Half(s, 0), Slice(samples, 0, s->halfSize));
    ReleaseSoundBuffer(b);
    ReleaseSoundBuffer(s);
}

TEST_F(SoundLayer, BadFilesFailCleanly) {
    std::vector<uint8_t> bad = WaveWriter(1, 8, 1000).Build("abcd", 4);
    bad[22] = 0; // channels 0
    SetSoundError("");
    EXPECT_EQ(OpenStaticSound2D(dir.WriteBytes("c0.wav", bad).c_str()), nullptr);
    EXPECT_STREQ(GetSoundErrorText(), "Create Sound Buffer");
    EXPECT_EQ(OpenStreamedSound2D(dir.WriteBytes("c0.wav", bad).c_str()), nullptr);

    SetSoundError("");
    EXPECT_EQ(OpenStaticSound2D(dir.WriteBytes("junk.wav", {'n', 'o', 'p', 'e'}).c_str()),
              nullptr);
    EXPECT_STREQ(GetSoundErrorText(), ""); // not a wave: no text

    EXPECT_EQ(OpenStaticSound2D((dir.Path() / "missing.wav").c_str()), nullptr);
    EXPECT_STREQ(GetSoundErrorText(), "File Open");

    // A data size past the end: what exists is played.
    std::vector<uint8_t> longer = WaveWriter(1, 8, 1000).Build("abcdef", 6);
    longer[40] = 0xFF;
    SoundBuffer* b = OpenStaticSound2D(dir.WriteBytes("long.wav", longer).c_str());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(rec->GetVoice(b->voice).data, std::vector<uint8_t>({'a', 'b', 'c', 'd', 'e', 'f'}));
    ReleaseSoundBuffer(b);
}

TEST_F(SoundLayer, NullSoundsAreIgnored) {
    PlaySoundBuffer(nullptr, 1);
    StopSoundBuffer(nullptr);
    PauseSoundBuffer(nullptr);
    SetSoundVolume(nullptr, 1.0f);
    SetSoundFrequency(nullptr, 1.0f);
    SetSoundPosition(nullptr, {1, 2, 3});
    SetSoundDistances(nullptr, 1, 2);
    ReleaseSoundBuffer(nullptr);
    EXPECT_EQ(IsSoundBufferPlaying(nullptr), 0u);
    EXPECT_EQ(GetSoundLength(nullptr), 0.0f);
    EXPECT_EQ(DuplicateSoundBuffer(nullptr, 0), nullptr);
}

TEST_F(SoundLayer, ReleasingWhileThePassStopsStaysClean) {
    std::string path = MonoFile("short.wav", Bytes(200));
    std::atomic<bool> stop{false};
    std::atomic<SoundVoice> current{0};
    std::thread pass([&] {
        while (!stop) {
            SoundVoice v = current.load();
            if (v != 0) {
                rec->MarkHalfPlayed(v);
            }
            RunStreamingPass();
        }
    });
    for (int i = 0; i < 300; ++i) {
        SoundStream* s = OpenStreamedSound2D(path.c_str());
        ASSERT_NE(s, nullptr);
        PlaySoundBuffer(s, static_cast<uint32_t>(i % 2));
        current = s->voice;
        std::this_thread::sleep_for(std::chrono::microseconds(i % 7 * 20));
        if (i % 3 == 0) {
            PlaySoundBuffer(s, 0);
            StopSoundBuffer(s);
            PlaySoundBuffer(s, 1);
        }
        current = 0;
        ReleaseSoundBuffer(s);
    }
    stop = true;
    pass.join();
    EXPECT_EQ((std::tuple{GetPlayingStreamCount(), rec->VoiceCount()}), (std::tuple{0u, 0u}));
}

TEST(SoundDevice, FailingOpenLeavesTheEngineSilent) {
    auto backend = std::make_unique<RecordingSoundBackend>();
    backend->FailOpenWith("Create Sound Device");
    EXPECT_EQ(CreateSoundDeviceOn(std::move(backend), 2, 44100, 16), 0);
    EXPECT_STREQ(GetSoundErrorText(), "Create Sound Device");
    EXPECT_FALSE(HasSoundDevice());
    SetListenerPosition({1, 2, 3});
    SetListenerFront({1, 0, 0});
    CommitListenerSettings();
    TempWaveFolder dir;
    EXPECT_EQ(OpenStaticSound2D(dir.Write("a.wav", 1, 8, 1000, Bytes(10)).c_str()), nullptr);
    EXPECT_STREQ(GetSoundErrorText(), "Create Sound Buffer");
    RunStreamingPass();
}

} // namespace
