// Camera, projection, fog, gamma and run-time lights of the resource library.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "library/library_item.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "platform/graphics.h"

namespace {

using namespace gfx;

constexpr float kPi = 3.14159265358979f;

bool IsLocal(const LightItem *light) {
    return light->light.type == kLightPoint || light->light.type == kLightSpot;
}

bool IsFinite(const Matrix &m) {
    for (const auto &row : m.m) {
        for (const float value : row) {
            if (!std::isfinite(value)) {
                return false;
            }
        }
    }
    return true;
}

bool IsFinite(const ColorValue &c) {
    return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b) && std::isfinite(c.a);
}

// A light one of whose colours is not finite lights nothing: it would make
// every point it reaches, and all that other lights add there, not finite.
bool LightsNothing(const Light &l) {
    return !IsFinite(l.diffuse) || !IsFinite(l.specular) || !IsFinite(l.ambient);
}

// Removes the first entry with the light's device index.
void RemoveFirstWithIndex(std::vector<LightItem *> &list, uint32_t index) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if ((*it)->deviceIndex == index) {
            list.erase(it);
            return;
        }
    }
}

} // namespace

// --- transforms and screen ----------------------------------------------------------------

void SetWorldTransform(const Matrix &matrix) {
    if (Device *d = GetD3DDevice()) {
        d->SetTransform(Transform::World, matrix);
    }
}

void SetViewTransform(const Matrix &matrix) {
    if (Device *d = GetD3DDevice()) {
        d->SetTransform(Transform::View, matrix);
    }
}

void GetViewMatrix(Matrix *out) {
    if (out == nullptr) {
        return;
    }
    MatrixIdentity(out);
    if (Device *d = GetD3DDevice()) {
        d->GetTransform(Transform::View, out);
    }
}

void ProjectToScreen(Vector3 *point) {
    Device *d = GetD3DDevice();
    if (point == nullptr || d == nullptr) {
        return;
    }
    Matrix view;
    Matrix projection;
    Viewport viewport;
    d->GetTransform(Transform::View, &view);
    d->GetTransform(Transform::Projection, &projection);
    d->GetViewport(&viewport);
    Matrix viewProjection;
    MatrixMultiply(&viewProjection, view, projection);
    const float x = point->x;
    const float y = point->y;
    const float z = point->z;
    const auto &m = viewProjection.m;
    const float cx = x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0];
    const float cy = x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1];
    const float cz = x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2];
    const float cw = x * m[0][3] + y * m[1][3] + z * m[2][3] + m[3][3];
    const float w = cw != 0.0f ? cw : 1.0f;
    const float nx = cx / w;
    const float ny = cy / w;
    const float nz = cz / w;
    point->x = float(viewport.x) + (1.0f + nx) * float(viewport.width) * 0.5f;
    point->y = float(viewport.y) + (1.0f - ny) * float(viewport.height) * 0.5f;
    point->z = viewport.minZ + nz * (viewport.maxZ - viewport.minZ);
}

uint32_t GetScreenWidth() {
    Viewport v;
    if (Device *d = GetD3DDevice()) {
        d->GetViewport(&v);
    }
    return v.width;
}

uint32_t GetScreenHeight() {
    Viewport v;
    if (Device *d = GetD3DDevice()) {
        d->GetViewport(&v);
    }
    return v.height;
}

// --- projection -----------------------------------------------------------------------------

void ResourceLibrary::RebuildProjection(float far) {
    const float fov = render_.fieldOfView;
    const float aspect = kBaseAspect + render_.aspect;
    const float nearPlane = render_.nearPlane;
    // Values that make no projection are kept; the device keeps the last one
    // that was valid until a setter makes them valid again.
    if (!(nearPlane > 0.0f) || !(nearPlane < far) || !(fov > 0.0f) || !(fov < kPi) ||
        !(aspect > 0.0f) || !std::isfinite(far)) {
        return;
    }
    Matrix projection;
    MatrixPerspectiveFov(&projection, fov, aspect, nearPlane, far);
    if (Device *d = GetD3DDevice()) {
        d->SetTransform(Transform::Projection, projection);
    }
}

void ResourceLibrary::SetFieldOfView(float angle) {
    if (!std::isfinite(angle)) {
        return;
    }
    render_.fieldOfView = 0.75f * angle;
    RebuildProjection(render_.projectionFar);
}

