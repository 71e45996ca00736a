// The ".qvm" reader (format in library/mesh.h).
#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "library/library_item.h"
#include "library/mesh.h"
#include "library/name_table.h"
#include "library/record_io.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/gfx/device.h"

namespace {

constexpr uint64_t kIndexTripleBytes = 6;
constexpr uint32_t kPositionBytes = 12;
// Skinning writes a position and a normal into every vertex.
constexpr uint32_t kSkinnedVertexBytes = 24;
constexpr uint32_t kMaxInfluences = 4;
constexpr uint32_t kBoneReservedWords = 2;
constexpr uint32_t kHeaderReservedWords = 9;
constexpr uint32_t kSubsetReservedWords = 2;

uint32_t GetU16(const uint8_t* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); }

class QvmReader {
public:
    QvmReader(ResourceLibrary& library, MeshItem& item, Archive& file, const char* path,
              gfx::Device* device)
        : library_(library), item_(item), io_(file), path_(path ? path : ""), device_(device) {}

    int Read();

private:
    int Corrupt() { return library_.ReportLibraryError("Corrupt file: %s", path_); }
    bool ReadBones();
    int ReadSubset(uint32_t index);
    // Locks the whole buffer and reads its bytes of the record into it; the
    // caller checks the read and unlocks. Null when the buffer does not lock.
    uint8_t* LockAndRead(gfx::Buffer& buffer, uint64_t bytes);
    // Whether the bones that skinning reads of the record exist.
    bool SkinValid(const SkinVertex& skin) const;
    bool DecodeSkin(const uint8_t* bytes, uint32_t count, std::vector<SkinVertex>* out) const;
    int TakeSkinFromSecondSubset();

    ResourceLibrary& library_;
    MeshItem& item_;
    RecordIo io_;
    const char* path_;
    gfx::Device* device_;
    uint32_t version_ = 0;
    uint32_t kind_ = 0;
};

int QvmReader::Read() {
    io_.U32(version_);
    io_.U32(kind_);
    if (!io_.Ok()) {
        return Corrupt();
    }
    item_.meshKind = kind_;
    item_.bones.clear();
    if (kind_ == 1 && !ReadBones()) {
        item_.bones.clear();
        return Corrupt();
    }
    io_.Reserved(kHeaderReservedWords);
    uint32_t count = 0;
    if (!io_.Count(count, kQvmSubsetRecordBytes)) {
        return Corrupt();
    }
    const bool skinInSecondSubset = kind_ == 1 && version_ < 2;
    if (skinInSecondSubset && count < 2) {
        return Corrupt();
    }
    item_.subsets.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!ReadSubset(i)) {
            return 0;
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        UpdateSubsetBounds(item_, i);
    }
    return skinInSecondSubset ? TakeSkinFromSecondSubset() : 1;
}

bool QvmReader::ReadBones() {
    uint32_t count = 0;
    if (!io_.Count(count, kQvmBoneRecordBytes)) {
        return false;
    }
    io_.Reserved(kBoneReservedWords);
    item_.bones.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        auto bone = std::make_unique<Bone>();
        std::string name;
        uint32_t parent = 0;
        io_.Text(name);
        io_.U32(parent);
        io_.F32s(&bone->offset.m[0][0], 16);
        io_.Reserved(kBoneReservedWords);
        if (!io_.Ok() || (parent != kQvmNoParent && parent >= count)) {
            return false;
        }
        bone->parent = static_cast<int32_t>(parent);
        bone->nameId = GetNameTable().FindOrAdd(name);
        item_.bones.push_back(std::move(bone));
    }
    for (auto& bone : item_.bones) {
        if (bone->parent >= 0) {
            item_.bones[static_cast<size_t>(bone->parent)]->children.push_back(bone.get());
        }
    }
    return true;
}

bool QvmReader::SkinValid(const SkinVertex& skin) const {
    if (skin.influenceCount > kMaxInfluences) {
        return false;
    }
    const uint32_t read = skin.influenceCount == 0 ? 1u : skin.influenceCount;
    for (uint32_t k = 0; k < read; ++k) {
        if (skin.bones[k] >= item_.bones.size()) {
            return false;
        }
    }
    return true;
}

bool QvmReader::DecodeSkin(const uint8_t* bytes, uint32_t count,
                           std::vector<SkinVertex>* out) const {
    out->resize(count);
    for (uint32_t j = 0; j < count; ++j) {
        (*out)[j] = DecodeSkinVertex(bytes + uint64_t{j} * kSkinVertexBytes);
        if (!SkinValid((*out)[j])) {
            out->clear();
            return false;
        }
    }
    return true;
}

uint8_t* QvmReader::LockAndRead(gfx::Buffer& buffer, uint64_t bytes) {
    uint8_t* data = nullptr;
    if (gfx::Failed(buffer.Lock(0, 0, &data, 0)) || data == nullptr) {
        return nullptr;
    }
    io_.Bytes(data, static_cast<uint32_t>(bytes));
    return data;
}

