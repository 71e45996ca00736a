#include "platform/graphics.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <span>
#include <thread>
#include <utility>


namespace {

// The object lives until the process ends and is never destroyed: its device
// may hold a context on a window that is already gone at exit.
CQVGraphics *&GraphicsSlot() {
    static CQVGraphics *graphics = nullptr;
    return graphics;
}

char g_errorText[CQVGraphics::kErrorTextSize] = {};

// What the resource library installs for the lost-device path (its sleep
// member is not used).
LostDeviceHooks g_defaultLostDeviceHooks;

void FormatError(const char *format, va_list args) {
    // Bounded: a long message is cut to 511 characters.
    std::vsnprintf(g_errorText, sizeof g_errorText, format, args);
}

// The candidate formats of a bit depth: the 16-bit ones for 16, the 32-bit
// ones for 24 and 32, none for any other depth.
std::span<const uint32_t> FormatsOfDepth(uint32_t depth, std::span<const uint32_t> formats16,
                                         std::span<const uint32_t> formats32) {
    if (depth == 16) {
        return formats16;
    }
    if (depth == 24 || depth == 32) {
        return formats32;
    }
    return {};
}

// The last candidate that passes the test goes to *out; false (and *out as
// it was) when none does.
template <class Test>
bool LastPassing(std::span<const uint32_t> candidates, const Test &passes, uint32_t *out) {
    bool found = false;
    for (const uint32_t format : candidates) {
        if (passes(format)) {
            *out = format;
            found = true;
        }
    }
    return found;
}

} // namespace

// --- free helpers -----------------------------------------------------------------

void SetDefaultLostDeviceHooks(LostDeviceHooks hooks) { g_defaultLostDeviceHooks = std::move(hooks); }

FormatSearch SearchDepthStencilFormat(uint32_t depthBufferDepth, uint32_t backBufferFormat,
                                      const DepthFormatTest &depthPasses,
                                      uint32_t *depthStencilFormat) {
    static constexpr uint32_t k16[] = {gfx::Format::D16, gfx::Format::D16Lockable,
                                       gfx::Format::D15S1};
    static constexpr uint32_t k32[] = {gfx::Format::D24S8, gfx::Format::D24X4S4};
    const std::span<const uint32_t> candidates = FormatsOfDepth(depthBufferDepth, k16, k32);
    if (candidates.empty()) {
        *depthStencilFormat = 0;
        return FormatSearch::Found;
    }
    const auto passes = [&](uint32_t format) { return depthPasses(backBufferFormat, format); };
    return LastPassing(candidates, passes, depthStencilFormat) ? FormatSearch::Found
                                                               : FormatSearch::NoDepthFormat;
}

FormatSearch SearchFormats(uint32_t colorDepth, uint32_t depthBufferDepth,
                           const DisplayFormatTest &displayPasses,
                           const DepthFormatTest &depthPasses, uint32_t *backBufferFormat,
                           uint32_t *depthStencilFormat) {
    static constexpr uint32_t k16[] = {gfx::Format::R5G6B5, gfx::Format::X1R5G5B5,
                                       gfx::Format::A1R5G5B5, gfx::Format::A4R4G4B4};
    static constexpr uint32_t k32[] = {gfx::Format::R8G8B8, gfx::Format::A8R8G8B8,
                                       gfx::Format::X8R8G8B8};
    const std::span<const uint32_t> candidates = FormatsOfDepth(colorDepth, k16, k32);
    *backBufferFormat = 0;
    if (!candidates.empty() && !LastPassing(candidates, displayPasses, backBufferFormat)) {
        return FormatSearch::NoColorFormat;
    }
    return SearchDepthStencilFormat(depthBufferDepth, *backBufferFormat, depthPasses,
                                    depthStencilFormat);
}

uint16_t GammaRampEntry(float scale, float offset, uint32_t index) {
    const float v = (scale * float(index) + offset) * 256.0f;
    if (!(v > 0.0f)) { // negative, zero or NaN
        return 0;
    }
    if (v >= 65535.0f) {
        return 65535;
    }
    return uint16_t(v);
}

void BuildGammaRamp(float redScale, float greenScale, float blueScale, float redOffset,
                    float greenOffset, float blueOffset, gfx::GammaRamp *out) {
    for (uint32_t i = 0; i < 256; ++i) {
        out->red[i] = GammaRampEntry(redScale, redOffset, i);
        out->green[i] = GammaRampEntry(greenScale, greenOffset, i);
        out->blue[i] = GammaRampEntry(blueScale, blueOffset, i);
    }
}

WindowPlacement PlaceWindow(int screenWidth, int screenHeight, int width, int height) {
    WindowPlacement p;
    p.outerWidth = width + 10;
    p.outerHeight = height + 40;
    p.left = (screenWidth - p.outerWidth) / 2;
    p.top = (screenHeight - p.outerHeight) / 2;
    if (p.left < 0) {
        p.left = 0;
    }
    if (p.top < 0) {
        p.top = 0;
    }
    return p;
}

int ReportGraphicsError(const char *format, ...) {
    va_list args;
    va_start(args, format);
    FormatError(format, args);
    va_end(args);
    return 0;
}

