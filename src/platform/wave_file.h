// Wave files: the reader the sound layer opens its sounds with, the layout of
// a streamed sound's two-half ring, and a writer of canonical 44-byte PCM
// files for tests and generators (the engine never writes wave files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FileHandle;

// The PCM format of a sound. Block align and bytes per second are always
// recomputed from channels, bits and rate, never taken from the file.
struct WaveFormat {
    uint16_t formatTag = 1; // 1 = PCM
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

// What ReadWaveHeader found.
struct WaveHeader {
    WaveFormat format;
    uint32_t dataStart = 0; // file offset of the first sample byte
    uint32_t dataSize = 0;  // sample bytes, cut to the bytes the file holds
};

enum class WaveReadResult {
    Ok,
    // Not a RIFF/WAVE file, or its "fmt " or "data" chunk is missing or cut
    // short: the caller fails with no text.
    NotWave,
    // The chunks are there but the sound cannot be played: not PCM, a
    // "fmt " chunk under 16 bytes, channels other than 1 or 2, bits other
    // than 8 or 16, or a rate outside kMinWaveRate..kMaxWaveRate.
    BadFormat,
};

// Sample rates a sound buffer accepts.
inline constexpr uint32_t kMinWaveRate = 100;
inline constexpr uint32_t kMaxWaveRate = 200000;

// Walks the RIFF chunks from byte 12 (odd sizes padded) to "fmt " and
// "data". On Ok the file stands at the data start.
WaveReadResult ReadWaveHeader(FileHandle& file, WaveHeader& header);

// The two-half ring of a streamed sound.
struct StreamLayout {
    uint32_t halfSize = 0; // H, bytes: whole sample frames, even
    uint32_t dataSize = 0; // bytes that are played: a whole number of halves
    float length = 0.0f;   // seconds, from the data size before the cut
};

// One second of sound per half, plus an equal share of the remainder that
// does not fill a half; the remainder left after that is never played. Data
// shorter than one second makes a single half of exactly the data; data
// shorter than one sample frame plays nothing (data size 0, H one second).
StreamLayout ComputeStreamLayout(const WaveFormat& format, uint32_t dataSize);

// Writes canonical 44-byte-header PCM files: 1 or 2 channels, 8 or 16 bits.
class WaveWriter {
public:
    WaveWriter(uint16_t channels, uint16_t bitsPerSample, uint32_t samplesPerSecond);

    // Whether the format is one the writer makes.
    bool IsValid() const;

    // The whole file for the given sample bytes; empty when not valid.
    std::vector<uint8_t> Build(const void* samples, uint32_t size) const;
    // Writes the file through the file layer; false on any failure.
    bool WriteFile(const std::string& path, const void* samples, uint32_t size) const;

private:
    uint16_t channels_;
    uint16_t bits_;
    uint32_t rate_;
};
