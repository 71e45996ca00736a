// Loading frames through the render front end: the queued rectangles and
// text, the immediate bar rectangles and the present, on a RecordingDevice,
// and the bar's pixels on an offscreen GL device (software rendering).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "core/actors/actor.h"
#include "core/actors/loading_screen.h"
#include "library/bitmap_font.h"
#include "library/library_writer.h"
#include "library/render/font_services.h"
#include "library/render/render_front_end.h"
#include "library/render/render_test_util.h"
#include "library/render/screen_layers.h"
#include "platform/font/font_test_util.h"
#include "platform/os/gfx/gl_device.h"
#include "support/float_list.h"
#include "support/image_test.h"

namespace {

using fonttest::Vertices;

// Puts materials of these names into the library's table (slots 1, 2, ...).
bool AddMaterials(ResourceLibrary &library, const std::vector<std::string> &names) {
    std::vector<std::unique_ptr<MaterialItem>> items;
    LibraryWriter writer;
    uint32_t slot = 1;
    for (const std::string &name : names) {
        items.push_back(std::make_unique<MaterialItem>());
        items.back()->name = name;
        writer.AddItem(slot++, *items.back());
    }
    const std::vector<uint8_t> bytes = writer.WriteToMemory();
    Archive archive;
    archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return library.ReadLibraryArchive(archive, 1) == 1;
}

// An 800 x 600 RecordingDevice with a default font of made-up metrics; the
// front end is the loading screen's renderer (as it is from the start).
class LoadingFrameOnRecordingDevice : public rendertest::RenderTest {
  protected:
    std::unique_ptr<gfx::Device> MakeDevice() override {
        return std::make_unique<gfx::RecordingDevice>(800, 600);
    }
    void SetUp() override {
        RenderTest::SetUp();
        SetLoadingScreenRenderer(FrontEndLoadingScreenRenderer());
        ResetLoadingScreenForTests();
        fake.faces.cx = 8;
        fake.faces.cy = 10;
        RegisterFontServices();
        previousFont = GetDefaultFontItem();
        SetDefaultFontItem(library_.CreateFontItem("Face", 12, nullptr));
    }
    void TearDown() override {
        ResetLoadingScreenForTests();
        delete GetDefaultFontItem();
        SetDefaultFontItem(previousFont);
        RenderTest::TearDown();
    }
    gfx::RecordingDevice &Device() { return *recording_; }

    fonttest::FakeFontScope fake;
    FontItem *previousFont = nullptr;
};

TEST_F(LoadingFrameOnRecordingDevice, OneFrameDrawsQuadsTextAndBarThenPresents) {
    ASSERT_TRUE(AddMaterials(library_, {"Menu_Back", "Menu_OrskLogo", "Other"}));
    LibraryItem *logo = BeginLoadingScreen(nullptr, 1000);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->name, "Menu_OrskLogo");
    LoadingScreenState &s = GetLoadingScreenState();
    EXPECT_EQ(s.frame, (ScreenRect{200, 520, 600, 528}));
    s.stepsPerUpdate = 0;
    Device().ClearLog();
    Device().ClearDraws();
    const uint32_t presents = Device().GetPresentCount();

    EXPECT_EQ(DrawLoadingScreen("LOADING"), 1);
    EXPECT_EQ(Device().GetPresentCount(), presents + 1);
    const std::vector<gfx::RecordedDraw> &draws = Device().GetDraws();
    ASSERT_EQ(draws.size(), 6u);
    // The logo: 1 x 1 at the origin, half transparent; then the background
    // over the whole screen.
    auto logoQuad = Vertices(draws[0]);
    EXPECT_TRUE(FloatsEq({logoQuad[3].x, logoQuad[3].y}, {1.0f, 1.0f}));
    EXPECT_EQ(logoQuad[0].color, PackColor(1.0f, 1.0f, 1.0f, 0.5f));
    auto back = Vertices(draws[1]);
    EXPECT_TRUE(FloatsEq({back[3].x, back[3].y}, {800.0f, 600.0f}));
    EXPECT_EQ(back[0].color, 0xFFFFFFFFu);
    // The text at (200, 470) in white, with the font's sheet.
    EXPECT_EQ(draws[2].textures[0], GetDefaultFontItem()->font->GetSheetTexture());
    auto text = Vertices(draws[2]);
    EXPECT_EQ(text[0].color, 0xFFFFFFFFu);
    float left = text[0].x;
    float top = text[0].y;
    for (const auto &v : text) {
        left = std::min(left, v.x);
        top = std::min(top, v.y);
    }
    EXPECT_NEAR(left, 200.0f, 1.0f);
    EXPECT_NEAR(top, 470.0f, 1.0f);
    // Well, frame and bar, untextured, in that order.
    const uint32_t barColor = PackColor(0.6f, 0.9f, 0.4f, 1.0f);
    const float expected[3][5] = {{198, 518, 602, 530, 0},
                                  {200, 520, 600, 528, 1},
                                  {202, 522, 242, 526, 0}};
    for (size_t i = 0; i < 3; ++i) {
        const gfx::RecordedDraw &draw = draws[3 + i];
        auto v = Vertices(draw);
        EXPECT_EQ(draw.textures[0], nullptr) << i;
        EXPECT_TRUE(
            FloatsEq({v[0].x, v[0].y, v[3].x}, {expected[i][0], expected[i][1], expected[i][2]}))
            << i;
        EXPECT_FLOAT_EQ(v[3].y, expected[i][3]) << i;
        EXPECT_EQ(v[0].color, expected[i][4] != 0 ? 0xFF000000u : barColor) << i;
    }
    // The queues are empty again: the next frame draws only its own.
    EXPECT_TRUE(library_.GetScreenLayers().quads.empty());
    EXPECT_TRUE(library_.GetScreenLayers().texts.empty());
    // The scene was cleared before anything was drawn, and presented last.
    const std::vector<std::string> &log = Device().GetLog();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [](const std::string &line) { return line.rfind("Clear", 0) == 0; }));
    EXPECT_EQ(log.back().rfind("Present", 0), 0u);
    EndLoadingScreen(nullptr);
}

