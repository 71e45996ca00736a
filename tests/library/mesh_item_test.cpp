// Mesh items in the library: the settings records filled on Load, second
// textures, Release and reloading, and the bounds services.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "mesh_test_util.h"

namespace {

using meshtest::Contents;
using meshtest::FanSubset;

// Counts texture loads and releases instead of making textures.
int g_textureLoads = 0;
int g_textureReleases = 0;
int CountingLoad(LibraryItem& item) {
    ++g_textureLoads;
    item.loaded = 1;
    return 1;
}
int CountingRelease(LibraryItem& item) {
    ++g_textureReleases;
    item.loaded = 0;
    return 1;
}

class MeshItemTest : public meshtest::MeshFixture {
protected:
    void SetUp() override {
        MeshFixture::SetUp();
        savedTextureLoader_ = GetItemLoader(ItemClass::Texture);
        SetItemLoader(ItemClass::Texture, {CountingLoad, CountingRelease});
        g_textureLoads = g_textureReleases = 0;
    }
    void TearDown() override {
        SetItemLoader(ItemClass::Texture, savedTextureLoader_);
        MeshFixture::TearDown();
    }

    // Table: texture "detail" in slot 3, a mesh in slot 10 with two subsets
    // whose records name the given second textures.
    MeshItem* StoreMesh(const QvmWriter& writer, uint32_t second0, uint32_t second1,
                        uint32_t recordKind = 0) {
        PutData("m.qvm", writer.WriteToMemory());
        TextureItem texture;
        texture.name = "detail";
        texture.fileName = "detail.tga";
        MeshItem mesh;
        mesh.name = "mesh";
        mesh.fileName = "m.qvm";
        mesh.meshKind = recordKind;
        mesh.subsetSettings.resize(2);
        mesh.subsetSettings[0].secondTexture = second0;
        mesh.subsetSettings[1].secondTexture = second1;
        mesh.subsetSettings[1].word0 = 8;
        Store({{3, &texture}, {10, &mesh}});
        return TableMesh(10);
    }
    static QvmWriter TwoSubsets(uint32_t kind) {
        QvmWriter w(2, kind);
        w.subsets.push_back(FanSubset(4));
        w.subsets.push_back(FanSubset(5, 3, "Legs"));
        if (kind == 1) {
            w.bones = {{"Root", kQvmNoParent, kBoneIdentity}};
            w.subsets[0].skin.assign(4, meshtest::Skin(1.0f, 0));
            w.subsets[1].skin.assign(5, meshtest::Skin(2.0f, 0));
        }
        return w;
    }

    ItemLoader savedTextureLoader_;
};

TEST_F(MeshItemTest, RecordsTakeTheSubsetBoundsAndLoadSecondTextures) {
    MeshItem* mesh = StoreMesh(TwoSubsets(0), 3, kNoSlot);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->Load(), 1) << library_.GetLastError();
    const SubsetSettings& r = mesh->subsetSettings[1];
    const MeshSubset& s = mesh->subsets[1];
    EXPECT_EQ(r.word0, 8u); // the record's own words stay
    EXPECT_EQ(r.boxMin[2], s.boxMin.z);
    EXPECT_EQ(r.boxMax[0], 4.0f);
    EXPECT_EQ(r.boxMax[2], 20.0f); // three frames, z up to 10 x 2
    EXPECT_EQ(r.sphereRadius, s.sphereRadius);
    EXPECT_EQ(r.outerRadius, s.outerRadius);
    EXPECT_GT(r.outerRadius, r.sphereRadius);
    LibraryItem* texture = library_.GetItemById(3);
    EXPECT_EQ(std::vector<int>({int(texture->used), int(texture->loaded), g_textureLoads}),
              std::vector<int>({1, 1, 1}));

    texture->used = 0;
    ASSERT_EQ(mesh->Release(), 1);
    EXPECT_EQ(std::vector<size_t>({texture->used, texture->loaded, size_t(g_textureReleases),
                                   mesh->subsets.size(), mesh->loaded,
                                   mesh->subsetSettings.size()}), // the records stay
              std::vector<size_t>({1, 0, 1, 0, 0, 2}));
}

TEST_F(MeshItemTest, SkinnedMeshesGetFixedCullingBounds) {
    MeshItem* mesh = StoreMesh(TwoSubsets(1), 3, 3);
    ASSERT_EQ(mesh->Load(), 1) << library_.GetLastError();
    EXPECT_EQ(mesh->meshKind, 1u);
    for (const SubsetSettings& r : mesh->subsetSettings) {
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(std::vector<float>({r.boxMin[a], r.boxMax[a], r.sphereCentre[a]}),
                      std::vector<float>({-200.0f, 200.0f, 0.0f}));
        }
        EXPECT_TRUE(r.sphereRadius == 250.0f && r.outerRadius == 250.0f);
    }
    // Second textures of a skinned mesh are not loaded by Load, but Release lets them go.
    EXPECT_EQ(g_textureLoads, 0);
    ASSERT_EQ(mesh->Release(), 1);
    EXPECT_EQ(g_textureReleases, 2);
    EXPECT_TRUE(mesh->bones.empty() && mesh->subsets.empty());
}

