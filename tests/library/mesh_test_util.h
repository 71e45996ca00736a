// Helpers for the mesh tests: a library of its own on a recording device,
// data files in a scratch folder, and readers of buffer contents.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "library/anb_writer.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/mesh.h"
#include "library/qvm_writer.h"
#include "library/resource_library.h"
#include "library_test_util.h"
#include "platform/graphics.h"
#include "support/fake_display.h"
#include "support/temp_folder.h"

namespace meshtest {

using testdisplay::QuietWindow;

template <typename B>
std::vector<uint8_t> Contents(const B* buffer) {
    if (buffer == nullptr) {
        return {};
    }
    return std::vector<uint8_t>(buffer->Data(), buffer->Data() + buffer->GetLength());
}

inline float FloatAt(const std::vector<uint8_t>& bytes, size_t offset) {
    float f = 0.0f;
    std::memcpy(&f, bytes.data() + offset, sizeof f);
    return f;
}

inline uint16_t U16At(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// A skin record with one influence of bone `bone`.
inline SkinVertex Skin(float x, uint8_t bone, uint8_t count = 1) {
    SkinVertex s{};
    s.position = {x, 2.0f * x, 1.0f};
    s.influenceCount = count;
    s.weights[0] = 1.0f;
    s.bones[0] = bone;
    s.normal = {0.0f, 1.0f, 0.0f};
    s.unused[0] = 7.0f;
    return s;
}

inline bool SameSkin(const SkinVertex& a, const SkinVertex& b) {
    uint8_t x[kSkinVertexBytes];
    uint8_t y[kSkinVertexBytes];
    EncodeSkinVertex(a, x);
    EncodeSkinVertex(b, y);
    return std::memcmp(x, y, sizeof x) == 0;
}

// A subset of `count` vertices along x (position (i, i / 2, -i) plus the
// frame number x 10 in z), 32-byte vertices, a fan of triangles.
inline QvmSubsetRecord FanSubset(uint32_t count, uint32_t frames = 1, const char* name = "Body") {
    QvmSubsetRecord s;
    s.name = name;
    s.subsetWord = 5;
    s.frameCount = frames;
    s.vertexCount = count;
    for (uint32_t f = 0; f < frames; ++f) {
        for (uint32_t i = 0; i < count; ++i) {
            const float x = static_cast<float>(i);
            QvmWriter::AppendVertex(s.vertices, s.vertexSize, {x, x / 2, -x + 10.0f * f},
                                    {0, 0, 1}, x, 1.0f);
        }
    }
    for (uint32_t i = 1; i + 1 < count; ++i) {
        s.indices.insert(s.indices.end(), {0, static_cast<uint16_t>(i),
                                           static_cast<uint16_t>(i + 1)});
    }
    return s;
}

class MeshFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateEngineServices(), 1);
        testdisplay::UseFakeAdapter({}, 64, 64);
        ASSERT_TRUE(GetGraphics()->CreateWindowDevice(&window_));
        previous_ = ReplaceLibraryForTests(&library_);
        library_.SetBaseFolder(temp_.Path().c_str());
    }
    void TearDown() override {
        ReplaceLibraryForTests(previous_);
        testdisplay::RestoreGlAdapter();
    }

    void PutData(const std::string& name, const std::vector<uint8_t>& bytes) {
        temp_.Put("Data/" + name, std::string(bytes.begin(), bytes.end()));
    }
    // The path the library opens for a data file name.
    std::string DataPath(const std::string& name) const {
        return temp_.Path() + "\\Data\\" + name;
    }

    // Puts the items into the library's table at their slots (records only).
    void Store(const std::vector<std::pair<uint32_t, LibraryItem*>>& items) {
        LibraryWriter writer(7);
        for (const auto& [slot, item] : items) {
            writer.AddItem(slot, *item);
        }
        ASSERT_EQ(libtest::ReadBytes(library_, writer.WriteToMemory(), 1), 1)
            << library_.GetLastError();
    }
    MeshItem* TableMesh(uint32_t slot) {
        return dynamic_cast<MeshItem*>(library_.GetItemById(slot));
    }

    // A mesh item (outside the table) naming a data file.
    std::unique_ptr<MeshItem> Mesh(const std::string& fileName) {
        auto item = std::make_unique<MeshItem>();
        item->fileName = fileName;
        return item;
    }

    // Writes the file and loads a fresh item naming it.
    std::unique_ptr<MeshItem> LoadQvm(const QvmWriter& writer, const std::string& name = "m.qvm") {
        PutData(name, writer.WriteToMemory());
        auto item = Mesh(name);
        item->Load();
        return item;
    }

    TempFolder temp_;
    ResourceLibrary library_;
    ResourceLibrary* previous_ = nullptr;
    QuietWindow window_;
};

} // namespace meshtest
