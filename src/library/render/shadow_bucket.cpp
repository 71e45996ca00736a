// The callbacks of draw bucket 4: every queued instance's volume is counted
// into the stencil buffer, then the darkening quad covers what it marked.
#include <new>

#include "library/display.h"
#include "library/render/render_front_end.h"
#include "library/render/shadow_volume.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/input.h"
#include "platform/os/gfx/device.h"

namespace {

constexpr uint32_t kShadowBucket = 4;

// Stage textures bound when the bucket began (a reference held meanwhile).
gfx::Texture *g_savedTextures[2] = {nullptr, nullptr};

bool KeyHeld(uint32_t virtualKey) { return (DebugKeyState(virtualKey) & 0x8000) != 0; }

void Rs(gfx::Device *device, uint32_t state, uint32_t value) {
    device->SetRenderState(state, value);
}

} // namespace

void ShadowBucketCreate(DrawInstance *instance) {
    if (instance == nullptr || instance->shadowVolume != nullptr) {
        return;
    }
    auto *volume = new (std::nothrow) ShadowVolume();
    if (volume == nullptr) {
        return;
    }
    const MeshItem *mesh = instance->mesh;
    if (mesh != nullptr && mesh->loaded && !mesh->subsets.empty() &&
        mesh->subsets[0].triangleCount != 0 &&
        gfx::Failed(volume->CreateBuffers(GetD3DDevice(), mesh->subsets[0].triangleCount))) {
        delete volume;
        return;
    }
    instance->shadowVolume = volume;
}

void ShadowBucketRelease(DrawInstance *instance) {
    if (instance == nullptr || instance->shadowVolume == nullptr) {
        return;
    }
    delete instance->shadowVolume; // releases its buffers
    instance->shadowVolume = nullptr;
}

void ShadowBucketBegin(uint32_t) {
    gfx::Device *device = GetD3DDevice();
    if (device == nullptr) {
        return;
    }
    using namespace gfx;
    Rs(device, RenderState::DepthWriteEnable, 0);
    Rs(device, RenderState::StencilEnable, 1);
    Rs(device, RenderState::ShadeMode, Shade::Flat);
    Rs(device, RenderState::AlphaBlendEnable, 1);
    if (KeyHeld(kShadowKeyWireFrame)) {
        Rs(device, RenderState::SrcBlend, Blend::One);
        Rs(device, RenderState::DestBlend, Blend::Zero);
        Rs(device, RenderState::FillMode, Fill::Wireframe);
    } else {
        Rs(device, RenderState::SrcBlend, Blend::Zero);
        Rs(device, RenderState::DestBlend, Blend::One);
    }
    Rs(device, RenderState::Lighting, 0);
    Rs(device, RenderState::FogEnable, 0);
    for (uint32_t stage = 0; stage < 2; ++stage) {
        if (g_savedTextures[stage] != nullptr) {
            g_savedTextures[stage]->Release();
        }
        Texture *bound = nullptr;
        device->GetTexture(stage, &bound);
        if (bound != nullptr) {
            bound->AddRef();
        }
        g_savedTextures[stage] = bound;
        device->SetTexture(stage, nullptr);
    }
}

