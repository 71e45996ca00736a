// Video textures: opening, the media clock, binds and draws bringing in the
// due picture, stop and restart, the end of a film, texture items of the
// wrong class, failed films as library items, bad files and teardown.
#include <fstream>
#include <random>

#include "library/texture_items.h"
#include "video_fixture.h"

namespace videotest {
namespace {

// One textured pre-transformed quad with whatever is bound.
void DrawQuad(gfx::Device *device) {
    struct V {
        float x, y, z, rhw, u, v;
    };
    const V quad[4] = {{0, 0, 0, 1, 0, 0}, {8, 0, 0, 1, 1, 0}, {0, 8, 0, 1, 0, 1},
                       {8, 8, 0, 1, 1, 1}};
    device->SetVertexShader(gfx::Fvf::XyzRhw | gfx::Fvf::Tex1);
    ASSERT_EQ(device->DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, quad, sizeof(V)), 0);
}

struct TextureItemHolder {
    std::unique_ptr<LibraryItem> item = CreateLibraryItem(0);
    TextureItem *Get() { return static_cast<TextureItem *>(item.get()); }
};

class VideoTextureTest : public VideoTest,
                         public ::testing::WithParamInterface<filmwriter::Container> {};

TEST_P(VideoTextureTest, PlaysByTheMediaClockOnBindsAndDraws) {
    const bool mpeg = GetParam() == filmwriter::Container::Mpeg;
    const std::string path = ColorFilm(mpeg ? "film.mpg" : "film.avi", GetParam());
    TextureObject *object = Open(path);
    ASSERT_NE(object, nullptr);
    TextureItemHolder holder;
    holder.Get()->texture = object; // not loaded: the item leaves it to the fixture

    gfx::SurfaceDesc desc;
    ASSERT_EQ(object->texture->GetLevelDesc(0, &desc), 0);
    EXPECT_EQ(std::vector<uint32_t>({desc.width, desc.height, desc.format,
                                     object->texture->GetLevelCount(), GetTextureObjectHeight(object)}),
              std::vector<uint32_t>({64, 48, gfx::Format::A8R8G8B8, 1, 48}));
    EXPECT_TRUE(AllZero(object));

    // Not started: time passes and binds bring nothing in.
    clock_.Advance(1.0);
    BindVideoTexture(holder.item.get(), 0);
    EXPECT_TRUE(AllZero(object));

    RestartVideoTexture(holder.item.get());
    clock_.Advance(1.0);
    ASSERT_TRUE(WaitForVideoTexture(object, 10000)); // draws do not wait for the decoder
    BindVideoTexture(holder.item.get(), 0);
    gfx::Texture *bound = nullptr;
    GetD3DDevice()->GetTexture(0, &bound);
    EXPECT_EQ(bound, object->texture);
    uint32_t alpha = 0;
    EXPECT_TRUE(ColorNear(Texel(object, 10, 10, &alpha), FrameColor(25)));
    EXPECT_EQ(alpha, 0xFFu);

    // Left bound, no further bind: the draw brings in the due picture.
    clock_.Advance(0.5);
    ASSERT_TRUE(WaitForVideoTexture(object, 10000));
    DrawQuad(GetD3DDevice());
    EXPECT_TRUE(ColorNear(Texel(object, 63, 47), FrameColor(37)));

    StopVideoTexture(holder.item.get());
    EXPECT_TRUE(AllZero(object));
    GetD3DDevice()->SetTexture(0, nullptr);
}

TEST_P(VideoTextureTest, KeepsTheLastPictureAfterItsEndAndRestartsFromTheFirst) {
    const bool mpeg = GetParam() == filmwriter::Container::Mpeg;
    TextureObject *object = Open(ColorFilm(mpeg ? "end.mpg" : "end.avi", GetParam(), 10));
    ASSERT_NE(object, nullptr);
    // The picture shown `seconds` later.
    auto after = [&](double seconds) {
        clock_.Advance(seconds);
        EXPECT_TRUE(WaitForVideoTexture(object, 10000));
        SetVideoStageTexture(object, 0);
        return Texel(object, 0, 0);
    };
    RunVideoTexture(object);
    EXPECT_TRUE(ColorNear(after(5.0), FrameColor(9)));
    EXPECT_TRUE(ColorNear(after(5.0), FrameColor(9)));

    ResetVideoTexture(object);
    RunVideoTexture(object);
    EXPECT_TRUE(ColorNear(after(0.0), FrameColor(0)));
    EXPECT_TRUE(ColorNear(after(0.2), FrameColor(5)));
    GetD3DDevice()->SetTexture(0, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoTextureTest,
                         ::testing::Values(filmwriter::Container::Mpeg,
                                           filmwriter::Container::Avi),
                         [](const auto &info) {
                             return info.param == filmwriter::Container::Mpeg ? "Mpeg" : "Avi";
                         });

TEST_F(VideoTest, RowsStayTopDown) {
    filmwriter::FilmSpec spec;
    spec.frames = 5;
    spec.picture = [](int, std::vector<uint8_t> &bgrx) {
        filmwriter::FillColor(bgrx, 0x0000FF);
        std::vector<uint8_t> top(bgrx.size() / 2);
        filmwriter::FillColor(top, 0xFF0000);
        std::copy(top.begin(), top.end(), bgrx.begin());
    };
    ASSERT_TRUE(filmwriter::WriteFilm(temp_ / "halves.mpg", spec));
    TextureObject *object = Open(temp_ / "halves.mpg");
    ASSERT_NE(object, nullptr);
    RunVideoTexture(object);
    ASSERT_TRUE(WaitForVideoTexture(object, 10000));
    SetVideoStageTexture(object, 0);
    EXPECT_TRUE(ColorNear(Texel(object, 32, 0), 0xFF0000, 24));
    EXPECT_TRUE(ColorNear(Texel(object, 32, 47), 0x0000FF, 24));
    GetD3DDevice()->SetTexture(0, nullptr);
}

TEST_F(VideoTest, NullImageAndForeignItemsDoNothing) {
    gfx::RecordingDevice *device = Recorder();
    ASSERT_NE(device, nullptr);

    // An image texture object: no film, no device call.
    auto *image = new TextureObject();
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed,
                                    &image->texture),
              0);
    objects_.push_back(image);
    device->ClearLog();
    ResetVideoTexture(image);
    RunVideoTexture(image);
    ResetVideoTexture(nullptr);
    RunVideoTexture(nullptr);
    EXPECT_TRUE(device->GetLog().empty());

