// The loading screen drawn while a level loads: the background and logo
// materials, the loading text and a progress bar that moves at most once per
// "steps per update" progress calls. Every call that draws presents a frame
// itself, without pumping window messages. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "base/math.h"

class ActorSystem;
class LibraryItem;

// Colours are (red, green, blue, alpha), 0..1.
using Color = Vector4;

// A packed 0xAARRGGBB colour as four channels.
Color ArgbToColor(uint32_t argb);

struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const ScreenRect &) const = default;
};

// What the loading screen needs of the render front end.
class LoadingScreenRenderer {
  public:
    virtual ~LoadingScreenRenderer() = default;
    virtual int32_t GetScreenWidth() = 0;
    virtual int32_t GetScreenHeight() = 0;
    // A screen rectangle with a material (the queue truncates the extent).
    virtual void QueueRect(float x, float y, float width, float height, const Color &color,
                           LibraryItem *material) = 0;
    virtual void QueueText(const std::string &text, float x, float y, const Color &color,
                           uint32_t style) = 0;
    // Opens the frame; 0 when it cannot.
    virtual int BeginRender(uint32_t clear, uint32_t flags) = 0;
    virtual void DrawQueuedQuads() = 0;
    virtual void DrawQueuedText() = 0;
    virtual void DrawFilledRect(const ScreenRect &rect, const Color &color) = 0;
    // Closes the frame and presents.
    virtual void EndRender(uint32_t present) = 0;
};

// Installs the renderer (null: nothing is drawn; the bar state still
// advances) and returns the previous one. The render front end of the
// resource library is installed from the start.
LoadingScreenRenderer *SetLoadingScreenRenderer(LoadingScreenRenderer *renderer);

// The loading-screen state, one per process.
struct LoadingScreenState {
    uint32_t drawCount = 0;
    uint32_t stepsSinceUpdate = 0;
    uint32_t stepsPerUpdate = 0;
    uint32_t expectedSteps = 0;
    float progress = 0.0f;
    float increment = 0.0f;
    float barWidth = 400.0f;
    LibraryItem *background = nullptr;
    LibraryItem *logo = nullptr;
    ScreenRect frame;
    ScreenRect well;
    ScreenRect bar;
    int32_t textX = 0;
    int32_t textY = 0;
};
LoadingScreenState &GetLoadingScreenState();

// The text table's "LOADING" entry.
std::string LoadingTextEntry();

// Starts a loading screen for about `expectedSteps` progress calls: lays out
// the bar, looks up the materials and installs DrawLoadingScreen as the
// system's loading callback. Returns the logo item (null when missing).
LibraryItem *BeginLoadingScreen(ActorSystem *system, uint32_t expectedSteps);
// One progress call: moves and draws the bar when its turn has come. Null
// text shows the system's loading text. Returns the frame begin's result
// when it drew, else the steps since the last movement.
int DrawLoadingScreen(const char *text);
// Clears the loading callback and forgets the background.
void EndLoadingScreen(ActorSystem *system);

// The render front end's renderer (what SetLoadingScreenRenderer starts with).
LoadingScreenRenderer *FrontEndLoadingScreenRenderer();

// Tests only: the state back to its start values.
void ResetLoadingScreenForTests();