TEST_F(MeshItemTest, SecondTexturesOutsideTheTableAreSkipped) {
    // 0xFFFFFFFE lies outside the table, slot 10 holds the mesh itself and
    // slot 11 is empty: none is touched and the mesh loads.
    MeshItem* mesh = StoreMesh(TwoSubsets(0), 0xFFFFFFFEu, 11);
    ASSERT_EQ(mesh->Load(), 1);
    EXPECT_STREQ(library_.GetLastError(), "Error Invalid Container ID");
    EXPECT_EQ(mesh->Release(), 1);
    EXPECT_EQ(g_textureLoads + g_textureReleases, 0);

    mesh->subsetSettings[0].secondTexture = 10;
    ASSERT_EQ(mesh->Load(), 1);
    EXPECT_EQ(mesh->Release(), 1); // would release itself again and again
    EXPECT_EQ(mesh->loaded, 0u);
}

TEST_F(MeshItemTest, LoadReleaseLoadGivesTheSameMesh) {
    MeshItem* mesh = StoreMesh(TwoSubsets(0), kNoSlot, kNoSlot);
    ASSERT_EQ(mesh->Load(), 1);
    EXPECT_EQ(mesh->Load(), 1); // idempotent
    std::vector<std::vector<uint8_t>> buffers;
    for (const MeshSubset& s : mesh->subsets) {
        buffers.push_back(Contents(s.vertexBuffer));
        buffers.push_back(Contents(s.indexBuffer));
    }
    const std::vector<SubsetSettings> records = mesh->subsetSettings;
    ASSERT_EQ(mesh->Release(), 1);
    ASSERT_EQ(mesh->Load(), 1);
    size_t b = 0;
    for (const MeshSubset& s : mesh->subsets) {
        EXPECT_EQ(Contents(s.vertexBuffer), buffers[b++]);
        EXPECT_EQ(Contents(s.indexBuffer), buffers[b++]);
    }
    ASSERT_EQ(mesh->subsetSettings.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(std::memcmp(&mesh->subsetSettings[i], &records[i], sizeof records[i]), 0);
    }
}

TEST_F(MeshItemTest, VertexBoundsAndSpheres) {
    MeshItem* mesh = StoreMesh(TwoSubsets(0), kNoSlot, kNoSlot);
    ASSERT_EQ(mesh->loaded, 0u);
    // The item is loaded on demand; three frames are all covered.
    AABox box;
    ComputeVertexBounds(&box, mesh, 1, nullptr);
    EXPECT_EQ(mesh->loaded, 1u);
    EXPECT_EQ(std::vector<float>({box.min.z, box.max.z, box.max.x}),
              std::vector<float>({-4.0f, 20.0f, 4.0f}));

    Matrix shift = kBoneIdentity;
    shift.m[3][0] = 100.0f;
    ComputeVertexBounds(&box, mesh, 1, &shift);
    EXPECT_EQ(box.min.x, 100.0f);
    EXPECT_EQ(box.max.x, 104.0f);

    float sphere[4];
    ComputeBoundingSphere(sphere, mesh, 1);
    EXPECT_FLOAT_EQ(sphere[0], 2.0f);
    EXPECT_FLOAT_EQ(sphere[2], 8.0f);
    EXPECT_FLOAT_EQ(sphere[3], 0.5f * std::sqrt(16.0f + 4.0f + 576.0f));

    // Out of range, null and mesh without vertices: zeros.
    const AABox zero{};
    box.min.x = 5.0f;
    ComputeVertexBounds(&box, mesh, 2, nullptr);
    EXPECT_EQ(std::memcmp(&box, &zero, sizeof box), 0);
    box.min.x = 5.0f;
    ComputeVertexBounds(&box, nullptr, 0, nullptr);
    EXPECT_EQ(std::memcmp(&box, &zero, sizeof box), 0);
    ComputeBoundingSphere(sphere, nullptr, 0);
    EXPECT_EQ(sphere[3], 0.0f);

    // Without subsets the record's box is carried through the matrix;
    // records past the end give zeros.
    MeshItem bare;
    bare.loaded = 1;
    bare.subsetSettings.resize(1);
    bare.subsetSettings[0].boxMin[0] = -1.0f;
    bare.subsetSettings[0].boxMax[0] = 2.0f;
    ComputeVertexBounds(&box, &bare, 0, &shift);
    EXPECT_EQ(box.min.x, 99.0f);
    EXPECT_EQ(box.max.x, 102.0f);
    ComputeVertexBounds(&box, &bare, 1, &shift);
    EXPECT_EQ(std::memcmp(&box, &zero, sizeof box), 0);
}

TEST(SkinVertexTest, RecordsKeepEveryByte) {
    uint8_t bytes[kSkinVertexBytes];
    for (uint32_t i = 0; i < kSkinVertexBytes; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    const SkinVertex s = DecodeSkinVertex(bytes);
    EXPECT_EQ(s.influenceCount, 12 * 7 + 1);
    EXPECT_EQ(s.bones[3], 35 * 7 + 1);
    uint8_t again[kSkinVertexBytes];
    EncodeSkinVertex(s, again);
    EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
}

} // namespace
