// Helpers of the sound tests: a temporary folder of wave files and sample
// patterns that tell their position.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/wave_file.h"

class TempWaveFolder {
public:
    TempWaveFolder();
    ~TempWaveFolder();
    TempWaveFolder(const TempWaveFolder&) = delete;
    TempWaveFolder& operator=(const TempWaveFolder&) = delete;

    // Writes a canonical file; returns its path.
    std::string Write(const std::string& name, uint16_t channels, uint16_t bits, uint32_t rate,
                      const std::vector<uint8_t>& samples);
    // Writes raw bytes; returns the path.
    std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes);
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// 16-bit samples whose value tells the frame: frame i, channel c gets
// ((i * 7 + c * 3) % 20000) - 10000 (never the same in both channels).
std::vector<uint8_t> CountingPcm16(uint32_t frames, uint16_t channels);
int16_t CountingSample(uint32_t frame, uint16_t channel);

// A sine wave of the given frequency and amplitude (0..32767), 16-bit mono.
std::vector<uint8_t> SinePcm16(uint32_t frames, uint32_t rate, double hz, double amplitude);
