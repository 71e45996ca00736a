// Full-screen films without a decoder: while a FakeFilms lives, every film
// file that exists opens as a few black pictures, 25 a second, and the media
// clock moves by the window thread's waits alone (no real time passes: after
// each wait the window thread waits for the decoder thread to catch up).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/video/film_source.h"
#include "platform/video.h"

namespace fakefilm {

struct BlackFilm : video::FilmSource {
    explicit BlackFilm(int pictures) : frames(pictures) {}
    uint32_t Width() const override { return 8; }
    uint32_t Height() const override { return 4; }
    double Duration() const override { return frames * 0.04; }
    video::ReadResult NextFrame(std::vector<uint8_t> *bgra, double *time) override {
        if (next >= frames) {
            return video::ReadResult::End;
        }
        bgra->assign(8 * 4 * 4, 0);
        *time = next++ * 0.04;
        return video::ReadResult::Frame;
    }
    bool Rewind() override {
        next = 0;
        return true;
    }
    void Interrupt() override {}
    void ClearInterrupt() override {}

    int frames;
    int next = 0;
};

class FakeFilms {
  public:
    explicit FakeFilms(int pictures = 5) {
        SetFilmSourceOpener([this, pictures](const std::string &path) {
            opened.push_back(path);
            return std::make_unique<BlackFilm>(pictures);
        });
        SetVideoClock({[this] { return double(micros.load()) / 1e6; },
                       [this](uint32_t ms) { micros += int64_t(ms) * 1000; }, true});
    }
    ~FakeFilms() {
        StopFullScreenVideo();
        SetVideoClock({});
        SetFilmSourceOpener({});
    }
    FakeFilms(const FakeFilms &) = delete;
    FakeFilms &operator=(const FakeFilms &) = delete;

    std::vector<std::string> opened; // the paths, in order
    std::atomic<int64_t> micros{1000000};
};

} // namespace fakefilm