    device->SetTexture(0, image->texture);
    BindVideoTexture(nullptr, 0);
    gfx::Texture *bound = image->texture;
    device->GetTexture(0, &bound);
    EXPECT_EQ((std::tuple{bound, GetTextureItemHeight(nullptr)}), (std::tuple{nullptr, 0u}));

    // A mesh item in a texture slot counts as null.
    std::unique_ptr<LibraryItem> mesh = CreateLibraryItem(1);
    ASSERT_NE(mesh, nullptr);
    device->SetTexture(0, image->texture);
    BindVideoTexture(mesh.get(), 0);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    RestartVideoTexture(mesh.get());
    StopVideoTexture(mesh.get());
    EXPECT_EQ(GetTextureItemHeight(mesh.get()), 0u);


    uint32_t w = 0, h = 0;
    VideoTextureSize(320, -240, &w, &h);
    EXPECT_EQ(w * 1000 + h, 320240u);
}

TEST_F(VideoTest, FailedFilmItemIsLoadedWithoutTextureAndReportsIt) {
    TextureItem item;
    item.fileName = "missing.avi";
    EXPECT_EQ(GetLibrary()->LoadTextureFile(&item), 1);
    EXPECT_EQ(item.texture, nullptr);
    EXPECT_STREQ(GetLibrary()->GetLastError(), "Error: Create Texture Library Item Texture");

    // A film that opens: found through the case-insensitive resolution.
    ColorFilm("Data/Clip.AVI", filmwriter::Container::Avi, 3);
    item.fileName = "clip.avi";
    EXPECT_EQ(GetLibrary()->LoadTextureFile(&item), 1);
    ASSERT_NE(item.texture, nullptr);
    EXPECT_NE(item.texture->video, nullptr);
    DestroyTextureObject(item.texture);
    item.texture = nullptr;
}

