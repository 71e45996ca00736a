// Fixture of the render front-end tests: the process's graphics object with
// a device of the test's choice (a RecordingDevice by default), a library of
// its own made the process's library, fresh state-word tracking and the
// bucket set-up; helpers for log checks and items.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/mesh_subset.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/gfx/recording_device.h"
#include "platform/texture_object.h"
#include "support/fake_display.h"

namespace rendertest {

using testdisplay::DeviceMaker;

// Texture items placed in the library's table at the given slots, each
// holding a one-level texture of its colour (A8R8G8B8), marked loaded. The
// holder takes the texture objects back before the library goes.
class TextureTable {
  public:
    bool Fill(ResourceLibrary &library, gfx::Device &device,
              const std::vector<std::pair<uint32_t, uint32_t>> &slotColors) {
        LibraryWriter writer;
        std::vector<std::unique_ptr<TextureItem>> records;
        for (const auto &[slot, color] : slotColors) {
            records.push_back(std::make_unique<TextureItem>());
            records.back()->name = "t" + std::to_string(slot);
            writer.AddItem(slot, *records.back());
        }
        const std::vector<uint8_t> bytes = writer.WriteToMemory();
        Archive archive;
        archive.OpenMemory(bytes.data(), uint32_t(bytes.size()));
        if (!library.ReadLibraryArchive(archive, 1)) {
            return false;
        }
        library_ = &library;
        for (const auto &[slot, color] : slotColors) {
            auto *item = static_cast<TextureItem *>(library.GetItemById(slot));
            gfx::Texture *texture = nullptr;
            if (item == nullptr ||
                device.CreateTexture(4, 4, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed,
                                     &texture) != gfx::Result::Ok) {
                return false;
            }
            gfx::LockedRect lr;
            texture->LockRect(0, &lr, nullptr, 0);
            for (uint32_t y = 0; y < 4; ++y) {
                auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(lr.bits) +
                                                         y * lr.pitch);
                std::fill(row, row + 4, color);
            }
            texture->UnlockRect(0);
            item->texture = new TextureObject();
            item->texture->texture = texture;
            item->loaded = 1;
            slots_.push_back(slot);
        }
        return true;
    }
    gfx::Texture *Texture(uint32_t slot) const {
        auto *item = static_cast<TextureItem *>(library_->GetItemById(slot));
        return item != nullptr && item->texture != nullptr ? item->texture->texture : nullptr;
    }
    // Gives the textures back (before the device goes).
    void Clear() {
        for (uint32_t slot : slots_) {
            auto *item = static_cast<TextureItem *>(library_->GetItemById(slot));
            if (item != nullptr && item->texture != nullptr) {
                item->texture->texture->Release();
                delete item->texture;
                item->texture = nullptr;
                item->loaded = 0;
            }
        }
        slots_.clear();
    }

  private:
    ResourceLibrary *library_ = nullptr;
    std::vector<uint32_t> slots_;
};

class RenderTest : public ::testing::Test {
  protected:
    // The device the graphics object gets; a 640 x 480 RecordingDevice here.
    virtual std::unique_ptr<gfx::Device> MakeDevice() {
        return std::make_unique<gfx::RecordingDevice>(640, 480);
    }

    void SetUp() override {
        ASSERT_EQ(CreateGraphics(), 1);
        CQVGraphics &g = *GetGraphics();
        g.DestroyDevice();
        testdisplay::UseFakeAdapter([this] { return MakeDevice(); });
        ASSERT_TRUE(g.CreateWindowDevice(nullptr)) << g.GetGraphicsErrorText();
        device_ = GetD3DDevice();
        recording_ = dynamic_cast<gfx::RecordingDevice *>(device_);
        previous_ = ReplaceLibraryForTests(&library_);
        ResetBlendModeTracking();
        library_.SetUpDrawBuckets();
        ClearLog();
    }

    void TearDown() override {
        textures_.Clear();
        ReplaceLibraryForTests(previous_);
        ResetBlendModeTracking();
        testdisplay::RestoreGlAdapter();
    }

