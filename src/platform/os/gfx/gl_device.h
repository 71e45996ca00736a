// The graphics device on an OpenGL 2.1 fixed-function context (SDL2; EGL
// under the offscreen video driver). Drawing goes into a framebuffer object
// of the back-buffer size with a 24-bit depth and 8-bit stencil buffer;
// Present copies it to the window (when the window can be seen) and swaps,
// and the object keeps its pixels for read-back until the next frame draws
// over them. GL is only called on the thread that made the device.
//
// The framebuffer object is stored top-down: GL window y equals the screen y
// of Direct3D's coordinates (row 0 at the top), which makes GL's fill
// convention match Direct3D's top-left rule; the front face is therefore
// GL_CCW, projections get y negated, and Present flips when it copies to the
// window.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/os/gfx/device.h"

struct SDL_Window;

namespace gfx {

// The SDL GL attributes a window needs for the device: a 2.1 context with no
// profile mask (which keeps the fixed-function pipeline), 8-bit colour and
// alpha, a 24-bit depth and 8-bit stencil buffer, double buffered. Set before
// the window is made: on X11 the visual is chosen then.
void SetGlWindowAttributes();

class GlDevice : public Device {
  public:
    // Makes a context on the window (its GL attributes set before it was
    // made; a full-screen mode already switched). Null with a reason in
    // *error when there is no context, the version is below 2.1 or
    // framebuffer objects are missing.
    static std::unique_ptr<GlDevice> Create(SDL_Window *window, const PresentParameters &params,
                                            std::string *error);
    // Makes its own hidden window of the given size (SDL video is started
    // when needed) and a windowed device on it; for tests, tools and
    // benchmarks.
    static std::unique_ptr<GlDevice> CreateOffscreen(uint32_t width, uint32_t height,
                                                     std::string *error);
    ~GlDevice() override;

    SDL_Window *GetWindow() const { return window_; }
    // Makes the device's context current and its framebuffer object the draw
    // target (for code that issues raw GL next to the device).
    void MakeCurrent();
    // The GL version string of the context.
    const std::string &GetGlVersion() const { return glVersion_; }

    struct Impl;

  protected:
    int32_t DoClear(const Rect &area, uint32_t flags, uint32_t color, float z,
                    uint32_t stencil) override;
    int32_t DoDraw(const DrawCall &call) override;
    int32_t DoPresent() override;
    int32_t DoReadBack(std::vector<uint8_t> *pixels, uint32_t *width, uint32_t *height) override;
    void DoSetGamma(const GammaRamp &ramp) override;
    int32_t DoReset(const PresentParameters &params, uint32_t *backWidth,
                    uint32_t *backHeight) override;
    void DoResourceDestroyed(Resource *resource) override;

  private:
    GlDevice();
    SDL_Window *window_ = nullptr;
    bool ownsWindow_ = false;
    std::string glVersion_;
    std::unique_ptr<Impl> impl_;
};

// Whether Present copies the frame to a window of the given SDL flags under
// the named video driver. Nothing can see the window of the offscreen driver
// or a hidden window, so they get no copy (the swap still ends the frame);
// read-back takes the frame from the framebuffer object either way.
bool PresentCopiesToWindow(const char *videoDriver, uint32_t windowFlags);

} // namespace gfx