void ResourceLibrary::SetAspectAdjust(float aspect) {
    if (!std::isfinite(aspect)) {
        return;
    }
    render_.aspect = aspect;
    RebuildProjection(render_.projectionFar);
}

void ResourceLibrary::SetFarClip(float distance) {
    if (!std::isfinite(distance)) {
        return;
    }
    render_.farPlane = distance;
    render_.projectionFar = distance;
    RebuildProjection(distance);
}

void ResourceLibrary::SetNearClip(float distance) {
    if (!std::isfinite(distance)) {
        return;
    }
    render_.nearPlane = distance;
    float far = render_.farPlane;
    // While fog is on nothing beyond its end is seen; the capped plane is
    // used for this projection only.
    if (render_.fogOn && render_.fogEnd < far && render_.fogEnd > distance) {
        far = render_.fogEnd;
    }
    RebuildProjection(far);
}

// --- camera --------------------------------------------------------------------------------------

void ResourceLibrary::RebuildSidePlanes() {
    const float v = render_.fieldOfView;
    const float h = (kBaseAspect + render_.aspect) * v;
    const Vector3 yAxis = {0.0f, 1.0f, 0.0f};
    const Vector3 xAxis = {1.0f, 0.0f, 0.0f};
    const struct {
        const Vector3 *axis;
        float angle;
    } sides[4] = {
        {&yAxis, -(kPi / 2 - h / 2)},
        {&yAxis, kPi / 2 - h / 2},
        {&xAxis, -(kPi / 2 - v / 2)},
        {&xAxis, kPi / 2 - v / 2},
    };
    Matrix translation;
    const Vector3 &p = render_.cameraPosition;
    MatrixTranslation(&translation, -p.x, -p.y, -p.z);
    for (int i = 0; i < 4; ++i) {
        Quaternion side;
        QuaternionRotationAxis(&side, *sides[i].axis, sides[i].angle);
        // The side's turn is made in the camera's own frame, then the
        // camera's rotation carries it into the world.
        Quaternion q;
        QuaternionMultiply(&q, side, render_.cameraRotation);
        Quaternion inverse;
        QuaternionInverse(&inverse, q);
        Matrix rotation;
        MatrixFromQuaternion(&rotation, inverse);
        MatrixMultiply(&render_.sidePlanes[i], translation, rotation);
    }
}

// A camera whose position or view is not finite is refused: the last finite
// one stays, for the sound listener and the visibility walk read it too.
void ResourceLibrary::SetCameraTransform(const Vector3 &position, const Quaternion &rotation) {
    if (!Vec3IsFinite(position)) {
        return;
    }
    Matrix translation;
    MatrixTranslation(&translation, -position.x, -position.y, -position.z);
    Quaternion inverse;
    QuaternionInverse(&inverse, rotation);
    Matrix turn;
    MatrixFromQuaternion(&turn, inverse);
    Matrix view;
    MatrixMultiply(&view, translation, turn);
    if (!IsFinite(view)) {
        return;
    }
    render_.cameraPosition = position;
    render_.cameraRotation = rotation;
    render_.view = view;
    SetViewTransform(render_.view);
    RebuildSidePlanes();
}

void ResourceLibrary::SetCameraLookAt(const Vector3 &eye, const Vector3 &target,
                                      const Vector3 &up) {
    Matrix view;
    MatrixLookAt(&view, eye, target, up);
    if (!Vec3IsFinite(eye) || !Vec3IsFinite(target) || !IsFinite(view)) {
        return;
    }
    render_.cameraPosition = eye;
    render_.cameraTarget = target;
    render_.view = view;
    Matrix inverse;
    if (MatrixInverse(&inverse, render_.view) != nullptr) {
        QuaternionFromMatrix(&render_.cameraRotation, inverse);
    }
    SetViewTransform(render_.view);
    RebuildSidePlanes();
}

Vector3 *ResourceLibrary::GetCameraForward(Vector3 *out) const {
    if (out != nullptr) {
        *out = {render_.view.m[0][2], render_.view.m[1][2], render_.view.m[2][2]};
    }
    return out;
}

Vector3 *ResourceLibrary::GetCameraUp(Vector3 *out) const {
    if (out != nullptr) {
        *out = {render_.view.m[0][1], render_.view.m[1][1], render_.view.m[2][1]};
    }
    return out;
}

// --- fog, gamma ------------------------------------------------------------------------------------

