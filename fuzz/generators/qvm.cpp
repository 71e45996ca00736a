// Writes seed ".qvm" files into the folder given as the argument: both kinds at versions 1 and 2,
// several frames, subsets without triangles or vertices, and a bone tree.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "library/qvm_writer.h"
#include "seed_folder.h"

namespace {

QvmSubsetRecord Subset(uint32_t vertices, uint32_t frames, uint32_t vertexSize, uint32_t fvf) {
    QvmSubsetRecord s;
    s.fvf = fvf;
    s.vertexSize = vertexSize;
    s.frameCount = frames;
    s.vertexCount = vertices;
    for (uint32_t f = 0; f < frames; ++f) {
        for (uint32_t i = 0; i < vertices; ++i) {
            const float x = static_cast<float>(i);
            QvmWriter::AppendVertex(s.vertices, vertexSize, {x, x * x, static_cast<float>(f)},
                                    {0, 1, 0}, x, 0.5f);
        }
    }
    for (uint32_t i = 1; i + 1 < vertices; ++i) {
        s.indices.insert(s.indices.end(),
                         {0, static_cast<uint16_t>(i), static_cast<uint16_t>(i + 1)});
    }
    return s;
}

QvmWriter Skinned(uint32_t version) {
    QvmWriter w(version, 1);
    w.bones = {{"Root", kQvmNoParent, kBoneIdentity},
               {"Spine", 0, kBoneIdentity},
               {"Arm", 1, kBoneIdentity}};
    w.bones[2].offset.m[3][1] = -1.0f;
    QvmSubsetRecord s = Subset(4, 1, 32, 0x112);
    for (uint32_t i = 0; i < 4; ++i) {
        SkinVertex k{};
        k.position = {static_cast<float>(i), 0.0f, 0.0f};
        k.influenceCount = static_cast<uint8_t>(i % 3);
        k.weights[0] = 0.5f;
        k.weights[1] = 0.5f;
        k.bones[0] = static_cast<uint8_t>(i % 3);
        k.bones[1] = 2;
        k.bones[3] = 0xFF;
        k.normal = {0.0f, 0.0f, 1.0f};
        s.skin.push_back(k);
    }
    w.subsets.push_back(s);
    if (version >= 2) {
        QvmSubsetRecord empty;
        w.subsets.push_back(empty);
    }
    return w;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = SeedFolder(argc, argv);
    if (folder.empty()) {
        return 2;
    }
    bool ok = true;

    QvmWriter plain(2, 0);
    plain.subsets.push_back(Subset(5, 1, 32, 0x112));
    QvmSubsetRecord points = Subset(3, 1, 16, 0x042); // position, colour
    points.indices.clear();
    plain.subsets.push_back(points);
    ok &= SaveSeed(folder / "plain_v2.qvm", plain.WriteToMemory());
    plain.version = 1;
    ok &= SaveSeed(folder / "plain_v1.qvm", plain.WriteToMemory());

    QvmWriter frames(2, 0);
    frames.subsets.push_back(Subset(6, 3, 36, 0x152));
    ok &= SaveSeed(folder / "frames.qvm", frames.WriteToMemory());

    ok &= SaveSeed(folder / "skinned_v2.qvm", Skinned(2).WriteToMemory());
    ok &= SaveSeed(folder / "skinned_v1.qvm", Skinned(1).WriteToMemory());
    return ok ? 0 : 1;
}
