// Camera, projection, fog, gamma and run-time lights, on a RecordingDevice.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "library/display.h"
#include "library/render/render_front_end.h"
#include "library/render/render_test_util.h"
#include "support/float_list.h"

namespace {

using namespace gfx;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class ViewStateTest : public rendertest::RenderTest {
  protected:
    Matrix Projection() const {
        Matrix m;
        device_->GetTransform(Transform::Projection, &m);
        return m;
    }
    static Matrix Expected(float fov, float aspect, float nearPlane, float farPlane) {
        Matrix m;
        MatrixPerspectiveFov(&m, fov, aspect, nearPlane, farPlane);
        return m;
    }
    static bool Same(const Matrix &a, const Matrix &b) {
        return std::memcmp(&a, &b, sizeof(Matrix)) == 0;
    }
};

TEST_F(ViewStateTest, ProjectionSettersAndTheFogCap) {
    library_.SetFieldOfView(1.0f);
    EXPECT_FLOAT_EQ(library_.GetFieldOfView(), 0.75f);
    // Start-up order: far first, then near.
    library_.SetFarClip(35000.0f);
    library_.SetNearClip(1.5f);
    EXPECT_TRUE(Same(Projection(), Expected(0.75f, 1.3333334f, 1.5f, 35000.0f)));

    library_.SetFogEnd(500.0f);
    library_.SetFogEnable(1);
    library_.SetNearClip(1.5f);
    EXPECT_TRUE(Same(Projection(), Expected(0.75f, 1.3333334f, 1.5f, 500.0f)));
    EXPECT_FLOAT_EQ(library_.GetFarClip(), 35000.0f);
    EXPECT_FLOAT_EQ(library_.GetProjectionFarClip(), 35000.0f);
    library_.SetFieldOfView(1.0f);
    EXPECT_TRUE(Same(Projection(), Expected(0.75f, 1.3333334f, 1.5f, 35000.0f)));

    // The cap applies only while the fog end lies beyond the near plane.
    library_.SetFogEnd(1.0f);
    library_.SetNearClip(2.0f);
    EXPECT_TRUE(Same(Projection(), Expected(0.75f, 1.3333334f, 2.0f, 35000.0f)));

    library_.SetAspectAdjust(2.0f);
    EXPECT_TRUE(Same(Projection(), Expected(0.75f, 2.0f, 2.0f, 35000.0f)));
}

TEST_F(ViewStateTest, ProjectionsThatCannotBeBuiltKeepTheLastValidOne) {
    library_.SetFarClip(35000.0f);
    library_.SetNearClip(1.5f);
    const Matrix good = Projection();

    // Non-finite values are ignored.
    for (float bad : {kNaN, kInf, -kInf}) {
        library_.SetNearClip(bad);
        library_.SetFarClip(bad);
        library_.SetFieldOfView(bad);
        library_.SetAspectAdjust(bad);
    }
    EXPECT_TRUE(FloatsEq({library_.GetNearClip(), library_.GetFarClip(), library_.GetFieldOfView()},
                         {1.5f, 35000.0f, 1.5707964f}));
    EXPECT_TRUE(Same(Projection(), good));

    // Stored but not sent while invalid.
    ClearLog();
    library_.SetNearClip(0.0f);
    library_.SetNearClip(-3.0f);
    library_.SetFieldOfView(0.0f);
    library_.SetFieldOfView(4.2f); // 0.75 x 4.2 > pi
    library_.SetAspectAdjust(-1.3333334f);
    EXPECT_TRUE(Lines("SetTransform 3").empty());
    EXPECT_FLOAT_EQ(library_.GetNearClip(), -3.0f);
    EXPECT_TRUE(Same(Projection(), good));
    library_.SetFieldOfView(2.0f);
    library_.SetAspectAdjust(1.0f);
    EXPECT_TRUE(Lines("SetTransform 3").empty());
    library_.SetNearClip(5.0f);
    EXPECT_TRUE(Same(Projection(), Expected(1.5f, 1.0f, 5.0f, 35000.0f)));

    // Near 5000 then far 50000 (script order) ends valid.
    library_.SetFarClip(4000.0f);
    library_.SetNearClip(5000.0f);
    EXPECT_TRUE(Same(Projection(), Expected(1.5f, 1.0f, 5.0f, 4000.0f)));
    library_.SetFarClip(50000.0f);
    EXPECT_TRUE(Same(Projection(), Expected(1.5f, 1.0f, 5000.0f, 50000.0f)));
}

TEST_F(ViewStateTest, CameraLookAtAxesAndScreenProjection) {
    library_.SetFarClip(35000.0f);
    library_.SetNearClip(1.5f);
    const Vector3 eye = {100.0f, 50.0f, -200.0f};
    const Vector3 target = {130.0f, 20.0f, 40.0f};
    const Vector3 up = {0.0f, 1.0f, 0.0f};
    library_.SetCameraLookAt(eye, target, up);
    Matrix view;
    GetViewMatrix(&view);
    Matrix expected;
    MatrixLookAt(&expected, eye, target, up);
    EXPECT_TRUE(Same(view, expected));
    EXPECT_FLOAT_EQ(library_.GetCameraPosition()[0], 100.0f);
    EXPECT_FLOAT_EQ(library_.GetCameraTarget()[2], 40.0f);

    Vector3 forward;
    Vector3 camUp;
    library_.GetCameraForward(&forward);
    library_.GetCameraUp(&camUp);
    Vector3 dir = {target.x - eye.x, target.y - eye.y, target.z - eye.z};
    Vec3Normalize(&dir, dir);
    EXPECT_NEAR(Vec3Dot(forward, dir), 1.0f, 1e-5f);
    EXPECT_TRUE(FloatsEq({camUp.x, camUp.y}, {view.m[0][1], view.m[1][1]}));

    // The stored rotation gives the same view back.
    library_.SetCameraTransform(eye, library_.GetCameraRotation());
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(library_.GetCameraView().m[r][c], expected.m[r][c], 1e-3f);
        }
    }

    Vector3 p = target;
    ProjectToScreen(&p);
    EXPECT_NEAR(p.x, 320.0f, 0.01f);
    EXPECT_NEAR(p.y, 240.0f, 0.01f);
    EXPECT_TRUE(p.z > 0.0f && p.z < 1.0f);

    // A point up and to the right lands up and to the right.
    Vector3 q = {target.x + camUp.x * 5, target.y + camUp.y * 5, target.z + camUp.z * 5};
    ProjectToScreen(&q);
    EXPECT_LT(q.y, 240.0f);
}

