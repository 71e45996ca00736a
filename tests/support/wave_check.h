// Checks of what OpenAL's "wave" driver wrote: its set-up file, a reader of
// the WAVE files it writes (plain PCM or WAVE_FORMAT_EXTENSIBLE, 16-bit
// integer or 32-bit float samples) and a search for the strongest tone.
//
// The driver writes the mix in real time and fills in the RIFF and data
// sizes only when the device closes, so the data chunk is read to the end of
// the file whatever its size field says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavecheck {

struct WaveData {
    uint32_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bitsPerSample = 0;
    bool isFloat = false;
    bool extensible = false;
    // One value per frame: the mean of the channels, full scale +-1.
    std::vector<float> mono;
};

// Parses the bytes of a WAVE file; false with the reason in `error`.
bool ParseWave(const std::vector<uint8_t> &bytes, WaveData *out, std::string *error);
bool ReadWaveFile(const std::string &path, WaveData *out, std::string *error);

// The first and last frame whose level passes `threshold` (full scale 1); false when none does.
bool FindSoundSpan(const WaveData &wave, float threshold, size_t *first, size_t *last);

// The frequency (Hz) with the most power in [lowHz, highHz], searched in 1 Hz steps over at most
// `maxSeconds` of the sounding part of the wave (threshold 0.02) and refined between the
// neighbouring steps. 0 when the wave is silent or the range is empty.
double DominantFrequency(const WaveData &wave, double lowHz, double highHz,
                         double maxSeconds = 0.5);

// Writes the OpenAL set-up file for the wave driver into `folder` and answers the environment
// assignments that make a child process use it ("ALSOFT_DRIVERS=wave ALSOFT_CONF='...' "), or ""
// when the file cannot be written. The samples are 16-bit integers: `sample-type` is read under
// [general] only (under [wave] it is ignored and floats are written).
std::string WaveDriverEnvironment(const std::string &folder, const std::string &wavePath);

} // namespace wavecheck
