// Full-screen films on a recording device: the black frames around start and
// stop, the pictures presented per poll, the end of a film by duration, end
// of stream, read errors and stuck decoders, the bounded start, and the
// film's own path; on llvmpipe, the picture fills the viewport.
#include <filesystem>

#include "support/image_test.h"
#include "video_fixture.h"

namespace videotest {
namespace {

// The recorded calls cut into presented frames; a frame is black when it
// drew nothing.
struct Frames {
    std::vector<bool> drawn; // per present: whether the frame drew a picture
};

Frames PresentedFrames(const std::vector<std::string> &log, size_t from = 0) {
    Frames frames;
    bool drew = false;
    for (size_t i = from; i < log.size(); ++i) {
        if (log[i].rfind("DrawPrimitiveUP", 0) == 0) {
            drew = true;
        } else if (log[i] == "Present") {
            frames.drawn.push_back(drew);
            drew = false;
        }
    }
    return frames;
}

int Count(const std::vector<bool> &v, bool value) { return int(std::count(v.begin(), v.end(), value)); }

class FullScreenVideoTest : public VideoTest {};

TEST_F(FullScreenVideoTest, BlackFramesAroundStartAndStopAndPicturesInEachPoll) {
    gfx::RecordingDevice *device = Recorder();
    const std::string path = ColorFilm("film.mpg", filmwriter::Container::Mpeg);
    device->ClearLog();
    ASSERT_EQ(PlayFullScreenVideo(path.c_str()), 1);
    Frames start = PresentedFrames(device->GetLog());
    ASSERT_EQ(start.drawn.size(), 4u);
    EXPECT_EQ(Count(start.drawn, true), 0);

    const double begun = clock_.Now();
    int polls = 0;
    int answer = 1;
    size_t logAt = device->GetLog().size();
    std::vector<int> picturesPerPoll;
    while (answer == 1 && polls < 40) {
        answer = PollFullScreenVideo();
        ++polls;
        Frames f = PresentedFrames(device->GetLog(), logAt);
        logAt = device->GetLog().size();
        picturesPerPoll.push_back(Count(f.drawn, true));
    }
    EXPECT_EQ(answer, 0);
    EXPECT_FALSE(FullScreenVideoOpen());
    // 2 s of film: the last poll starts before 2.1 s of clock.
    EXPECT_LE(clock_.Now() - begun, 2.0 + 0.1 + 0.1 + 0.11);
    EXPECT_GE(clock_.Now() - begun, 1.9);
    for (size_t i = 0; i + 1 < picturesPerPoll.size(); ++i) {
        EXPECT_GE(picturesPerPoll[i], 2) << "poll " << i;
    }
    // Stop's two black frames close the film.
    const Frames all = PresentedFrames(device->GetLog());
    ASSERT_GE(all.drawn.size(), 6u);
    EXPECT_EQ(std::vector<bool>(all.drawn.end() - 3, all.drawn.end()),
              std::vector<bool>({true, false, false}));
    EXPECT_GE(Count(all.drawn, true), 45);

    EXPECT_EQ(PollFullScreenVideo(), 0);
}

TEST_F(FullScreenVideoTest, SecondFilmStopsTheFirst) {
    gfx::RecordingDevice *device = Recorder();
    const std::string path = ColorFilm("a.mpg", filmwriter::Container::Mpeg, 100);
    ASSERT_EQ(PlayFullScreenVideo(path.c_str()), 1);
    ASSERT_EQ(PollFullScreenVideo(), 1);
    const size_t at = device->GetLog().size();
    ASSERT_EQ(PlayFullScreenVideo(path.c_str()), 1);
    const Frames f = PresentedFrames(device->GetLog(), at);
    // Two of the first film's stop, two before and two after the second's run.
    EXPECT_EQ(f.drawn, std::vector<bool>(6, false));
    EXPECT_EQ(PollFullScreenVideo(), 1);
    StopVideo();
    EXPECT_FALSE(FullScreenVideoOpen());
}

TEST_F(FullScreenVideoTest, OwnFilmPathAndMissingFiles) {
    gfx::RecordingDevice *device = Recorder();
    ColorFilm("Data/INTRO.MPG", filmwriter::Container::Mpeg, 100);
    EXPECT_EQ((std::tuple{PlayVideoFile("intro"), UpdateVideo()}), (std::tuple{1, 1}));
    StopVideo();

    const uint32_t presents = device->GetPresentCount();
    EXPECT_EQ(PlayVideoFile("outro"), 0);
    EXPECT_EQ(PlayFullScreenVideo((temp_ / "none.mpg").c_str()), 0);
    EXPECT_EQ((std::tuple{device->GetPresentCount(), UpdateVideo()}), (std::tuple{presents, 0}));
}

TEST_F(FullScreenVideoTest, StartGivesUpOnADecoderThatNeverDelivers) {
    SetFilmSourceOpener([](const std::string &) {
        auto source = std::make_unique<ScriptedSource>();
        source->blockAt = 0;
        return source;
    });
    temp_.Put("stuck.mpg", "x");
    const double begun = clock_.Now();
    EXPECT_EQ(PlayFullScreenVideo((temp_ / "stuck.mpg").c_str()), 0);
    EXPECT_TRUE(clock_.Now() - begun >= 5.0 && clock_.Now() - begun < 5.5) << clock_.Now() - begun;
    EXPECT_FALSE(FullScreenVideoOpen());
}

// Polls until the film ends; answers the clock's advance (or -1 when it
// does not end within `limit` polls).
double PlayOut(FakeClock &clock, int limit) {
    const double begun = clock.Now();
    for (int i = 0; i < limit; ++i) {
        if (PollFullScreenVideo() == 0) {
            return clock.Now() - begun;
        }
    }
    return -1.0;
}

TEST_F(FullScreenVideoTest, FilmsEndWithoutDurationAtErrorsAndWhenStuck) {
    // No container duration: over one frame after the last picture.
    SetFilmSourceOpener([](const std::string &) {
        auto source = std::make_unique<ScriptedSource>();
        source->frames = 10;
        return source;
    });
    temp_.Put("f.mpg", "x");
    ASSERT_EQ(PlayFullScreenVideo((temp_ / "f.mpg").c_str()), 1);
    double took = PlayOut(clock_, 50);
    EXPECT_TRUE(took >= 0.39 && took <= 0.6) << took;

    // A decoder stuck in a read ends the film 2 s later.
    SetFilmSourceOpener([](const std::string &) {
        auto source = std::make_unique<ScriptedSource>();
        source->frames = 100;
        source->duration = 4.0;
        source->blockAt = 5;
        return source;
    });
    ASSERT_EQ(PlayFullScreenVideo((temp_ / "f.mpg").c_str()), 1);
    took = PlayOut(clock_, 100);
    EXPECT_TRUE(took >= 2.0 && took <= 2.6) << took;
}

// The fixture's clock takes no real time for a sleep (as the engine's
// ENGINE_SKIP_WAITS): the window thread waits for the decoder instead. A
// decoder that takes real time for each picture, of pictures 3 s apart, is
// not taken for a stuck one while the clock runs on to the next picture: the
// film plays to its end. The front end's pauses (VideoSleep) move the
// same clock.
TEST_F(FullScreenVideoTest, AClockThatWaitsForTheDecoderPlaysASlowDecoderToTheEnd) {
    SetFilmSourceOpener([](const std::string &) {
        auto source = std::make_unique<ScriptedSource>();
        source->frames = 4;
        source->step = 3.0;
        source->duration = 12.0;
        source->delay = std::chrono::milliseconds(30);
        return source;
    });
    temp_.Put("slow.mpg", "x");
    const double begun = clock_.Now();
    ASSERT_EQ(PlayFullScreenVideo((temp_ / "slow.mpg").c_str()), 1);
    ASSERT_GE(PlayOut(clock_, 400), 0.0);
    const double took = clock_.Now() - begun;
    EXPECT_TRUE(took >= 11.9 && took <= 12.3) << took;

    const double before = clock_.Now();
    VideoSleep(2000);
    EXPECT_NEAR(clock_.Now() - before, 2.0, 1e-9);
}

TEST_F(FullScreenVideoTest, TruncatedFilmsEndAndSparseFilmsPlayToTheirDuration) {
    const std::string path = ColorFilm("cut.mpg", filmwriter::Container::Mpeg, 50);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) * 6 / 10);
    ASSERT_EQ(PlayFullScreenVideo(path.c_str()), 1);
    const double took = PlayOut(clock_, 40);
    EXPECT_TRUE(took > 0.5 && took < 2.3) << took;