TEST_F(LoadingFrameOnRecordingDevice, MissingMaterialsDropOnlyTheirRectangles) {
    ASSERT_TRUE(AddMaterials(library_, {"Menu_Back"}));
    EXPECT_EQ(BeginLoadingScreen(nullptr, 1000), nullptr);
    GetLoadingScreenState().stepsPerUpdate = 0;
    Device().ClearDraws();
    DrawLoadingScreen("x");
    ASSERT_EQ(Device().GetDraws().size(), 5u);
    EXPECT_FLOAT_EQ(Vertices(Device().GetDraws()[0])[3].x, 800.0f);
    EndLoadingScreen(nullptr);
}

TEST_F(LoadingFrameOnRecordingDevice, AnOpenFrameRefusesTheLoadingFrame) {
    BeginLoadingScreen(nullptr, 1000);
    GetLoadingScreenState().stepsPerUpdate = 0;
    ASSERT_TRUE(library_.BeginRender(true, true));
    Device().ClearDraws();
    const uint32_t presents = Device().GetPresentCount();
    EXPECT_EQ(DrawLoadingScreen("x"), 0);
    EXPECT_TRUE(Device().GetDraws().empty());
    EXPECT_EQ(Device().GetPresentCount(), presents);
    EXPECT_GT(GetLoadingScreenState().progress, 0.0f); // the bar still advanced
    EXPECT_TRUE(library_.EndRender(false));
    EndLoadingScreen(nullptr);
}

// 480 x 128: cx 240, cy 128, so the frame is (40, 48, 440, 56).
class LoadingFrameOnGl : public rendertest::RenderTest {
  protected:
    std::unique_ptr<gfx::Device> MakeDevice() override {
        imagetest::UseSoftwareRendering();
        std::string error;
        return gfx::GlDevice::CreateOffscreen(480, 128, &error);
    }
    void SetUp() override {
        RenderTest::SetUp();
        SetLoadingScreenRenderer(FrontEndLoadingScreenRenderer());
        ResetLoadingScreenForTests();
    }
    void TearDown() override {
        ResetLoadingScreenForTests();
        RenderTest::TearDown();
    }
};

TEST_F(LoadingFrameOnGl, TheBarIsDrawnInTheBarColourInsideTheBlackFrame) {
    BeginLoadingScreen(nullptr, 1000);
    GetLoadingScreenState().stepsPerUpdate = 0;
    ASSERT_EQ(DrawLoadingScreen(nullptr), 1);
    EndLoadingScreen(nullptr);
    // The back buffer keeps the presented frame.
    imagetest::Image image;
    ASSERT_TRUE(imagetest::ReadBack(*device_, &image));
    const imagetest::Rgb bar{153, 230, 102}; // (0.6, 0.9, 0.4)
    // The bar (42, 50, 82, 54), inner pixels.
    EXPECT_TRUE(imagetest::RegionNear(image, {44, 51, 80, 53}, bar));
    // The frame past the bar's end is black; the well rims it in the bar colour.
    EXPECT_TRUE(imagetest::RegionNear(image, {90, 50, 430, 54}, {0, 0, 0}));
    EXPECT_TRUE(imagetest::PixelNear(image, 240, 46, bar));
    EXPECT_TRUE(imagetest::PixelNear(image, 38, 52, bar));
    // Outside the well: the cleared screen.
    EXPECT_TRUE(imagetest::PixelNear(image, 240, 20, {0, 0, 0}));
    EXPECT_TRUE(imagetest::PixelNear(image, 240, 100, {0, 0, 0}));
}

} // namespace
