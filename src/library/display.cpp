#include "library/display.h"

#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/window.h"
#include "platform/timer.h"

namespace {

struct DisplayHooks {
    CreateSoundDeviceHook createSoundDevice;
    std::function<void()> setUpDrawBuckets;
    std::function<void()> createShadowQuad;
    std::function<void()> createDefaultFont;
};

DisplayHooks &Hooks() {
    static DisplayHooks hooks;
    return hooks;
}

} // namespace

void SetCreateSoundDeviceHook(CreateSoundDeviceHook hook) {
    Hooks().createSoundDevice = std::move(hook);
}
void SetDrawBucketSetUpHook(std::function<void()> hook) {
    Hooks().setUpDrawBuckets = std::move(hook);
}
void SetShadowQuadHook(std::function<void()> hook) { Hooks().createShadowQuad = std::move(hook); }
void SetDefaultFontHook(std::function<void()> hook) { Hooks().createDefaultFont = std::move(hook); }

int ResourceLibrary::CreateDisplay(uint32_t width, uint32_t height, uint32_t colorDepth,
                                   uint32_t depthBufferDepth, uint32_t flags,
                                   EngineWindow *window) {
    CQVGraphics *graphics = GetGraphics();
    if (graphics == nullptr) {
        return 0;
    }
    bool created;
    if (flags & 2) {
        // The client area is width x height, placed as a (width + 10) x
        // (height + 40) window centred on the desktop.
        if (window != nullptr) {
            int screenWidth = 0;
            int screenHeight = 0;
            window->GetDesktopSize(&screenWidth, &screenHeight);
            const WindowPlacement p =
                PlaceWindow(screenWidth, screenHeight, int(width), int(height));
            window->SetClientRect(p.left, p.top, int(width), int(height));
        }
        created = graphics->CreateWindowDevice(window);
    } else {
        created =
            graphics->CreateFullScreenDevice(width, height, colorDepth, depthBufferDepth, window);
    }
    if (!created) {
        return ReportLibraryError("%s", graphics->GetGraphicsErrorText());
    }
    window_ = window;
    return StartDeviceServices(flags) ? 1 : 0;
}

bool ResourceLibrary::StartDeviceServices(uint32_t flags) {
    DisplayHooks &hooks = Hooks();
    // 1. Sound. A device that does not open leaves the engine silent, as
    // sound switched off does; start-up goes on.
    if (flags & 1) {
        SetSoundEnabled(0);
    }
    if (IsSoundEnabled()) {
        std::string text;
        const bool opened =
            hooks.createSoundDevice && hooks.createSoundDevice(window_, 2, 44100, 16, &text);
        if (!opened) {
            if (!text.empty()) {
                ReportLibraryError("%s", text.c_str());
            }
            SetSoundEnabled(0);
        }
    }
    // 2. Filters of stages 0-3.
    if (gfx::Device *device = GetD3DDevice()) {
        for (uint32_t stage = 0; stage < 4; ++stage) {
            device->SetTextureStageState(stage, gfx::StageState::MinFilter,
                                         gfx::TextureFilter::Linear);
            device->SetTextureStageState(stage, gfx::StageState::MagFilter,
                                         gfx::TextureFilter::Linear);
            device->SetTextureStageState(stage, gfx::StageState::MipFilter,
                                         gfx::TextureFilter::Linear);
        }
    }
    // 3. Draw buckets and the shadow quad.
    if (hooks.setUpDrawBuckets) {
        hooks.setUpDrawBuckets();
    }
    if (hooks.createShadowQuad) {
        hooks.createShadowQuad();
    }
    // 4. Frame timer.
    if (FrameTimer *timer = GetFrameTimer()) {
        timer->Start();
    }
    // 5. Default font.
    if (hooks.createDefaultFont) {
        hooks.createDefaultFont();
    }
    return true;
}
