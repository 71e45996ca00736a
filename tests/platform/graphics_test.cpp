// The graphics object: formats, creation errors, frames, gamma, lost device,
// display creation and device services, on a scripted adapter with
// RecordingDevice; the GL adapter where the check is about GL.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "library/display.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/gfx/recording_device.h"
#include "platform/os/window.h"
#include "platform/texture_object.h"
#include "platform/timer.h"
#include "support/fake_display.h"
#include "support/image_test.h"

namespace {

// An adapter whose every step can be made to fail; devices are
// RecordingDevices of 640 x 480.
struct ScriptedAdapter : gfx::Adapter {
    bool displayMode = true;
    bool createDevice = true;
    std::vector<uint32_t> displayFormats = {gfx::Format::X8R8G8B8};
    std::vector<uint32_t> depthFormats = {gfx::Format::D24S8};
    gfx::PresentParameters lastParams;
    gfx::RecordingDevice *lastDevice = nullptr;

    bool GetDisplayMode(gfx::DisplayMode *out) override {
        out->width = 1024;
        out->height = 768;
        out->format = gfx::Format::X8R8G8B8;
        return displayMode;
    }
    bool CheckDeviceType(uint32_t display, uint32_t back, bool) override {
        return display == back && std::find(displayFormats.begin(), displayFormats.end(),
                                            display) != displayFormats.end();
    }
    bool CheckDepthStencilMatch(uint32_t, uint32_t, uint32_t ds) override {
        return std::find(depthFormats.begin(), depthFormats.end(), ds) != depthFormats.end();
    }
    std::unique_ptr<gfx::Device> CreateDevice(gfx::WindowHandle, const gfx::PresentParameters &p,
                                              std::string *error) override {
        lastParams = p;
        if (!createDevice) {
            *error = "refused";
            return nullptr;
        }
        auto device = std::make_unique<gfx::RecordingDevice>(p, 640, 480);
        lastDevice = device.get();
        return device;
    }
};

// A window that records where it was put.
struct FakeWindow : testdisplay::QuietWindow {
    int x = -1, y = -1, w = -1, h = -1;
    bool fullScreen = true;
    void SetClientRect(int x_, int y_, int w_, int h_) override {
        std::tie(x, y, w, h) = std::tie(x_, y_, w_, h_);
    }
    bool SetFullScreenMode(int, int) override { return fullScreen; }
};

// A graphics object on a scripted adapter (kept alive by the test).
struct ScriptedGraphics {
    ScriptedAdapter *adapter = nullptr;
    explicit ScriptedGraphics(CQVGraphics &g, std::function<void(ScriptedAdapter &)> setUp = {}) {
        g.SetAdapterFactory([this, setUp]() -> std::unique_ptr<gfx::Adapter> {
            auto a = std::make_unique<ScriptedAdapter>();
            if (setUp) {
                setUp(*a);
            }
            adapter = a.get();
            return a;
        });
    }
};

// --- formats ------------------------------------------------------------------------

TEST(FormatSearchTest, LastPassingCandidateWins) {
    uint32_t bb = 99;
    uint32_t ds = 99;
    auto passes = [](std::vector<uint32_t> list) {
        return [list](uint32_t f) { return std::find(list.begin(), list.end(), f) != list.end(); };
    };
    auto depthPasses = [](std::vector<uint32_t> list) {
        return [list](uint32_t, uint32_t f) {
            return std::find(list.begin(), list.end(), f) != list.end();
        };
    };
    struct Case {
        uint32_t color, depth;
        std::vector<uint32_t> backs, depths;
        uint32_t bb, ds;
    } cases[] = {{16, 16, {23, 24}, {80, 70}, 24, 70},
                 {32, 24, {20, 21, 22}, {75, 79}, 22, 79},
                 {32, 32, {21}, {75}, 21, 75}};
    for (const Case &c : cases) {
        EXPECT_EQ(SearchFormats(c.color, c.depth, passes(c.backs), depthPasses(c.depths), &bb, &ds),
                  FormatSearch::Found);
        EXPECT_EQ(bb * 1000 + ds, c.bb * 1000 + c.ds) << c.color;
    }

    // Colour depth 8 or 15: no candidates, format 0, the depth search runs.
    for (uint32_t depth : {8u, 15u}) {
        int depthCalls = 0;
        bb = 99;
        ds = 99;
        EXPECT_EQ(SearchFormats(
                      depth, 24, passes({}),
                      [&](uint32_t back, uint32_t f) {
                          ++depthCalls;
                          EXPECT_EQ(back, 0u);
                          return f == 75;
                      },
                      &bb, &ds),
                  FormatSearch::Found);
        EXPECT_EQ((std::tuple{bb, ds, depthCalls}), (std::tuple{0u, 75u, 2}));
    }
    // Depth-buffer depth 20: no candidate, 0, found.
    EXPECT_EQ(SearchFormats(32, 20, passes({22}), depthPasses({}), &bb, &ds), FormatSearch::Found);
    EXPECT_EQ(ds, 0u);
    EXPECT_EQ(SearchFormats(16, 16, passes({}), depthPasses({80}), &bb, &ds),
              FormatSearch::NoColorFormat);
    EXPECT_EQ(SearchFormats(16, 16, passes({23}), depthPasses({75}), &bb, &ds),
              FormatSearch::NoDepthFormat);
}

TEST(FormatSearchTest, ErrorTextsOfTheGraphicsObject) {
    CQVGraphics g;
    ScriptedGraphics s(g, [](ScriptedAdapter &a) { a.displayFormats = {}; });
    ASSERT_TRUE(g.CreateDirect3D());
    uint32_t bb = 0;
    uint32_t ds = 0;
    EXPECT_FALSE(g.FindFormat(640, 480, 32, 24, &bb, &ds));
    EXPECT_STREQ(g.GetGraphicsErrorText(),
                 "CQVGraphics : FindFormat : Unable To Find A Matching Format");
    s.adapter->displayFormats = {22};
    s.adapter->depthFormats = {};
    EXPECT_FALSE(g.FindFormat(640, 480, 32, 24, &bb, &ds));
    EXPECT_STREQ(g.GetGraphicsErrorText(),
                 "CQVGraphics : FindFormat : Unable To Find A Matching Z-Buffer Format");
    ReportGraphicsError("none");
    EXPECT_FALSE(g.FindDepthStencilFormat(16, 22, &ds));
    EXPECT_STREQ(g.GetGraphicsErrorText(),
                 "CQVGraphics : FindFormat : Unable To Find A Matching Z-Buffer Format");
}

TEST(FormatSearchTest, GlAdapterEndsWithX8R8G8B8AndD24S8OrX1R5G5B5AndD16) {
    imagetest::UseSoftwareRendering();
    CQVGraphics g;
    ASSERT_TRUE(g.CreateDirect3D());
    uint32_t bb = 0;
    uint32_t ds = 0;
    ASSERT_TRUE(g.FindFormat(800, 600, 32, 32, &bb, &ds));
    EXPECT_EQ(bb * 1000 + ds, gfx::Format::X8R8G8B8 * 1000 + gfx::Format::D24S8);
    ASSERT_TRUE(g.FindFormat(800, 600, 16, 16, &bb, &ds));
    EXPECT_EQ(bb * 1000 + ds, gfx::Format::X1R5G5B5 * 1000 + gfx::Format::D16);
}

// --- creation -----------------------------------------------------------------------

TEST(GraphicsCreationTest, EachStepReportsItsOwnText) {
    FakeWindow window;
    // What each mode reports ("" = created) with no adapter, no desktop mode,
    // a refused device; the full-screen path reads no desktop mode.
    const char *expected[3][2] = {{"Direct3DCreate8", "Direct3DCreate8"},
                                  {"GetAdapterDisplayMode", ""},
                                  {"Create Window Device", "Create Full Screeen Device"}};
    for (int step = 0; step < 3; ++step) {
        for (int full = 0; full < 2; ++full) {
            CQVGraphics g;
            std::unique_ptr<ScriptedGraphics> s;
            if (step == 0) {
                g.SetAdapterFactory([] { return std::unique_ptr<gfx::Adapter>(); });
            } else {
                s = std::make_unique<ScriptedGraphics>(g, [step](ScriptedAdapter &a) {
                    a.displayMode = step != 1;
                    a.createDevice = step != 2;
                });
            }
            ReportGraphicsError("%s", "");
            const bool made = full != 0 ? g.CreateFullScreenDevice(640, 480, 32, 24, &window)
                                        : g.CreateWindowDevice(&window);
            EXPECT_EQ(made, *expected[step][full] == 0);
            EXPECT_STREQ(g.GetGraphicsErrorText(), expected[step][full]);
            EXPECT_EQ(g.GetD3DDevice() != nullptr, made);
        }
    }
}

// The parameters as text: formats 22 X8R8G8B8 and 75 D24S8, swap 4 copy with
// vsync and 2 flip, flag 1 a lockable back buffer.
std::string Params(const gfx::PresentParameters &p) {
    char text[200];
    std::snprintf(text, sizeof text, "win %d %ux%u fmt %u count %u swap %u ds %d/%u flags %u int %u hz %u",
                  int(p.windowed), p.backBufferWidth, p.backBufferHeight, p.backBufferFormat,
                  p.backBufferCount, p.swapEffect, int(p.enableAutoDepthStencil),
                  p.autoDepthStencilFormat, p.flags, p.presentationInterval, p.fullScreenRefreshRate);
    return text;
}

TEST(GraphicsCreationTest, PresentParametersOfBothModes) {
    FakeWindow window;
    CQVGraphics g;
    ScriptedGraphics s(g);
    EXPECT_EQ(g.GetVertexProcessing(), 32u);
    ASSERT_TRUE(g.CreateWindowDevice(&window));
    // Windowed: the desktop's format, copy with vsync, a lockable back buffer.
    EXPECT_EQ(Params(s.adapter->lastParams),
              "win 1 0x0 fmt 22 count 0 swap 4 ds 1/75 flags 1 int 0 hz 0");
    EXPECT_EQ((std::tuple{g.GetDeviceWindow(), g.GetViewportWidth(), g.GetTargetFrameRate()}),
              (std::tuple{&window, 640u, 30u}));

    g.DestroyDevice();
    ASSERT_TRUE(g.CreateFullScreenDevice(800, 600, 32, 24, &window));
    // Full screen: flipped, presented at once.
    EXPECT_EQ(Params(s.adapter->lastParams),
              "win 0 800x600 fmt 22 count 1 swap 2 ds 1/75 flags 1 int 2147483648 hz 0");
}

// The process's graphics object keeps the adapter that made its device; a
// test display put in place afterwards still makes the next device (the
// blind display's draws nothing), and GL's factory comes back after it.
TEST(GraphicsCreationTest, ATestDisplayTakesOverFromAKeptAdapter) {
    ASSERT_EQ(CreateGraphics(), 1);
    CQVGraphics &g = *GetGraphics();
    testdisplay::UseFakeAdapter();
    ASSERT_TRUE(g.CreateWindowDevice(nullptr));
    EXPECT_EQ(dynamic_cast<gfx::BlindDevice *>(g.GetD3DDevice()), nullptr);
    {
        testdisplay::BlindDisplay blind;
        ASSERT_TRUE(g.CreateWindowDevice(nullptr));
        EXPECT_NE(dynamic_cast<gfx::BlindDevice *>(g.GetD3DDevice()), nullptr);
    }
    EXPECT_EQ(g.GetD3DDevice(), nullptr);
    testdisplay::UseFakeAdapter();
    ASSERT_TRUE(g.CreateWindowDevice(nullptr));
    EXPECT_EQ(dynamic_cast<gfx::BlindDevice *>(g.GetD3DDevice()), nullptr);
    testdisplay::RestoreGlAdapter();
}

TEST(GraphicsCreationTest, WindowPlacement) {
    WindowPlacement p = PlaceWindow(1024, 768, 800, 600);
    EXPECT_EQ(std::vector<int>({p.outerWidth, p.outerHeight, p.left, p.top}),
              std::vector<int>({810, 640, 107, 64}));
    p = PlaceWindow(1024, 768, 1600, 1200);
    EXPECT_EQ(p.left + p.top, 0);
}

// --- frames -------------------------------------------------------------------------

TEST(GraphicsFrameTest, FramesNeedADeviceAndEndFrameNeedsAScene) {
    CQVGraphics g;
    EXPECT_EQ(std::vector<bool>({g.ClearScreen(0), g.ClearDepthStencil(), g.BeginFrame(),
                                 g.EndFrame(), g.PresentFrame(), g.HandleLostDevice()}),
              std::vector<bool>(6, false));

    FakeWindow window;
    ScriptedGraphics s(g);
    ASSERT_TRUE(g.CreateWindowDevice(&window));
    auto *device = s.adapter->lastDevice;
    device->ClearLog();
    // No scene at first: EndFrame answers false and ends nothing.
    EXPECT_EQ(
        std::vector<bool>({g.EndFrame(), g.ClearScreen(0xFF204080u), g.BeginFrame(), g.IsInScene(),
                           g.ClearDepthStencil(), g.EndFrame(), g.IsInScene(), g.PresentFrame()}),
        std::vector<bool>({false, true, true, true, true, true, false, true}));
    const std::vector<std::string> expected = {"Clear 0 7 0xFF204080 1 0", "BeginScene",
                                               "Clear 0 6 0x00000000 1 0", "EndScene", "Present"};
    EXPECT_EQ((std::tuple{device->GetLog(), device->Pixel(5, 5)}),
              (std::tuple{expected, 0xFF204080u}));
}

TEST(GraphicsFrameTest, PresentFrameAnswersTrueAndKeepsTheFailure) {
    CQVGraphics g;
    FakeWindow window;
    ScriptedGraphics s(g);
    ASSERT_TRUE(g.CreateWindowDevice(&window));
    ReportGraphicsError("none");
    s.adapter->lastDevice->SimulateDeviceLost(gfx::LostFlag::Lost);
    EXPECT_TRUE(g.PresentFrame());
    EXPECT_EQ(std::string(g.GetGraphicsErrorText()).rfind("Present : ", 0), 0u);
    EXPECT_EQ(s.adapter->lastDevice->GetPresentCount(), 0u);
}

TEST(GraphicsFrameTest, GammaRamp) {
    gfx::GammaRamp ramp;
    BuildGammaRamp(1, 1, 1, 0, 0, 0, &ramp);
    for (uint32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(ramp.red[i], i * 256) << i;
    }
    EXPECT_EQ(ramp.green[255], 65280);
    BuildGammaRamp(1, 1, 1, 300, 300, 300, &ramp);
    for (uint32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(ramp.blue[i], 65535) << i;
    }
    BuildGammaRamp(-1, -1, -1, 0, 0, 0, &ramp);
    for (uint32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(ramp.red[i], 0) << i;
    }
    EXPECT_EQ(GammaRampEntry(0.5f, 10.0f, 100), uint16_t((0.5f * 100 + 10) * 256));
    EXPECT_EQ(GammaRampEntry(std::numeric_limits<float>::quiet_NaN(), 0, 3), 0);
    EXPECT_EQ(GammaRampEntry(std::numeric_limits<float>::infinity(), 0, 3), 65535);

    CQVGraphics g;
    FakeWindow window;
    ScriptedGraphics s(g);
    ASSERT_TRUE(g.CreateWindowDevice(&window));
    g.SetDeviceGammaRamp(1, 0.5f, 1, 0, 0, 1);
    const gfx::GammaRamp &applied = s.adapter->lastDevice->GetAppliedGamma();
    EXPECT_EQ((std::tuple{applied.red[2], applied.green[2], applied.blue[0]}),
              (std::tuple{512, 256, 256}));
}

TEST(GraphicsErrorTest, LongMessagesAreCutTo511Characters) {
    const std::string longText(2000, 'x');
    EXPECT_EQ(ReportGraphicsError("%s", longText.c_str()), 0);
    EXPECT_EQ(std::string(GetGraphicsErrorText()), std::string(511, 'x'));
    CQVGraphics g;
    EXPECT_EQ(g.ReportGraphicsError("%s %d", "Error", 7), 0);
    EXPECT_STREQ(GetGraphicsErrorText(), "Error 7");
}

// --- lost device --------------------------------------------------------------------

struct LostDeviceFixture : ::testing::Test {
    CQVGraphics g;
    FakeWindow window;
    std::unique_ptr<ScriptedGraphics> s;
    std::vector<std::string> steps;
    gfx::RecordingDevice *device = nullptr;

