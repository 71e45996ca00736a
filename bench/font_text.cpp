// Measuring and drawing 2,000 characters a frame (40 lines of 50) with the
// default font on a RecordingDevice: the numbers are the font's own work plus
// the facade's state blocks and call log.
#include <benchmark/benchmark.h>

#include <string>

#include "library/bitmap_font.h"
#include "platform/os/gfx/recording_device.h"

namespace {

constexpr int kLines = 40;
constexpr int kLineLength = 50;

struct Text {
    gfx::RecordingDevice device{640, 480};
    BitmapFont font;
    std::string lines[kLines];

    bool Make() {
        if (font.Create(nullptr, "Lucida Console", 6, 0, &device, nullptr, nullptr, 0.0f) != 1 ||
            font.GetSheetTexture() == nullptr) {
            return false;
        }
        for (int i = 0; i < kLines; ++i) {
            for (int c = 0; c < kLineLength; ++c) {
                lines[i].push_back(char(32 + (i * 7 + c * 13) % 95));
            }
        }
        return true;
    }
};

void BM_MeasureAndDraw2000Characters(benchmark::State &state) {
    Text text;
    if (!text.Make()) {
        state.SkipWithError("no default font (fonts-dejavu-core)");
        return;
    }
    for (auto _ : state) {
        int w = 0;
        int h = 0;
        for (int i = 0; i < kLines; ++i) {
            text.font.Measure(text.lines[i].c_str(), &w, &h, false);
            text.font.Draw(8.0f, float(8 + 10 * i), 0xFFFFFFFFu, text.lines[i].c_str(), 0, 0.0f);
        }
        benchmark::DoNotOptimize(w);
        state.PauseTiming();
        text.device.ClearLog();
        text.device.ClearDraws();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines * kLineLength);
}
BENCHMARK(BM_MeasureAndDraw2000Characters)->Unit(benchmark::kMicrosecond);

// The same characters measured only, as one text of 40 lines.
void BM_Measure2000Characters(benchmark::State &state) {
    Text text;
    if (!text.Make()) {
        state.SkipWithError("no default font (fonts-dejavu-core)");
        return;
    }
    std::string all;
    for (const std::string &line : text.lines) {
        all += line;
        all += '\n';
    }
    for (auto _ : state) {
        int w = 0;
        int h = 0;
        text.font.Measure(all.c_str(), &w, &h, false);
        benchmark::DoNotOptimize(w);
    }
    state.SetItemsProcessed(state.iterations() * kLines * kLineLength);
}
BENCHMARK(BM_Measure2000Characters)->Unit(benchmark::kMicrosecond);

} // namespace