    // Three pictures 3 s apart: a still picture held beyond 2 s plays on.
    filmwriter::FilmSpec spec;
    spec.container = filmwriter::Container::Avi;
    spec.frames = 3;
    spec.frameNum = 3;
    spec.frameDen = 1;
    spec.picture = [](int k, std::vector<uint8_t> &bgrx) { filmwriter::FillColor(bgrx, FrameColor(k)); };
    ASSERT_TRUE(filmwriter::WriteFilm(temp_ / "slow.avi", spec));
    ASSERT_EQ(PlayFullScreenVideo((temp_ / "slow.avi").c_str()), 1);
    const double slow = PlayOut(clock_, 200);
    EXPECT_TRUE(slow >= 8.9 && slow <= 9.3) << slow;
}

TEST_F(FullScreenVideoTest, ExitingWithAFilmPlayingIsClean) {
    const std::string path = ColorFilm("exit.mpg", filmwriter::Container::Mpeg, 100);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The child's fixture never ends: its scratch folder goes at exit.
            static std::string scratch;
            scratch = temp_.Path();
            std::atexit([] {
                std::error_code ignored;
                std::filesystem::remove_all(scratch, ignored);
            });
            if (PlayFullScreenVideo(path.c_str()) == 1 && PollFullScreenVideo() == 1) {
                std::exit(0);
            }
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

// The film over the whole viewport on llvmpipe.
class RenderedFullScreenVideoTest : public VideoTest {
  protected:
    DeviceMaker Maker() override {
        return []() -> std::unique_ptr<gfx::Device> {
            imagetest::UseSoftwareRendering();
            std::string error;
            return gfx::GlDevice::CreateOffscreen(96, 64, &error);
        };
    }
};

TEST_F(RenderedFullScreenVideoTest, FlatFilmFillsTheCorners) {
    ASSERT_NE(GetD3DDevice(), nullptr);
    filmwriter::FilmSpec spec;
    spec.frames = 100;
    spec.width = 32;
    spec.height = 16;
    spec.picture = [](int, std::vector<uint8_t> &bgrx) { filmwriter::FillColor(bgrx, 0x3080C0); };
    ASSERT_TRUE(filmwriter::WriteFilm(temp_ / "flat.mpg", spec));
    ASSERT_EQ(PlayFullScreenVideo((temp_ / "flat.mpg").c_str()), 1);
    ASSERT_EQ(PollFullScreenVideo(), 1);
    imagetest::Image image;
    ASSERT_TRUE(imagetest::ReadBack(*GetD3DDevice(), &image));
    const imagetest::Rgb expected{0x30, 0x80, 0xC0};
    EXPECT_TRUE(imagetest::PixelNear(image, 0, 0, expected, 8));
    EXPECT_TRUE(imagetest::PixelNear(image, image.width - 1, 0, expected, 8));
    EXPECT_TRUE(imagetest::PixelNear(image, 0, image.height - 1, expected, 8));
    EXPECT_TRUE(imagetest::PixelNear(image, image.width - 1, image.height - 1, expected, 8));
    StopVideo();
}

} // namespace
} // namespace videotest
