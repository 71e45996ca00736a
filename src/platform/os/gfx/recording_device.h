// A device without a GPU: the full state vector and CPU resources, every call
// written to a log as one text line ("SetRenderState 7 1"), draws kept as
// records, and a back buffer in memory that Clear fills (draws leave it as it
// is). Unit tests of the render code run on it.
#pragma once

#include <string>
#include <vector>

#include "platform/os/gfx/device.h"

namespace gfx {

struct RecordedDraw {
    uint32_t primitive = 0;
    uint32_t primitiveCount = 0;
    uint32_t fvf = 0;
    uint32_t stride = 0;
    bool indexed = false;
    // Vertices as drawn (DrawPrimitiveUP, DrawPrimitive: the drawn range;
    // DrawIndexedPrimitive: from the base vertex up to the largest index).
    std::vector<uint8_t> vertices;
    std::vector<uint32_t> indices;       // indexed draws
    Texture *textures[kStageCount] = {}; // bound at the draw (not referenced)
};

class RecordingDevice : public Device {
  public:
    explicit RecordingDevice(uint32_t width = 800, uint32_t height = 600);
    RecordingDevice(const PresentParameters &params, uint32_t width, uint32_t height);
    ~RecordingDevice() override;

    const std::vector<std::string> &GetLog() const { return log_; }
    void ClearLog() { log_.clear(); }
    const std::vector<RecordedDraw> &GetDraws() const { return draws_; }
    void ClearDraws() { draws_.clear(); }
    uint32_t GetPresentCount() const { return presents_; }
    const GammaRamp &GetAppliedGamma() const { return appliedGamma_; }
    // Pixel (x, y) of the fake back buffer as 0xAARRGGBB (alpha 0xFF).
    uint32_t Pixel(uint32_t x, uint32_t y) const;

  protected:
    int32_t DoClear(const Rect &area, uint32_t flags, uint32_t color, float z,
                    uint32_t stencil) override;
    int32_t DoDraw(const DrawCall &call) override;
    int32_t DoPresent() override;
    int32_t DoReadBack(std::vector<uint8_t> *pixels, uint32_t *width, uint32_t *height) override;
    void DoSetGamma(const GammaRamp &ramp) override;
    int32_t DoReset(const PresentParameters &params, uint32_t *backWidth,
                    uint32_t *backHeight) override;
    void Record(const std::string &line) override { log_.push_back(line); }

  private:
    uint32_t width_;
    uint32_t height_;
    std::vector<uint8_t> backBuffer_; // B, G, R, X; rows top-down
    std::vector<std::string> log_;
    std::vector<RecordedDraw> draws_;
    uint32_t presents_ = 0;
    GammaRamp appliedGamma_{};
};

} // namespace gfx