TEST_F(ViewStateTest, SidePlanesFollowATurnedCamera) {
    library_.SetFarClip(35000.0f);
    library_.SetNearClip(1.5f);
    // Looking steeply down and sideways.
    const Vector3 eye = {0.0f, 500.0f, 0.0f};
    const Vector3 target = {300.0f, 0.0f, 200.0f};
    library_.SetCameraLookAt(eye, target, {0.0f, 1.0f, 0.0f});
    Vector3 forward;
    library_.GetCameraForward(&forward);
    Vector3 camUp;
    library_.GetCameraUp(&camUp);
    Vector3 right;
    Vec3Cross(&right, camUp, forward);

    auto at = [&](float ahead, float side, float rise) {
        return Vector3{eye.x + forward.x * ahead + right.x * side + camUp.x * rise,
                       eye.y + forward.y * ahead + right.y * side + camUp.y * rise,
                       eye.z + forward.z * ahead + right.z * side + camUp.z * rise};
    };
    // Half-angles: vertical pi/4, horizontal 4/3 x pi/4 (the aspect times
    // the vertical angle).
    const float v = 1.5707964f / 2.0f;
    const float h = 1.3333334f * 1.5707964f / 2.0f;
    const float side = 400.0f * std::tan(h);
    const float rise = 400.0f * std::tan(v);
    EXPECT_TRUE(library_.IsSphereVisible(at(400.0f, 0.0f, 0.0f), 1.0f, nullptr, false));
    for (float k : {0.95f, -0.95f, 1.1f, -1.1f}) {
        const bool inside = std::fabs(k) < 1.0f;
        EXPECT_EQ(library_.IsSphereVisible(at(400.0f, side * k, 0.0f), 1.0f, nullptr, false), inside) << k;
        EXPECT_EQ(library_.IsSphereVisible(at(400.0f, 0.0f, rise * k), 1.0f, nullptr, false), inside) << k;
    }
}

