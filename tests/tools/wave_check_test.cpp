// The reader of the wave driver's files and the tone search that the tool runs are judged by.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "support/wave_check.h"

namespace {

struct WaveBytes {
    std::vector<uint8_t> data;
    WaveBytes &Raw(const char *text) {
        data.insert(data.end(), text, text + std::strlen(text));
        return *this;
    }
    WaveBytes &U16(uint16_t v) {
        data.insert(data.end(), {uint8_t(v), uint8_t(v >> 8)});
        return *this;
    }
    WaveBytes &U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            data.push_back(uint8_t(v >> (8 * i)));
        }
        return *this;
    }
};

// What the driver writes while the device is open: sizes left at 0,
// WAVE_FORMAT_EXTENSIBLE with the sub-format's tag, then the samples.
WaveBytes Header(uint16_t tag, uint16_t channels, uint16_t bits, bool extensible,
                 bool oddChunkFirst = false) {
    WaveBytes w;
    w.Raw("RIFF").U32(0).Raw("WAVE");
    if (oddChunkFirst) {
        w.Raw("junk").U32(3).U16(0x7777).data.push_back(0x77);
        w.data.push_back(0); // pad byte of an odd chunk
    }
    const uint16_t block = uint16_t(channels * bits / 8);
    w.Raw("fmt ").U32(extensible ? 40 : 16);
    w.U16(extensible ? 0xFFFE : tag).U16(channels).U32(44100).U32(44100u * block).U16(block).U16(
        bits);
    if (extensible) {
        w.U16(22).U16(bits).U32(3).U16(tag);
        const uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                  0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        w.data.insert(w.data.end(), rest, rest + 14);
    }
    w.Raw("data").U32(0);
    return w;
}

void AppendTone(WaveBytes &w, double hz, double seconds, uint16_t channels, bool asFloat,
                double secondHz = 0.0) {
    const int frames = int(seconds * 44100);
    for (int i = 0; i < frames; ++i) {
        double v = 0.5 * std::sin(2.0 * std::numbers::pi * hz * i / 44100.0);
        if (secondHz > 0.0) {
            v += 0.2 * std::sin(2.0 * std::numbers::pi * secondHz * i / 44100.0);
        }
        for (uint16_t c = 0; c < channels; ++c) {
            if (asFloat) {
                const float f = float(v);
                uint32_t word = 0;
                std::memcpy(&word, &f, 4);
                w.U32(word);
            } else {
                w.U16(uint16_t(int16_t(std::lround(v * 32767.0))));
            }
        }
    }
}

TEST(WaveCheck, ReadsOpenDriverFilesToTheEndAndFindsTheTone) {
    // Stereo 16-bit, extensible, sizes still 0, silence around the tone.
    WaveBytes w = Header(1, 2, 16, true);
    AppendTone(w, 0.0, 0.1, 2, false);
    AppendTone(w, 880.0, 0.25, 2, false);
    AppendTone(w, 0.0, 0.1, 2, false);
    wavecheck::WaveData wave;
    std::string error;
    ASSERT_TRUE(wavecheck::ParseWave(w.data, &wave, &error)) << error;
    EXPECT_EQ(std::vector<size_t>({wave.extensible, wave.isFloat, wave.channels, wave.sampleRate,
                                   wave.mono.size()}),
              std::vector<size_t>({1, 0, 2, 44100, size_t(0.45 * 44100)}));
    size_t first = 0;
    size_t last = 0;
    ASSERT_TRUE(wavecheck::FindSoundSpan(wave, 0.02f, &first, &last));
    EXPECT_NEAR(double(first), 0.1 * 44100, 10.0);
    EXPECT_NEAR(double(last), 0.35 * 44100, 10.0);
    EXPECT_NEAR(wavecheck::DominantFrequency(wave, 100.0, 4000.0), 880.0, 2.0);

    // A half-written last frame is left out.
    w.data.push_back(0x12);
    ASSERT_TRUE(wavecheck::ParseWave(w.data, &wave, &error)) << error;
    EXPECT_EQ(wave.mono.size(), size_t(0.45 * 44100));
}

TEST(WaveCheck, FloatSamplesPlainFormatAndMixedTones) {
    // 32-bit float (what the driver writes when the sample type is not set
    // where it is read), mono, after an odd-sized chunk.
    WaveBytes f = Header(3, 1, 32, true, true);
    AppendTone(f, 440.0, 0.5, 1, true, 1320.0);
    wavecheck::WaveData wave;
    std::string error;
    ASSERT_TRUE(wavecheck::ParseWave(f.data, &wave, &error)) << error;
    EXPECT_TRUE(wave.isFloat);
    EXPECT_EQ(wave.mono.size(), size_t(0.5 * 44100));
    EXPECT_NEAR(wavecheck::DominantFrequency(wave, 100.0, 4000.0), 440.0, 2.0);
    // Searched above the stronger tone, the weaker one is found.
    EXPECT_NEAR(wavecheck::DominantFrequency(wave, 600.0, 4000.0), 1320.0, 2.0);

    WaveBytes plain = Header(1, 1, 16, false);
    AppendTone(plain, 220.0, 0.3, 1, false);
    ASSERT_TRUE(wavecheck::ParseWave(plain.data, &wave, &error)) << error;
    EXPECT_FALSE(wave.extensible);
    EXPECT_NEAR(wavecheck::DominantFrequency(wave, 100.0, 4000.0), 220.0, 2.0);

    // Silence has no tone.
    WaveBytes quiet = Header(1, 1, 16, false);
    AppendTone(quiet, 0.0, 0.2, 1, false);
    ASSERT_TRUE(wavecheck::ParseWave(quiet.data, &wave, &error)) << error;
    EXPECT_EQ(wavecheck::DominantFrequency(wave, 100.0, 4000.0), 0.0);
}

TEST(WaveCheck, RefusesWhatItCannotRead) {
    wavecheck::WaveData wave;
    std::string error;
    const auto refusal = [&](const std::vector<uint8_t> &bytes) {
        return wavecheck::ParseWave(bytes, &wave, &error) ? std::string("read") : error;
    };
    EXPECT_EQ(refusal({}), "no RIFF WAVE header");
    EXPECT_EQ(refusal(WaveBytes().Raw("RIFF").U32(0).Raw("WAVE").Raw("data").U32(0).U32(0).data),
              "data before fmt");
    EXPECT_EQ(refusal(Header(1, 1, 8, false).data), "unsupported sample format 1/8");
    WaveBytes cut = Header(1, 2, 16, true);
    cut.data.resize(30); // a fmt chunk longer than the file
    EXPECT_EQ(refusal(cut.data), "short fmt chunk");
    WaveBytes noData = Header(1, 2, 16, false);
    noData.data.resize(noData.data.size() - 8);
    EXPECT_EQ(refusal(noData.data), "no data chunk");
    EXPECT_FALSE(wavecheck::ReadWaveFile("/nonexistent/x.wav", &wave, &error));
}

TEST(WaveCheck, DriverSettingsPutTheSampleTypeUnderGeneral) {
    TempFolder folder;
    const std::string env = wavecheck::WaveDriverEnvironment(folder.Path(), "/x/out.wav");
    EXPECT_EQ(env, "ALSOFT_DRIVERS=wave ALSOFT_CONF='" + (folder / "alsoft.conf") + "' ");
    EXPECT_EQ(folder.Get("alsoft.conf"),
              "[general]\nsample-type = int16\n[wave]\nfile = /x/out.wav\n");
    EXPECT_EQ(wavecheck::WaveDriverEnvironment("/nonexistent/folder", "/x/out.wav"), "");
}

} // namespace
