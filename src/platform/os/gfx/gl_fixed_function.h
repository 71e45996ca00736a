// The fixed-function pipeline of the GL device: turns the facade's state
// vector (render states, texture stages, transforms, material, lights,
// viewport, textures) and a draw's vertex layout into OpenGL fixed-function
// state and client arrays, so that a draw produces what Direct3D 8's
// fixed-function pipeline would.
//
// GL state is only touched when the value it needs differs from the value
// handed to GL last; Reset and the Forget calls make the next draw set
// everything again. GL is called on the thread that owns the context.
//
// Known differences that remain (fixed-function GL has no equivalent):
// - GL lights have no range: a light reaches every vertex;
// - a spot light's falloff between its inner and outer cone is approximated
//   by a spot exponent;
// - the specular power is clamped to 0..128.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/os/gfx/device.h"

namespace gfx {

class GlFixedFunction {
  public:
    GlFixedFunction();
    ~GlFixedFunction();
    GlFixedFunction(const GlFixedFunction &) = delete;
    GlFixedFunction &operator=(const GlFixedFunction &) = delete;

    // Looks up the entry points it needs past GL 1.1 (the context must be
    // current). False when a required one is missing.
    bool Load();

    // Puts GL at the defaults the translation relies on (no light, black
    // lights, scene ambient 0, LEQUAL, ...) and forgets what was applied.
    // Called once the context exists and after every device reset.
    void Reset();

    // A clear changed the colour, depth and stencil write masks behind the
    // translation's back: the next draw sets them again.
    void ForgetWriteMasks();

    // Sets every GL state the draw depends on and points the client arrays
    // at the call's vertices. The target is `width` x `height` pixels.
    void PrepareDraw(const StateVector &state, const DrawCall &call, uint32_t width,
                     uint32_t height);

    // Draws the call prepared last.
    void Draw(const DrawCall &call);

    // Deletes the GL object of a texture that is being destroyed.
    void ForgetTexture(Texture *texture);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace gfx
