// 1,000 triangles in 100 indexed draws a frame: through the graphics device
// facade (GlDevice on llvmpipe, offscreen) and through the same GL calls made
// directly, to show what the facade's state vector and checks cost.
#include <SDL_opengl.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/os/gfx/gl_device.h"

namespace {

constexpr int kDraws = 100;
constexpr int kTrianglesPerDraw = 10;
constexpr int kVerticesPerDraw = 12; // a strip of 10 triangles as a list

struct Vertex {
    float x, y, z;
    uint32_t color;
};

struct Scene {
    std::unique_ptr<gfx::GlDevice> device;
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    gfx::VertexBuffer *vb = nullptr;
    gfx::IndexBuffer *ib = nullptr;

    bool Make() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        setenv("GALLIUM_DRIVER", "llvmpipe", 0);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        device = gfx::GlDevice::CreateOffscreen(256, 256, nullptr);
        if (!device) {
            return false;
        }
        // Each draw: a thin strip of small triangles somewhere on screen.
        for (int d = 0; d < kDraws; ++d) {
            const float x0 = -0.9f + 0.018f * float(d);
            for (int i = 0; i < kVerticesPerDraw; ++i) {
                const float x = x0 + 0.01f * float(i / 2);
                const float y = (i % 2 == 0 ? -0.5f : -0.45f) + 0.005f * float(d % 10);
                vertices.push_back(Vertex{x, y, 0.5f, 0xFF000000u | uint32_t(d * 2500)});
            }
        }
        for (int t = 0; t < kTrianglesPerDraw; ++t) {
            indices.push_back(uint16_t(t));
            indices.push_back(uint16_t(t + 1));
            indices.push_back(uint16_t(t + 2));
        }
        const uint32_t vbytes = uint32_t(vertices.size() * sizeof(Vertex));
        const uint32_t ibytes = uint32_t(indices.size() * 2);
        device->CreateVertexBuffer(vbytes, 0, 0x042, gfx::Pool::Managed, &vb);
        device->CreateIndexBuffer(ibytes, 0, gfx::Format::Index16, gfx::Pool::Managed, &ib);
        uint8_t *p = nullptr;
        vb->Lock(0, 0, &p, 0);
        std::memcpy(p, vertices.data(), vbytes);
        vb->Unlock();
        ib->Lock(0, 0, &p, 0);
        std::memcpy(p, indices.data(), ibytes);
        ib->Unlock();
        device->SetRenderState(gfx::RenderState::Lighting, 0);
        device->SetRenderState(gfx::RenderState::CullMode, gfx::Cull::None);
        return true;
    }
    ~Scene() {
        if (device) {
            device->SetStreamSource(0, nullptr, 0);
            device->SetIndices(nullptr, 0);
            vb->Release();
            ib->Release();
        }
    }
};

void BM_FacadeIndexedDraws(benchmark::State &state) {
    Scene scene;
    if (!scene.Make()) {
        state.SkipWithError("no offscreen GL device");
        return;
    }
    gfx::Device &d = *scene.device;
    for (auto _ : state) {
        d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
        d.SetVertexShader(0x042);
        d.SetStreamSource(0, scene.vb, sizeof(Vertex));
        for (int i = 0; i < kDraws; ++i) {
            d.SetIndices(scene.ib, uint32_t(i * kVerticesPerDraw));
            d.DrawIndexedPrimitive(gfx::Primitive::TriangleList, 0, kVerticesPerDraw, 0,
                                   kTrianglesPerDraw);
        }
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * kDraws * kTrianglesPerDraw);
}
BENCHMARK(BM_FacadeIndexedDraws)->Unit(benchmark::kMicrosecond);

void BM_RawGlIndexedDraws(benchmark::State &state) {
    Scene scene;
    if (!scene.Make()) {
        state.SkipWithError("no offscreen GL device");
        return;
    }
    scene.device->MakeCurrent();
    glViewport(0, 0, 256, 256);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (auto _ : state) {
        glClearColor(0, 0, 0, 1);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        for (int i = 0; i < kDraws; ++i) {
            const Vertex *base = scene.vertices.data() + i * kVerticesPerDraw;
            glVertexPointer(3, GL_FLOAT, sizeof(Vertex), &base->x);
            glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, sizeof(Vertex), &base->color);
            glDrawElements(GL_TRIANGLES, kTrianglesPerDraw * 3, GL_UNSIGNED_SHORT,
                           scene.indices.data());
        }
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * kDraws * kTrianglesPerDraw);
}
BENCHMARK(BM_RawGlIndexedDraws)->Unit(benchmark::kMicrosecond);

} // namespace