void ShadowBucketInstance(DrawInstance *instance) {
    if (instance == nullptr || instance->shadowVolume == nullptr) {
        return;
    }
    // Skinned meshes bring their vertices up to date here; the callback
    // may also destroy the instance.
    if (instance->preDraw != nullptr) {
        instance->preDraw(instance);
        if (IsDrawInstanceDestroyed(instance)) {
            return;
        }
    }
    ShadowVolume *volume = instance->shadowVolume;
    gfx::Device *device = GetD3DDevice();
    ResourceLibrary *library = GetLibrary();
    if (volume == nullptr || device == nullptr || library == nullptr ||
        instance->world == nullptr) {
        return;
    }
    // A frame that draws nothing (drawing skipped on the device) builds no
    // volume: the next frame that draws builds its own.
    if (device->DrawingSkipped()) {
        return;
    }
    const Matrix &world = *instance->world;
    Vector3 light;
    if (!ShadowLightPoint(world, &light)) {
        return; // no inverse: no meaningful light point
    }
    const float *cameraWords = library->GetCameraPosition();
    const Vector3 camera = {cameraWords[0], cameraWords[1], cameraWords[2]};
    if (!ShadowCameraFarEnough({world.m[3][0], world.m[3][1], world.m[3][2]}, camera)) {
        return;
    }
    volume->spare[0] = 0;
    volume->spare[1] = 0;
    if (gfx::Failed(volume->BuildFromMesh(device, instance->mesh, light))) {
        return;
    }

    using namespace gfx;
    const bool capsOnly = KeyHeld(kShadowKeyCapsOnly);
    Rs(device, RenderState::StencilFunc, Cmp::Always);
    Rs(device, RenderState::StencilFail, StencilOp::Keep);
    Rs(device, RenderState::StencilDepthFail, StencilOp::Keep);
    Rs(device, RenderState::StencilRef, 1);
    Rs(device, RenderState::StencilMask, 0xFFFFFFFFu);
    Rs(device, RenderState::StencilWriteMask, 0xFFFFFFFFu);
    Rs(device, RenderState::StencilPass, StencilOp::Incr);
    device->SetTransform(Transform::World, world);
    Rs(device, RenderState::CullMode, Cull::Ccw);
    volume->Draw(device, capsOnly);
    Rs(device, RenderState::CullMode, Cull::Cw);
    Rs(device, RenderState::StencilPass, StencilOp::Decr);
    volume->Draw(device, capsOnly);
}

void ShadowBucketEnd(uint32_t) {
    gfx::Device *device = GetD3DDevice();
    if (device == nullptr) {
        return;
    }
    using namespace gfx;
    Rs(device, RenderState::FillMode, Fill::Solid);
    Rs(device, RenderState::CullMode, Cull::Ccw);
    Rs(device, RenderState::DepthWriteEnable, 1);
    Rs(device, RenderState::DepthEnable, 0);
    Rs(device, RenderState::SrcBlend, Blend::SrcAlpha);
    Rs(device, RenderState::DestBlend, Blend::InvSrcAlpha);
    Rs(device, RenderState::Lighting, 0);
    if (!KeyHeld(kShadowKeyWireFrame)) {
        DrawShadowQuad();
    }
    Rs(device, RenderState::ShadeMode, Shade::Gouraud);
    Rs(device, RenderState::DepthEnable, 1);
    Rs(device, RenderState::StencilEnable, 0);
    Rs(device, RenderState::AlphaBlendEnable, 0);
    for (uint32_t stage = 0; stage < 2; ++stage) {
        device->SetTexture(stage, g_savedTextures[stage]);
        if (g_savedTextures[stage] != nullptr) {
            g_savedTextures[stage]->Release();
            g_savedTextures[stage] = nullptr;
        }
    }
    // The states above went behind the material tracker's back.
    SetCurrentBlendMode(0xFFFFFFFFu);
}

void InstallShadowVolumes(ResourceLibrary &library) {
    library.SetBucketCreateCallback(kShadowBucket, ShadowBucketCreate);
    library.SetBucketReleaseCallback(kShadowBucket, ShadowBucketRelease);
    library.SetBucketBeginCallback(kShadowBucket, ShadowBucketBegin);
    library.SetBucketInstanceCallback(kShadowBucket, ShadowBucketInstance);
    library.SetBucketEndCallback(kShadowBucket, ShadowBucketEnd);
    CreateShadowQuad();
}

void RegisterShadowVolumes() {
    SetShadowQuadHook([] {
        if (ResourceLibrary *library = GetLibrary()) {
            InstallShadowVolumes(*library);
        } else {
            CreateShadowQuad();
        }
    });
}
