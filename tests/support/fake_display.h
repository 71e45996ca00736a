// A display for tests without a screen: an adapter that accepts every mode and format and makes the
// device the test asks for (a RecordingDevice by default), a window that never has a message, and
// the calls that put the process's graphics object on them and back on GL.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/graphics.h"
#include "platform/os/gfx/adapter.h"
#include "platform/os/gfx/blind_device.h"
#include "platform/os/gfx/recording_device.h"
#include "platform/os/window.h"

namespace testdisplay {

using DeviceMaker = std::function<std::unique_ptr<gfx::Device>()>;

struct FakeAdapter : gfx::Adapter {
    DeviceMaker make;
    uint32_t width = 640;
    uint32_t height = 480;

    bool GetDisplayMode(gfx::DisplayMode *out) override {
        out->width = 1024;
        out->height = 768;
        out->format = gfx::Format::X8R8G8B8;
        return true;
    }
    bool CheckDeviceType(uint32_t, uint32_t, bool) override { return true; }
    bool CheckDepthStencilMatch(uint32_t, uint32_t, uint32_t) override { return true; }
    std::unique_ptr<gfx::Device> CreateDevice(gfx::WindowHandle, const gfx::PresentParameters &p,
                                              std::string *error) override {
        if (!make) {
            return std::make_unique<gfx::RecordingDevice>(p, width, height);
        }
        auto device = make();
        if (!device && error != nullptr) {
            *error = "no device";
        }
        return device;
    }
};

struct QuietWindow : EngineWindow {
    bool HasMessage() override { return false; }
    bool NextMessage(WindowMessage *) override { return false; }
    bool QuitPending() override { return false; }
    void PostClose() override {}
    bool IsActive() override { return true; }
    void SetTitle(const std::string &) override {}
    void SetClientRect(int, int, int, int) override {}
    void GetDesktopSize(int *width, int *height) override {
        *width = 1024;
        *height = 768;
    }
    bool SetFullScreenMode(int, int) override { return true; }
    InputBackend *Input() override { return nullptr; }
};

// Makes the process's graphics object build its devices through a
// FakeAdapter (a width x height RecordingDevice unless `make` is given). The
// device and adapter it holds go first: a kept adapter (GL's, after an
// engine run) would go on making the devices.
inline void UseFakeAdapter(DeviceMaker make = {}, uint32_t width = 640, uint32_t height = 480) {
    GetGraphics()->DestroyDevice();
    GetGraphics()->SetAdapterFactory([make = std::move(make), width, height] {
        auto adapter = std::make_unique<FakeAdapter>();
        adapter->make = make;
        adapter->width = width;
        adapter->height = height;
        return adapter;
    });
}

// Drops the device and puts the GL adapter back for the tests that follow.
inline void RestoreGlAdapter() {
    GetGraphics()->DestroyDevice();
    GetGraphics()->SetAdapterFactory(gfx::CreateGlAdapter);
}

// While it lives, the graphics object makes 800 x 600 blind devices; the GL
// adapter comes back after.
class BlindDisplay {
  public:
    BlindDisplay() {
        CreateGraphics();
        UseFakeAdapter([] { return std::make_unique<gfx::BlindDevice>(800, 600); }, 800, 600);
    }
    ~BlindDisplay() { RestoreGlAdapter(); }
    BlindDisplay(const BlindDisplay &) = delete;
    BlindDisplay &operator=(const BlindDisplay &) = delete;
};

} // namespace testdisplay
