// Films on the engine's graphics object with a recording device (or GL), a
// media clock that only moves when told (the window thread's sleeps move it)
// and films written into a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "library/library_item.h"
#include "library/resource_library.h"
#include "library/video_items.h"
#include "platform/graphics.h"
#include "platform/os/gfx/recording_device.h"
#include "platform/os/video/film_writer.h"
#include "platform/texture_object.h"
#include "platform/video.h"
#include "support/fake_display.h"
#include "support/temp_folder.h"

namespace videotest {

// Frame k's flat colour (0xRRGGBB), far from its neighbours in every channel.
inline uint32_t FrameColor(int k) {
    const uint32_t r = uint32_t(k * 47 % 200 + 28);
    const uint32_t g = uint32_t(k * 83 % 200 + 28);
    const uint32_t b = uint32_t(k * 29 % 200 + 28);
    return (r << 16) | (g << 8) | b;
}

using testdisplay::DeviceMaker;
using testdisplay::QuietWindow;

// Seconds in microseconds, readable from the decoder threads.
struct FakeClock {
    std::atomic<int64_t> micros{1000000};
    double Now() const { return double(micros.load()) / 1e6; }
    void Advance(double seconds) { micros += int64_t(std::llround(seconds * 1e6)); }
};

// A film source made in the test: `frames` pictures of FrameColor(k) at
// k x step seconds, then End; it can be told to block in a read from picture
// `blockAt` on until interrupted, and to take `delay` of real time for each
// picture.
struct ScriptedSource : video::FilmSource {
    uint32_t width = 8;
    uint32_t height = 4;
    double duration = 0.0;
    int frames = 10;
    double step = 0.04;
    int blockAt = -1;
    std::chrono::milliseconds delay{0};
    int next = 0;
    std::mutex mutex;
    std::condition_variable wake;
    bool interrupted = false;
    std::atomic<int> *blockedReads = nullptr;

    uint32_t Width() const override { return width; }
    uint32_t Height() const override { return height; }
    double Duration() const override { return duration; }
    video::ReadResult NextFrame(std::vector<uint8_t> *bgra, double *time) override {
        if (blockAt >= 0 && next >= blockAt) {
            std::unique_lock<std::mutex> lock(mutex);
            if (blockedReads != nullptr) {
                ++*blockedReads;
            }
            wake.wait(lock, [&] { return interrupted; });
            return video::ReadResult::Error;
        }
        if (next >= frames) {
            return video::ReadResult::End;
        }
        std::this_thread::sleep_for(delay);
        bgra->assign(size_t(width) * height * 4, 0);
        filmwriter::FillColor(*bgra, FrameColor(next));
        *time = next * step;
        ++next;
        return video::ReadResult::Frame;
    }
    bool Rewind() override {
        next = 0;
        return true;
    }
    void Interrupt() override {
        std::lock_guard<std::mutex> lock(mutex);
        interrupted = true;
        wake.notify_all();
    }
    void ClearInterrupt() override {
        std::lock_guard<std::mutex> lock(mutex);
        interrupted = false;
    }
};

class VideoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CreateEngineServices(), 1);
        InstallVideoHooks();
        testdisplay::UseFakeAdapter(Maker());
        ASSERT_TRUE(GetGraphics()->CreateWindowDevice(&window_));
        GetLibrary()->SetBaseFolder(temp_.Path().c_str());
        // The media clock is ours, and a wait lets no real time pass; but
        // the decoder thread runs in real time, and a clock that raced ahead
        // of it on a loaded machine would take it for a stuck one: after each
        // wait the window thread waits for the decoder to catch up (at most
        // the wait's length).
        SetVideoClock({[this] { return clock_.Now(); },
                       [this](uint32_t ms) { clock_.Advance(ms / 1000.0); }, true});
    }
    void TearDown() override {
        StopFullScreenVideo();
        for (TextureObject *object : objects_) {
            DestroyTextureObject(object);
        }
        SetVideoClock({});
        SetFilmSourceOpener({});
        testdisplay::RestoreGlAdapter();
    }
    virtual DeviceMaker Maker() { return {}; }

    gfx::RecordingDevice *Recorder() {
        return dynamic_cast<gfx::RecordingDevice *>(GetD3DDevice());
    }

    // Writes a film of FrameColor(k) pictures into the scratch folder.
    std::string ColorFilm(const std::string &name, filmwriter::Container container,
                          int frames = 50, uint32_t width = 64, uint32_t height = 48) {
        filmwriter::FilmSpec spec;
        spec.container = container;
        spec.width = width;
        spec.height = height;
        spec.frames = frames;
        spec.picture = [](int k, std::vector<uint8_t> &bgrx) {
            filmwriter::FillColor(bgrx, FrameColor(k));
        };
        const std::string path = temp_ / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::string error;
        EXPECT_TRUE(filmwriter::WriteFilm(path, spec, &error)) << error;
        return path;
    }

    // Opens a film as a texture object that the fixture destroys.
    TextureObject *Open(const std::string &path) {
        TextureObject *object = OpenVideoTexture(path.c_str());
        if (object != nullptr) {
            objects_.push_back(object);
        }
        return object;
    }

    // Texel (x, y) of level 0 as 0xRRGGBB and its alpha.
    static uint32_t Texel(TextureObject *object, uint32_t x, uint32_t y, uint32_t *alpha = nullptr) {
        const gfx::Texture::Level &level = object->texture->GetLevel(0);
        const uint8_t *p = level.bytes.data() + size_t(y) * level.pitch + size_t(x) * 4;
        if (alpha != nullptr) {
            *alpha = p[3];
        }
        return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    }
    static bool AllZero(TextureObject *object) {
        for (uint8_t b : object->texture->GetLevel(0).bytes) {
            if (b != 0) {
                return false;
            }
        }
        return true;
    }

    FakeClock clock_;
    TempFolder temp_;
    QuietWindow window_;
    std::vector<TextureObject *> objects_;
};

// Each channel of `actual` within `tolerance` of `expected` (0xRRGGBB).
inline ::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected,
                                            int tolerance = 8) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = int((actual >> shift) & 0xFF);
        const int e = int((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) {
            return ::testing::AssertionFailure()
                   << std::hex << "colour 0x" << actual << ", expected 0x" << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace videotest
