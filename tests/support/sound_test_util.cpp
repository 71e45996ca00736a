#include "sound_test_util.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

TempWaveFolder::TempWaveFolder() {
    char pattern[] = "/tmp/sound-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    path_ = made != nullptr ? made : "/tmp";
}

TempWaveFolder::~TempWaveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempWaveFolder::Write(const std::string& name, uint16_t channels, uint16_t bits,
                                  uint32_t rate, const std::vector<uint8_t>& samples) {
    std::string path = (path_ / name).string();
    EXPECT_TRUE(WaveWriter(channels, bits, rate)
                    .WriteFile(path, samples.data(), static_cast<uint32_t>(samples.size())));
    return path;
}

std::string TempWaveFolder::WriteBytes(const std::string& name,
                                       const std::vector<uint8_t>& bytes) {
    std::string path = (path_ / name).string();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    return path;
}

int16_t CountingSample(uint32_t frame, uint16_t channel) {
    return static_cast<int16_t>((static_cast<int64_t>(frame) * 7 + channel * 3) % 20000 - 10000);
}

std::vector<uint8_t> CountingPcm16(uint32_t frames, uint16_t channels) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(frames) * channels * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint16_t c = 0; c < channels; ++c) {
            auto v = static_cast<uint16_t>(CountingSample(i, c));
            out.push_back(static_cast<uint8_t>(v & 0xFF));
            out.push_back(static_cast<uint8_t>(v >> 8));
        }
    }
    return out;
}

std::vector<uint8_t> SinePcm16(uint32_t frames, uint32_t rate, double hz, double amplitude) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(frames) * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * M_PI * hz * i / rate)));
        auto u = static_cast<uint16_t>(v);
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    return out;
}
