#include "library/mesh_subset.h"

#include <cstring>
#include <utility>

#include "base/le_bytes.h"
#include "platform/os/gfx/device.h"

namespace {

float GetF32(const uint8_t* p) {
    const uint32_t bits = ReadLe32(p);
    float f = 0.0f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void PutF32(uint8_t* p, float f) {
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    PutU32(p, bits);
}

} // namespace

SkinVertex DecodeSkinVertex(const uint8_t* b) {
    SkinVertex s{};
    s.position = {GetF32(b), GetF32(b + 4), GetF32(b + 8)};
    s.influenceCount = b[12];
    std::memcpy(s.padding, b + 13, 3);
    for (int i = 0; i < 4; ++i) {
        s.weights[i] = GetF32(b + 16 + 4 * i);
        s.bones[i] = b[32 + i];
    }
    s.normal = {GetF32(b + 36), GetF32(b + 40), GetF32(b + 44)};
    s.unused[0] = GetF32(b + 48);
    s.unused[1] = GetF32(b + 52);
    return s;
}

void EncodeSkinVertex(const SkinVertex& s, uint8_t* b) {
    PutF32(b, s.position.x);
    PutF32(b + 4, s.position.y);
    PutF32(b + 8, s.position.z);
    b[12] = s.influenceCount;
    std::memcpy(b + 13, s.padding, 3);
    for (int i = 0; i < 4; ++i) {
        PutF32(b + 16 + 4 * i, s.weights[i]);
        b[32 + i] = s.bones[i];
    }
    PutF32(b + 36, s.normal.x);
    PutF32(b + 40, s.normal.y);
    PutF32(b + 44, s.normal.z);
    PutF32(b + 48, s.unused[0]);
    PutF32(b + 52, s.unused[1]);
}

MeshSubset::~MeshSubset() { ReleaseResources(); }

MeshSubset::MeshSubset(MeshSubset&& other) noexcept { *this = std::move(other); }

MeshSubset& MeshSubset::operator=(MeshSubset&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    ReleaseResources();
    vertexBuffer = std::exchange(other.vertexBuffer, nullptr);
    indexBuffer = std::exchange(other.indexBuffer, nullptr);
    fvf = other.fvf;
    vertexSize = other.vertexSize;
    vertexCount = other.vertexCount;
    triangleCount = other.triangleCount;
    frameCount = other.frameCount;
    subsetWord = other.subsetWord;
    name = std::move(other.name);
    boxMin = other.boxMin;
    boxMax = other.boxMax;
    sphereCentre = other.sphereCentre;
    sphereRadius = other.sphereRadius;
    outerRadius = other.outerRadius;
    flagWord = other.flagWord;
    work = std::move(other.work);
    skin = std::move(other.skin);
    return *this;
}

void MeshSubset::ReleaseResources() {
    SetVertexBuffer(nullptr);
    SetIndexBuffer(nullptr);
    work.reset();
    skin.clear();
    skin.shrink_to_fit();
}

void MeshSubset::SetVertexBuffer(gfx::VertexBuffer* buffer) {
    if (vertexBuffer != nullptr && vertexBuffer != buffer) {
        vertexBuffer->Release();
    }
    vertexBuffer = buffer;
}

void MeshSubset::SetIndexBuffer(gfx::IndexBuffer* buffer) {
    if (indexBuffer != nullptr && indexBuffer != buffer) {
        indexBuffer->Release();
    }
    indexBuffer = buffer;
}