const char *GetGraphicsErrorText() { return g_errorText; }

// --- CQVGraphics --------------------------------------------------------------------

CQVGraphics::CQVGraphics() : factory_(gfx::CreateGlAdapter) {}

CQVGraphics::~CQVGraphics() { DestroyDevice(); }

int CQVGraphics::ReportGraphicsError(const char *format, ...) {
    va_list args;
    va_start(args, format);
    FormatError(format, args);
    va_end(args);
    return 0;
}

const char *CQVGraphics::GetGraphicsErrorText() const { return g_errorText; }

void CQVGraphics::SetAdapterFactory(gfx::AdapterFactory factory) { factory_ = std::move(factory); }

void CQVGraphics::SetLostDeviceHooks(LostDeviceHooks hooks) { hooks_ = std::move(hooks); }

void CQVGraphics::DestroyDevice() {
    device_.reset();
    adapter_.reset();
    window_ = nullptr;
    inScene_ = false;
    params_ = gfx::PresentParameters{};
}

bool CQVGraphics::CreateDirect3D() {
    if (adapter_) {
        return true;
    }
    if (factory_) {
        adapter_ = factory_();
    }
    if (!adapter_) {
        return ReportGraphicsError("Direct3DCreate8") != 0;
    }
    return true;
}

bool CQVGraphics::CreateDevice(EngineWindow *window, const char *failureText) {
    // The device this one replaces goes first: its context, released after
    // the new one was made current, would leave no context current at all.
    device_.reset();
    std::string reason;
    std::unique_ptr<gfx::Device> device = adapter_->CreateDevice(window, params_, &reason);
    if (!device) {
        return ReportGraphicsError("%s", failureText) != 0;
    }
    device_ = std::move(device);
    // The device reports the size it made (the drawable size for 0 x 0).
    params_.backBufferWidth = params_.windowed ? 0 : device_->GetBackBufferWidth();
    params_.backBufferHeight = params_.windowed ? 0 : device_->GetBackBufferHeight();
    return true;
}

bool CQVGraphics::CreateWindowDevice(EngineWindow *window) {
    if (!CreateDirect3D()) {
        return false;
    }
    window_ = window;
    if (!adapter_->GetDisplayMode(&desktopMode_)) {
        return ReportGraphicsError("GetAdapterDisplayMode") != 0;
    }
    params_ = gfx::PresentParameters{};
    params_.backBufferWidth = 0;
    params_.backBufferHeight = 0;
    params_.backBufferFormat = desktopMode_.format;
    params_.swapEffect = gfx::SwapEffect::CopyVsync;
    params_.windowed = true;
    params_.enableAutoDepthStencil = true;
    params_.autoDepthStencilFormat = gfx::Format::D24S8;
    params_.flags = gfx::PresentFlag::LockableBackBuffer;
    params_.deviceWindow = window;
    return CreateDevice(window, "Create Window Device");
}

bool CQVGraphics::CreateFullScreenDevice(uint32_t width, uint32_t height, uint32_t colorDepth,
                                         uint32_t depthBufferDepth, EngineWindow *window) {
    if (!CreateDirect3D()) {
        return false;
    }
    window_ = window;
    params_ = gfx::PresentParameters{};
    if (!FindFormat(width, height, colorDepth, depthBufferDepth, &params_.backBufferFormat,
                    &params_.autoDepthStencilFormat)) {
        return false;
    }
    params_.backBufferWidth = width;
    params_.backBufferHeight = height;
    params_.backBufferCount = 1;
    params_.multiSampleType = 0;
    params_.swapEffect = gfx::SwapEffect::Flip;
    params_.windowed = false;
    params_.enableAutoDepthStencil = true;
    params_.flags = gfx::PresentFlag::LockableBackBuffer;
    params_.presentationInterval = gfx::PresentInterval::Immediate;
    params_.fullScreenRefreshRate = 0;
    params_.deviceWindow = window;
    if (!CreateDevice(window, "Create Full Screeen Device")) {
        return false;
    }
    params_.backBufferWidth = width;
    params_.backBufferHeight = height;
    return true;
}

bool CQVGraphics::FindFormat(uint32_t width, uint32_t height, uint32_t colorDepth,
                             uint32_t depthBufferDepth, uint32_t *backBufferFormat,
                             uint32_t *depthStencilFormat) {
    (void)width;
    (void)height;
    if (!adapter_) {
        return false;
    }
    gfx::Adapter *adapter = adapter_.get();
    const FormatSearch result = SearchFormats(
        colorDepth, depthBufferDepth,
        [adapter](uint32_t format) { return adapter->CheckDeviceType(format, format, false); },
        [adapter](uint32_t bb, uint32_t ds) { return adapter->CheckDepthStencilMatch(bb, bb, ds); },
        backBufferFormat, depthStencilFormat);
    switch (result) {
    case FormatSearch::NoColorFormat:
        return ReportGraphicsError("CQVGraphics : FindFormat : Unable To Find A Matching Format") !=
               0;
    case FormatSearch::NoDepthFormat:
        return ReportGraphicsError(
                   "CQVGraphics : FindFormat : Unable To Find A Matching Z-Buffer Format") != 0;
    case FormatSearch::Found:
        break;
    }
    return true;
}

