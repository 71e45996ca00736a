// A device that keeps the state and the resources of a RecordingDevice but
// draws nothing, logs nothing and keeps no draws: clears and draws succeed
// and leave the back buffer black. For engine runs that are judged by what
// the world does and saves, not by what the screen shows (rasterising in
// software is most of such a run's time).
#pragma once

#include <string>

#include "platform/os/gfx/recording_device.h"

namespace gfx {

class BlindDevice : public RecordingDevice {
  public:
    BlindDevice(const PresentParameters &params, uint32_t width, uint32_t height)
        : RecordingDevice(params, width, height) {
        logging_ = false;
        drawsNothing_ = true;
    }
    explicit BlindDevice(uint32_t width = 800, uint32_t height = 600)
        : BlindDevice(PresentParameters{}, width, height) {}

  protected:
    int32_t DoClear(const Rect &, uint32_t, uint32_t, float, uint32_t) override {
        return Result::Ok;
    }
    int32_t DoDraw(const DrawCall &) override { return Result::Ok; }
    void Record(const std::string &) override {}
};

} // namespace gfx
