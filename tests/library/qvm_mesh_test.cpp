// ".qvm" mesh files: subsets, bones and skin records as read, the shapes of
// versions 1 and 2, the load failures and the checks of broken files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "library/name_table.h"
#include "mesh_test_util.h"

namespace {

using meshtest::Contents;
using meshtest::FanSubset;
using meshtest::Skin;

class QvmTest : public meshtest::MeshFixture {
protected:
    // Expects the item to be refused as a corrupt file and left unloaded.
    void ExpectCorrupt(const QvmWriter& writer, const char* what) {
        ExpectCorruptBytes(writer.WriteToMemory(), what);
    }
    void ExpectCorruptBytes(const std::vector<uint8_t>& bytes, const char* what) {
        PutData("bad.qvm", bytes);
        auto item = Mesh("bad.qvm");
        EXPECT_EQ(item->Load(), 0) << what;
        EXPECT_EQ(item->loaded, 0u) << what;
        EXPECT_EQ(std::string(library_.GetLastError()), "Corrupt file: " + DataPath("bad.qvm"))
            << what;
    }
    void ExpectLoads(const QvmWriter& writer, const char* what) {
        auto item = LoadQvm(writer);
        EXPECT_EQ(item->loaded, 1u) << what << ": " << library_.GetLastError();
    }

