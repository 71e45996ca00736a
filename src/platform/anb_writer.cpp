#include "platform/anb_writer.h"

#include <cstring>

#include "core/file_system.h"

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<uint8_t>& out) : out_(out) {}
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void U16(uint16_t v) {
        out_.push_back(static_cast<uint8_t>(v & 0xFF));
        out_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void F32(float f) {
        uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        U32(bits);
    }
    void Vertex(const AnbVertex& v) {
        F32(v.position.x);
        F32(v.position.y);
        F32(v.position.z);
        F32(v.normal.x);
        F32(v.normal.y);
        F32(v.normal.z);
    }

private:
    std::vector<uint8_t>& out_;
};

} // namespace

std::vector<uint8_t> AnbWriter::WriteToMemory() const {
    std::vector<uint8_t> out;
    Bytes b(out);
    b.U32(frameCount);
    b.U32(static_cast<uint32_t>(parts.size()));
    for (const AnbPart& part : parts) {
        const size_t corners = part.positionIndices.size() / 3 * 3;
        b.U32(static_cast<uint32_t>(part.vertices.size()));
        b.U32(static_cast<uint32_t>(part.texCoords.size()));
        b.U32(static_cast<uint32_t>(corners / 3));
        for (const AnbVertex& v : part.vertices) {
            b.Vertex(v);
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
            b.Vertex(v);
        }
    }
    return out;
}

int AnbWriter::WriteFile(const char* path) const {
    std::vector<uint8_t> bytes = WriteToMemory();
    FileHandle file;
    if (path == nullptr || !file.Open(path, "wb")) {
        return 0;
    }
    file.SerializeBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return file.Close() == 0 ? 1 : 0;
}
