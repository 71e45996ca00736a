// A film file as a sequence of pictures: the decoding backend behind video
// textures and full-screen films. Pictures come out converted to 32-bit BGRA
// (the byte order of A8R8G8B8), rows top-down, alpha 0xFF, each with its
// time in seconds from the start of the film.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace video {

enum class ReadResult {
    Frame, // a picture was delivered
    End,   // no more pictures
    Error, // the file cannot be read further (or the read was interrupted)
};

class FilmSource {
  public:
    virtual ~FilmSource() = default;
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;
    // The container's duration in seconds; 0 or less when unknown.
    virtual double Duration() const = 0;
    // Decodes the next picture into `bgra` (Width x Height x 4 bytes).
    // Packets that fail to decode are skipped.
    virtual ReadResult NextFrame(std::vector<uint8_t> *bgra, double *time) = 0;
    // Back to the first picture.
    virtual bool Rewind() = 0;
    // Callable from any thread: a read or decode in progress (or the next
    // one) gives up with Error until ClearInterrupt.
    virtual void Interrupt() = 0;
    virtual void ClearInterrupt() = 0;

    // Sound: the film's first audio stream as signed 16-bit samples at
    // kFilmSoundRate, mono or stereo. 0 channels when the film has no sound
    // or its sound does not decode (the picture plays silently).
    virtual uint32_t SoundChannels() const { return 0; }
    // Decodes more sound (read on its own, apart from the pictures) and
    // appends the samples (interleaved) to `out`; false at its end.
    virtual bool ReadSound(std::vector<int16_t> *out) {
        (void)out;
        return false;
    }
};

constexpr uint32_t kFilmSoundRate = 44100;

// The largest picture side accepted.
constexpr uint32_t kMaxFilmSide = 16384;

// Opens an operating-system file with FFmpeg: its best video stream and a
// decoder for it. Null when the file does not open, holds no video stream or
// no decoder for it, or the picture size is 0 or above kMaxFilmSide.
std::unique_ptr<FilmSource> OpenFfmpegFilmSource(const std::string &osPath);

} // namespace video
