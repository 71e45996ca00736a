// A film's sound heard through OpenAL Soft's loopback output: its tone
// starts with the film and stops with it; with sound disabled there is no
// voice and the picture plays.
#include "platform/os/al_sound_backend.h"
#include "platform/sound.h"
#include "support/sound_test_util.h"
#include "video_fixture.h"

namespace videotest {
namespace {

class VideoSoundTest : public VideoTest {
  protected:
    void SetUp() override {
        VideoTest::SetUp();
        auto backend = std::make_unique<AlSoundBackend>(AlSoundBackend::Output::Loopback);
        al_ = backend.get();
        ASSERT_EQ(CreateSoundDeviceOn(std::move(backend), 2, 44100, 16, false), 1)
            << GetSoundErrorText();
    }
    void TearDown() override {
        for (TextureObject *object : objects_) {
            DestroyTextureObject(object);
        }
        objects_.clear();
        ShutdownSoundDevice();
        GetLibrary()->SetSoundEnabled(1);
        VideoTest::TearDown();
    }

    std::string ToneFilm() {
        filmwriter::FilmSpec spec;
        spec.frames = 50;
        spec.toneHz = 440.0;
        spec.picture = [](int k, std::vector<uint8_t> &bgrx) {
            filmwriter::FillColor(bgrx, FrameColor(k));
        };
        std::string error;
        EXPECT_TRUE(filmwriter::WriteFilm(temp_ / "tone.mpg", spec, &error)) << error;
        return temp_ / "tone.mpg";
    }

    // Moves the film on by 0.1 s, runs the streaming pass (the streaming
    // thread's work) and renders that much output; binds the texture unless
    // `undrawn`.
    std::vector<float> Step(TextureObject *object, bool undrawn = false) {
        clock_.Advance(0.1);
        // However busy the machine, the decoder has caught up with the clock
        // (and decoded the sound up to it) before the pass.
        EXPECT_TRUE(WaitForVideoTexture(object, 10000));
        if (!undrawn) {
            SetVideoStageTexture(object, 0);
        }
        RunStreamingPass();
        std::vector<float> out(4410 * 2);
        EXPECT_TRUE(al_->RenderLoopback(out.data(), 4410));
        return out;
    }

    static double Peak(const std::vector<float> &out) {
        double peak = 0.0;
        for (float v : out) {
            peak = std::max(peak, double(std::fabs(v)));
        }
        return peak;
    }

    // Zero crossings per second of one channel, over the whole buffer.
    static double Frequency(const std::vector<float> &out, int channel) {
        int crossings = 0;
        for (size_t i = size_t(channel) + 2; i < out.size(); i += 2) {
            if ((out[i - 2] < 0.0f) != (out[i] < 0.0f)) {
                ++crossings;
            }
        }
        return crossings / 2.0 / (double(out.size()) / 2.0 / 44100.0);
    }

