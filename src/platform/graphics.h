// The graphics device object. One instance for the process, made at start-up
// by CreateEngineServices through CreateGraphics and reached through
// GetGraphics: it creates the one display device (windowed or full screen),
// chooses the back-buffer and depth-stencil formats, clears, opens and closes
// scenes, presents, rebuilds the device after it is lost, sets the gamma ramp
// and keeps the text of the last graphics error. Everything else issues its
// render calls on the device that GetD3DDevice answers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/os/gfx/adapter.h"
#include "platform/os/gfx/device.h"

class EngineWindow;

// Format choice, free of any device: `displayPasses` says whether a
// back-buffer format passes, `depthPasses` whether a depth-stencil format goes
// with a back-buffer format. The last passing candidate of each list wins.
enum class FormatSearch {
    Found,
    NoColorFormat, // a list of colour candidates existed and none passed
    NoDepthFormat, // a list of depth candidates existed and none passed
};
using DisplayFormatTest = std::function<bool(uint32_t format)>;
using DepthFormatTest = std::function<bool(uint32_t backBufferFormat, uint32_t depthFormat)>;
// Colour depth 16: R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4; 24 or 32: R8G8B8,
// A8R8G8B8, X8R8G8B8; any other: no candidate (format 0) and the depth search
// still runs.
FormatSearch SearchFormats(uint32_t colorDepth, uint32_t depthBufferDepth,
                           const DisplayFormatTest &displayPasses,
                           const DepthFormatTest &depthPasses, uint32_t *backBufferFormat,
                           uint32_t *depthStencilFormat);
// Depth 16: D16, D16_LOCKABLE, D15S1; 24 or 32: D24S8, D24X4S4; any other:
// no candidate, format 0, found.
FormatSearch SearchDepthStencilFormat(uint32_t depthBufferDepth, uint32_t backBufferFormat,
                                      const DepthFormatTest &depthPasses,
                                      uint32_t *depthStencilFormat);

// One entry of a gamma ramp: (scale x index + offset) x 256, clamped to
// 0..65535 and truncated.
uint16_t GammaRampEntry(float scale, float offset, uint32_t index);
void BuildGammaRamp(float redScale, float greenScale, float blueScale, float redOffset,
                    float greenOffset, float blueOffset, gfx::GammaRamp *out);

// Where a windowed device's window goes on a screen: the outer window is
// (width + 10) x (height + 40), centred, each corner coordinate at least 0.
struct WindowPlacement {
    int left = 0;
    int top = 0;
    int outerWidth = 0;
    int outerHeight = 0;
};
WindowPlacement PlaceWindow(int screenWidth, int screenHeight, int width, int height);

// What the lost-device path calls besides the device; an empty member takes
// the default (the process-wide font release and state restore below, a real
// sleep).
struct LostDeviceHooks {
    std::function<void()> releaseFontTextures;
    std::function<void()> restoreDeviceState;
    std::function<void(uint32_t milliseconds)> sleep;
};

// The process-wide font release and state restore of the lost-device path,
// installed by the resource library (its own, which act on the library that
// GetLibrary answers); nothing is called while none is installed.
void SetDefaultLostDeviceHooks(LostDeviceHooks hooks);

class CQVGraphics {
  public:
    static constexpr uint32_t kErrorTextSize = 512;

    CQVGraphics();
    CQVGraphics(const CQVGraphics &) = delete;
    CQVGraphics &operator=(const CQVGraphics &) = delete;
    ~CQVGraphics();

    // --- creation ---------------------------------------------------------
    // Starts the display system ("Direct3DCreate8" on failure).
    bool CreateDirect3D();
    // Windowed device at the window's client size, back buffer in the desktop
    // format, D24S8 depth-stencil, swap interval 1.
    bool CreateWindowDevice(EngineWindow *window);
    bool CreateFullScreenDevice(uint32_t width, uint32_t height, uint32_t colorDepth,
                                uint32_t depthBufferDepth, EngineWindow *window);
    // Chooses formats through the adapter; width and height are not used.
    bool FindFormat(uint32_t width, uint32_t height, uint32_t colorDepth, uint32_t depthBufferDepth,
                    uint32_t *backBufferFormat, uint32_t *depthStencilFormat);
    bool FindDepthStencilFormat(uint32_t depthBufferDepth, uint32_t backBufferFormat,
                                uint32_t *depthStencilFormat);

    // --- frames -----------------------------------------------------------
    bool ClearScreen(uint32_t color);
    bool ClearDepthStencil();
    bool BeginFrame();
    bool EndFrame();
    // Answers true whenever there is a device; a failed present leaves its
    // reason in the error text.
    bool PresentFrame();
    void SetDeviceGammaRamp(float redScale, float greenScale, float blueScale, float redOffset,
                            float greenOffset, float blueOffset);
    uint32_t GetViewportWidth() const;
    uint32_t GetTargetFrameRate() const { return 30; }
    // False when the frame is to be skipped (device lost, or a reset failed).
    bool HandleLostDevice();

    // --- errors -------------------------------------------------------------
    // Formats into the error text (cut to 511 characters); answers 0.
    int ReportGraphicsError(const char *format, ...) __attribute__((format(printf, 2, 3)));
    const char *GetGraphicsErrorText() const;

    // --- access -------------------------------------------------------------
    gfx::Device *GetD3DDevice() const { return device_.get(); }
    EngineWindow *GetDeviceWindow() const { return window_; }
    const gfx::PresentParameters &GetPresentParameters() const { return params_; }
    const gfx::DisplayMode &GetDesktopMode() const { return desktopMode_; }
    bool IsInScene() const { return inScene_; }
    uint32_t GetVertexProcessing() const { return vertexProcessing_; }

    // --- seams --------------------------------------------------------------
    // The adapter that CreateDirect3D makes (the GL adapter by default).
    void SetAdapterFactory(gfx::AdapterFactory factory);
    void SetLostDeviceHooks(LostDeviceHooks hooks);
    // Drops the device and the adapter (tests make devices again).
    void DestroyDevice();

  private:
    bool CreateDevice(EngineWindow *window, const char *failureText);

    gfx::AdapterFactory factory_;
    std::unique_ptr<gfx::Adapter> adapter_;
    std::unique_ptr<gfx::Device> device_;
    gfx::PresentParameters params_;
    gfx::DisplayMode desktopMode_;
    EngineWindow *window_ = nullptr;
    bool inScene_ = false;
    uint32_t vertexProcessing_ = gfx::CreateFlag::SoftwareVertexProcessing;
    LostDeviceHooks hooks_;
};

// Creates the graphics object when none exists; a second call keeps it.
// Answers 1, or 0 when it cannot be made.
int CreateGraphics();

// The graphics object, null before CreateGraphics.
CQVGraphics *GetGraphics();

// The device of the graphics object; null without one.
gfx::Device *GetD3DDevice();

// The process-wide graphics error text that the object's operations use too:
// formats into it (answers 0) and reads it; usable before CreateGraphics.
int ReportGraphicsError(const char *format, ...) __attribute__((format(printf, 1, 2)));
const char *GetGraphicsErrorText();
