#include "library/anb_writer.h"

#include "base/byte_writer.h"
#include "base/file_system.h"

namespace {

void PutVertex(ByteWriter& b, const AnbVertex& v) {
    b.F32(v.position.x);
    b.F32(v.position.y);
    b.F32(v.position.z);
    b.F32(v.normal.x);
    b.F32(v.normal.y);
    b.F32(v.normal.z);
}

} // namespace

std::vector<uint8_t> AnbWriter::WriteToMemory() const {
    std::vector<uint8_t> out;
    ByteWriter b(out);
    b.U32(frameCount);
    b.U32(static_cast<uint32_t>(parts.size()));
    for (const AnbPart& part : parts) {
        const size_t corners = part.positionIndices.size() / 3 * 3;
        b.U32(static_cast<uint32_t>(part.vertices.size()));
        b.U32(static_cast<uint32_t>(part.texCoords.size()));
        b.U32(static_cast<uint32_t>(corners / 3));
        for (const AnbVertex& v : part.vertices) {
            PutVertex(b, v);
        }
        for (size_t i = 0; i < corners; ++i) {
            b.U16(part.positionIndices[i]);
        }
        for (const Vector2& t : part.texCoords) {
            b.F32(t.x);
            b.F32(t.y);
        }
        for (size_t i = 0; i < corners; ++i) {
            b.U16(i < part.textureIndices.size() ? part.textureIndices[i] : 0);
        }
    }
    for (const auto& frame : laterFrames) {
        for (const AnbVertex& v : frame) {
            PutVertex(b, v);
        }
    }
    return out;
}

int AnbWriter::WriteFile(const char* path) const { return WriteWholeFile(path, WriteToMemory()); }