    // A skinned file of the given version: three bones, one subset of four
    // vertices with a skin record each.
    static QvmWriter Skinned(uint32_t version) {
        QvmWriter w(version, 1);
        w.bones = {{"Root", kQvmNoParent, kBoneIdentity}, {"Spine", 0, kBoneIdentity},
                   {"Head", 1, kBoneIdentity}};
        QvmSubsetRecord s = FanSubset(4);
        for (uint32_t i = 0; i < 4; ++i) {
            s.skin.push_back(Skin(static_cast<float>(i), static_cast<uint8_t>(i % 3)));
        }
        w.subsets.push_back(s);
        return w;
    }
};

TEST_F(QvmTest, SubsetsKeepTheirFieldsAndBuffers) {
    QvmWriter w(2, 0);
    w.subsets.push_back(FanSubset(4));
    QvmSubsetRecord points = FanSubset(3, 1, "Points");
    points.indices.clear(); // vertices, no triangles
    w.subsets.push_back(points);
    QvmSubsetRecord empty;
    empty.frameCount = 0; // no vertices: a frame count of 0 is fine
    empty.name = "";      // an empty name keeps the default
    w.subsets.push_back(empty);
    auto item = LoadQvm(w);
    ASSERT_EQ(item->loaded, 1u) << library_.GetLastError();
    ASSERT_EQ(item->subsets.size(), 3u);
    ASSERT_EQ(item->subsetSettings.size(), 3u);

    const MeshSubset& a = item->subsets[0];
    EXPECT_EQ(a.name, "Body");
    EXPECT_EQ(std::vector<uint32_t>({a.subsetWord, a.fvf, a.vertexSize, a.vertexCount,
                                     a.triangleCount, a.frameCount, a.flagWord}),
              std::vector<uint32_t>({5, 0x112, 32, 4, 2, 1, 1}));
    EXPECT_TRUE(a.skin.empty());
    ASSERT_TRUE(a.indexBuffer != nullptr && a.vertexBuffer != nullptr);
    EXPECT_EQ(a.vertexBuffer->GetFvf(), 0x112u);
    EXPECT_EQ(Contents(a.vertexBuffer), w.subsets[0].vertices);
    const std::vector<uint8_t> indices = Contents(a.indexBuffer);
    ASSERT_EQ(indices.size(), 12u);
    EXPECT_EQ(meshtest::U16At(indices, 6), 0);
    EXPECT_EQ(meshtest::U16At(indices, 10), 3);

    EXPECT_EQ(item->subsets[1].indexBuffer, nullptr);
    EXPECT_NE(item->subsets[1].vertexBuffer, nullptr);
    EXPECT_EQ(item->subsets[2].indexBuffer, nullptr);
    EXPECT_EQ(item->subsets[2].vertexBuffer, nullptr);
    EXPECT_EQ(item->subsets[2].name, "Subset 1");

    // Bounds: x 0..3, y 0..1.5, z -3..0.
    EXPECT_FLOAT_EQ(a.boxMin.z, -3.0f);
    EXPECT_FLOAT_EQ(a.boxMax.x, 3.0f);
    EXPECT_FLOAT_EQ(a.sphereCentre.x, 1.5f);
    EXPECT_FLOAT_EQ(a.sphereRadius, 0.5f * std::sqrt(9.0f + 2.25f + 9.0f));
    EXPECT_FLOAT_EQ(a.outerRadius, std::sqrt(2.25f + 0.5625f + 2.25f) + a.sphereRadius);
    EXPECT_TRUE(item->subsets[2].boxMax.x == 0.0f && item->subsets[2].outerRadius == 0.0f)
        << "a subset without vertices has zero bounds";
}

TEST_F(QvmTest, WrittenFilesReadBackEqual) {
    for (uint32_t version : {1u, 2u}) {
        for (uint32_t kind : {0u, 1u}) {
            SCOPED_TRACE("version " + std::to_string(version) + " kind " + std::to_string(kind));
            QvmWriter w = Skinned(version);
            w.kind = kind;
            w.bones[2].offset.m[3][0] = 4.5f;
            if (kind == 0 || version >= 2) {
                w.subsets.push_back(FanSubset(3, 2, "Second"));
                if (kind == 1) {
                    w.subsets[1].skin.assign(3, Skin(1.0f, 2, 4));
                }
            }
            auto item = LoadQvm(w);
            ASSERT_EQ(item->loaded, 1u) << library_.GetLastError();
            EXPECT_EQ(item->meshKind, kind);
            ASSERT_EQ(item->subsets.size(), w.subsets.size());
            for (size_t i = 0; i < w.subsets.size(); ++i) {
                const MeshSubset& got = item->subsets[i];
                const QvmSubsetRecord& want = w.subsets[i];
                EXPECT_EQ(got.name, want.name);
                EXPECT_EQ(std::vector<size_t>({got.subsetWord, got.frameCount, got.vertexCount,
                                               got.triangleCount * 3}),
                          std::vector<size_t>({want.subsetWord, want.frameCount,
                                               want.vertexCount, want.indices.size()}));
                EXPECT_EQ(Contents(got.vertexBuffer), want.vertices);
                const size_t skins = kind == 1 ? want.skin.size() : 0;
                ASSERT_EQ(got.skin.size(), skins);
                for (size_t j = 0; j < skins; ++j) {
                    EXPECT_TRUE(meshtest::SameSkin(got.skin[j], want.skin[j]));
                }
            }
            ASSERT_EQ(item->bones.size(), kind == 1 ? 3u : 0u);
            if (kind == 1) {
                EXPECT_STREQ(GetNameTable().GetName(item->bones[1]->nameId), "Spine");
                EXPECT_EQ(item->bones[2]->parent, 1);
                EXPECT_EQ(item->bones[2]->offset.m[3][0] * item->bones[2]->offset.m[0][0], 4.5f);
            }
        }
    }
}

TEST_F(QvmTest, VersionOneSkinComesFromTheSecondSubsetsVertexData) {
    QvmWriter w = Skinned(1);
    w.carrySkin = false;
    // The second subset holds more vertex data than the records need; only
    // the first 4 x 56 bytes count.
    QvmSubsetRecord carrier;
    carrier.fvf = 0;
    carrier.vertexSize = 8 * 14;
    carrier.vertexCount = 3;
    carrier.vertices.resize(carrier.vertexSize * 3, 0xEE);
    for (size_t i = 0; i < 4; ++i) {
        EncodeSkinVertex(w.subsets[0].skin[i], carrier.vertices.data() + i * kSkinVertexBytes);
    }
    w.subsets.push_back(carrier);
    w.subsets.push_back(FanSubset(3, 1, "Third"));
    auto item = LoadQvm(w);
    ASSERT_EQ(item->loaded, 1u) << library_.GetLastError();
    ASSERT_EQ(item->subsets.size(), 1u);
    EXPECT_EQ(item->subsets[0].name, "Body");
    ASSERT_EQ(item->subsets[0].skin.size(), 4u);
    for (size_t j = 0; j < 4; ++j) {
        EXPECT_TRUE(meshtest::SameSkin(item->subsets[0].skin[j], w.subsets[0].skin[j]));
    }
    EXPECT_EQ(item->subsetSettings.size(), 1u);

    // A first subset without vertices copies nothing and needs no data.
    QvmWriter none(1, 1);
    none.carrySkin = false;
    none.subsets.push_back(QvmSubsetRecord{});
    none.subsets.push_back(QvmSubsetRecord{});
    ExpectLoads(none, "v0 = 0");
}

TEST_F(QvmTest, BoneChildrenFollowBoneOrder) {
    QvmWriter w(2, 1);
    w.bones = {{"A", kQvmNoParent, kBoneIdentity}, {"B", 2, kBoneIdentity},
               {"C", 0, kBoneIdentity}, {"D", 0, kBoneIdentity},
               {"E", kQvmNoParent, kBoneIdentity}, {"F", 5, kBoneIdentity}};
    auto item = LoadQvm(w);
    ASSERT_EQ(item->loaded, 1u) << library_.GetLastError();
    ASSERT_EQ(item->bones.size(), 6u);
    const auto& b = item->bones;
    // A parent listed after its child, and a bone that is its own parent, are kept as read.
    EXPECT_EQ(b[1]->parent, 2);
    EXPECT_EQ(b[0]->children, (std::vector<Bone*>{b[2].get(), b[3].get()}));
    EXPECT_EQ(b[2]->children, (std::vector<Bone*>{b[1].get()}));
    EXPECT_EQ(b[5]->children, (std::vector<Bone*>{b[5].get()}));
    EXPECT_TRUE(b[4]->children.empty());
    for (const auto& other : b) {
        for (Bone* child : other->children) {
            EXPECT_TRUE(child != b[0].get() && child != b[4].get()); // the roots
        }
    }
}

TEST_F(QvmTest, ExtensionsAndLoadFailures) {
    QvmWriter w(2, 0);
    w.subsets.push_back(FanSubset(3));
    PutData("UPPER.QVM", w.WriteToMemory());
    auto upper = Mesh("UPPER.QVM");
    EXPECT_EQ(upper->Load(), 1) << library_.GetLastError();
    EXPECT_EQ(upper->subsets.size(), 1u);

    // ".x": no geometry; the settings records go.
    auto x = Mesh("thing.x");
    x->subsetSettings.resize(2);
    EXPECT_EQ(x->Load(), 1);
    EXPECT_EQ(x->loaded, 1u);
    EXPECT_TRUE(x->subsets.empty());
    EXPECT_TRUE(x->subsetSettings.empty());

    auto other = Mesh("thing.obj");
    EXPECT_EQ(other->Load(), 0);
    EXPECT_STREQ(library_.GetLastError(), "Error Unsupported format");
    EXPECT_EQ(other->loaded, 0u);

    auto missing = Mesh("missing.qvm");
    EXPECT_EQ(missing->Load(), 0);
    EXPECT_EQ(std::string(library_.GetLastError()),
              "Error Opening File: " + DataPath("missing.qvm"));

    EXPECT_EQ(LoadMeshFromFile(&library_, nullptr), 0);
    EXPECT_STREQ(library_.GetLastError(), "Error: Load Mesh From File");
    EXPECT_EQ(ReadQvmMesh(&library_, nullptr, "x.qvm"), 0);
    EXPECT_STREQ(library_.GetLastError(), "Error Can't Load Mesh");

    // Long paths give messages cut to 511 characters.
    const std::string longPath(600, 'p');
    EXPECT_EQ(ReadQvmMesh(&library_, upper.get(), longPath.c_str()), 0);
    EXPECT_EQ(std::strlen(library_.GetLastError()), 511u);
    MeshItem item;
    Archive archive;
    const uint8_t cut[3] = {1, 0, 0};
    archive.OpenMemory(cut, sizeof cut);
    EXPECT_EQ(ReadQvmMeshFrom(library_, item, archive, longPath.c_str(), GetD3DDevice()), 0);
    EXPECT_EQ(std::strlen(library_.GetLastError()), 511u);
    EXPECT_EQ(std::string(library_.GetLastError()).rfind("Corrupt file: ppp", 0), 0u);

    // Without a device no buffer can be made.
    Archive again;
    const std::vector<uint8_t> bytes = w.WriteToMemory();
    again.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(ReadQvmMeshFrom(library_, item, again, "m.qvm", nullptr), 0);
    EXPECT_STREQ(library_.GetLastError(), "Error Creating Index Buffer");
}

TEST_F(QvmTest, BrokenFilesAreRefused) {
    QvmWriter good(2, 0);
    good.subsets.push_back(FanSubset(4));
    std::vector<uint8_t> bytes = good.WriteToMemory();
    ExpectCorruptBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6), "header cut");
    ExpectCorruptBytes(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1), "vertices cut");
    std::vector<uint8_t> manySubsets = bytes;
    libtest::PatchU32(manySubsets, 44, 0x10000000u);
    ExpectCorruptBytes(manySubsets, "subset count beyond the file");
    std::vector<uint8_t> longName = bytes;
    libtest::PatchU32(longName, 48, 70000);
    longName.resize(longName.size() + 70000, 'a');
    ExpectCorruptBytes(longName, "name over 64 KiB");

    auto broken = [&](auto change, const char* what) {
        QvmWriter w = good;
        change(w.subsets[0]);
        ExpectCorrupt(w, what);
    };
    broken([](QvmSubsetRecord& s) { s.frameCount = 0; }, "frame count 0 with vertices");
    broken([](QvmSubsetRecord& s) { s.vertexSize = 28; s.vertices.resize(28 * 4); },
           "stride below the FVF");
    broken([](QvmSubsetRecord& s) { s.fvf = 0; s.vertexSize = 8; s.vertices.resize(32); },
           "stride below a position");
    broken([](QvmSubsetRecord& s) { s.fvf = 0x1112; }, "unknown FVF");
    broken([](QvmSubsetRecord& s) { s.indices[4] = 4; }, "index past the vertices");
    broken([](QvmSubsetRecord& s) { s.vertexCount = 0; }, "triangles without vertices");

    auto brokenSkin = [&](uint32_t version, auto change, const char* what) {
        QvmWriter w = Skinned(version);
        change(w);
        ExpectCorrupt(w, what);
    };
    brokenSkin(2, [](QvmWriter& w) { w.subsets[0].skin[1].influenceCount = 5; }, "5 influences");
    brokenSkin(2, [](QvmWriter& w) {
        w.subsets[0].skin[2].influenceCount = 2;
        w.subsets[0].skin[2].bones[1] = 3;
    }, "second bone missing");
    brokenSkin(2, [](QvmWriter& w) {
        w.subsets[0].skin[0].influenceCount = 0;
        w.subsets[0].skin[0].bones[0] = 3;
    }, "first bone of 0 influences missing");
    brokenSkin(1, [](QvmWriter& w) { w.subsets[0].skin[3].bones[0] = 9; },
               "copied record names a missing bone");
    brokenSkin(2, [](QvmWriter& w) { w.bones[1].parent = 3; }, "parent past the bones");
    brokenSkin(2, [](QvmWriter& w) {
        QvmSubsetRecord& s = w.subsets[0];
        s.fvf = 0x002;
        s.vertexSize = 12;
        s.vertices.resize(12 * 4);
    }, "skinned stride below 24");
    brokenSkin(2, [](QvmWriter& w) { w.subsets[0].skin.pop_back(); }, "skin records cut");
    brokenSkin(1, [](QvmWriter& w) { w.carrySkin = false; }, "version 1 with one subset");
    brokenSkin(1, [](QvmWriter& w) {
        w.carrySkin = false;
        QvmSubsetRecord carrier = FanSubset(3); // 96 bytes < 4 x 56
        w.subsets.push_back(carrier);
    }, "version 1 carrier too short");
    std::vector<uint8_t> manyBones = Skinned(2).WriteToMemory();
    ExpectCorruptBytes(std::vector<uint8_t>(manyBones.begin(), manyBones.begin() + 100),
                       "bone record cut");
    libtest::PatchU32(manyBones, 8, 0x08000000u);
    ExpectCorruptBytes(manyBones, "bone count beyond the file");

    // Accepted: unread skin index bytes of 0xFF, a bone that is its own parent.
    QvmWriter w = Skinned(2);
    w.subsets[0].skin[0].bones[1] = 0xFF;
    w.subsets[0].skin[0].bones[3] = 0xFF;
    w.bones[2].parent = 2;
    ExpectLoads(w, "unused index bytes and a self parent");
}

TEST_F(QvmTest, AFailedLoadKeepsNoStaleBonesAndRetries) {
    auto item = LoadQvm(Skinned(2));
    ASSERT_EQ(item->bones.size(), 3u);
    ASSERT_EQ(item->Release(), 1);

    QvmWriter bad = Skinned(2);
    bad.kind = 0;
    bad.subsets[0].indices[0] = 40;
    PutData("m.qvm", bad.WriteToMemory());
    EXPECT_EQ(item->Load(), 0);
    EXPECT_TRUE(item->bones.empty());
    EXPECT_EQ(item->loaded, 0u);

    PutData("m.qvm", Skinned(2).WriteToMemory());
    EXPECT_EQ(item->Load(), 1);
    EXPECT_EQ(item->bones.size(), 3u);
    EXPECT_EQ(item->subsets.size(), 1u);
}

} // namespace
