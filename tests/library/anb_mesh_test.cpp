// ".anb" vertex-animated meshes: the render vertices and indices made from the parts and frames,
// the item's one subset, and the checks of broken files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "library/anb_mesh.h"
#include "mesh_test_util.h"

namespace {

using meshtest::Contents;
using meshtest::FloatAt;

// Render vertex i: position, normal, texture coordinate.
std::vector<float> Vertex(const std::vector<uint8_t>& vb, size_t i) {
    std::vector<float> v(8);
    std::memcpy(v.data(), vb.data() + i * 32, 32);
    return v;
}
using Floats = std::vector<float>;

AnbVertex V(float x, float y, float z, float n = 1.0f) { return {{x, y, z}, {0.0f, n, 0.0f}}; }

// Two triangles of three vertices each. The first part has texture coordinates 0-2, the second part
// 0-2 as well, of which 1 is unused and 0 is shared by two corners of different positions.
AnbWriter TwoParts(uint32_t frames) {
    AnbWriter w;
    w.frameCount = frames;
    AnbPart a;
    a.vertices = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    a.positionIndices = {0, 1, 2};
    a.texCoords = {{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}};
    a.textureIndices = {0, 1, 2};
    AnbPart b;
    b.vertices = {V(5, 0, 0, 2), V(6, 0, 0, 2), V(5, 1, 0, 2)};
    b.positionIndices = {0, 1, 2};
    b.texCoords = {{0.5f, 0.5f}, {0.25f, 0.25f}, {0.75f, 0.75f}};
    b.textureIndices = {0, 2, 0};
    w.parts = {a, b};
    for (uint32_t f = 1; f < frames; ++f) {
        std::vector<AnbVertex> frame;
        for (const AnbPart& p : w.parts) {
            for (AnbVertex v : p.vertices) {
                v.position.z += 10.0f * f;
                frame.push_back(v);
            }
        }
        w.laterFrames.push_back(frame);
    }
    return w;
}

struct Loaded {
    int result = 0;
    gfx::VertexBuffer* vertices = reinterpret_cast<gfx::VertexBuffer*>(1);
    gfx::IndexBuffer* indices = reinterpret_cast<gfx::IndexBuffer*>(1);
    uint32_t frames = 77;
    uint32_t triangles = 77;
    uint32_t perFrame = 77;
    ~Loaded() {
        if (result == 1) {
            vertices->Release();
            indices->Release();
        }
    }
};

class AnbTest : public meshtest::MeshFixture {
protected:
    void Read(const std::vector<uint8_t>& bytes, Loaded* out, const char* path = "a.anb") {
        FileHandle file;
        ASSERT_TRUE(file.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())));
        out->result = LoadAnimatedMeshFrom(file, path, GetD3DDevice(), &out->vertices,
                                           &out->indices, &out->frames, &out->triangles,
                                           &out->perFrame);
    }
    // Expects a refusal with the text and no output written.
    void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& text,
                       const char* what) {
        Loaded l;
        Read(bytes, &l);
        EXPECT_EQ(l.result, 0) << what;
        EXPECT_EQ(std::string(GetGraphicsErrorText()), text) << what;
        EXPECT_EQ(l.vertices, reinterpret_cast<gfx::VertexBuffer*>(1)) << what;
        EXPECT_EQ(l.frames, 77u) << what;
    }
    void ExpectCorrupt(const AnbWriter& w, const char* what) {
        ExpectRefused(w.WriteToMemory(), "Corrupt file: a.anb", what);
    }
};

TEST_F(AnbTest, PartsBecomeRenderVerticesByTextureCoordinate) {
    Loaded l;
    Read(TwoParts(1).WriteToMemory(), &l);
    ASSERT_EQ(l.result, 1) << GetGraphicsErrorText();
    EXPECT_EQ(std::vector<uint32_t>({l.frames, l.triangles, l.perFrame, l.vertices->GetFvf()}),
              std::vector<uint32_t>({1, 2, 6, 0x112}));

    // The second part's texture indices are rebased by the first part's 3.
    const std::vector<uint8_t> idx = Contents(l.indices);
    ASSERT_EQ(idx.size(), 12u);
    std::vector<uint16_t> got(6);
    std::memcpy(got.data(), idx.data(), 12);
    EXPECT_EQ(got, std::vector<uint16_t>({0, 1, 2, 3, 5, 3}));
    const std::vector<uint8_t> vb = Contents(l.vertices);
    ASSERT_EQ(vb.size(), 6u * 32);
    // Render vertex 5 is the second part's position 1 (vertex 4 of all).
    EXPECT_EQ(Vertex(vb, 5), (Floats{6, 0, 0, 0, 2, 0, 0.75f, 0.75f}));
    // Texture coordinate 3 is used by positions 0 and 2 of the second part:
    // the last corner written wins.
    EXPECT_EQ(Vertex(vb, 3), (Floats{5, 1, 0, 0, 2, 0, 0.5f, 0.5f}));
    // Texture coordinate 4 is unused: the frame's first vertex, no normal
    // and no texture coordinate.
    EXPECT_EQ(Vertex(vb, 4), Floats(8, 0.0f));

    // With coordinate 4 used by the second part's position 0: vertex 3.
    AnbWriter w = TwoParts(1);
    w.parts[1].textureIndices = {1, 2, 0};
    Loaded again;
    Read(w.WriteToMemory(), &again);
    ASSERT_EQ(again.result, 1);
    EXPECT_EQ(Vertex(Contents(again.vertices), 4), (Floats{5, 0, 0, 0, 2, 0, 0.25f, 0.25f}));
}

