// Writes small films for tests and tools: MPEG-1 video with MP2 sound in an
// MPEG program stream (".mpg"), or MJPEG video with 16-bit PCM sound in AVI
// (".avi"). One thread and bit-exact flags: the same arguments give the same
// bytes on every run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace filmwriter {

enum class Container {
    Mpeg, // mpeg1video + mp2, "mpeg" muxer
    Avi,  // mjpeg + pcm_s16le, "avi" muxer
};

struct FilmSpec {
    Container container = Container::Mpeg;
    uint32_t width = 64;
    uint32_t height = 48;
    // Seconds between frames as a fraction (MPEG-1 takes only its standard
    // rates: 1/25, 1/30, 1/24 ...).
    int frameNum = 1;
    int frameDen = 25;
    int frames = 50;
    // Fills frame k: width x height pixels of 4 bytes (blue, green, red,
    // unused), rows top-down.
    std::function<void(int k, std::vector<uint8_t> &bgrx)> picture;
    // A sine tone over the film's length on a sound stream; 0: no sound.
    double toneHz = 0.0;
    int channels = 2;
    int sampleRate = 44100;
};

// False (and the reason in `error`) when the film cannot be written.
bool WriteFilm(const std::string &path, const FilmSpec &spec, std::string *error = nullptr);

// A flat picture of one colour (0xRRGGBB).
void FillColor(std::vector<uint8_t> &bgrx, uint32_t rgb);

} // namespace filmwriter
