// The quad queue and the two overlays of the screen layers, and the
// immediate untextured rectangle.

#include <cmath>

#include "library/render/render_front_end.h"
#include "library/render/screen_layers.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/texture_object.h"

namespace {

// Lighting, fog and the depth test, switched behind the material tracker.
constexpr uint32_t kQuadStateGroups = 0x8028;

ScreenQuad MakeQuad(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                    float y3, float left, float top, float right, float bottom, uint32_t color,
                    MaterialItem *material) {
    ScreenQuad q;
    const float xs[4] = {x0, x1, x2, x3};
    const float ys[4] = {y0, y1, y2, y3};
    const float us[4] = {left, right, left, right};
    const float vs[4] = {top, top, bottom, bottom};
    for (int i = 0; i < 4; ++i) {
        q.vertices[i].x = xs[i];
        q.vertices[i].y = ys[i];
        q.vertices[i].color = color;
        q.vertices[i].u = us[i] + kTexCoordOffset;
        q.vertices[i].v = vs[i] + kTexCoordOffset;
    }
    q.material = material;
    return q;
}

ScreenQuad RectQuad(float x, float y, float width, float height, float left, float top,
                    float right, float bottom, uint32_t color, MaterialItem *material) {
    const float w = std::trunc(width);
    const float h = std::trunc(height);
    return MakeQuad(x, y, x + w, y, x, y + h, x + w, y + h, left, top, right, bottom, color,
                    material);
}

void DrawQuad(ResourceLibrary &library, const ScreenQuad &quad) {
    gfx::Device *device = GetD3DDevice();
    if (device == nullptr) {
        return;
    }
    library.ApplyMaterial(quad.material, 1.0f, kNoSlot);
    device->SetRenderState(gfx::RenderState::Lighting, 0);
    device->SetRenderState(gfx::RenderState::FogEnable, 0);
    device->SetRenderState(gfx::RenderState::DepthEnable, 0);
    device->DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, quad.vertices,
                            sizeof(ScreenVertex));
}

void ForceQuadStateGroups() { SetCurrentBlendMode(GetBlendForceMask() | kQuadStateGroups); }

} // namespace

void ResourceLibrary::QueueRect(float x, float y, float width, float height, float red,
                                float green, float blue, float alpha, MaterialItem *material) {
    QueueRectUV(x, y, width, height, 0.0f, 0.0f, 1.0f, 1.0f, red, green, blue, alpha, material);
}

void ResourceLibrary::QueueRectUV(float x, float y, float width, float height, float left,
                                  float top, float right, float bottom, float red, float green,
                                  float blue, float alpha, MaterialItem *material) {
    if (material == nullptr) {
        return;
    }
    GetScreenLayers().quads.push_back(RectQuad(x, y, width, height, left, top, right, bottom,
                                               PackColor(red, green, blue, alpha), material));
}

void ResourceLibrary::QueueQuad(const float c[8], float left, float top, float right,
                                float bottom, float red, float green, float blue, float alpha,
                                MaterialItem *material) {
    if (material == nullptr || c == nullptr) {
        return;
    }
    GetScreenLayers().quads.push_back(MakeQuad(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7],
                                               left, top, right, bottom,
                                               PackColor(red, green, blue, alpha), material));
}

void ResourceLibrary::QueueSprite(float x, float y, float red, float green, float blue,
                                  float alpha, MaterialItem *material) {
    if (material == nullptr) {
        return;
    }
    float width = 256.0f;
    float height = 256.0f;
    if (!material->textureIds.empty()) {
        LibraryItem *item = GetMaterialTexture(material, 0);
        if (item == nullptr || item->GetClass() != ItemClass::Texture) {
            return;
        }
        width = float(static_cast<TextureItem *>(item)->width);
        height = float(static_cast<TextureItem *>(item)->height);
    }
    QueueRect(x, y, width, height, red, green, blue, alpha, material);
}