    void SetUp() override {
        s = std::make_unique<ScriptedGraphics>(g);
        ASSERT_TRUE(g.CreateWindowDevice(&window));
        device = s->adapter->lastDevice;
        LostDeviceHooks hooks;
        hooks.releaseFontTextures = [this] { steps.push_back("fonts"); };
        hooks.restoreDeviceState = [this] {
            steps.push_back("restore after " + std::to_string(device->GetLog().size()));
        };
        hooks.sleep = [this](uint32_t ms) { steps.push_back("sleep " + std::to_string(ms)); };
        g.SetLostDeviceHooks(hooks);
        device->SetRenderState(gfx::RenderState::Lighting, 0);
        device->ClearLog();
    }
};

TEST_F(LostDeviceFixture, UsableDeviceAndLostDevice) {
    EXPECT_TRUE(g.HandleLostDevice());
    device->SimulateDeviceLost(gfx::LostFlag::Lost);
    EXPECT_FALSE(g.HandleLostDevice());
    EXPECT_TRUE(steps.empty());
}

TEST_F(LostDeviceFixture, NotResetRebuildsInOrder) {
    device->SimulateDeviceLost(gfx::LostFlag::NotReset);
    EXPECT_TRUE(g.HandleLostDevice());
    std::vector<std::string> expectedLog = {"TestCooperativeLevel", "Reset",
                                            "ResourceManagerDiscardBytes 0"};
    for (uint32_t stage = 0; stage < 8; ++stage) {
        expectedLog.push_back("SetTextureStageState " + std::to_string(stage) + " 17 2");
        expectedLog.push_back("SetTextureStageState " + std::to_string(stage) + " 16 2");
        expectedLog.push_back("SetTextureStageState " + std::to_string(stage) + " 18 1");
    }
    EXPECT_EQ(device->GetLog(), expectedLog);
    const std::vector<std::string> expectedSteps = {
        "fonts", "restore after " + std::to_string(expectedLog.size()), "sleep 100"};
    EXPECT_EQ(steps, expectedSteps);
    // The reset brought the state back to the defaults.
    uint32_t lighting = 0;
    device->GetRenderState(gfx::RenderState::Lighting, &lighting);
    EXPECT_EQ(lighting, 1u);
    EXPECT_TRUE(g.HandleLostDevice()); // usable again
}

TEST_F(LostDeviceFixture, FailedResetStopsAndTheNextCallResets) {
    device->SimulateDeviceLost(gfx::LostFlag::NotReset | gfx::LostFlag::FailReset);
    EXPECT_FALSE(g.HandleLostDevice());
    EXPECT_EQ(steps, std::vector<std::string>{"fonts"});
    EXPECT_EQ(device->GetLog(), (std::vector<std::string>{"TestCooperativeLevel", "Reset"}));
    steps.clear();
    EXPECT_TRUE(g.HandleLostDevice());
    EXPECT_EQ((std::tuple{steps.size(), steps.back()}), (std::tuple{3u, "sleep 100"}));
}

// --- display creation ------------------------------------------------------------------

struct DisplayFixture : ::testing::Test {
    FakeWindow window;
    std::unique_ptr<ScriptedGraphics> s;
    ResourceLibrary library;
    std::vector<std::string> calls;

