#include "library/anb_mesh.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "base/file_system.h"
#include "platform/graphics.h"
#include "platform/os/gfx/device.h"

namespace {

constexpr uint32_t kAnbFvf = 0x112; // position, normal, one (u, v)
constexpr uint64_t kPartHeaderBytes = 12;
constexpr uint64_t kVertexBytes = 24;  // position, normal
constexpr uint64_t kTriangleBytes = 6; // three u16
constexpr uint64_t kTexCoordBytes = 8;

struct PartCounts {
    uint32_t vertices = 0;
    uint32_t texCoords = 0;
    uint32_t triangles = 0;
};

template <typename T>
std::unique_ptr<T[]> Allocate(uint64_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count == 0 ? 1 : count]);
}

// Buffers made so far; released unless handed out.
struct MadeBuffers {
    gfx::IndexBuffer* indices = nullptr;
    gfx::VertexBuffer* vertices = nullptr;
    ~MadeBuffers() {
        if (indices != nullptr) {
            indices->Release();
        }
        if (vertices != nullptr) {
            vertices->Release();
        }
    }
};

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PutFloats(uint8_t* out, const float* values, size_t count) {
    std::memcpy(out, values, count * sizeof(float));
}

class AnbReader {
public:
    AnbReader(FileHandle& file, const char* path) : file_(file), path_(path ? path : "") {}

    int Read(gfx::Device* device, gfx::VertexBuffer** vb, gfx::IndexBuffer** ib,
             uint32_t* frames, uint32_t* triangles, uint32_t* perFrame);

private:
    int Corrupt() { return ReportGraphicsError("Corrupt file: %s", path_); }
    bool U32(uint32_t* value) {
        file_.SerializeWord(value);
        return !file_.Failed();
    }
    bool Skip(uint64_t bytes) {
        if (bytes > file_.BytesLeft()) {
            return false;
        }
        const int64_t target = int64_t{file_.Tell()} + int64_t(bytes);
        if (file_.Failed() || target > std::numeric_limits<int32_t>::max()) {
            return false;
        }
        return file_.Seek(static_cast<int32_t>(target), 0) == 0 && !file_.Failed();
    }
    // count x 3 u16 indices, each below `limit`, stored plus `base`.
    bool Indices(uint16_t* out, uint32_t count, uint32_t limit, uint32_t base);
    bool Counts(PartCounts* part) {
        return U32(&part->vertices) && U32(&part->texCoords) && U32(&part->triangles);
    }
    // First pass: every count, with the bytes each promises.
    bool Survey();

    FileHandle& file_;
    const char* path_;
    uint32_t frameCount_ = 0;
    uint32_t partCount_ = 0;
    uint64_t n_ = 0; // vertices of a frame
    uint64_t t_ = 0; // texture coordinates
    uint64_t k_ = 0; // triangles
};

bool AnbReader::Indices(uint16_t* out, uint32_t count, uint32_t limit, uint32_t base) {
    const uint64_t bytes = uint64_t{count} * kTriangleBytes;
    if (bytes > file_.BytesLeft()) {
        return false;
    }
    auto raw = Allocate<uint8_t>(bytes);
    if (!raw) {
        return false;
    }
    file_.SerializeBytes(raw.get(), static_cast<uint32_t>(bytes));
    if (file_.Failed()) {
        return false;
    }
    for (uint64_t i = 0; i < uint64_t{count} * 3; ++i) {
        const uint32_t index = GetU16(raw.get() + 2 * i);
        if (index >= limit) {
            return false;
        }
        out[i] = static_cast<uint16_t>(index + base);
    }
    return true;
}

bool AnbReader::Survey() {
    if (!U32(&frameCount_) || !U32(&partCount_)) {
        return false;
    }
    if (frameCount_ == 0 || uint64_t{partCount_} * kPartHeaderBytes > file_.BytesLeft()) {
        return false;
    }
    for (uint32_t p = 0; p < partCount_; ++p) {
        PartCounts part;
        if (!Counts(&part)) {
            return false;
        }
        n_ += part.vertices;
        t_ += part.texCoords;
        k_ += part.triangles;
        if (n_ > kAnbMaxVertices || t_ > kAnbMaxVertices) {
            return false;
        }
        const uint64_t data = uint64_t{part.vertices} * kVertexBytes +
                              uint64_t{part.triangles} * 2 * kTriangleBytes +
                              uint64_t{part.texCoords} * kTexCoordBytes;
        if (!Skip(data)) {
            return false;
        }
    }
    if (t_ > 0 && n_ == 0) {
        return false; // texture coordinates without a vertex to place them at
    }
    return (uint64_t{frameCount_} - 1) * n_ * kVertexBytes <= file_.BytesLeft();
}