TEST_F(AnbTest, FramesFollowOneAnother) {
    Loaded l;
    std::vector<uint8_t> bytes = TwoParts(3).WriteToMemory();
    bytes.insert(bytes.end(), {1, 2, 3}); // bytes after the file are not read
    Read(bytes, &l);
    ASSERT_EQ(l.result, 1) << GetGraphicsErrorText();
    EXPECT_EQ(l.frames, 3u);
    const std::vector<uint8_t> vb = Contents(l.vertices);
    ASSERT_EQ(vb.size(), 3u * 6 * 32);
    for (uint32_t f = 0; f < 3; ++f) {
        const size_t frame = size_t{f} * 6 * 32;
        EXPECT_EQ(FloatAt(vb, frame + 1 * 32), 1.0f) << f;
        EXPECT_EQ(FloatAt(vb, frame + 1 * 32 + 8), 10.0f * f) << f;
        // The unused coordinate follows the frame's first vertex.
        EXPECT_EQ(FloatAt(vb, frame + 4 * 32 + 8), 10.0f * f) << f;
    }
}

TEST_F(AnbTest, WrittenFilesReadBackEqual) {
    // Every texture coordinate used once: the render vertices are the
    // corners' vertices with their coordinates, frame by frame.
    AnbWriter w;
    w.frameCount = 4;
    AnbPart p;
    for (uint16_t i = 0; i < 9; ++i) {
        p.vertices.push_back(V(i, i * 0.5f, -i, 0.1f * i));
        p.texCoords.push_back({0.1f * i, 1.0f - 0.1f * i});
    }
    p.positionIndices = {2, 0, 1, 5, 4, 3, 8, 7, 6};
    p.textureIndices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    w.parts = {p, p};
    for (uint32_t f = 1; f < 4; ++f) {
        std::vector<AnbVertex> frame;
        for (int n = 0; n < 18; ++n) {
            frame.push_back(V(f * 100.0f + n, 0, 0, 3));
        }
        w.laterFrames.push_back(frame);
    }
    Loaded l;
    Read(w.WriteToMemory(), &l);
    ASSERT_EQ(l.result, 1) << GetGraphicsErrorText();
    ASSERT_EQ(l.perFrame, 18u);
    ASSERT_EQ(l.triangles, 6u);
    const std::vector<uint8_t> vb = Contents(l.vertices);
    for (uint32_t f = 0; f < 4; ++f) {
        for (uint32_t part = 0; part < 2; ++part) {
            for (uint32_t c = 0; c < 9; ++c) {
                const uint32_t n = part * 9 + p.positionIndices[c];
                const uint32_t t = part * 9 + p.textureIndices[c];
                const AnbVertex& want = f == 0 ? w.parts[part].vertices[p.positionIndices[c]]
                                               : w.laterFrames[f - 1][n];
                const size_t at = (size_t{f} * 18 + t) * 32;
                EXPECT_EQ(FloatAt(vb, at), want.position.x);
                EXPECT_EQ(FloatAt(vb, at + 16), want.normal.y);
                EXPECT_EQ(FloatAt(vb, at + 24), p.texCoords[t % 9].x);
            }
        }
    }
}

