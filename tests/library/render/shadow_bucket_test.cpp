// Bucket 4 on the recording device: which callbacks run, the states each
// step sets, the debug keys, the camera distance, and instances whose mesh
// or world matrix gives no volume.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library/display.h"
#include "library/render/render_test_util.h"
#include "library/render/shadow_volume.h"
#include "platform/input.h"
#include "platform/os/scripted_input_backend.h"

namespace {

using namespace gfx;
using rendertest::MakeMaterial;
using rendertest::MakeMesh;
using rendertest::Translation;

// A cube of half-size 10 around the origin, outward faces; position,
// normal, (u, v) at 32 bytes.
std::vector<uint8_t> CubeVertices() {
    std::vector<uint8_t> out;
    for (int i = 0; i < 8; ++i) {
        const float f[8] = {(i & 1) ? 10.0f : -10.0f, (i & 2) ? 10.0f : -10.0f,
                            (i & 4) ? 10.0f : -10.0f, 0, 0, 0, 0, 0};
        const auto *b = reinterpret_cast<const uint8_t *>(f);
        out.insert(out.end(), b, b + sizeof f);
    }
    return out;
}
const std::vector<uint16_t> kCube = {2, 6, 7, 2, 7, 3, 0, 5, 4, 0, 1, 5, 0, 2, 3, 0, 3, 1,
                                     4, 5, 7, 4, 7, 6, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};

class ShadowBucketTest : public rendertest::RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        InitInput(&keys_);
        InstallShadowVolumes(library_);
        library_.SetFarClip(35000.0f);
        library_.SetCameraTransform({0.0f, 0.0f, -500.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
        ASSERT_TRUE(rendertest::AddSubset(*cube_, *device_, 0x112, 32, CubeVertices(), 1, kCube));
    }
    void TearDown() override {
        for (DrawInstance *i : std::vector<DrawInstance *>(made_)) {
            library_.DestroyDrawInstance(i);
        }
        cube_->subsets.clear();
        ReleaseShadowQuad();
        RenderTest::TearDown();
    }

    DrawInstance *Make(MeshItem *mesh, const Matrix *world) {
        DrawInstance *i = library_.CreateDrawInstance(mesh, 0, caster_.get(), world, 0, 0.0f);
        made_.push_back(i);
        return i;
    }
    void Frame(DrawInstance *instance) {
        if (instance != nullptr) {
            library_.QueueDrawInstance(instance, 0.0f, 1.0f);
        }
        ClearLog();
        library_.DrawScene();
    }
    // Draws of the volumes (position only) and of the quad.
    size_t VolumeDraws() const { return DrawsOf(Fvf::Xyz); }
    size_t QuadDraws() const { return DrawsOf(Fvf::XyzRhw | Fvf::Diffuse); }
    size_t DrawsOf(uint32_t fvf) const {
        size_t n = 0;
        for (const RecordedDraw &d : recording_->GetDraws()) {
            n += d.fvf == fvf ? 1 : 0;
        }
        return n;
    }

    ScriptedInputBackend keys_;
    std::unique_ptr<MaterialItem> caster_ = MakeMaterial(0, 16);
    std::unique_ptr<MeshItem> cube_ = MakeMesh({{0.0f, 0.0f, 0.0f, 20.0f}});
    Matrix at_ = Translation(0.0f, 0.0f, 0.0f);
    std::vector<DrawInstance *> made_;
};

TEST_F(ShadowBucketTest, EmptyBucketRunsNothing) {
    Make(cube_.get(), &at_); // made, never queued
    Frame(nullptr);
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(recording_->GetDraws().empty());
}

TEST_F(ShadowBucketTest, StateSequenceOfOneVolume) {
    Texture *t0 = nullptr;
    Texture *t1 = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, Format::A8R8G8B8, Pool::Managed, &t0), Result::Ok);
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, Format::A8R8G8B8, Pool::Managed, &t1), Result::Ok);
    device_->SetTexture(0, t0);
    device_->SetTexture(1, t1);
    DrawInstance *i = Make(cube_.get(), &at_);
    ASSERT_NE(i->shadowVolume, nullptr);
    Frame(i);

    std::vector<std::string> states = Lines("SetRenderState");
    const std::vector<std::string> want = {
        // begin
        Rs(14, 0), Rs(52, 1), Rs(9, 1), Rs(27, 1), Rs(19, 1), Rs(20, 2), Rs(137, 0), Rs(28, 0),
        // the two passes
        Rs(56, 8), Rs(53, 1), Rs(54, 1), Rs(57, 1), Rs(58, 0xFFFFFFFFu), Rs(59, 0xFFFFFFFFu),
        Rs(55, 7), Rs(22, 3), Rs(22, 2), Rs(55, 8),
        // end, the quad, the rest of end
        Rs(8, 3), Rs(22, 3), Rs(14, 1), Rs(7, 0), Rs(19, 5), Rs(20, 6), Rs(137, 0), Rs(57, 1),
        Rs(56, 4), Rs(55, 1), Rs(53, 1), Rs(9, 2), Rs(7, 1), Rs(52, 0), Rs(27, 0)};
    EXPECT_EQ(states, want);
    // Caps and sides twice, then the quad; textures off meanwhile.
    ASSERT_EQ(recording_->GetDraws().size(), 5u);
    EXPECT_EQ((std::tuple{VolumeDraws(), QuadDraws()}), (std::tuple{4u, 1u}));
    for (const RecordedDraw &d : recording_->GetDraws()) {
        EXPECT_TRUE(d.textures[0] == nullptr && d.textures[1] == nullptr);
    }
    EXPECT_EQ(StageState(0, StageState::ColorOp), TextureOp::Modulate); // put back after the quad
    Texture *bound[2] = {};
    device_->GetTexture(0, &bound[0]);
    device_->GetTexture(1, &bound[1]);
    EXPECT_TRUE(bound[0] == t0 && bound[1] == t1);
    EXPECT_EQ(GetBlendForceMask(), 0xFFFFFFFFu);
    device_->SetTexture(0, nullptr);
    device_->SetTexture(1, nullptr);
    t0->Release();
    t1->Release();
}