    void SetUp() override {
        ASSERT_EQ(CreateGraphics(), 1);
        ASSERT_EQ(CreateFrameTimer(), 1);
        s = std::make_unique<ScriptedGraphics>(*GetGraphics());
        SetDrawBucketSetUpHook([this] { calls.push_back("buckets"); });
        SetShadowQuadHook([this] { calls.push_back("shadow quad"); });
        SetDefaultFontHook([this] { calls.push_back("font"); });
    }
    void TearDown() override {
        SetCreateSoundDeviceHook({});
        SetDrawBucketSetUpHook({});
        SetShadowQuadHook({});
        SetDefaultFontHook({});
        testdisplay::RestoreGlAdapter();
    }
};

TEST_F(DisplayFixture, FailingSoundDeviceLeavesTheEngineSilent) {
    SetCreateSoundDeviceHook([this](EngineWindow *w, uint32_t channels, uint32_t rate,
                                    uint32_t bits, std::string *text) {
        EXPECT_EQ(w, &window);
        calls.push_back("sound " + std::to_string(channels) + " " + std::to_string(rate) + " " +
                        std::to_string(bits));
        *text = "Create Sound Device";
        return false;
    });
    EXPECT_EQ(library.CreateDisplay(800, 600, 32, 32, 2, &window), 1);
    EXPECT_STREQ(library.GetLastError(), "Create Sound Device");
    EXPECT_EQ((std::tuple{library.IsSoundEnabled(), library.GetWindow()}),
              (std::tuple{0u, &window}));
    const std::vector<std::string> expected = {"sound 2 44100 16", "buckets", "shadow quad",
                                               "font"};
    EXPECT_EQ(calls, expected);
    // Windowed: the client area 800 x 600 goes where the 810 x 640 window is centred.
    EXPECT_EQ(std::vector<int>({window.x, window.y, window.w, window.h}),
              std::vector<int>({107, 64, 800, 600}));
    EXPECT_TRUE(GetFrameTimer()->IsStarted());
    // Stages 0-3 filter linearly; 4-7 keep their defaults.
    gfx::Device *device = GetD3DDevice();
    uint32_t v[2] = {};
    device->GetTextureStageState(3, gfx::StageState::MipFilter, &v[0]);
    device->GetTextureStageState(4, gfx::StageState::MinFilter, &v[1]);
    EXPECT_TRUE(v[0] == gfx::TextureFilter::Linear && v[1] == gfx::TextureFilter::Point);
}

TEST_F(DisplayFixture, SoundOffFlagOpensNoSoundDevice) {
    bool asked = false;
    SetCreateSoundDeviceHook([&](EngineWindow *, uint32_t, uint32_t, uint32_t, std::string *) {
        asked = true;
        return true;
    });
    EXPECT_EQ(library.CreateDisplay(640, 480, 32, 32, 3, &window), 1);
    EXPECT_FALSE(asked);
    EXPECT_EQ(library.IsSoundEnabled(), 0u);
}

TEST_F(DisplayFixture, OpenedSoundDeviceAndEmptySoundHook) {
    SetCreateSoundDeviceHook(
        [](EngineWindow *, uint32_t, uint32_t, uint32_t, std::string *) { return true; });
    EXPECT_EQ(library.CreateDisplay(640, 480, 32, 32, 2, &window), 1);
    EXPECT_EQ(library.IsSoundEnabled(), 1u);

    ResourceLibrary other;
    GetGraphics()->DestroyDevice();
    SetCreateSoundDeviceHook({});
    EXPECT_EQ(other.CreateDisplay(640, 480, 32, 32, 2, &window), 1);
    EXPECT_EQ(other.IsSoundEnabled(), 0u);
    EXPECT_STREQ(other.GetLastError(), "");
}

TEST_F(DisplayFixture, FailedDeviceCreationReportsTheGraphicsText) {
    s = std::make_unique<ScriptedGraphics>(*GetGraphics(),
                                           [](ScriptedAdapter &a) { a.createDevice = false; });
    EXPECT_EQ(library.CreateDisplay(640, 480, 32, 32, 0, &window), 0);
    EXPECT_STREQ(library.GetLastError(), "Create Full Screeen Device");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(library.GetWindow(), nullptr);
}

// --- texture objects ------------------------------------------------------------------

void *g_destroyedVideo = nullptr;

TEST(TextureObjectTest, SizesReferencesAndDestruction) {
    gfx::RecordingDevice device;
    auto *object = new TextureObject;
    ASSERT_EQ(device.CreateTexture(128, 64, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed,
                                   &object->texture),
              gfx::Result::Ok);
    object->texture->GetLevelDesc(0, &object->levelDesc);
    EXPECT_EQ(GetTextureObjectWidth(nullptr), 0u);
    AddRefTextureObject(object);
    gfx::Texture *texture = object->texture;
    SetDestroyVideoHook([](TextureObject *o) { g_destroyedVideo = o->video; });
    int film = 0;
    object->video = &film;
    DestroyTextureObject(object);
    EXPECT_EQ(g_destroyedVideo, &film);
    EXPECT_EQ(texture->Release(), 0u); // the extra reference was the last
    SetDestroyVideoHook(nullptr);
    DestroyTextureObject(nullptr);
}

// --- on GL ------------------------------------------------------------------------------

TEST(GraphicsGlTest, WindowedDisplayOnTheEngineWindowClearsAndReadsBack) {
    imagetest::UseSoftwareRendering();
    std::string error;
    std::unique_ptr<EngineWindow> window = CreateEngineWindow(&error);
    ASSERT_TRUE(window) << error;
    CQVGraphics g;
    window->SetClientRect(0, 0, 96, 64);
    ASSERT_TRUE(g.CreateWindowDevice(window.get())) << g.GetGraphicsErrorText();
    EXPECT_EQ(g.GetViewportWidth(), 96u);
    ASSERT_TRUE(g.ClearScreen(0xFF204080u) && g.BeginFrame() && g.EndFrame() && g.PresentFrame());
    imagetest::Image image;
    ASSERT_TRUE(imagetest::ReadBack(*g.GetD3DDevice(), &image));
    EXPECT_EQ(image.width * 1000 + image.height, 96064u);
    EXPECT_TRUE(imagetest::RegionNear(image, {0, 0, 96, 64}, imagetest::Rgb{0x20, 0x40, 0x80}, 0));
    g.SetDeviceGammaRamp(1, 1, 1, 0, 0, 0); // refused by the display: ignored

    // A device made while another exists replaces it and is the one drawn
    // into: the clear and the read-back reach the new device's picture.
    ASSERT_TRUE(g.CreateWindowDevice(window.get())) << g.GetGraphicsErrorText();
    ASSERT_TRUE(g.ClearScreen(0xFF60A020u) && g.BeginFrame() && g.EndFrame() && g.PresentFrame());
    ASSERT_TRUE(imagetest::ReadBack(*g.GetD3DDevice(), &image));
    EXPECT_TRUE(imagetest::RegionNear(image, {0, 0, 96, 64}, imagetest::Rgb{0x60, 0xA0, 0x20}, 0));
    g.DestroyDevice();
}

} // namespace
