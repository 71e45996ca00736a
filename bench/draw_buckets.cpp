// Queueing and drawing 2,000 draw instances spread over 4 buckets (push at
// the front, append, sorted far to near, push) on a RecordingDevice, so that
// the numbers are the front end's own work plus the facade's state checks
// and call log.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "library/library_item.h"
#include "library/mesh_subset.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/gfx/adapter.h"
#include "platform/os/gfx/recording_device.h"

namespace {

constexpr int kInstances = 2000;
constexpr uint32_t kBuckets[4] = {0, 3, 7, 9};

struct RecordingAdapter : gfx::Adapter {
    bool GetDisplayMode(gfx::DisplayMode *out) override {
        out->width = 640;
        out->height = 480;
        out->format = gfx::Format::X8R8G8B8;
        return true;
    }
    bool CheckDeviceType(uint32_t, uint32_t, bool) override { return true; }
    bool CheckDepthStencilMatch(uint32_t, uint32_t, uint32_t) override { return true; }
    std::unique_ptr<gfx::Device> CreateDevice(gfx::WindowHandle, const gfx::PresentParameters &,
                                              std::string *) override {
        return std::make_unique<gfx::RecordingDevice>(640, 480);
    }
};

struct Scene {
    ResourceLibrary library;
    ResourceLibrary *previous = nullptr;
    gfx::RecordingDevice *device = nullptr;
    std::unique_ptr<MeshItem> mesh;
    std::vector<std::unique_ptr<MaterialItem>> materials;
    std::vector<Matrix> worlds;
    std::vector<DrawInstance *> instances;

    bool Make() {
        if (!CreateGraphics()) {
            return false;
        }
        GetGraphics()->DestroyDevice();
        GetGraphics()->SetAdapterFactory([] { return std::make_unique<RecordingAdapter>(); });
        if (!GetGraphics()->CreateWindowDevice(nullptr)) {
            return false;
        }
        device = static_cast<gfx::RecordingDevice *>(GetD3DDevice());
        previous = ReplaceLibraryForTests(&library);
        library.SetUpDrawBuckets();
        library.SetFarClip(35000.0f);
        library.SetNearClip(1.5f);
        library.SetCameraTransform({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});

        // One subset of 4 vertices and 2 triangles.
        mesh = std::make_unique<MeshItem>();
        mesh->loaded = 1;
        SubsetSettings settings;
        settings.sphereRadius = 1.0f;
        mesh->subsetSettings.push_back(settings);
        gfx::VertexBuffer *vb = nullptr;
        gfx::IndexBuffer *ib = nullptr;
        device->CreateVertexBuffer(4 * 12, 0, gfx::Fvf::Xyz, gfx::Pool::Managed, &vb);
        device->CreateIndexBuffer(6 * 2, 0, gfx::Format::Index16, gfx::Pool::Managed, &ib);
        uint8_t *data = nullptr;
        ib->Lock(0, 0, &data, 0);
        const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
        std::memcpy(data, indices, sizeof indices);
        ib->Unlock();
        MeshSubset subset;
        subset.SetVertexBuffer(vb);
        subset.SetIndexBuffer(ib);
        subset.fvf = gfx::Fvf::Xyz;
        subset.vertexSize = 12;
        subset.vertexCount = 4;
        subset.triangleCount = 2;
        subset.frameCount = 1;
        mesh->subsets.push_back(std::move(subset));

        for (uint32_t b : kBuckets) {
            auto m = std::make_unique<MaterialItem>();
            m->bucketMask = 1u << b;
            m->fog = 0;
            materials.push_back(std::move(m));
        }
        worlds.resize(kInstances);
        for (int i = 0; i < kInstances; ++i) {
            MatrixTranslation(&worlds[size_t(i)], float(i % 40) - 20.0f, float(i / 40) - 25.0f,
                              100.0f + float((i * 7919) % 500));
            instances.push_back(library.CreateDrawInstance(
                mesh.get(), 0, materials[size_t(i % 4)].get(), &worlds[size_t(i)], 0, 0.0f));
        }
        return true;
    }

    void QueueAll() {
        for (DrawInstance *instance : instances) {
            library.QueueDrawInstance(instance, 0.0f, 1.0f);
        }
    }

    ~Scene() {
        for (DrawInstance *instance : instances) {
            library.DestroyDrawInstance(instance);
        }
        mesh->subsets.clear();
        ReplaceLibraryForTests(previous);
        if (GetGraphics() != nullptr) {
            GetGraphics()->DestroyDevice();
            GetGraphics()->SetAdapterFactory(gfx::CreateGlAdapter);
        }
    }
};

void BM_QueueDrawInstances(benchmark::State &state) {
    Scene scene;
    if (!scene.Make()) {
        state.SkipWithError("no device");
        return;
    }
    for (auto _ : state) {
        scene.QueueAll();
        state.PauseTiming();
        // Empty the buckets for the next round without drawing.
        for (DrawInstance *instance : scene.instances) {
            instance->queued = 0;
        }
        scene.library.SetUpDrawBuckets();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kInstances);
}
BENCHMARK(BM_QueueDrawInstances)->Unit(benchmark::kMicrosecond);

void BM_DrawScene(benchmark::State &state) {
    Scene scene;
    if (!scene.Make()) {
        state.SkipWithError("no device");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        scene.QueueAll();
        scene.device->ClearLog();
        scene.device->ClearDraws();
        state.ResumeTiming();
        scene.library.DrawScene();
    }
    state.SetItemsProcessed(state.iterations() * kInstances);
}
BENCHMARK(BM_DrawScene)->Unit(benchmark::kMicrosecond);

} // namespace