TEST_F(ViewStateTest, ACameraThatIsNotFiniteKeepsTheLastFiniteOne) {
    library_.SetFarClip(35000.0f);
    library_.SetNearClip(1.5f);
    const Vector3 eye = {100.0f, 50.0f, -200.0f};
    const Vector3 target = {130.0f, 20.0f, 40.0f};
    const Vector3 up = {0.0f, 1.0f, 0.0f};
    // Everything the library keeps of its camera, and the device's view.
    auto camera = [this] {
        std::vector<uint8_t> bytes;
        auto add = [&bytes](const void *p, size_t n) {
            bytes.insert(bytes.end(), static_cast<const uint8_t *>(p),
                         static_cast<const uint8_t *>(p) + n);
        };
        add(library_.GetCameraPosition(), 12);
        add(library_.GetCameraTarget(), 12);
        add(&library_.GetCameraRotation(), sizeof(Quaternion));
        add(&library_.GetCameraView(), sizeof(Matrix));
        for (uint32_t i = 0; i < 4; ++i) {
            add(&library_.GetSidePlane(i), sizeof(Matrix));
        }
        Matrix view;
        GetViewMatrix(&view);
        add(&view, sizeof(view));
        return bytes;
    };
    auto spoil = [](Vector3 v, int axis, float bad) {
        (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = bad;
        return v;
    };
    for (const bool lookAt : {true, false}) {
        if (lookAt) {
            library_.SetCameraLookAt(eye, target, up);
        } else {
            library_.SetCameraTransform(eye, library_.GetCameraRotation());
        }
        const std::vector<uint8_t> kept = camera();
        const Quaternion rotation = library_.GetCameraRotation();
        for (const float bad : {kNaN, kInf, -kInf}) {
            for (int axis = 0; axis < 4; ++axis) {
                const std::string what =
                    std::string(lookAt ? "look-at, " : "transform, ") + std::to_string(bad) +
                    " on axis " + std::to_string(axis);
                if (axis < 3) {
                    library_.SetCameraLookAt(spoil(eye, axis, bad), target, up);
                    EXPECT_EQ(camera(), kept) << what << " of the eye";
                    library_.SetCameraLookAt(eye, spoil(target, axis, bad), up);
                    EXPECT_EQ(camera(), kept) << what << " of the target";
                    library_.SetCameraLookAt(eye, target, spoil(up, axis, bad));
                    EXPECT_EQ(camera(), kept) << what << " of the up vector";
                    library_.SetCameraTransform(spoil(eye, axis, bad), rotation);
                    EXPECT_EQ(camera(), kept) << what << " of the position";
                }
                Quaternion turned = rotation;
                (axis == 0 ? turned.x : axis == 1 ? turned.y : axis == 2 ? turned.z : turned.w) =
                    bad;
                library_.SetCameraTransform(eye, turned);
                EXPECT_EQ(camera(), kept) << what << " of the rotation";
            }
        }
        // What the walk sees ahead is still seen.
        Vector3 forward;
        library_.GetCameraForward(&forward);
        EXPECT_TRUE(library_.IsSphereVisible(Vec3Add(eye, Vec3Scale(forward, 400.0f)), 1.0f,
                                             nullptr, false));
    }
    // A finite camera is taken again.
    library_.SetCameraTransform({1.0f, 2.0f, 3.0f}, library_.GetCameraRotation());
    EXPECT_EQ(library_.GetCameraPosition()[2], 3.0f);
}

TEST_F(ViewStateTest, FogSettersSetTheirStates) {
    library_.SetFogColor(0xFF102030u);
    library_.SetFogStart(100.0f);
    library_.SetFogEnd(900.0f);
    EXPECT_EQ(RenderState(RenderState::FogColor), 0xFF102030u);
    ClearLog();
    library_.SetFogEnable(1);
    EXPECT_EQ(RenderState(RenderState::FogEnd), std::bit_cast<uint32_t>(900.0f));
    EXPECT_EQ(RenderState(RenderState::FogStart), std::bit_cast<uint32_t>(100.0f));
    EXPECT_EQ(RenderState(RenderState::FogVertexMode), FogMode::Linear);
    EXPECT_EQ((std::tuple{RenderState(RenderState::FogEnable), Log().size()}),
              (std::tuple{1u, 4u}));
    ClearLog();
    library_.SetFogEnable(0);
    EXPECT_EQ(Log(), std::vector<std::string>{Rs(RenderState::FogEnable, 0)});
    EXPECT_FLOAT_EQ(library_.GetFogEnd(), 900.0f);
    // Distances that are not finite leave the held ones, and the device's.
    for (const float bad : {NAN, INFINITY, -INFINITY}) {
        library_.SetFogStart(bad);
        library_.SetFogEnd(bad);
    }
    EXPECT_EQ(std::tuple(library_.GetFogStart(), library_.GetFogEnd(),
                         RenderState(RenderState::FogStart), RenderState(RenderState::FogEnd)),
              std::tuple(100.0f, 900.0f, std::bit_cast<uint32_t>(100.0f),
                         std::bit_cast<uint32_t>(900.0f)));
}

// --- lights ---------------------------------------------------------------------------

TEST_F(ViewStateTest, CreatedLightsAndTheirIndices) {
    LightItem *a = library_.CreateLight();
    LightItem *b = library_.CreateLight();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetLightType(a), uint32_t(kLightPoint));
    EXPECT_EQ(std::vector<float>({GetLightDiffuse(a).r, GetLightDiffuse(a).a, GetLightRange(a),
                                  GetLightAttenuation0(a), GetLightAttenuation1(a)}),
              std::vector<float>({1.0f, 0.0f, 200.0f, 1.0f, 0.001f}));
    EXPECT_EQ(a->deviceIndex * 10 + b->deviceIndex, 1u);
    EXPECT_EQ(library_.GetLightCount(), 2u);

    // Destroying a light never enabled still switches its slot off; indices
    // are not reused.
    ClearLog();
    library_.DestroyLight(a);
    EXPECT_EQ(Log(), std::vector<std::string>{"LightEnable 0 0"});
    LightItem *c = library_.CreateLight();
    EXPECT_EQ((std::tuple{c->deviceIndex, library_.GetLightCount()}), (std::tuple{2u, 2u}));
    library_.DestroyLight(nullptr);

    // Null lights: setters ignore, getters answer zeros.
    SetLightRange(nullptr, 5.0f);
    EXPECT_EQ(GetLightRange(nullptr), 0.0f);
    Vector3 p = {1, 2, 3};
    GetLightPosition(nullptr, &p);
    EXPECT_EQ(p.x, 0.0f);
    ApplyLight(nullptr);
    ClearLog();
    SetLightPosition(c, {1.0f, 2.0f, 3.0f});
    ApplyLight(c);
    EXPECT_EQ(Log(), std::vector<std::string>{"SetLight 2 1"});
    Light l;
    device_->GetLight(2, &l);
    EXPECT_FLOAT_EQ(l.position.y, 2.0f);
}