void ResourceLibrary::SetFogColor(uint32_t color) {
    render_.fogColor = color;
    if (Device *d = GetD3DDevice()) {
        d->SetRenderState(RenderState::FogColor, color);
    }
}

void ResourceLibrary::SetFogEnable(uint32_t on) {
    render_.fogOn = on;
    if (Device *d = GetD3DDevice()) {
        d->SetRenderState(RenderState::FogEnable, on ? 1 : 0);
        if (on) {
            d->SetRenderState(RenderState::FogVertexMode, FogMode::Linear);
            d->SetRenderState(RenderState::FogStart, std::bit_cast<uint32_t>(render_.fogStart));
            d->SetRenderState(RenderState::FogEnd, std::bit_cast<uint32_t>(render_.fogEnd));
        }
    }
}

// Fog distances shade everything drawn: one that is not finite leaves the
// held distance, as the clip planes do.
void ResourceLibrary::SetFogStart(float distance) {
    if (!std::isfinite(distance)) {
        return;
    }
    render_.fogStart = distance;
    if (Device *d = GetD3DDevice()) {
        d->SetRenderState(RenderState::FogStart, std::bit_cast<uint32_t>(distance));
    }
}

void ResourceLibrary::SetFogEnd(float distance) {
    if (!std::isfinite(distance)) {
        return;
    }
    render_.fogEnd = distance;
    if (Device *d = GetD3DDevice()) {
        d->SetRenderState(RenderState::FogEnd, std::bit_cast<uint32_t>(distance));
    }
}

void ResourceLibrary::SetGamma(float redScale, float greenScale, float blueScale, float redOffset,
                               float greenOffset, float blueOffset) {
    render_.gammaScale[0] = redScale;
    render_.gammaScale[1] = greenScale;
    render_.gammaScale[2] = blueScale;
    render_.gammaOffset[0] = redOffset;
    render_.gammaOffset[1] = greenOffset;
    render_.gammaOffset[2] = blueOffset;
    if (CQVGraphics *graphics = GetGraphics()) {
        graphics->SetDeviceGammaRamp(redScale, greenScale, blueScale, redOffset, greenOffset,
                                     blueOffset);
    }
}

// --- lights -------------------------------------------------------------------------------------------

LightItem *ResourceLibrary::CreateLight() {
    auto *light = new (std::nothrow) LightItem();
    if (light == nullptr) {
        return nullptr;
    }
    light->deviceIndex = render_.lightCounter++;
    render_.lights.push_back(light);
    render_.ownedLights.push_back(light);
    return light;
}

void ResourceLibrary::DestroyLight(LightItem *light) {
    if (light == nullptr) {
        return;
    }
    if (Device *d = GetD3DDevice()) {
        d->LightEnable(light->deviceIndex, false);
    }
    RemoveFirstWithIndex(render_.localLights, light->deviceIndex);
    auto &lights = render_.lights;
    lights.erase(std::remove(lights.begin(), lights.end(), light), lights.end());
    light->active = 0;
    // Only lights made here are deleted; a library item stays with its table.
    auto &owned = render_.ownedLights;
    auto it = std::find(owned.begin(), owned.end(), light);
    if (it != owned.end()) {
        owned.erase(it);
        delete light;
    }
}

void ResourceLibrary::EnableLight(LightItem *light, bool on) {
    if (light == nullptr) {
        return;
    }
    Device *d = GetD3DDevice();
    if (!IsLocal(light)) {
        if (d != nullptr) {
            d->LightEnable(light->deviceIndex, on);
        }
        return;
    }
    if (on && !light->active) {
        render_.localLights.push_back(light);
        light->active = 1;
    } else if (!on && light->active) {
        RemoveFirstWithIndex(render_.localLights, light->deviceIndex);
        if (d != nullptr) {
            d->LightEnable(light->deviceIndex, false);
        }
        light->active = 0;
    }
}

LightItem *ResourceLibrary::GetLocalLight(uint32_t i) const {
    return i < render_.localLights.size() ? render_.localLights[i] : nullptr;
}

void ResourceLibrary::RestoreLightsAndFog() {
    for (LightItem *light : render_.lights) {
        ApplyLight(light);
    }
    SetFogColor(render_.fogColor);
    SetFogEnable(render_.fogOn);
    SetFogStart(render_.fogStart);
    SetFogEnd(render_.fogEnd);
}