TEST_F(ShadowBucketTest, DebugKeys) {
    DrawInstance *i = Make(cube_.get(), &at_);
    keys_.SetKey(kShadowKeyWireFrame, true);
    Frame(i);
    EXPECT_TRUE(Logged(Rs(RenderState::FillMode, Fill::Wireframe)));
    EXPECT_TRUE(Logged(Rs(RenderState::SrcBlend, Blend::One)));
    EXPECT_TRUE(Logged(Rs(RenderState::DestBlend, Blend::Zero)));
    EXPECT_EQ((std::tuple{VolumeDraws(), QuadDraws()}), (std::tuple{4u, 0u}));
    keys_.SetKey(kShadowKeyWireFrame, false);

    keys_.SetKey(kShadowKeyCapsOnly, true);
    Frame(i);
    ASSERT_EQ(VolumeDraws(), 2u);
    for (const RecordedDraw &d : recording_->GetDraws()) {
        if (d.fvf == Fvf::Xyz) {
            EXPECT_EQ(d.primitiveCount, 12u); // caps only
        }
    }
    EXPECT_EQ(QuadDraws(), 1u);
}

TEST_F(ShadowBucketTest, CameraDistanceIsMeasuredFromBelowTheLight) {
    // The object at (30, 150, 170): its shadow's middle (0, 0, 200).
    Matrix world = Translation(30.0f, 150.0f, 170.0f);
    DrawInstance *i = Make(cube_.get(), &world);
    library_.SetCameraTransform({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
    Frame(i);
    EXPECT_EQ(VolumeDraws(), 0u);
    EXPECT_EQ(QuadDraws(), 1u); // the bucket still ran
    world = Translation(30.0f, 150.0f, 170.01f);
    Frame(i);
    EXPECT_EQ(VolumeDraws(), 4u);
}

TEST_F(ShadowBucketTest, NoVolumeWithoutMeshOrInverse) {
    // A world matrix scaled by 0 has no inverse.
    Matrix flat;
    MatrixScaling(&flat, 0.0f, 0.0f, 0.0f);
    DrawInstance *squashed = Make(cube_.get(), &flat);
    Frame(squashed);
    EXPECT_EQ(VolumeDraws(), 0u);

    // Made before its mesh was loaded: no buffers yet, a shadow once loaded.
    auto late = MakeMesh({{0.0f, 0.0f, 0.0f, 20.0f}});
    late->loaded = 0;
    DrawInstance *i = Make(late.get(), &at_);
    ASSERT_NE(i->shadowVolume, nullptr);
    EXPECT_EQ(i->shadowVolume->sideBuffer, nullptr);
    Frame(i);
    EXPECT_EQ(VolumeDraws(), 0u); // the bucket loads nothing
    ASSERT_TRUE(rendertest::AddSubset(*late, *device_, 0x112, 32, CubeVertices(), 1, kCube));
    late->loaded = 1;
    Frame(i);
    EXPECT_EQ(VolumeDraws(), 4u);
    library_.DestroyDrawInstance(i);
    made_.pop_back();
    late->subsets.clear();
}

MeshItem *g_swapMesh = nullptr;

TEST_F(ShadowBucketTest, PreDrawCallbackRunsFirstAndMayDestroy) {
    // The callback hands the instance its mesh: the build reads it afterwards.
    auto empty = MakeMesh({{0.0f, 0.0f, 0.0f, 20.0f}});
    Matrix world = Translation(30.0f, 0.0f, -430.0f);
    DrawInstance *i = Make(empty.get(), &world);
    g_swapMesh = cube_.get();
    SetDrawInstancePreDrawCallback(i, [](DrawInstance *d) { d->mesh = g_swapMesh; });
    // Even in a frame the distance test then skips (180 units).
    i->mesh = empty.get();
    Frame(i);
    EXPECT_EQ((std::tuple{i->mesh, VolumeDraws()}), (std::tuple{cube_.get(), 0u}));
    library_.SetCameraTransform({0.0f, 0.0f, -1000.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
    i->mesh = empty.get();
    Frame(i);
    EXPECT_EQ(VolumeDraws(), 4u);

    // A callback that destroys its instance: nothing built or drawn.
    SetDrawInstancePreDrawCallback(i, [](DrawInstance *d) {
        GetLibrary()->DestroyDrawInstance(d);
    });
    made_.clear();
    Frame(i);
    EXPECT_EQ(VolumeDraws(), 0u);
}

TEST_F(ShadowBucketTest, AFrameThatDrawsNothingBuildsNoVolume) {
    DrawInstance *i = Make(cube_.get(), &at_);
    int preDraws = 0;
    static int *counter = nullptr;
    counter = &preDraws;
    SetDrawInstancePreDrawCallback(i, [](DrawInstance *) { ++*counter; });
    device_->SetDrawingSkipped(true);
    Frame(i);
    // The skinning callback still runs; nothing is built, set or drawn for
    // the volume (only the bucket's begin and end and the quad's draw).
    EXPECT_EQ(preDraws, 1);
    EXPECT_EQ((std::tuple{i->shadowVolume->capTriangles, i->shadowVolume->sideTriangles}),
              (std::tuple{0u, 0u}));
    EXPECT_TRUE(Lines("SetTransform").empty());
    EXPECT_EQ(Lines("DrawPrimitive ").size(), 1u);
    device_->SetDrawingSkipped(false);
    Frame(i);
    EXPECT_EQ(preDraws, 2);
    EXPECT_EQ((std::tuple{i->shadowVolume->capTriangles, VolumeDraws(), QuadDraws()}),
              (std::tuple{12u, 4u, 1u}));
}

TEST_F(ShadowBucketTest, QuadCoversTheViewportOfItsMaking) {
    ClearLog();
    CreateShadowQuad();
    // 640 x 480 at creation; (0, 0), (W, 0), (0, H), (W, H), z 0, rhw 1.
    DrawShadowQuad();
    ASSERT_EQ(recording_->GetDraws().size(), 1u);
    const RecordedDraw &d = recording_->GetDraws()[0];
    EXPECT_EQ(std::vector<uint32_t>({d.primitive, d.primitiveCount, d.stride}),
              std::vector<uint32_t>({Primitive::TriangleStrip, 2, 20}));
    struct Tl {
        float x, y, z, rhw;
        uint32_t color;
    } expected[4] = {{0, 0, 0, 1, 0x99000000u},
                     {640, 0, 0, 1, 0x99000000u},
                     {0, 480, 0, 1, 0x99000000u},
                     {640, 480, 0, 1, 0x99000000u}};
    ASSERT_EQ(d.vertices.size(), sizeof expected);
    EXPECT_EQ(std::memcmp(d.vertices.data(), expected, sizeof expected), 0);
    // Not rebuilt when the viewport changes.
    Viewport small;
    small.width = 100;
    small.height = 100;
    device_->SetViewport(small);
    recording_->ClearDraws();
    DrawShadowQuad();
    float x = 0;
    std::memcpy(&x, &recording_->GetDraws()[0].vertices[20], 4);
    EXPECT_EQ(x, 640.0f);
    // No quad: nothing drawn.
    ReleaseShadowQuad();
    recording_->ClearDraws();
    DrawShadowQuad();
    EXPECT_TRUE(recording_->GetDraws().empty());
}

TEST_F(ShadowBucketTest, DisplayStartUpInstallsTheCallbacksAndTheQuad) {
    library_.SetBucketBeginCallback(4, nullptr);
    library_.SetBucketInstanceCallback(4, nullptr);
    ReleaseShadowQuad();
    RegisterRenderFrontEnd();
    RegisterShadowVolumes();
    ASSERT_TRUE(library_.StartDeviceServices(0));
    const DrawBucket *b = library_.GetDrawBucket(4);
    EXPECT_TRUE(b->createCallback == ShadowBucketCreate &&
                b->releaseCallback == ShadowBucketRelease && b->beginCallback == ShadowBucketBegin &&
                b->instanceCallback == ShadowBucketInstance && b->endCallback == ShadowBucketEnd);
    EXPECT_EQ(b->skipDraw, 1u);
    recording_->ClearDraws();
    DrawShadowQuad();
    EXPECT_EQ(recording_->GetDraws().size(), 1u);
    SetShadowQuadHook({});
    SetDrawBucketSetUpHook({});
}

} // namespace
