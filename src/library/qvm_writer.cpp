#include "library/qvm_writer.h"

#include "base/byte_writer.h"
#include "base/file_system.h"

namespace {

std::vector<uint8_t> EncodeSkin(const std::vector<SkinVertex>& skin) {
    std::vector<uint8_t> out(skin.size() * kSkinVertexBytes);
    for (size_t i = 0; i < skin.size(); ++i) {
        EncodeSkinVertex(skin[i], out.data() + i * kSkinVertexBytes);
    }
    return out;
}

void WriteSubset(ByteWriter& b, const QvmSubsetRecord& s, bool withSkin) {
    const uint32_t triangles = static_cast<uint32_t>(s.indices.size() / 3);
    b.Text(s.name);
    b.U32(s.subsetWord);
    b.U32(0);
    b.U32(0);
    b.U32(s.fvf);
    b.U32(s.vertexSize);
    b.U32(s.frameCount);
    b.U32(triangles);
    b.U32(s.vertexCount);
    for (uint32_t i = 0; i < triangles * 3; ++i) {
        b.U16(s.indices[i]);
    }
    if (s.vertexCount != 0) {
        b.Raw(s.vertices);
    }
    if (withSkin) {
        b.Raw(EncodeSkin(s.skin));
    }
}

} // namespace

void QvmWriter::AppendVertex(std::vector<uint8_t>& out, uint32_t vertexSize,
                             const Vector3& position, const Vector3& normal, float u, float v) {
    std::vector<uint8_t> vertex;
    ByteWriter b(vertex);
    b.F32(position.x);
    b.F32(position.y);
    b.F32(position.z);
    b.F32(normal.x);
    b.F32(normal.y);
    b.F32(normal.z);
    b.F32(u);
    b.F32(v);
    vertex.resize(vertexSize, 0);
    out.insert(out.end(), vertex.begin(), vertex.end());
}

std::vector<uint8_t> QvmWriter::WriteToMemory() const {
    std::vector<uint8_t> out;
    ByteWriter b(out);
    b.U32(version);
    b.U32(kind);
    if (kind == 1) {
        b.U32(static_cast<uint32_t>(bones.size()));
        b.U32(0);
        b.U32(0);
        for (const QvmBoneRecord& bone : bones) {
            b.Text(bone.name);
            b.U32(bone.parent);
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c) {
                    b.F32(bone.offset.m[r][c]);
                }
            }
            b.U32(0);
            b.U32(0);
        }
    }
    for (int i = 0; i < 9; ++i) {
        b.U32(0);
    }
    const bool skinInFile = kind == 1 && version >= 2;
    const bool carrier = kind == 1 && version < 2 && carrySkin && !subsets.empty();
    b.U32(static_cast<uint32_t>(subsets.size() + (carrier ? 1 : 0)));
    for (size_t i = 0; i < subsets.size(); ++i) {
        WriteSubset(b, subsets[i], skinInFile);
        if (i == 0 && carrier) {
            QvmSubsetRecord skin;
            skin.name = "Skin";
            skin.fvf = 0;
            skin.vertexSize = kSkinVertexBytes;
            skin.vertexCount = static_cast<uint32_t>(subsets[0].skin.size());
            skin.vertices = EncodeSkin(subsets[0].skin);
            WriteSubset(b, skin, false);
        }
    }
    return out;
}

int QvmWriter::WriteFile(const char* path) const { return WriteWholeFile(path, WriteToMemory()); }
