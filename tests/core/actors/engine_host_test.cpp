// The engine host's default services on the process's library and graphics
// object with a recording device: clip planes, the camera frame, the frame
// pair with its passes and debug texts, the logo film and the pack archive.
#include "core/actors/engine_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "actors/presentation/presentation_seams.h"
#include "base/file_system.h"
#include "base/pack_archive.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/class_factory.h"
#include "core/actors/time_record.h"
#include "library/library_item.h"
#include "library/render/font_services.h"
#include "library/render/screen_layers.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/font/font_test_util.h"
#include "platform/os/gfx/recording_device.h"
#include "platform/video.h"
#include "support/fake_display.h"
#include "support/temp_folder.h"

namespace {

// Endless black pictures, 25 a second.
struct EndlessFilm : video::FilmSource {
    int next = 0;
    uint32_t Width() const override { return 8; }
    uint32_t Height() const override { return 4; }
    double Duration() const override { return 0.0; }
    video::ReadResult NextFrame(std::vector<uint8_t>* bgra, double* time) override {
        bgra->assign(8 * 4 * 4, 0);
        *time = next++ * 0.04;
        return video::ReadResult::Frame;
    }
    bool Rewind() override {
        next = 0;
        return true;
    }
    void Interrupt() override {}
    void ClearInterrupt() override {}
};

class EngineHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateEngineServices(), 1);
        testdisplay::UseFakeAdapter();
        ASSERT_TRUE(GetGraphics()->CreateWindowDevice(nullptr));
        recorder_ = dynamic_cast<gfx::RecordingDevice*>(GetD3DDevice());
        ASSERT_NE(recorder_, nullptr);
        library_ = GetLibrary();
    }
    void TearDown() override {
        StopFullScreenVideo();
        SetVideoClock({});
        SetFilmSourceOpener({});
        testdisplay::RestoreGlAdapter();
    }
    size_t Logged(const std::string& prefix, size_t from = 0) const {
        const auto& log = recorder_->GetLog();
        for (size_t i = from; i < log.size(); ++i) {
            if (log[i].rfind(prefix, 0) == 0) return i;
        }
        return log.size();
    }

    EngineHost host_;
    ResourceLibrary* library_ = nullptr;
    gfx::RecordingDevice* recorder_ = nullptr;
};

TEST_F(EngineHostTest, ClipPlanesAndCameraFrameComeFromTheLibrary) {
    CurrentCamera = nullptr;
    EXPECT_FALSE(host_.UpdateCamera());  // no camera: the stage is skipped

    host_.SetFarClip(35000.0f);
    host_.SetNearClip(1.5f);
    EXPECT_FLOAT_EQ(library_->GetFarClip(), 35000.0f);
    EXPECT_FLOAT_EQ(library_->GetNearClip(), 1.5f);

    // Without a camera actor the listener follows what the library holds.
    library_->SetCameraLookAt({1.0f, 2.0f, 3.0f}, {1.0f, 2.0f, 13.0f}, {0.0f, 1.0f, 0.0f});
    float position[3], forward[3], up[3];
    host_.CameraFrame(position, forward, up);
    const float wantPosition[3] = {1, 2, 3}, wantForward[3] = {0, 0, 1}, wantUp[3] = {0, 1, 0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(position[i], wantPosition[i]) << i;
        EXPECT_NEAR(forward[i], wantForward[i], 1e-6) << i;
        EXPECT_NEAR(up[i], wantUp[i], 1e-6) << i;
    }
    EXPECT_EQ(host_.ScreenWidth(), 640u);
}

TEST_F(EngineHostTest, FramePairPassesAndDebugTexts) {
    library_->SetClearColor(0x00123456);
    recorder_->ClearLog();
    ASSERT_TRUE(host_.BeginRender());
    size_t scene = Logged("BeginScene");
    size_t clear = Logged("Clear ");
    ASSERT_LT(clear, recorder_->GetLog().size());
    EXPECT_LT(scene, clear);
    EXPECT_NE(recorder_->GetLog()[clear].find("0x00123456"), std::string::npos);
    EXPECT_FALSE(host_.BeginRender());  // one frame at a time

    // The FPS line: default font, white, style 12, drawn by the next text pass.
    host_.QueueText("FPS: 12.50", 626.0f, 10.0f, 12);
    const std::vector<TextLine>& texts = library_->GetScreenLayers().texts;
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "FPS: 12.50");
    EXPECT_EQ(texts[0].font, nullptr);
    EXPECT_EQ(texts[0].style, 12u);
    EXPECT_FLOAT_EQ(texts[0].x, 626.0f);
    EXPECT_FLOAT_EQ(texts[0].red * texts[0].green * texts[0].blue * texts[0].alpha, 1.0f);
    host_.DrawScene(0.016f);
    host_.Draw2D();
    EXPECT_TRUE(library_->GetScreenLayers().texts.empty());  // each queue is emptied
    host_.DrawTextNow("*", 790.0f, 10.0f, 0);                // no font: nothing, no fault

    size_t end = recorder_->GetLog().size();
    host_.EndRender();
    size_t endScene = Logged("EndScene", end);
    EXPECT_LT(endScene, Logged("Present", end));
    EXPECT_LT(Logged("Present", end), recorder_->GetLog().size());

    GetGraphics()->DestroyDevice();
    EXPECT_FALSE(host_.BeginRender());  // no device: the frame ends
}