TEST_F(VideoTest, RandomBytesAndMissingFilesGiveNull) {
    std::mt19937 random(7);
    for (int i = 0; i < 8; ++i) {
        std::string bytes(size_t(1000 + i * 3000), '\0');
        for (char &c : bytes) {
            c = char(random());
        }
        if (i % 2 == 1) {
            // A pack header in front makes the probe take it for a program stream.
            const char pack[] = {0, 0, 1, char(0xBA)};
            bytes.replace(0, 4, pack, 4);
        }
        temp_.Put("noise" + std::to_string(i) + ".mpg", bytes);
        EXPECT_EQ(Open(temp_ / ("noise" + std::to_string(i) + ".mpg")), nullptr) << i;
    }
    EXPECT_EQ(Open(temp_ / "none.mpg"), nullptr);
    EXPECT_EQ(OpenVideoTexture(nullptr), nullptr);
}

TEST_F(VideoTest, DestroyingRunningFilmsIsClean) {
    const std::string path = ColorFilm("run.mpg", filmwriter::Container::Mpeg, 25);
    for (int i = 0; i < 4; ++i) {
        TextureObject *object = OpenVideoTexture(path.c_str());
        ASSERT_NE(object, nullptr);
        RunVideoTexture(object);
        GetD3DDevice()->SetTexture(0, object->texture);
        clock_.Advance(0.1 * i);
        if (i % 2 == 0) {
            SetVideoStageTexture(object, 0);
        }
        DestroyTextureObject(object);
        // Still bound on the device: drawing must not reach the freed film.
        struct V {
            float x, y, z, rhw, u, v;
        } tri[3] = {};
        GetD3DDevice()->SetVertexShader(gfx::Fvf::XyzRhw | gfx::Fvf::Tex1);
        GetD3DDevice()->DrawPrimitiveUP(gfx::Primitive::TriangleList, 1, tri, sizeof(V));
        GetD3DDevice()->SetTexture(0, nullptr);
    }
}

TEST_F(VideoTest, DecodingBlockedInAReadDoesNotHoldTheDrawingThread) {
    std::atomic<int> blocked{0};
    SetFilmSourceOpener([&](const std::string &) {
        auto source = std::make_unique<ScriptedSource>();
        source->blockAt = 2;
        source->blockedReads = &blocked;
        return source;
    });
    temp_.Put("stuck.mpg", "x");
    TextureObject *object = Open(temp_ / "stuck.mpg");
    ASSERT_NE(object, nullptr);
    RunVideoTexture(object);
    clock_.Advance(1.0);
    while (blocked.load() == 0) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const auto start = std::chrono::steady_clock::now();
    SetVideoStageTexture(object, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_TRUE(ColorNear(Texel(object, 0, 0), FrameColor(1), 0));
    GetD3DDevice()->SetTexture(0, nullptr);
    // Teardown interrupts the blocked read and joins the thread.
}

TEST_F(VideoTest, BindsKeepTheLastPictureWhileASlowDecoderCatchesUp) {
    SetFilmSourceOpener([&](const std::string &) {
        auto source = std::make_unique<ScriptedSource>();
        source->frames = 100;
        source->delay = std::chrono::milliseconds(30); // each picture: busy, never stuck
        return source;
    });
    temp_.Put("slow.mpg", "x");
    TextureObject *object = Open(temp_ / "slow.mpg");
    ASSERT_NE(object, nullptr);
    RunVideoTexture(object);
    ASSERT_TRUE(WaitForVideoTexture(object, 10000));
    SetVideoStageTexture(object, 0);
    EXPECT_TRUE(ColorNear(Texel(object, 0, 0), FrameColor(0), 0));

    // Picture 25 is due, some 17 reads of 30 ms away: the bind does not wait.
    clock_.Advance(1.0);
    const auto start = std::chrono::steady_clock::now();
    SetVideoStageTexture(object, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    int shown = -1;
    for (int k = 0; k < 25; ++k) {
        if (Texel(object, 0, 0) == FrameColor(k)) {
            shown = k;
        }
    }
    EXPECT_GE(shown, 0) << "an earlier picture stays up";

    // Later binds catch up.
    ASSERT_TRUE(WaitForVideoTexture(object, 10000));
    SetVideoStageTexture(object, 0);
    EXPECT_TRUE(ColorNear(Texel(object, 0, 0), FrameColor(25), 0));
    GetD3DDevice()->SetTexture(0, nullptr);
}

} // namespace
} // namespace videotest
