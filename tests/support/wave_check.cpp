#include "wave_check.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

namespace wavecheck {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint16_t U16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t *p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
           (uint32_t(p[3]) << 24);
}

bool Fail(std::string *error, const std::string &text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

} // namespace

bool ParseWave(const std::vector<uint8_t> &bytes, WaveData *out, std::string *error) {
    *out = WaveData{};
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return Fail(error, "no RIFF WAVE header");
    }
    bool haveFormat = false;
    uint16_t formatTag = 0;
    uint32_t blockAlign = 0;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint8_t *chunk = bytes.data() + at;
        const uint32_t declared = U32(chunk + 4);
        const size_t body = at + 8;
        const size_t left = bytes.size() - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (declared < 16 || declared > left) {
                return Fail(error, "short fmt chunk");
            }
            const uint8_t *f = bytes.data() + body;
            formatTag = U16(f);
            out->channels = U16(f + 2);
            out->sampleRate = U32(f + 4);
            blockAlign = U16(f + 12);
            out->bitsPerSample = U16(f + 14);
            if (formatTag == kFormatExtensible) {
                // cbSize, valid bits, channel mask, then the sub-format GUID
                // whose first two bytes are the plain format tag.
                if (declared < 40 || U16(f + 16) < 22) {
                    return Fail(error, "short extensible fmt chunk");
                }
                out->extensible = true;
                formatTag = U16(f + 24);
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                return Fail(error, "data before fmt");
            }
            if (formatTag == kFormatPcm && out->bitsPerSample == 16) {
                out->isFloat = false;
            } else if (formatTag == kFormatFloat && out->bitsPerSample == 32) {
                out->isFloat = true;
            } else {
                return Fail(error, "unsupported sample format " + std::to_string(formatTag) +
                                       "/" + std::to_string(out->bitsPerSample));
            }
            const uint32_t sampleBytes = out->bitsPerSample / 8;
            if (out->channels == 0 || out->sampleRate == 0 ||
                blockAlign != out->channels * sampleBytes) {
                return Fail(error, "inconsistent fmt chunk");
            }
            // The size field is filled in only when the writer closes: the
            // samples run to the end of the file.
            const size_t frames = left / blockAlign;
            out->mono.resize(frames);
            const uint8_t *d = bytes.data() + body;
            for (size_t i = 0; i < frames; ++i) {
                float sum = 0.0f;
                for (uint32_t c = 0; c < out->channels; ++c) {
                    const uint8_t *s = d + i * blockAlign + c * sampleBytes;
                    if (out->isFloat) {
                        float v = 0.0f;
                        const uint32_t word = U32(s);
                        std::memcpy(&v, &word, 4);
                        sum += v;
                    } else {
                        sum += float(int16_t(U16(s))) / 32768.0f;
                    }
                }
                out->mono[i] = sum / float(out->channels);
            }
            return true;
        }
        if (declared > left) {
            break;
        }
        at = body + declared + (declared & 1u);
    }
    return Fail(error, haveFormat ? "no data chunk" : "no fmt chunk");
}

bool ReadWaveFile(const std::string &path, WaveData *out, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *out = WaveData{};
        return Fail(error, "cannot open " + path);
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    return ParseWave(bytes, out, error);
}

bool FindSoundSpan(const WaveData &wave, float threshold, size_t *first, size_t *last) {
    bool any = false;
    for (size_t i = 0; i < wave.mono.size(); ++i) {
        if (std::fabs(wave.mono[i]) > threshold) {
            if (!any) {
                *first = i;
                any = true;
            }
            *last = i;
        }
    }
    return any;
}

double DominantFrequency(const WaveData &wave, double lowHz, double highHz, double maxSeconds) {
    size_t first = 0;
    size_t last = 0;
    if (wave.sampleRate == 0 || !(lowHz <= highHz) ||
        !FindSoundSpan(wave, 0.02f, &first, &last)) {
        return 0.0;
    }
    const size_t limit = size_t(maxSeconds * wave.sampleRate);
    const size_t count = std::min(last - first + 1, std::max<size_t>(limit, 1));
    const float *x = wave.mono.data() + first;
    // Goertzel power at one frequency.
    auto power = [&](double hz) {
        const double w = 2.0 * std::numbers::pi * hz / wave.sampleRate;
        const double coeff = 2.0 * std::cos(w);
        double s1 = 0.0;
        double s2 = 0.0;
        for (size_t i = 0; i < count; ++i) {
            const double s0 = x[i] + coeff * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        return s1 * s1 + s2 * s2 - coeff * s1 * s2;
    };
    double bestHz = lowHz;
    double best = -1.0;
    for (double hz = lowHz; hz <= highHz; hz += 1.0) {
        const double p = power(hz);
        if (p > best) {
            best = p;
            bestHz = hz;
        }
    }
    // Parabola through the best step and its neighbours.
    const double below = power(bestHz - 1.0);
    const double above = power(bestHz + 1.0);
    const double curve = below - 2.0 * best + above;
    if (curve < 0.0) {
        const double shift = 0.5 * (below - above) / curve;
        if (std::fabs(shift) <= 1.0) {
            bestHz += shift;
        }
    }
    return bestHz;
}

std::string WaveDriverEnvironment(const std::string &folder, const std::string &wavePath) {
    const std::string conf = folder + "/alsoft.conf";
    std::ofstream out(conf);
    out << "[general]\n"
        << "sample-type = int16\n"
        << "[wave]\n"
        << "file = " << wavePath << "\n";
    out.close();
    if (!out) {
        return "";
    }
    return "ALSOFT_DRIVERS=wave ALSOFT_CONF='" + conf + "' ";
}

} // namespace wavecheck
