// The display adapter: what the device creation asks before it makes a
// device (the desktop mode, which back-buffer and depth formats pass) and the
// device creation itself. One backend per adapter; tests give their own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/os/gfx/device.h"

namespace gfx {

class Adapter {
  public:
    virtual ~Adapter() = default;
    // The current desktop mode of the default display; false when unknown.
    virtual bool GetDisplayMode(DisplayMode *out) = 0;
    // True when the format can be the display and back-buffer format.
    virtual bool CheckDeviceType(uint32_t displayFormat, uint32_t backBufferFormat,
                                 bool windowed) = 0;
    // True when the depth-stencil format can go with the render-target format.
    virtual bool CheckDepthStencilMatch(uint32_t adapterFormat, uint32_t renderTargetFormat,
                                        uint32_t depthStencilFormat) = 0;
    // Makes the device for the window (switching to full screen first when
    // the parameters say so). Null with the reason in *error on failure.
    virtual std::unique_ptr<Device>
    CreateDevice(WindowHandle window, const PresentParameters &params, std::string *error) = 0;
};

// Makes an adapter; null when the display system cannot be started.
using AdapterFactory = std::function<std::unique_ptr<Adapter>()>;

// The OpenGL adapter on SDL's video subsystem: display formats X8R8G8B8,
// R5G6B5 and X1R5G5B5 and depth formats D24S8 and D16 pass (the context is
// always 8-8-8 with 24-bit depth and 8-bit stencil).
std::unique_ptr<Adapter> CreateGlAdapter();

} // namespace gfx