int QvmReader::ReadSubset(uint32_t index) {
    MeshSubset& s = item_.subsets[index];
    io_.Text(s.name);
    io_.U32(s.subsetWord);
    io_.Reserved(kSubsetReservedWords);
    io_.U32(s.fvf);
    io_.U32(s.vertexSize);
    io_.U32(s.frameCount);
    io_.U32(s.triangleCount);
    io_.U32(s.vertexCount);
    if (!io_.Ok()) {
        return Corrupt();
    }
    const uint32_t v = s.vertexCount;
    const bool skinInFile = kind_ == 1 && version_ >= 2;
    const bool carriesSkin = kind_ == 1 && v != 0 && (skinInFile || index == 0);
    const uint64_t indexBytes = uint64_t{s.triangleCount} * kIndexTripleBytes;
    const uint64_t vertexBytes = uint64_t{s.vertexSize} * s.frameCount * v;
    const uint64_t skinBytes = skinInFile ? uint64_t{v} * kSkinVertexBytes : 0;
    if (indexBytes + vertexBytes + skinBytes > io_.BytesLeft()) {
        return Corrupt();
    }
    if (v != 0) {
        const gfx::VertexLayout layout = gfx::DecodeFvf(s.fvf);
        if (!layout.valid || s.frameCount == 0 || s.vertexSize < layout.size ||
            s.vertexSize < kPositionBytes || (carriesSkin && s.vertexSize < kSkinnedVertexBytes)) {
            return Corrupt();
        }
    }

    if (indexBytes != 0) {
        gfx::IndexBuffer* buffer = nullptr;
        if (device_ == nullptr ||
            gfx::Failed(device_->CreateIndexBuffer(static_cast<uint32_t>(indexBytes), 0,
                                                   gfx::Format::Index16, gfx::Pool::SystemMem,
                                                   &buffer))) {
            return library_.ReportLibraryError("Error Creating Index Buffer");
        }
        s.SetIndexBuffer(buffer);
        const uint8_t* data = LockAndRead(*buffer, indexBytes);
        if (data == nullptr) {
            return library_.ReportLibraryError("LockIndexBuffer");
        }
        bool inRange = io_.Ok();
        for (uint64_t i = 0; inRange && i < indexBytes / 2; ++i) {
            inRange = GetU16(data + 2 * i) < v;
        }
        buffer->Unlock();
        if (!inRange) {
            return Corrupt();
        }
    }

    if (v != 0) {
        gfx::VertexBuffer* buffer = nullptr;
        if (device_ == nullptr ||
            gfx::Failed(device_->CreateVertexBuffer(static_cast<uint32_t>(vertexBytes), 0, s.fvf,
                                                    gfx::Pool::SystemMem, &buffer))) {
            return library_.ReportLibraryError("Error Creating Vertex Buffer");
        }
        s.SetVertexBuffer(buffer);
        if (LockAndRead(*buffer, vertexBytes) == nullptr) {
            return library_.ReportLibraryError("LockVertexBuffer");
        }
        buffer->Unlock();
        if (!io_.Ok()) {
            return Corrupt();
        }
    }

    if (skinBytes != 0) {
        std::vector<uint8_t> raw(skinBytes);
        io_.Bytes(raw.data(), static_cast<uint32_t>(skinBytes));
        if (!io_.Ok() || !DecodeSkin(raw.data(), v, &s.skin)) {
            return Corrupt();
        }
    }
    return 1;
}

// Skinned files before version 2 keep the first subset's skin records in
// the second subset's vertex data; the item then keeps only the first.
int QvmReader::TakeSkinFromSecondSubset() {
    MeshSubset& first = item_.subsets[0];
    const uint32_t count = first.vertexCount;
    if (count != 0) {
        gfx::VertexBuffer* carrier = item_.subsets[1].vertexBuffer;
        const uint64_t needed = uint64_t{count} * kSkinVertexBytes;
        if (carrier == nullptr || carrier->GetLength() < needed) {
            return Corrupt();
        }
        uint8_t* data = nullptr;
        if (gfx::Failed(carrier->Lock(0, 0, &data, 0)) || data == nullptr) {
            return library_.ReportLibraryError("LockVertexBuffer");
        }
        std::vector<SkinVertex> skin;
        const bool valid = DecodeSkin(data, count, &skin);
        carrier->Unlock();
        if (!valid) {
            return Corrupt();
        }
        first.skin = std::move(skin);
    }
    item_.subsets.resize(1);
    return 1;
}

} // namespace

int ReadQvmMeshFrom(ResourceLibrary& library, MeshItem& item, Archive& file, const char* path,
                    gfx::Device* device) {
    QvmReader reader(library, item, file, path, device);
    return reader.Read();
}

int ReadQvmMesh(ResourceLibrary* library, MeshItem* item, const char* path) {
    if (library == nullptr) {
        return 0;
    }
    if (item == nullptr) {
        return library->ReportLibraryError("Error Can't Load Mesh");
    }
    Archive file;
    if (path == nullptr || !file.Open(path, "rb")) {
        return library->ReportLibraryError("Error Opening File: %s", path ? path : "");
    }
    const int result = ReadQvmMeshFrom(*library, *item, file, path, GetD3DDevice());
    file.Close();
    return result;
}