    const std::vector<std::string> &Log() const { return recording_->GetLog(); }
    void ClearLog() {
        if (recording_ != nullptr) {
            recording_->ClearLog();
            recording_->ClearDraws();
        }
    }
    // Log lines that begin with the prefix.
    std::vector<std::string> Lines(const std::string &prefix) const {
        std::vector<std::string> out;
        for (const std::string &line : Log()) {
            if (line.rfind(prefix, 0) == 0) {
                out.push_back(line);
            }
        }
        return out;
    }
    bool Logged(const std::string &line) const {
        return std::find(Log().begin(), Log().end(), line) != Log().end();
    }
    static std::string Rs(uint32_t state, uint32_t value) {
        return "SetRenderState " + std::to_string(state) + " " + std::to_string(value);
    }
    static std::string Tss(uint32_t stage, uint32_t type, uint32_t value) {
        return "SetTextureStageState " + std::to_string(stage) + " " + std::to_string(type) + " " +
               std::to_string(value);
    }
    uint32_t RenderState(uint32_t state) const {
        uint32_t v = 0;
        device_->GetRenderState(state, &v);
        return v;
    }
    uint32_t StageState(uint32_t stage, uint32_t type) const {
        uint32_t v = 0;
        device_->GetTextureStageState(stage, type, &v);
        return v;
    }

    ResourceLibrary library_;
    TextureTable textures_;
    gfx::Device *device_ = nullptr;
    gfx::RecordingDevice *recording_ = nullptr;
    ResourceLibrary *previous_ = nullptr;
};


// A material with the given blend mode and bucket mask, opaque white.
inline std::unique_ptr<MaterialItem> MakeMaterial(uint32_t blendMode = 0, uint32_t mask = 1) {
    auto m = std::make_unique<MaterialItem>();
    m->blendMode = blendMode;
    m->bucketMask = mask;
    m->fog = 0;
    m->material.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    m->materialAlpha = 1;
    return m;
}

// A mesh item with one subset settings record per sphere (x, y, z, radius),
// marked loaded so that no file is read.
inline std::unique_ptr<MeshItem> MakeMesh(std::vector<std::array<float, 4>> spheres = {
                                              {0.0f, 0.0f, 0.0f, 1.0f}}) {
    auto mesh = std::make_unique<MeshItem>();
    for (const auto &s : spheres) {
        SubsetSettings settings;
        settings.sphereCentre[0] = s[0];
        settings.sphereCentre[1] = s[1];
        settings.sphereCentre[2] = s[2];
        settings.sphereRadius = s[3];
        mesh->subsetSettings.push_back(settings);
    }
    mesh->loaded = 1;
    return mesh;
}


// Appends a subset of `frames` frames of `vertices.size() / stride /
// frames` vertices each, with 16-bit indices, made on the device. The
// caller clears the mesh's subsets before the device goes.
inline bool AddSubset(MeshItem &mesh, gfx::Device &device, uint32_t fvf, uint32_t stride,
                      const std::vector<uint8_t> &vertices, uint32_t frames,
                      const std::vector<uint16_t> &indices, uint32_t subsetWord = 0) {
    MeshSubset subset;
    gfx::VertexBuffer *vb = nullptr;
    gfx::IndexBuffer *ib = nullptr;
    if (device.CreateVertexBuffer(uint32_t(vertices.size()), 0, fvf, gfx::Pool::Managed, &vb) !=
            gfx::Result::Ok ||
        device.CreateIndexBuffer(uint32_t(indices.size() * 2), 0, gfx::Format::Index16,
                                 gfx::Pool::Managed, &ib) != gfx::Result::Ok) {
        return false;
    }
    uint8_t *data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::copy(vertices.begin(), vertices.end(), data);
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    std::memcpy(data, indices.data(), indices.size() * 2);
    ib->Unlock();
    subset.SetVertexBuffer(vb);
    subset.SetIndexBuffer(ib);
    subset.fvf = fvf;
    subset.vertexSize = stride;
    subset.frameCount = frames;
    subset.vertexCount = frames != 0 ? uint32_t(vertices.size() / stride / frames) : 0;
    subset.triangleCount = uint32_t(indices.size() / 3);
    subset.subsetWord = subsetWord;
    mesh.subsets.push_back(std::move(subset));
    return true;
}

inline Matrix Translation(float x, float y, float z) {
    Matrix m;
    MatrixTranslation(&m, x, y, z);
    return m;
}

} // namespace rendertest