int AnbReader::Read(gfx::Device* device, gfx::VertexBuffer** vbOut, gfx::IndexBuffer** ibOut,
                    uint32_t* framesOut, uint32_t* trianglesOut, uint32_t* perFrameOut) {
    if (!Survey() || file_.Seek(0, 0) != 0) {
        return Corrupt();
    }
    const uint64_t frames = frameCount_;
    auto positionIndices = Allocate<uint16_t>(k_ * 3);
    auto textureIndices = Allocate<uint16_t>(k_ * 3);
    auto texCoords = Allocate<float>(t_ * 2);
    auto vertices = Allocate<float>(frames * n_ * 6);
    if (!positionIndices || !textureIndices || !texCoords || !vertices) {
        return ReportGraphicsError("Fail to Alloc memory for: %s", path_);
    }

    // Second pass: the parts into place after the earlier parts.
    uint32_t frameCount = 0;
    uint32_t partCount = 0;
    if (!U32(&frameCount) || !U32(&partCount) || frameCount != frameCount_ ||
        partCount != partCount_) {
        return Corrupt();
    }
    uint32_t n0 = 0;
    uint32_t t0 = 0;
    uint64_t k0 = 0;
    for (uint32_t p = 0; p < partCount_; ++p) {
        PartCounts part;
        if (!Counts(&part) || n0 + uint64_t{part.vertices} > n_ ||
            t0 + uint64_t{part.texCoords} > t_ || k0 + part.triangles > k_) {
            return Corrupt();
        }
        file_.SerializeWords(vertices.get() + uint64_t{n0} * 6, part.vertices * 6);
        if (file_.Failed() ||
            !Indices(positionIndices.get() + k0 * 3, part.triangles, part.vertices, n0)) {
            return Corrupt();
        }
        file_.SerializeWords(texCoords.get() + uint64_t{t0} * 2, part.texCoords * 2);
        if (file_.Failed() ||
            !Indices(textureIndices.get() + k0 * 3, part.triangles, part.texCoords, t0)) {
            return Corrupt();
        }
        n0 += part.vertices;
        t0 += part.texCoords;
        k0 += part.triangles;
    }
    const uint64_t laterFloats = (frames - 1) * n_ * 6;
    file_.SerializeWords(vertices.get() + n_ * 6, static_cast<uint32_t>(laterFloats));
    if (file_.Failed()) {
        return Corrupt();
    }

    // Buffers. Their lengths are 32-bit: a mesh whose frames do not fit is
    // refused like any buffer the device can't make.
    const uint64_t indexBytes = k_ * kTriangleBytes;
    const uint64_t vertexBytes = frames * t_ * kAnbRenderVertexBytes;
    MadeBuffers made;
    if (device == nullptr || indexBytes == 0 || indexBytes > UINT32_MAX ||
        gfx::Failed(device->CreateIndexBuffer(static_cast<uint32_t>(indexBytes), 0,
                                              gfx::Format::Index16, gfx::Pool::Managed,
                                              &made.indices))) {
        return ReportGraphicsError("Error Creating Index Buffer");
    }
    if (vertexBytes == 0 || vertexBytes > UINT32_MAX ||
        gfx::Failed(device->CreateVertexBuffer(static_cast<uint32_t>(vertexBytes), 0, kAnbFvf,
                                               gfx::Pool::Managed, &made.vertices))) {
        return ReportGraphicsError("Error Creating Vertex Buffer");
    }

    uint8_t* indexData = nullptr;
    if (gfx::Failed(made.indices->Lock(0, 0, &indexData, 0)) || indexData == nullptr) {
        return ReportGraphicsError("LockIndexBuffer");
    }
    for (uint64_t i = 0; i < k_ * 3; ++i) {
        indexData[2 * i] = static_cast<uint8_t>(textureIndices[i] & 0xFF);
        indexData[2 * i + 1] = static_cast<uint8_t>(textureIndices[i] >> 8);
    }
    uint8_t* vertexData = nullptr;
    if (gfx::Failed(made.vertices->Lock(0, 0, &vertexData, 0)) || vertexData == nullptr) {
        made.indices->Unlock();
        return ReportGraphicsError("LockVertexBuffer");
    }
    std::memset(vertexData, 0, static_cast<size_t>(vertexBytes));
    for (uint64_t f = 0; f < frames; ++f) {
        const float* frameVertices = vertices.get() + f * n_ * 6;
        uint8_t* frameOut = vertexData + f * t_ * kAnbRenderVertexBytes;
        for (uint64_t t = 0; t < t_; ++t) {
            PutFloats(frameOut + t * kAnbRenderVertexBytes, frameVertices, 3);
        }
        for (uint64_t c = 0; c < k_ * 3; ++c) {
            const uint32_t i = positionIndices[c];
            const uint32_t t = textureIndices[c];
            uint8_t* out = frameOut + uint64_t{t} * kAnbRenderVertexBytes;
            PutFloats(out, frameVertices + uint64_t{i} * 6, 6);
            PutFloats(out + 24, texCoords.get() + uint64_t{t} * 2, 2);
        }
    }
    made.vertices->Unlock();
    made.indices->Unlock();

    *vbOut = made.vertices;
    *ibOut = made.indices;
    made.vertices = nullptr;
    made.indices = nullptr;
    *framesOut = frameCount_;
    *trianglesOut = static_cast<uint32_t>(k_);
    *perFrameOut = static_cast<uint32_t>(t_);
    return 1;
}

} // namespace

int LoadAnimatedMeshFrom(FileHandle& file, const char* path, gfx::Device* device,
                         gfx::VertexBuffer** vertexBuffer, gfx::IndexBuffer** indexBuffer,
                         uint32_t* frameCount, uint32_t* triangleCount,
                         uint32_t* verticesPerFrame) {
    if (vertexBuffer == nullptr || indexBuffer == nullptr || frameCount == nullptr ||
        triangleCount == nullptr || verticesPerFrame == nullptr) {
        return 0;
    }
    AnbReader reader(file, path);
    return reader.Read(device, vertexBuffer, indexBuffer, frameCount, triangleCount,
                       verticesPerFrame);
}

int LoadAnimatedMeshFile(const char* path, gfx::VertexBuffer** vertexBuffer,
                         gfx::IndexBuffer** indexBuffer, uint32_t* frameCount,
                         uint32_t* triangleCount, uint32_t* verticesPerFrame) {
    FileHandle file;
    if (path == nullptr || !file.Open(path, "rb ")) {
        return ReportGraphicsError("Can´t open file: %s", path ? path : "");
    }
    const int result = LoadAnimatedMeshFrom(file, path, GetD3DDevice(), vertexBuffer, indexBuffer,
                                            frameCount, triangleCount, verticesPerFrame);
    file.Close();
    return result;
}