void ResourceLibrary::SetImageOverlay(float x, float y, MaterialItem *material) {
    if (material == nullptr) {
        return;
    }
    // A material without a texture, or whose texture does not load, leaves
    // the overlay unset.
    LibraryItem *item = GetMaterialTexture(material, 0);
    if (item == nullptr || item->GetClass() != ItemClass::Texture) {
        return;
    }
    auto *texture = static_cast<TextureItem *>(item);
    if (texture->texture == nullptr || texture->texture->texture == nullptr) {
        LoadItem(texture);
    }
    if (texture->texture == nullptr || texture->texture->texture == nullptr) {
        return;
    }
    const float w = float(GetTextureObjectWidth(texture->texture));
    const float h = float(GetTextureObjectHeight(texture->texture));
    GetScreenLayers().overlay1 =
        RectQuad(x, y, w, h, 0.0f, 0.0f, 1.0f, 1.0f, 0xFFFFFFFFu, material);
}

void ResourceLibrary::SetOverlayQuad(float x, float y, float width, float height, float red,
                                     float green, float blue, float alpha,
                                     MaterialItem *material) {
    if (material == nullptr) {
        return;
    }
    GetScreenLayers().overlay2 = RectQuad(x, y, width, height, 0.01f, 0.01f, 0.99f, 0.99f,
                                          PackColor(red, green, blue, alpha), material);
}

void ResourceLibrary::DrawQueuedQuads(bool empty) {
    gfx::Device *device = GetD3DDevice();
    if (device == nullptr) {
        return;
    }
    ScreenLayers &layers = GetScreenLayers();
    device->SetVertexShader(0x144);
    for (const ScreenQuad &quad : layers.quads) {
        DrawQuad(*this, quad);
    }
    if (empty) {
        layers.quads.clear();
    }
    device->SetRenderState(gfx::RenderState::Lighting, 1);
    device->SetRenderState(gfx::RenderState::DepthEnable, 1);
    ForceQuadStateGroups();
}

void ResourceLibrary::DrawOverlays() {
    gfx::Device *device = GetD3DDevice();
    ScreenLayers &layers = GetScreenLayers();
    if (device == nullptr) {
        return;
    }
    if (layers.overlay1.material != nullptr) {
        device->SetVertexShader(0x144);
        DrawQuad(*this, layers.overlay1);
        device->SetTextureStageState(0, gfx::StageState::AddressU, gfx::TextureAddress::Wrap);
        device->SetTextureStageState(0, gfx::StageState::AddressV, gfx::TextureAddress::Wrap);
        device->SetRenderState(gfx::RenderState::Lighting, 1);
        device->SetRenderState(gfx::RenderState::DepthEnable, 1);
        layers.overlay1.material = nullptr;
        ForceQuadStateGroups();
    }
    if (layers.overlay2.material != nullptr) {
        device->SetVertexShader(0x144);
        DrawQuad(*this, layers.overlay2);
        device->SetRenderState(gfx::RenderState::Lighting, 1);
        device->SetRenderState(gfx::RenderState::DepthEnable, 1);
        layers.overlay2.material = nullptr;
        ForceQuadStateGroups();
    }
}

void DrawFilledRect(int left, int top, int right, int bottom, float red, float green,
                    float blue, float alpha) {
    gfx::Device *device = GetD3DDevice();
    if (device == nullptr) {
        return;
    }
    SetCurrentBlendMode(0xFFFFFFFFu);
    const ScreenQuad quad =
        MakeQuad(float(left), float(top), float(right), float(top), float(left), float(bottom),
                 float(right), float(bottom), 0.0f, 0.0f, 1.0f, 1.0f,
                 PackColor(red, green, blue, alpha), nullptr);
    device->SetTexture(0, nullptr);
    device->SetRenderState(gfx::RenderState::AlphaBlendEnable, 0);
    device->SetRenderState(gfx::RenderState::DepthEnable, 0);
    device->SetRenderState(gfx::RenderState::Lighting, 0);
    device->SetVertexShader(0x144);
    device->DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, quad.vertices,
                            sizeof(ScreenVertex));
    device->SetRenderState(gfx::RenderState::DepthEnable, 1);
    device->SetRenderState(gfx::RenderState::Lighting, 1);
}