    AlSoundBackend *al_ = nullptr;
};

TEST_F(VideoSoundTest, ToneStartsWithRunAndStopsWithTheFilm) {
    TextureObject *object = Open(ToneFilm());
    ASSERT_NE(object, nullptr);
    ASSERT_TRUE(VideoTextureHasSound(object));
    std::unique_ptr<LibraryItem> item = CreateLibraryItem(0);
    static_cast<TextureItem *>(item.get())->texture = object;

    // Not running: silence.
    EXPECT_LT(Peak(Step(object)), 1e-4);

    RestartVideoTexture(item.get());
    std::vector<float> heard;
    for (int i = 0; i < 15; ++i) {
        std::vector<float> out = Step(object);
        if (i >= 4) {
            heard.insert(heard.end(), out.begin(), out.end());
        }
    }
    EXPECT_GT(Peak(heard), 0.2);
    EXPECT_NEAR(Frequency(heard, 0), 440.0, 440.0 * 0.02);
    EXPECT_NEAR(Frequency(heard, 1), 440.0, 440.0 * 0.02);

    StopVideoTexture(item.get());
    EXPECT_LT(Peak(Step(object)), 1e-4);
    EXPECT_LT(Peak(Step(object)), 1e-4);
    static_cast<TextureItem *>(item.get())->texture = nullptr;
}

TEST_F(VideoSoundTest, ToneFlowsWithTheClockWhileTheTextureIsNeverDrawn) {
    const std::string path = ToneFilm();
    // The length of the film's sound as its decoder gives it.
    double soundSeconds = 0.0;
    {
        auto source = video::OpenFfmpegFilmSource(path);
        ASSERT_NE(source, nullptr);
        std::vector<int16_t> samples;
        while (source->ReadSound(&samples)) {
        }
        soundSeconds = double(samples.size()) / source->SoundChannels() / video::kFilmSoundRate;
    }
    ASSERT_GT(soundSeconds, 1.5);

    TextureObject *object = Open(path);
    ASSERT_NE(object, nullptr);
    RunVideoTexture(object);
    // Heard from the first tenths of a second on, without a gap, all of it,
    // then silence.
    std::vector<float> heard;
    std::vector<int> loud;
    for (int i = 0; i < 30; ++i) {
        std::vector<float> out = Step(object, true);
        if (Peak(out) > 0.2) {
            loud.push_back(i);
        }
        if (i >= 4 && i < 15) {
            heard.insert(heard.end(), out.begin(), out.end());
        }
    }
    ASSERT_FALSE(loud.empty());
    EXPECT_LE(loud.front(), 1);
    EXPECT_EQ(loud.back() - loud.front() + 1, int(loud.size())) << "a gap in the sound";
    EXPECT_NEAR(loud.size() * 0.1, soundSeconds, 0.15);
    EXPECT_LT(loud.back(), 23);
    EXPECT_NEAR(Frequency(heard, 0), 440.0, 440.0 * 0.02);
    EXPECT_TRUE(AllZero(object));
}

TEST_F(VideoSoundTest, FilmIsHeardWithFourStreamsPlaying) {
    TempWaveFolder waves;
    const std::string quiet =
        waves.Write("quiet.wav", 1, 16, 44100, std::vector<uint8_t>(44100 * 2, 0));
    std::vector<SoundStream *> streams;
    for (int i = 0; i < 4; ++i) {
        streams.push_back(OpenStreamedSound2D(quiet.c_str()));
        ASSERT_NE(streams.back(), nullptr);
        PlaySoundBuffer(streams.back(), 1);
    }
    EXPECT_EQ(GetPlayingStreamCount(), 4u);

    TextureObject *object = Open(ToneFilm());
    ASSERT_NE(object, nullptr);
    RunVideoTexture(object);
    std::vector<float> heard;
    for (int i = 0; i < 10; ++i) {
        std::vector<float> out = Step(object);
        RunStreamingPass();
        if (i >= 4) {
            heard.insert(heard.end(), out.begin(), out.end());
        }
    }
    EXPECT_NEAR(Frequency(heard, 0), 440.0, 440.0 * 0.02);
    EXPECT_EQ(GetPlayingStreamCount(), 4u);
    for (SoundStream *stream : streams) {
        ReleaseSoundBuffer(stream);
    }
}

TEST_F(VideoSoundTest, SoundDisabledMakesNoVoiceAndThePicturePlays) {
    const std::string path = ToneFilm();
    GetLibrary()->SetSoundEnabled(0);
    TextureObject *object = Open(path);
    ASSERT_NE(object, nullptr);
    EXPECT_FALSE(VideoTextureHasSound(object));
    RunVideoTexture(object);
    clock_.Advance(0.4);
    ASSERT_TRUE(WaitForVideoTexture(object, 10000));
    SetVideoStageTexture(object, 0);
    EXPECT_TRUE(ColorNear(Texel(object, 0, 0), FrameColor(10)));
    GetD3DDevice()->SetTexture(0, nullptr);
}

} // namespace
} // namespace videotest
