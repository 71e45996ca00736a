// Films: video textures that meshes and sprites draw like any texture, and
// full-screen films (the logo, the front end's films).
//
// A playing film decodes on a thread of its own into a short queue of
// pictures; the drawing thread takes the picture that is due by the media
// clock and writes it into the texture (on a bind, before each draw that
// samples the texture, and in the full-screen poll), never the decoder. A
// draw never waits for the decoder: when the due picture is not decoded yet
// the last one stays up. The film's sound is fed by the sound layer's
// streaming pass, drawn or not.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/os/video/film_source.h"

struct TextureObject;

// Opens a film as a texture object: an A8R8G8B8 texture of the film's size,
// one level, every texel zero; the film is not started. Null when the file
// does not open, has no video stream or decoder, its picture size is 0 or
// above 16384, or the texture cannot be made.
TextureObject *OpenVideoTexture(const char *fileName);
// Binds the object's texture to a stage (none for null), bringing in the
// film's due picture first.
void SetVideoStageTexture(TextureObject *object, uint32_t stage);
// Starts (or resumes) the film and its media clock; nothing for null or an
// image texture.
void RunVideoTexture(TextureObject *object);
// Stops the film, rewinds it and zeroes the texels; nothing for null or an
// image texture.
void ResetVideoTexture(TextureObject *object);

// Full-screen films: 1 or 0.
int PlayFullScreenVideo(const char *path);
void StopFullScreenVideo();
int PollFullScreenVideo();
void StopVideo();
int UpdateVideo();

// The texture size of a film picture: width x |height|.
void VideoTextureSize(int32_t width, int32_t height, uint32_t *outWidth, uint32_t *outHeight);

// Connects the films to the texture objects (their destruction) and takes the
// switch that says whether films may play sound (none while null).
void InstallFilmHooks(bool (*soundEnabled)());

// --- seams ----------------------------------------------------------------------
// Media clock (seconds, any origin) and the window thread's sleep. An empty
// member takes the default (steady clock, a real sleep). The clock is read
// from decoder threads too.
struct VideoClock {
    std::function<double()> now;
    std::function<void(uint32_t milliseconds)> sleep;
    // The sleeps move the clock without letting real time pass: after each
    // of the window thread's sleeps on a full-screen film it waits for the
    // decoder to catch up with the clock instead, at most as long as the
    // sleep, so that every picture is still shown in its turn while the
    // decoder keeps pace with real time.
    bool waitsForDecoder = false;
};
void SetVideoClock(VideoClock clock);
// The window thread's blocking wait through the installed clock's sleep (the
// front end's pauses wait here too).
void VideoSleep(uint32_t milliseconds);
// Installs a clock that only the sleeps move, from 0, waiting for no real
// time (the engine's ENGINE_SKIP_WAITS).
void UseSkippedWaitsVideoClock();
// How films are opened from operating-system paths (FFmpeg by default).
using FilmSourceOpener = std::function<std::unique_ptr<video::FilmSource>(const std::string &)>;
void SetFilmSourceOpener(FilmSourceOpener opener);
// Waits (at most `milliseconds` of real time) until the film's decoder has
// caught up with the media clock: the picture due now is decoded or the film
// has ended. Decoded pictures that a later due one replaces are dropped. True
// when it did.
bool WaitForVideoTexture(TextureObject *object, uint32_t milliseconds);
// Whether a full-screen film is open.
bool FullScreenVideoOpen();
// Whether a video texture plays its sound through a voice of its own.
bool VideoTextureHasSound(TextureObject *object);