TEST_F(AnbTest, BrokenFilesAreRefused) {
    auto broken = [&](auto change, const char* what) {
        AnbWriter w = TwoParts(2);
        change(w);
        ExpectCorrupt(w, what);
    };
    broken([](AnbWriter& w) { w.frameCount = 0; w.laterFrames.clear(); }, "no frames");
    broken([](AnbWriter& w) { w.parts[1].positionIndices[1] = 3; }, "position index past part");
    broken([](AnbWriter& w) { w.parts[0].textureIndices[2] = 3; }, "texture index past part");
    broken([](AnbWriter& w) { w.laterFrames[0].pop_back(); }, "frame cut short");
    broken([](AnbWriter& w) { w.frameCount = 3; }, "frame missing");
    broken([](AnbWriter& w) {
        w.frameCount = 1;
        w.laterFrames.clear();
        for (AnbPart& p : w.parts) {
            p.vertices.clear();
            p.positionIndices.clear();
            p.textureIndices.clear();
        }
    }, "texture coordinates without vertices");
    std::vector<uint8_t> bytes = TwoParts(1).WriteToMemory();
    ExpectRefused(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 30), "Corrupt file: a.anb",
                  "part cut short");
    std::vector<uint8_t> manyParts = bytes;
    libtest::PatchU32(manyParts, 4, 0x40000000u);
    ExpectRefused(manyParts, "Corrupt file: a.anb", "part count beyond the file");

    AnbWriter big;
    AnbPart p;
    p.vertices.assign(kAnbMaxVertices + 1, V(1, 2, 3));
    big.parts = {p};
    ExpectCorrupt(big, "N over 65536");
    p.vertices.resize(1);
    p.texCoords.assign(kAnbMaxVertices + 1, {0.0f, 0.0f});
    big.parts = {p};
    ExpectCorrupt(big, "T over 65536");

    // No triangles: no index buffer can be made.
    AnbWriter flat;
    p.texCoords.resize(3);
    flat.parts = {p};
    ExpectRefused(flat.WriteToMemory(), "Error Creating Index Buffer", "no triangles");
    // Frames x T x 32 beyond a 32-bit buffer length.
    AnbWriter tall;
    tall.frameCount = 2049;
    p.texCoords.resize(kAnbMaxVertices);
    p.positionIndices = {0, 0, 0};
    p.textureIndices = {0, 1, 2};
    tall.parts = {p};
    tall.laterFrames.assign(2048, {V(0, 0, 0)});
    ExpectRefused(tall.WriteToMemory(), "Error Creating Vertex Buffer", "vertex buffer too big");

    Loaded l;
    EXPECT_EQ(LoadAnimatedMeshFile(DataPath("none.anb").c_str(), &l.vertices, &l.indices,
                                   &l.frames, &l.triangles, &l.perFrame),
              0);
    EXPECT_EQ(std::string(GetGraphicsErrorText()), "Can´t open file: " + DataPath("none.anb"));
    const std::string longPath(600, 'q');
    EXPECT_EQ(LoadAnimatedMeshFile(longPath.c_str(), &l.vertices, &l.indices, &l.frames,
                                   &l.triangles, &l.perFrame),
              0);
    EXPECT_EQ(std::strlen(GetGraphicsErrorText()), 511u);
}

TEST_F(AnbTest, TheItemHoldsOneAnimatedSubset) {
    PutData("wave.ANB", TwoParts(3).WriteToMemory());
    auto item = Mesh("wave.ANB");
    // A subset left from an earlier failed load is kept as subset 0 and
    // gets the new buffers; the others go.
    item->subsets.resize(2);
    item->subsets[0].skin.resize(9);
    ASSERT_EQ(item->Load(), 1) << library_.GetLastError();
    ASSERT_EQ(item->subsets.size(), 1u);
    ASSERT_EQ(item->subsetSettings.size(), 1u);
    const MeshSubset& s = item->subsets[0];
    EXPECT_EQ(s.name, "Subset 1");
    EXPECT_EQ(std::vector<uint32_t>({s.fvf, s.vertexSize, s.frameCount, s.triangleCount,
                                     s.vertexCount}),
              std::vector<uint32_t>({274, 32, 3, 2, 6}));
    EXPECT_TRUE(s.skin.empty());
    // The bounds cover all three frames (z 0, 10 and 20).
    EXPECT_EQ(std::vector<float>({s.boxMin.z, s.boxMax.z, s.boxMax.x,
                                  item->subsetSettings[0].boxMax[2]}),
              std::vector<float>({0, 20, 6, 20}));

    AnbWriter bad = TwoParts(1);
    bad.frameCount = 0;
    PutData("bad.anb", bad.WriteToMemory());
    auto failing = Mesh("bad.anb");
    EXPECT_EQ(failing->Load(), 0);
    EXPECT_EQ(failing->loaded, 0u);
    EXPECT_EQ(std::string(library_.GetLastError()), "Corrupt file: " + DataPath("bad.anb"));
}

} // namespace
