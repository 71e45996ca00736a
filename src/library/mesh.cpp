#include "library/mesh.h"

#include <cstring>
#include <string>

#include "base/pack_archive.h"
#include "library/anb_mesh.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/gfx/device.h"

namespace {

constexpr Matrix kIdentity = {{{1.0f, 0.0f, 0.0f, 0.0f},
                               {0.0f, 1.0f, 0.0f, 0.0f},
                               {0.0f, 0.0f, 1.0f, 0.0f},
                               {0.0f, 0.0f, 0.0f, 1.0f}}};

// Culling bounds of every subset of a skinned mesh, whatever its pose.
constexpr float kSkinnedBoxHalf = 200.0f;
constexpr float kSkinnedRadius = 250.0f;

constexpr uint32_t kPositionBytes = 12;

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    return text;
}

// The box of a subset's vertices without loading the item; zeros when
// there is nothing to read.
AABox VertexBoundsOf(MeshItem& mesh, uint32_t index, const Matrix& m) {
    AABox out{};
    if (mesh.subsets.empty()) {
        if (index < mesh.subsetSettings.size()) {
            const SubsetSettings& r = mesh.subsetSettings[index];
            const Vector3 min = {r.boxMin[0], r.boxMin[1], r.boxMin[2]};
            const Vector3 max = {r.boxMax[0], r.boxMax[1], r.boxMax[2]};
            BoxTransformBounds(&out.min, &out.max, min, max, m);
        }
        return out;
    }
    if (index >= mesh.subsets.size()) {
        return out;
    }
    MeshSubset& s = mesh.subsets[index];
    const uint64_t count = uint64_t{s.vertexCount} * s.frameCount;
    if (s.vertexBuffer == nullptr || count == 0 || s.vertexSize < kPositionBytes ||
        (count - 1) * s.vertexSize + kPositionBytes > s.vertexBuffer->GetLength()) {
        return out;
    }
    uint8_t* data = nullptr;
    if (gfx::Failed(s.vertexBuffer->Lock(0, 0, &data, 0)) || data == nullptr) {
        return out;
    }
    AABox box = {{1e38f, 1e38f, 1e38f}, {-1e38f, -1e38f, -1e38f}};
    for (uint64_t i = 0; i < count; ++i) {
        Vector3 p;
        std::memcpy(&p, data + i * s.vertexSize, sizeof p);
        Vec3TransformCoord(&p, p, m);
        if (p.x > box.max.x) box.max.x = p.x;
        if (p.y > box.max.y) box.max.y = p.y;
        if (p.z > box.max.z) box.max.z = p.z;
        if (p.x < box.min.x) box.min.x = p.x;
        if (p.y < box.min.y) box.min.y = p.y;
        if (p.z < box.min.z) box.min.z = p.z;
    }
    s.vertexBuffer->Unlock();
    return box;
}

// The item a settings record names as its second texture, when it is a
// texture item of the table.
LibraryItem* SecondTexture(ResourceLibrary& library, uint32_t slot) {
    LibraryItem* item = library.GetItemById(slot);
    if (item == nullptr || item->GetClass() != ItemClass::Texture) {
        return nullptr;
    }
    return item;
}

int LoadMeshItem(LibraryItem& base) {
    auto& item = static_cast<MeshItem&>(base);
    if (item.loaded != 0) {
        return 1;
    }
    ResourceLibrary* library = GetLibrary();
    // Marked first: the bounds taken while reading must not load it again.
    item.loaded = 1;
    if (!LoadMeshFromFile(library, &item)) {
        item.loaded = 0;
        return 0;
    }
    for (size_t i = 0; i < item.subsets.size(); ++i) {
        SubsetSettings& r = item.subsetSettings[i];
        if (item.meshKind == 1) {
            for (int a = 0; a < 3; ++a) {
                r.boxMin[a] = -kSkinnedBoxHalf;
                r.boxMax[a] = kSkinnedBoxHalf;
                r.sphereCentre[a] = 0.0f;
            }
            r.sphereRadius = kSkinnedRadius;
            r.outerRadius = kSkinnedRadius;
            continue;
        }
        const MeshSubset& s = item.subsets[i];
        const Vector3* from[3] = {&s.boxMin, &s.boxMax, &s.sphereCentre};
        float* to[3] = {r.boxMin, r.boxMax, r.sphereCentre};
        for (int v = 0; v < 3; ++v) {
            to[v][0] = from[v]->x;
            to[v][1] = from[v]->y;
            to[v][2] = from[v]->z;
        }
        r.sphereRadius = s.sphereRadius;
        r.outerRadius = s.outerRadius;
        if (r.secondTexture != kNoSlot) {
            if (LibraryItem* texture = SecondTexture(*library, r.secondTexture)) {
                texture->used = 1;
                texture->Load();
            }
        }
    }
    return 1;
}

