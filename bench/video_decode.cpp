// Decoding, conversion to BGRA and upload into an A8R8G8B8 texture of a
// 640 x 480 MPEG-1 film, in pictures per second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/gfx/recording_device.h"
#include "platform/os/video/film_source.h"
#include "platform/os/video/film_writer.h"

namespace {

constexpr uint32_t kWidth = 640;
constexpr uint32_t kHeight = 480;
constexpr int kFrames = 100;

const std::string &FilmPath() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "bench-video-decode.mpg").string();
        filmwriter::FilmSpec spec;
        spec.width = kWidth;
        spec.height = kHeight;
        spec.frames = kFrames;
        spec.picture = [](int k, std::vector<uint8_t> &bgrx) {
            // A moving gradient, so every picture differs.
            for (uint32_t y = 0; y < kHeight; ++y) {
                for (uint32_t x = 0; x < kWidth; ++x) {
                    uint8_t *px = &bgrx[(size_t(y) * kWidth + x) * 4];
                    px[0] = uint8_t(x + k * 4);
                    px[1] = uint8_t(y + k * 2);
                    px[2] = uint8_t((x ^ y) + k);
                }
            }
        };
        filmwriter::WriteFilm(p, spec);
        return p;
    }();
    return path;
}

void BM_DecodeConvertUpload(benchmark::State &state) {
    gfx::RecordingDevice device(kWidth, kHeight);
    gfx::Texture *texture = nullptr;
    if (device.CreateTexture(kWidth, kHeight, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed,
                             &texture) != 0) {
        state.SkipWithError("no texture");
        return;
    }
    std::vector<uint8_t> bgra;
    int64_t pictures = 0;
    for (auto _ : state) {
        auto source = video::OpenFfmpegFilmSource(FilmPath());
        if (source == nullptr) {
            state.SkipWithError("film does not open");
            break;
        }
        double time = 0.0;
        while (source->NextFrame(&bgra, &time) == video::ReadResult::Frame) {
            gfx::LockedRect locked{};
            if (texture->LockRect(0, &locked, nullptr, 0) == 0) {
                for (uint32_t row = 0; row < kHeight; ++row) {
                    std::memcpy(static_cast<uint8_t *>(locked.bits) + size_t(row) * locked.pitch,
                                bgra.data() + size_t(row) * kWidth * 4, kWidth * 4);
                }
                texture->UnlockRect(0);
            }
            ++pictures;
        }
    }
    state.counters["pictures_per_second"] =
        benchmark::Counter(double(pictures), benchmark::Counter::kIsRate);
    texture->Release();
}
BENCHMARK(BM_DecodeConvertUpload)->Unit(benchmark::kMillisecond);

} // namespace