// A label floating in the world (a line with a depth) lies under the
// screen's panels and their texts, whatever the order they were queued in:
// the frame draws it first, then the quads, then the screen's lines.
TEST_F(EngineHostTest, TheWorldsLabelsLieUnderTheScreensQuadsAndTexts) {
    fonttest::FakeFontScope faces;
    RegisterFontServices();
    std::unique_ptr<FontItem> font(library_->CreateFontItem("Face", 12, nullptr));
    ASSERT_NE(font, nullptr);
    MaterialItem panel;
    ASSERT_TRUE(host_.BeginRender());
    library_->SetCurrentFont(font.get());
    library_->QueueText(400.0f, 120.0f, 1, 1, 1, 1, "The door is locked.", 0);
    library_->QueueTextEx(110.0f, 118.0f, 1, 0.8f, 0.3f, 1, "KEY", 0, 0.5f);
    library_->QueueRect(80.0f, 88.0f, 640.0f, 64.0f, 0, 0, 0, 0.6f, &panel);
    library_->SetCurrentFont(nullptr);
    recorder_->ClearDraws();
    host_.Draw2D();
    // Each draw's depth: the label's 0.5, the quad's 0.99, the screen text's 1.
    std::vector<float> depths;
    for (const gfx::RecordedDraw& draw : recorder_->GetDraws()) {
        const std::vector<fonttest::Vertex> vertices = fonttest::Vertices(draw);
        if (!vertices.empty()) depths.push_back(vertices[0].z);
    }
    EXPECT_EQ(depths, (std::vector<float>{0.5f, 0.99f, 1.0f}));
    EXPECT_TRUE(library_->GetScreenLayers().texts.empty());
    host_.EndRender();
}

TEST_F(EngineHostTest, LogoFilmPlaysPollsAndStopsAndAMissingOneIsNoError) {
    std::atomic<int64_t> micros{1000000};
    SetVideoClock({[&] { return double(micros.load()) / 1e6; },
                   [&](uint32_t ms) { micros += int64_t(ms) * 1000; }});
    host_.PlayFullScreenVideo("nowhere\\Data\\logo_01.mpg");
    EXPECT_FALSE(FullScreenVideoOpen());
    EXPECT_FALSE(host_.PollFullScreenVideo());

    SetFilmSourceOpener([](const std::string&) { return std::make_unique<EndlessFilm>(); });
    TempFolder folder;
    folder.Put("logo_01.mpg", "film");
    host_.PlayFullScreenVideo(folder / "logo_01.mpg");
    ASSERT_TRUE(FullScreenVideoOpen());
    recorder_->ClearLog();
    int64_t before = micros.load();
    EXPECT_TRUE(host_.PollFullScreenVideo());
    EXPECT_GE(micros.load() - before, 100000);  // one poll waits 100 ms
    EXPECT_LT(Logged("Present"), recorder_->GetLog().size());
    host_.StopVideo();
    EXPECT_FALSE(FullScreenVideoOpen());
    EXPECT_FALSE(host_.PollFullScreenVideo());
}

TEST(EngineHostPack, PackArchiveIsCurrentAndTheGamesWhileOpen) {
    TempFolder folder;
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    FileSystem* before = GetCurrentFileSystem();
    {
        EngineHost host;
        EXPECT_FALSE(host.OpenPackArchive());  // none: files come from the system
        EXPECT_EQ(GamePackArchive, nullptr);

        // "MORV", 12 ignored bytes, no entries.
        folder.Put("pack.csa", std::string("MORV") + std::string(16, '\0'));
        ASSERT_TRUE(host.OpenPackArchive());
        ASSERT_NE(GamePackArchive, nullptr);
        EXPECT_EQ(GetCurrentFileSystem(), GamePackArchive);
        host.ClosePackArchive();
        EXPECT_EQ(GamePackArchive, nullptr);
        EXPECT_EQ(GetCurrentFileSystem(), before);

        ASSERT_TRUE(host.OpenPackArchive());  // the host's end closes it
    }
    EXPECT_EQ(GamePackArchive, nullptr);
    EXPECT_EQ(GetCurrentFileSystem(), before);
    std::filesystem::current_path(old);
}

// The world's services on the real actor core.
class EngineHostWorld : public ::testing::Test {
protected:
    void SetUp() override { ResetActorWorldForTests(); }
    void TearDown() override { ResetActorWorldForTests(); }
    EngineHost host_;
};

TEST_F(EngineHostWorld, ActorSystemAnswersWhichFixedActorCannotBeMade) {
    std::string error;
    ASSERT_TRUE(host_.InitActorSystem("game", &error)) << error;
    EXPECT_EQ(GetActorSystem()->baseFolder, "game");
    ResetActorWorldForTests();

    // Without the inventory's class the last fixed actor cannot be made.
    const ActorClassRow inventory = SetActorClassRowForTests(10, ActorClassRow{10});
    const bool made = host_.InitActorSystem("game", &error);
    SetActorClassRowForTests(10, inventory);
    EXPECT_FALSE(made);
    EXPECT_EQ(error, "cannot make the fixed actor \"Inventory\" (class 10, id 16)");
}

TEST_F(EngineHostWorld, GlobalTimeArrivesAsTheSameFloat) {
    std::string error;
    ASSERT_TRUE(host_.InitActorSystem("game", &error)) << error;
    for (float time : {2.75f, 0.5f, -3.0f, 0.0f}) {
        host_.SetGlobalTime(time);
        EXPECT_EQ(RootTimeRecord()->time, time);
        EXPECT_FLOAT_EQ(RootTimeRecord()->previousTime, time - 1.0f / 60.0f);
    }
}

}  // namespace