TEST_F(ViewStateTest, EnablingLocalAndDirectionalLights) {
    LightItem *point = library_.CreateLight();
    LightItem *sun = library_.CreateLight();
    SetLightType(sun, kLightDirectional);
    ClearLog();
    library_.EnableLight(point, true);
    library_.EnableLight(point, true);
    EXPECT_EQ(library_.GetLocalLightCount(), 1u);
    EXPECT_TRUE(Log().empty()); // switched on per instance by the 3D pass
    EXPECT_EQ(library_.GetLocalLight(0), point);
    EXPECT_TRUE(library_.GetLocalLight(1) == nullptr && library_.GetLocalLight(0xFFFFFFFFu) == nullptr);

    library_.EnableLight(sun, true);
    EXPECT_EQ(Log(), std::vector<std::string>{"LightEnable 1 1"});
    EXPECT_EQ(library_.GetLocalLightCount(), 1u);

    ClearLog();
    LightItem *other = library_.CreateLight();
    library_.EnableLight(other, false); // not listed: nothing
    EXPECT_TRUE(Log().empty());
    library_.EnableLight(point, false);
    EXPECT_EQ(Log(), std::vector<std::string>{"LightEnable 0 0"});
    EXPECT_EQ(library_.GetLocalLightCount(), 0u);
    library_.EnableLight(nullptr, true);

    // Destroying an enabled local light takes it off the active list too.
    library_.EnableLight(other, true);
    library_.DestroyLight(other);
    EXPECT_EQ(library_.GetLocalLightCount(), 0u);
}