bool CQVGraphics::FindDepthStencilFormat(uint32_t depthBufferDepth, uint32_t backBufferFormat,
                                         uint32_t *depthStencilFormat) {
    if (!adapter_) {
        return false;
    }
    gfx::Adapter *adapter = adapter_.get();
    if (SearchDepthStencilFormat(
            depthBufferDepth, backBufferFormat,
            [adapter](uint32_t bb, uint32_t ds) {
                return adapter->CheckDepthStencilMatch(bb, bb, ds);
            },
            depthStencilFormat) != FormatSearch::Found) {
        return ReportGraphicsError(
                   "CQVGraphics : FindFormat : Unable To Find A Matching Z-Buffer Format") != 0;
    }
    return true;
}

bool CQVGraphics::ClearScreen(uint32_t color) {
    if (!device_) {
        return false;
    }
    return gfx::Succeeded(device_->Clear(
        0, nullptr, gfx::ClearFlag::Target | gfx::ClearFlag::DepthBuffer | gfx::ClearFlag::Stencil,
        color, 1.0f, 0));
}

bool CQVGraphics::ClearDepthStencil() {
    if (!device_) {
        return false;
    }
    return gfx::Succeeded(device_->Clear(
        0, nullptr, gfx::ClearFlag::DepthBuffer | gfx::ClearFlag::Stencil, 0, 1.0f, 0));
}

bool CQVGraphics::BeginFrame() {
    if (!device_) {
        return false;
    }
    inScene_ = gfx::Succeeded(device_->BeginScene());
    return inScene_;
}

bool CQVGraphics::EndFrame() {
    if (!device_) {
        return false;
    }
    if (!inScene_) {
        return false;
    }
    if (gfx::Failed(device_->EndScene())) {
        return false;
    }
    inScene_ = false;
    return true;
}

bool CQVGraphics::PresentFrame() {
    if (!device_) {
        return false;
    }
    const int32_t r = device_->Present();
    if (gfx::Failed(r)) {
        // Callers take the frame as presented; the reason stays readable.
        const std::string &text = device_->GetLastErrorText();
        ReportGraphicsError("Present : %s", text.empty() ? "failed" : text.c_str());
    }
    return true;
}

void CQVGraphics::SetDeviceGammaRamp(float redScale, float greenScale, float blueScale,
                                     float redOffset, float greenOffset, float blueOffset) {
    if (!device_) {
        return;
    }
    gfx::GammaRamp ramp;
    BuildGammaRamp(redScale, greenScale, blueScale, redOffset, greenOffset, blueOffset, &ramp);
    device_->SetGammaRamp(gfx::GammaFlag::Calibrate, ramp);
}

uint32_t CQVGraphics::GetViewportWidth() const {
    if (!device_) {
        return 0;
    }
    gfx::Viewport vp;
    device_->GetViewport(&vp);
    return vp.width;
}

bool CQVGraphics::HandleLostDevice() {
    if (!device_) {
        return false;
    }
    const int32_t level = device_->TestCooperativeLevel();
    if (level == gfx::Result::DeviceLost) {
        return false;
    }
    if (level != gfx::Result::DeviceNotReset) {
        return true;
    }
    if (hooks_.releaseFontTextures) {
        hooks_.releaseFontTextures();
    } else if (g_defaultLostDeviceHooks.releaseFontTextures) {
        g_defaultLostDeviceHooks.releaseFontTextures();
    }
    if (gfx::Failed(device_->Reset(params_))) {
        return false;
    }
    inScene_ = false;
    device_->ResourceManagerDiscardBytes(0);
    for (uint32_t stage = 0; stage < gfx::kStageCount; ++stage) {
        device_->SetTextureStageState(stage, gfx::StageState::MinFilter,
                                      gfx::TextureFilter::Linear);
        device_->SetTextureStageState(stage, gfx::StageState::MagFilter,
                                      gfx::TextureFilter::Linear);
        device_->SetTextureStageState(stage, gfx::StageState::MipFilter, gfx::TextureFilter::Point);
    }
    if (hooks_.restoreDeviceState) {
        hooks_.restoreDeviceState();
    } else if (g_defaultLostDeviceHooks.restoreDeviceState) {
        g_defaultLostDeviceHooks.restoreDeviceState();
    }
    if (hooks_.sleep) {
        hooks_.sleep(100);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// --- the object ----------------------------------------------------------------------

int CreateGraphics() {
    CQVGraphics *&slot = GraphicsSlot();
    if (slot == nullptr) {
        slot = new (std::nothrow) CQVGraphics();
    }
    return slot != nullptr ? 1 : 0;
}

CQVGraphics *GetGraphics() { return GraphicsSlot(); }

gfx::Device *GetD3DDevice() {
    CQVGraphics *graphics = GetGraphics();
    return graphics != nullptr ? graphics->GetD3DDevice() : nullptr;
}
