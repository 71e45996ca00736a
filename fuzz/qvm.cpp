// ".qvm" mesh files from untrusted bytes: reading fails cleanly or gives a
// mesh whose indices, skin records and bone links stay inside what it has.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/file_system.h"
#include "library/library_item.h"
#include "library/mesh.h"
#include "library/resource_library.h"
#include "platform/os/gfx/recording_device.h"

namespace {

// Keeps no call log, so long runs do not grow.
class QuietDevice : public gfx::RecordingDevice {
public:
    QuietDevice() : gfx::RecordingDevice(1, 1) {}

protected:
    void Record(const std::string&) override {}
};

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

void CheckMesh(const MeshItem& item) {
    const size_t bones = item.bones.size();
    for (const auto& bone : item.bones) {
        Check(bone->parent == -1 || (bone->parent >= 0 && size_t(bone->parent) < bones));
    }
    for (const MeshSubset& s : item.subsets) {
        const uint64_t v = s.vertexCount;
        Check((s.vertexBuffer != nullptr) == (v != 0));
        if (s.vertexBuffer != nullptr) {
            Check(s.frameCount >= 1 && s.vertexSize >= 12);
            Check(s.vertexBuffer->GetLength() == uint64_t{s.vertexSize} * s.frameCount * v);
        }
        if (s.indexBuffer != nullptr) {
            const uint8_t* d = s.indexBuffer->Data();
            Check(s.indexBuffer->GetLength() == uint64_t{s.triangleCount} * 6);
            for (uint32_t i = 0; i < s.triangleCount * 3; ++i) {
                Check(uint32_t(d[2 * i] | (d[2 * i + 1] << 8)) < v);
            }
        }
        Check(s.skin.empty() || s.skin.size() == v);
        for (const SkinVertex& k : s.skin) {
            Check(k.influenceCount <= 4);
            for (uint32_t j = 0; j < (k.influenceCount == 0 ? 1u : k.influenceCount); ++j) {
                Check(k.bones[j] < bones);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) {
        return 0;
    }
    static ResourceLibrary library;
    QuietDevice device;
    MeshItem item;
    Archive archive;
    archive.OpenMemory(data, static_cast<uint32_t>(size));
    if (ReadQvmMeshFrom(library, item, archive, "fuzz.qvm", &device) == 1) {
        CheckMesh(item);
        item.loaded = 1; // bounds must not try to load it from a file
        for (uint32_t i = 0; i < item.subsets.size(); ++i) {
            AABox box;
            ComputeVertexBounds(&box, &item, i, nullptr);
        }
    }
    return 0;
}