TEST_F(ViewStateTest, DestroyingALibraryLightKeepsTheItem) {
    LightItem item;
    item.deviceIndex = 40;
    library_.EnableLight(&item, true);
    ClearLog();
    library_.DestroyLight(&item);
    EXPECT_EQ(Log(), std::vector<std::string>{"LightEnable 40 0"});
    EXPECT_EQ(library_.GetLocalLightCount() + item.active, 0u);
    EXPECT_EQ(item.deviceIndex, 40u); // still alive: ASan would object otherwise
}

TEST_F(ViewStateTest, LightAtAPoint) {
    LightItem *light = library_.CreateLight();
    SetLightPosition(light, {0.0f, 0.0f, 0.0f});
    SetLightDiffuse(light, {1.0f, 0.5f, 0.25f, 1.0f});
    float color[4] = {};
    EXPECT_TRUE(ComputeLightAtPoint(light, color, {100.0f, 0.0f, 0.0f}));
    EXPECT_TRUE(FloatsEq({color[0], color[1]}, {1.0f / 1.1f, 0.5f / 1.1f}));
    EXPECT_FALSE(ComputeLightAtPoint(light, color, {200.0f, 0.0f, 0.0f}) ||
                 ComputeLightAtPoint(nullptr, color, {0.0f, 0.0f, 0.0f}));
    // No positive denominator: no light rather than an infinite or negative one.
    SetLightAttenuation1(light, 0.0f);
    for (float a0 : {0.0f, -1.0f}) {
        SetLightAttenuation0(light, a0);
        EXPECT_FALSE(ComputeLightAtPoint(light, color, {10.0f * -a0, 0.0f, 0.0f})) << a0;
    }
}

TEST_F(ViewStateTest, RestoreSetsLightsAndFogAgain) {
    LightItem *a = library_.CreateLight();
    library_.CreateLight();
    library_.SetFogColor(0x123456u);
    library_.SetFogStart(10.0f);
    library_.SetFogEnd(20.0f);
    library_.SetFogEnable(1);
    SetLightRange(a, 77.0f);
    ClearLog();
    RegisterRenderFrontEnd();
    library_.RestoreDeviceState();
    SetRestoreDeviceStateHook(nullptr);
    SetDrawBucketSetUpHook({});
    EXPECT_EQ(Lines("SetLight ").size(), 2u);
    Light l;
    device_->GetLight(0, &l);
    EXPECT_FLOAT_EQ(l.range, 77.0f);
    EXPECT_TRUE(Logged(Rs(RenderState::FogColor, 0x123456u)));
    EXPECT_EQ(RenderState(RenderState::FogEnable), 1u);
}

} // namespace
