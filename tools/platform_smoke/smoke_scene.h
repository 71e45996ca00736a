// The one frame that platform_smoke draws: where the camera, the objects,
// the screen quads and the text lines are. Its test reads the same values to
// find the pixels it probes.
#pragma once

#include <cstdint>

#include "base/math.h"

namespace smoke {

inline constexpr uint32_t kWidth = 320;
inline constexpr uint32_t kHeight = 240;
inline constexpr uint32_t kClearColor = 0xFF204080u;

// --- view -----------------------------------------------------------------------------

// Low and to the side the cube's shadow falls to, so that the floor under
// the floating cube shows; far enough from the cube for its volume to be
// built.
inline constexpr Vector3 kCameraEye = {-380.0f, 150.0f, 380.0f};
inline constexpr Vector3 kCameraTarget = {0.0f, 70.0f, 0.0f};
inline constexpr Vector3 kCameraUp = {0.0f, 1.0f, 0.0f};
inline constexpr float kFieldOfView = 1.5707964f; // as given to SetFieldOfView
inline constexpr float kNearClip = 10.0f;
inline constexpr float kFarClip = 4000.0f;

// A white directional sun from above, behind the camera.
inline constexpr Vector3 kSunDirection = {0.5f, -0.8f, -0.6f};
inline constexpr float kAmbient = 0.3f;

// --- items ------------------------------------------------------------------------------

inline constexpr const char *kFloor = "floor";
inline constexpr const char *kCube = "cube";
inline constexpr const char *kSphere = "sphere";
inline constexpr const char *kFlag = "flag";
inline constexpr const char *kWorm = "worm";
inline constexpr const char *kWormMotion = "N_Neutral";
inline constexpr const char *kSun = "Sun";
inline constexpr const char *kSpriteMaterial = "Sprite";
inline constexpr const char *kVideoMaterial = "Video";
inline constexpr const char *kFilm = "film";
inline constexpr const char *kBackMaterial = "Menu_Back";
inline constexpr const char *kLogoMaterial = "Menu_OrskLogo";
inline constexpr const char *kBeep = "beep";

// --- objects (world positions; no scale) ----------------------------------------------------

inline constexpr Vector3 kFloorPosition = {0.0f, 0.0f, 0.0f};
// Floating: its shadow lies on the floor below it, shifted towards the
// camera.
inline constexpr Vector3 kCubePosition = {0.0f, 110.0f, 0.0f};
inline constexpr Vector3 kSpherePosition = {226.0f, 60.0f, 85.0f};
inline constexpr Vector3 kFlagPosition = {-40.0f, 0.0f, -240.0f};
inline constexpr Vector3 kWormPosition = {-155.0f, 0.0f, -14.0f};
// The flag is turned half a turn about y, its cloth's front to the camera.
inline constexpr float kFlagYaw = 3.1415927f;
inline constexpr float kFlagFrame = 5.0f;
inline constexpr float kWormPoseTime = 10.0f;

// --- screen (pixels) ------------------------------------------------------------------------

// The sprite is drawn at the size of its texture.
inline constexpr float kSpriteX = 8.0f;
inline constexpr float kSpriteY = 8.0f;

// The film's media clock stands here while the frame is drawn: the middle
// of picture 2 of a 10-pictures-a-second film.
inline constexpr double kFilmTime = 0.25;
inline constexpr float kVideoX = 8.0f;
inline constexpr float kVideoY = 68.0f;
inline constexpr float kVideoSize = 48.0f;

// Overlays, in the bottom-right corner, clear of everything probed.
inline constexpr float kOverlayQuadX = 276.0f;
inline constexpr float kOverlayQuadY = 196.0f;
inline constexpr float kOverlayQuadSize = 40.0f;
inline constexpr float kImageOverlayX = 300.0f;
inline constexpr float kImageOverlayY = 150.0f;

// Text lines, white, style 0. A null font is the default font.
struct TextLine {
    const char *font;
    float x;
    float y;
    const char *text;
};
inline constexpr TextLine kTextLines[] = {
    {nullptr, 56.0f, 6.0f, "FPS: 60.00"},
    {"Text", 56.0f, 18.0f, "Text font 0123"},
    {"Sheet", 56.0f, 38.0f, "Sheet font 4567"},
};
// The band the lines lie in: only the clear colour is behind them.
inline constexpr int32_t kTextBandLeft = 48;
inline constexpr int32_t kTextBandTop = 0;
inline constexpr int32_t kTextBandRight = 316;
inline constexpr int32_t kTextBandBottom = 60;

// How long the tool waits, at most, for the beep to end.
inline constexpr uint32_t kSoundWaitMilliseconds = 5000;
// How long, at most, for the film's picture.
inline constexpr uint32_t kFilmWaitMilliseconds = 20000;

} // namespace smoke