int ReleaseMeshItem(LibraryItem& base) {
    auto& item = static_cast<MeshItem&>(base);
    if (item.loaded == 0) {
        return 1;
    }
    ResourceLibrary* library = GetLibrary();
    for (size_t i = 0; i < item.subsets.size() && i < item.subsetSettings.size(); ++i) {
        const uint32_t slot = item.subsetSettings[i].secondTexture;
        if (slot == kNoSlot || library == nullptr) {
            continue;
        }
        if (LibraryItem* texture = SecondTexture(*library, slot)) {
            texture->used = 1;
            texture->Release();
        }
    }
    item.subsets.clear();
    item.bones.clear();
    item.loaded = 0;
    return 1;
}

// The ".anb" branch: one subset holding the animated mesh.
int LoadAnimatedSubset(ResourceLibrary& library, MeshItem& item, const std::string& path) {
    if (item.subsets.empty()) {
        item.subsets.emplace_back();
    } else {
        item.subsets.resize(1);
    }
    gfx::VertexBuffer* vertices = nullptr;
    gfx::IndexBuffer* indices = nullptr;
    uint32_t frames = 0;
    uint32_t triangles = 0;
    uint32_t perFrame = 0;
    if (!LoadAnimatedMeshFile(path.c_str(), &vertices, &indices, &frames, &triangles,
                              &perFrame)) {
        return library.ReportLibraryError("%s", GetGraphicsErrorText());
    }
    MeshSubset& s = item.subsets[0];
    // Skin records and run-time data described the old vertices.
    s.ReleaseResources();
    s.vertexBuffer = vertices;
    s.indexBuffer = indices;
    s.frameCount = frames;
    s.triangleCount = triangles;
    s.vertexCount = perFrame;
    s.fvf = kAnimatedMeshFvf;
    s.vertexSize = kAnimatedMeshStride;
    UpdateSubsetBounds(item, 0);
    return 1;
}

} // namespace

void SphereOfBox(const AABox& box, Vector3* centre, float* radius) {
    *centre = {(box.min.x + box.max.x) * 0.5f, (box.min.y + box.max.y) * 0.5f,
               (box.min.z + box.max.z) * 0.5f};
    const Vector3 extent = {box.max.x - box.min.x, box.max.y - box.min.y, box.max.z - box.min.z};
    *radius = 0.5f * Vec3Length(extent);
}

void RegisterMeshLoader() { SetItemLoader(ItemClass::Mesh, {LoadMeshItem, ReleaseMeshItem}); }

int LoadMeshFromFile(ResourceLibrary* library, MeshItem* item) {
    if (library == nullptr) {
        return 0;
    }
    if (item == nullptr) {
        return library->ReportLibraryError("Error: Load Mesh From File");
    }
    const std::string path = library->GetDataFilePath(*item);
    const std::string extension = LowerAscii(GetFileExtension(path));
    const std::string errorBefore = library->GetLastError();
    bool loaded = true;
    if (extension == ".qvm") {
        item->subsets.clear();
        loaded = ReadQvmMesh(library, item, path.c_str()) != 0;
    } else if (extension == ".x") {
        // Accepted; no geometry.
    } else if (extension == ".anb") {
        loaded = LoadAnimatedSubset(*library, *item, path) != 0;
    } else {
        loaded = library->ReportLibraryError("Error Unsupported format") != 0;
    }
    if (!loaded) {
        // The readers' own words say why, when they said anything.
        const std::string error = library->GetLastError();
        library->NoteItemLoadFailure(error != errorBefore ? error : "the mesh reader refused it");
        return 0;
    }
    item->subsetSettings.resize(item->subsets.size());
    return 1;
}

void ComputeVertexBounds(AABox* out, MeshItem* mesh, uint32_t subset, const Matrix* matrix) {
    if (out == nullptr) {
        return;
    }
    if (mesh == nullptr) {
        *out = AABox{};
        return;
    }
    if (mesh->loaded == 0) {
        mesh->Load();
    }
    *out = VertexBoundsOf(*mesh, subset, matrix != nullptr ? *matrix : kIdentity);
}

void ComputeBoundingSphere(float out[4], MeshItem* mesh, uint32_t subset) {
    if (out == nullptr) {
        return;
    }
    AABox box;
    ComputeVertexBounds(&box, mesh, subset, nullptr);
    Vector3 centre;
    SphereOfBox(box, &centre, &out[3]);
    out[0] = centre.x;
    out[1] = centre.y;
    out[2] = centre.z;
}

void UpdateSubsetBounds(MeshItem& item, uint32_t subset) {
    if (subset >= item.subsets.size()) {
        return;
    }
    const AABox box = VertexBoundsOf(item, subset, kIdentity);
    MeshSubset& s = item.subsets[subset];
    s.boxMin = box.min;
    s.boxMax = box.max;
    SphereOfBox(box, &s.sphereCentre, &s.sphereRadius);
    s.outerRadius = Vec3Length(s.sphereCentre) + s.sphereRadius;
}