void ApplyLight(LightItem *light) {
    if (light == nullptr) {
        return;
    }
    if (Device *d = GetD3DDevice()) {
        Light l = light->light;
        if (LightsNothing(l)) {
            l.diffuse = l.specular = l.ambient = ColorValue{0.0f, 0.0f, 0.0f, 0.0f};
        }
        d->SetLight(light->deviceIndex, l);
    }
}

bool ComputeLightAtPoint(const LightItem *light, float outColor[4], const Vector3 &point) {
    if (light == nullptr || outColor == nullptr) {
        return false;
    }
    const Light &l = light->light;
    if (LightsNothing(l)) {
        return false;
    }
    const float dx = point.x - l.position.x;
    const float dy = point.y - l.position.y;
    const float dz = point.z - l.position.z;
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(d < l.range)) {
        return false;
    }
    const float denominator = l.attenuation0 + d * (l.attenuation1 + d * l.attenuation2);
    if (!(denominator > 0.0f)) {
        return false;
    }
    const float f = 1.0f / denominator;
    outColor[0] = l.diffuse.r * f;
    outColor[1] = l.diffuse.g * f;
    outColor[2] = l.diffuse.b * f;
    outColor[3] = l.diffuse.a * f;
    return true;
}

// --- light fields ---------------------------------------------------------------------------------------

#define LIGHT_FIELD(SetName, GetName, Type, field)                                                 \
    void SetName(LightItem *light, Type value) {                                                   \
        if (light != nullptr) {                                                                    \
            light->light.field = value;                                                            \
        }                                                                                          \
    }                                                                                              \
    Type GetName(const LightItem *light) { return light != nullptr ? light->light.field : Type{}; }

LIGHT_FIELD(SetLightRange, GetLightRange, float, range)
LIGHT_FIELD(SetLightFalloff, GetLightFalloff, float, falloff)
LIGHT_FIELD(SetLightTheta, GetLightTheta, float, theta)
LIGHT_FIELD(SetLightPhi, GetLightPhi, float, phi)
LIGHT_FIELD(SetLightAttenuation0, GetLightAttenuation0, float, attenuation0)
LIGHT_FIELD(SetLightAttenuation1, GetLightAttenuation1, float, attenuation1)
LIGHT_FIELD(SetLightAttenuation2, GetLightAttenuation2, float, attenuation2)
LIGHT_FIELD(SetLightType, GetLightType, uint32_t, type)
#undef LIGHT_FIELD

#define LIGHT_COLOR(SetName, GetName, field)                                                       \
    void SetName(LightItem *light, const ColorValue &color) {                                      \
        if (light != nullptr) {                                                                    \
            light->light.field = color;                                                            \
        }                                                                                          \
    }                                                                                              \
    ColorValue GetName(const LightItem *light) {                                                   \
        return light != nullptr ? light->light.field : ColorValue{};                               \
    }

LIGHT_COLOR(SetLightDiffuse, GetLightDiffuse, diffuse)
LIGHT_COLOR(SetLightSpecular, GetLightSpecular, specular)
LIGHT_COLOR(SetLightAmbient, GetLightAmbient, ambient)
#undef LIGHT_COLOR

namespace {

// The light's position or direction.
void SetLightVector(LightItem *light, gfx::Vec3 gfx::Light::*field, const Vector3 &value) {
    if (light != nullptr) {
        light->light.*field = {value.x, value.y, value.z};
    }
}

void GetLightVector(const LightItem *light, gfx::Vec3 gfx::Light::*field, Vector3 *out) {
    if (out != nullptr) {
        *out = light != nullptr ? Vector3{(light->light.*field).x, (light->light.*field).y,
                                          (light->light.*field).z}
                                : Vector3{0.0f, 0.0f, 0.0f};
    }
}

} // namespace

void SetLightPosition(LightItem *light, const Vector3 &position) {
    SetLightVector(light, &gfx::Light::position, position);
}

void GetLightPosition(const LightItem *light, Vector3 *out) {
    GetLightVector(light, &gfx::Light::position, out);
}

void SetLightDirection(LightItem *light, const Vector3 &direction) {
    SetLightVector(light, &gfx::Light::direction, direction);
}

void GetLightDirection(const LightItem *light, Vector3 *out) {
    GetLightVector(light, &gfx::Light::direction, out);
}
